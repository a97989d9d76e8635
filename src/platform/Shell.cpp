#include "platform/Shell.h"

#include <QDesktopServices>
#include <QFileInfo>
#include <QProcess>
#include <QUrl>

namespace folvane::Shell {

namespace {
std::function<bool(const Request &)> &interceptor()
{
    static std::function<bool(const Request &)> f;
    return f;
}
}  // namespace

QUrl ToUrl(const QString &target)
{
    // An address may hold characters a strict parse refuses, such as the blank of a mail subject;
    // the tolerant parse encodes them. Only a text without a scheme is a local path.
    for (const QUrl::ParsingMode mode : {QUrl::StrictMode, QUrl::TolerantMode}) {
        const QUrl url(target, mode);
        if (url.isValid() && url.scheme().size() > 1)
            return url;
    }
    return QUrl::fromLocalFile(QFileInfo(target).absoluteFilePath());
}

void SetInterceptor(std::function<bool(const Request &)> f) { interceptor() = std::move(f); }

bool Open(const QString &target)
{
    if (interceptor())
        return interceptor()({Verb::Open, target, {}});
    return QDesktopServices::openUrl(ToUrl(target));
}

bool Explore(const QString &folder)
{
    if (interceptor())
        return interceptor()({Verb::Explore, folder, {}});
    return QDesktopServices::openUrl(QUrl::fromLocalFile(QFileInfo(folder).absoluteFilePath()));
}

bool Print(const QString &file, const QString &printer)
{
    if (interceptor())
        return interceptor()({Verb::Print, file, printer});
    QStringList args;
    if (!printer.isEmpty())
        args << QStringLiteral("-d") << printer;
    // "--" keeps a file name that starts with "-" from being read as an option.
    args << QStringLiteral("--") << file;
    return QProcess::startDetached(QStringLiteral("lp"), args);
}

}  // namespace folvane::Shell
