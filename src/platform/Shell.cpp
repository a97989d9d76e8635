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

QUrl toUrl(const QString &target)
{
    const QUrl url(target, QUrl::StrictMode);
    if (url.isValid() && !url.scheme().isEmpty() && url.scheme().size() > 1)
        return url;
    return QUrl::fromLocalFile(QFileInfo(target).absoluteFilePath());
}
}  // namespace

void SetInterceptor(std::function<bool(const Request &)> f) { interceptor() = std::move(f); }

bool Open(const QString &target)
{
    if (interceptor())
        return interceptor()({Verb::Open, target, {}});
    return QDesktopServices::openUrl(toUrl(target));
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
