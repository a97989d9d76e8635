#include "platform/AtomicOutput.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryFile>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include <sys/stat.h>

namespace folvane {

namespace {

QString SystemReason() { return QString::fromLocal8Bit(std::strerror(errno)); }

}  // namespace

AtomicOutput::AtomicOutput(const QString &targetPath)
{
    const QFileInfo target(targetPath);
    target_ = target.absoluteFilePath();
    if (targetPath.isEmpty()) {
        opened_ = Outcome::Failed(QStringLiteral("no output path"));
        return;
    }
    if (target.isDir()) {
        opened_ = Outcome::Failed(QStringLiteral("%1: the output path is a folder").arg(targetPath));
        return;
    }
    temp_ = std::make_unique<QTemporaryFile>(
        target.absoluteDir().filePath(QLatin1Char('.') + target.fileName() + QStringLiteral(".XXXXXX.part")));
    if (!temp_->open()) {
        opened_ = Outcome::Failed(
            QStringLiteral("%1: cannot write in the output folder: %2").arg(targetPath, temp_->errorString()));
        temp_.reset();
        return;
    }
    // The writers open the file by its name; the handle is not needed.
    temp_->close();
    opened_ = Outcome::Done();
}

AtomicOutput::~AtomicOutput() = default;  // QTemporaryFile removes an uncommitted file

QString AtomicOutput::TempPath() const { return temp_ ? temp_->fileName() : QString(); }

Outcome AtomicOutput::Commit()
{
    if (!temp_)
        return opened_.ok ? Outcome::Failed(QStringLiteral("%1: already written").arg(target_)) : opened_;
    const QByteArray tempName = QFile::encodeName(temp_->fileName());
    // The temporary file was made private; the result gets the permissions of any new file.
    const mode_t mask = ::umask(0);
    ::umask(mask);
    ::chmod(tempName.constData(), 0666 & ~mask);
    if (std::rename(tempName.constData(), QFile::encodeName(target_).constData()) != 0)
        return Outcome::Failed(QStringLiteral("%1: the file could not be put in place: %2").arg(target_, SystemReason()));
    temp_->setAutoRemove(false);
    temp_.reset();
    return Outcome::Done();
}

Outcome CopyFileAtomically(const QString &source, const QString &target)
{
    QFile in(source);
    if (!in.open(QIODevice::ReadOnly))
        return Outcome::Failed(QStringLiteral("%1: cannot be read: %2").arg(source, in.errorString()));
    AtomicOutput out(target);
    if (!out.Opened())
        return out.Opened();
    QFile file(out.TempPath());
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return Outcome::Failed(QStringLiteral("%1: cannot be written: %2").arg(target, file.errorString()));
    char buffer[1 << 16];
    for (;;) {
        const qint64 n = in.read(buffer, sizeof buffer);
        if (n < 0)
            return Outcome::Failed(QStringLiteral("%1: cannot be read: %2").arg(source, in.errorString()));
        if (n == 0)
            break;
        if (file.write(buffer, n) != n)
            return Outcome::Failed(QStringLiteral("%1: cannot be written: %2").arg(target, file.errorString()));
    }
    if (!file.flush())
        return Outcome::Failed(QStringLiteral("%1: cannot be written: %2").arg(target, file.errorString()));
    file.close();
    return out.Commit();
}

Outcome CreateOneFolder(const QString &path)
{
    QString clean = path;
    while (clean.size() > 1 && clean.endsWith(QLatin1Char('/')))
        clean.chop(1);
    if (QFileInfo(clean).isDir())
        return Outcome::Done();
    if (::mkdir(QFile::encodeName(clean).constData(), 0777) != 0)
        return Outcome::Failed(QStringLiteral("%1: the folder cannot be created: %2").arg(path, SystemReason()));
    return Outcome::Done();
}

}  // namespace folvane
