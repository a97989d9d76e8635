#include "platform/AtomicOutput.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

namespace folvane {

namespace {

QString Reason(int error) { return QString::fromLocal8Bit(std::strerror(error)); }

QByteArray Encode(const QString &path) { return QFile::encodeName(path); }

/// Closes a descriptor, retrying nothing: on Linux the descriptor is gone whatever close answers.
int CloseChecked(int fd) { return ::close(fd) == 0 ? 0 : errno; }

// Hidden names of our temporary files: ".<name>.<pid>-<six characters>.part". The pid lets a later
// write remove what a killed run left (only a named temporary file, where O_TMPFILE is missing, or
// one killed between naming and renaming, can be left). The name part is cut so the whole stays
// within the 255 bytes a file name may have, at a character boundary so it stays valid UTF-8.
constexpr qsizetype kMaxNamePart = 200;

QByteArray NamePart(const QByteArray &fileName)
{
    if (fileName.size() <= kMaxNamePart)
        return fileName;
    qsizetype cut = kMaxNamePart;
    while (cut > 0 && (static_cast<unsigned char>(fileName[cut]) & 0xC0) == 0x80)
        --cut;
    return fileName.left(cut);
}

QByteArray TempPrefix(const QByteArray &fileName) { return '.' + NamePart(fileName) + '.'; }

QByteArray RandomSuffix()
{
    static const char kChars[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    QByteArray s(6, 'x');
    for (char &c : s)
        c = kChars[QRandomGenerator::global()->bounded(int(sizeof kChars - 1))];
    return s;
}

/// Removes the temporary files of this target that a process no longer running left behind.
void RemoveLeftovers(const QByteArray &folder, const QByteArray &fileName)
{
    DIR *dir = ::opendir(folder.constData());
    if (!dir)
        return;
    const QByteArray prefix = TempPrefix(fileName);
    while (const dirent *entry = ::readdir(dir)) {
        const QByteArray name(entry->d_name);
        if (!name.startsWith(prefix) || !name.endsWith(".part"))
            continue;
        // What lies between is "<pid>-<six characters>".
        const QByteArray middle = name.mid(prefix.size(), name.size() - prefix.size() - 5);
        const qsizetype dash = middle.indexOf('-');
        if (dash <= 0 || middle.size() - dash - 1 != 6)
            continue;
        bool isNumber = false;
        const long pid = middle.left(dash).toLong(&isNumber);
        if (!isNumber || pid <= 0 || pid == ::getpid())
            continue;
        if (::kill(static_cast<pid_t>(pid), 0) == 0 || errno != ESRCH)
            continue;
        struct stat st {};
        const QByteArray path = folder + '/' + name;
        if (::lstat(path.constData(), &st) == 0 && S_ISREG(st.st_mode))
            ::unlink(path.constData());
    }
    ::closedir(dir);
}

void SyncFolder(const QByteArray &folder)
{
    const int dir = ::open(folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir < 0)
        return;
    ::fsync(dir);  // some file systems cannot sync a folder; the rename stands either way
    ::close(dir);
}

QString DisplayName(const QString &path) { return QDir::toNativeSeparators(path); }

/// Raises the soft open-file limit to the hard one. Outputs that appear together each hold their
/// unnamed file open until the last is written (a page each, for a split of a long document), and
/// the usual soft limit of 1,024 is far below what the system allows; nothing here uses select().
bool RaiseOpenFileLimit()
{
    rlimit limit {};
    if (::getrlimit(RLIMIT_NOFILE, &limit) != 0 || limit.rlim_cur >= limit.rlim_max)
        return false;
    limit.rlim_cur = limit.rlim_max;
    return ::setrlimit(RLIMIT_NOFILE, &limit) == 0;
}

}  // namespace

mode_t NewFileMode()
{
    // Read without changing it: the process's umask is shared by every thread.
    QFile status(QStringLiteral("/proc/self/status"));
    if (status.open(QIODevice::ReadOnly)) {
        for (const QByteArray &line : status.readAll().split('\n')) {
            if (line.startsWith("Umask:")) {
                bool ok = false;
                const uint mask = line.mid(6).trimmed().toUInt(&ok, 8);
                if (ok)
                    return 0666 & ~mode_t(mask);
            }
        }
    }
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return 0666 & ~mask;
}

AtomicOutput::AtomicOutput(const QString &targetPath)
{
    if (targetPath.isEmpty()) {
        opened_ = Outcome::Failed(QStringLiteral("no output path"));
        return;
    }
    target_ = QFileInfo(targetPath).absoluteFilePath();
    final_ = target_;
    const QByteArray target = Encode(target_);
    struct stat st {};
    if (::lstat(target.constData(), &st) == 0) {
        if (S_ISLNK(st.st_mode)) {
            // Written through, as an editor does: the link stays, the file it leads to is replaced.
            if (::stat(target.constData(), &st) != 0) {
                opened_ = Outcome::Failed(
                    QStringLiteral("%1: the output path is a link that leads nowhere").arg(DisplayName(targetPath)));
                return;
            }
            if (S_ISREG(st.st_mode)) {
                char *resolved = ::realpath(target.constData(), nullptr);
                if (!resolved) {
                    opened_ = Outcome::Failed(QStringLiteral("%1: %2").arg(DisplayName(targetPath), Reason(errno)));
                    return;
                }
                final_ = QFile::decodeName(resolved);
                std::free(resolved);
            }
        }
        if (S_ISDIR(st.st_mode)) {
            opened_ = Outcome::Failed(QStringLiteral("%1: the output path is a folder").arg(DisplayName(targetPath)));
            return;
        }
        if (!S_ISREG(st.st_mode)) {
            opened_ = Outcome::Failed(
                QStringLiteral("%1: the output path is not a regular file").arg(DisplayName(targetPath)));
            return;
        }
        // The rename needs only the folder's permission; a file its owner made read-only is still
        // not ours to replace.
        if (::faccessat(AT_FDCWD, Encode(final_).constData(), W_OK, AT_EACCESS) != 0
            && (errno == EACCES || errno == EPERM)) {
            opened_ = Outcome::Failed(QStringLiteral("%1: %2").arg(DisplayName(targetPath), Reason(errno)));
            return;
        }
    } else if (errno != ENOENT) {
        opened_ = Outcome::Failed(QStringLiteral("%1: %2").arg(DisplayName(targetPath), Reason(errno)));
        return;
    }
    const QFileInfo final(final_);
    folder_ = Encode(final.absolutePath());
    finalName_ = Encode(final.fileName());
    OpenTemporary(targetPath);
}

void AtomicOutput::OpenTemporary(const QString &shownPath)
{
    RemoveLeftovers(folder_, finalName_);
    const auto open = [this] {
        fd_ = ::open(folder_.constData(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
        if (fd_ < 0 && (errno == EOPNOTSUPP || errno == EISDIR || errno == EINVAL)) {
            // No unnamed files here: a hidden named one, which a later write removes if we are killed.
            QByteArray name = folder_ + '/' + TempPrefix(finalName_) + QByteArray::number(::getpid()) + "-XXXXXX.part";
            fd_ = ::mkostemps(name.data(), 5, O_CLOEXEC);
            if (fd_ >= 0)
                tempName_ = name;
        }
    };
    open();
    if (fd_ < 0 && errno == EMFILE && RaiseOpenFileLimit())
        open();
    if (fd_ < 0) {
        opened_ = Outcome::Failed(
            QStringLiteral("%1: cannot write in the output folder: %2").arg(DisplayName(shownPath), Reason(errno)));
        return;
    }
    opened_ = Outcome::Done();
}

AtomicOutput::~AtomicOutput() { Discard(); }

void AtomicOutput::Discard()
{
    if (fd_ >= 0)
        ::close(fd_);
    fd_ = -1;
    if (!tempName_.isEmpty())
        ::unlink(tempName_.constData());
    tempName_.clear();
}

QString AtomicOutput::TempPath() const
{
    if (fd_ < 0)
        return QString();
    if (!tempName_.isEmpty())
        return QFile::decodeName(tempName_);
    return QStringLiteral("/proc/self/fd/%1").arg(fd_);
}

Outcome AtomicOutput::Write(const char *data, qint64 size)
{
    if (!opened_)
        return opened_;
    if (!written_)
        return written_;
    while (size > 0) {
        const ssize_t n = ::write(fd_, data, static_cast<size_t>(size));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            written_ = Outcome::Failed(QStringLiteral("%1: cannot be written: %2").arg(DisplayName(target_), Reason(errno)));
            return written_;
        }
        data += n;
        size -= n;
    }
    return Outcome::Done();
}

void AtomicOutput::Abandon(const QString &reason)
{
    if (written_)
        written_ = Outcome::Failed(reason);
}

Outcome AtomicOutput::Seal()
{
    if (fd_ < 0)
        return opened_.ok ? Outcome::Failed(QStringLiteral("%1: already written").arg(DisplayName(target_))) : opened_;
    if (sealed_)
        return Outcome::Done();
    if (!written_) {
        Discard();
        return written_;
    }
    // A replaced file keeps who may read it: a private document stays private.
    struct stat old {};
    if (::stat(Encode(final_).constData(), &old) == 0 && S_ISREG(old.st_mode)) {
        ::fchown(fd_, old.st_uid, old.st_gid);  // only where allowed; the mode below still holds
        ::fchmod(fd_, old.st_mode & 01777);
    } else {
        ::fchmod(fd_, NewFileMode());
    }
    // The rename drops the old file: the new one must be on disk first.
    if (::fsync(fd_) != 0) {
        const int error = errno;
        Discard();
        return Outcome::Failed(QStringLiteral("%1: the file could not be written to disk: %2")
                                   .arg(DisplayName(target_), Reason(error)));
    }
    sealed_ = true;
    return Outcome::Done();
}

Outcome AtomicOutput::Commit()
{
    if (Outcome sealed = Seal(); !sealed)
        return sealed;
    const QString shown = DisplayName(target_);
    const QByteArray final = Encode(final_);
    const auto fail = [this, &shown](const QString &what, int error) {
        Discard();
        return Outcome::Failed(QStringLiteral("%1: %2: %3").arg(shown, what, Reason(error)));
    };
    struct stat old {};
    const bool replacing = ::stat(final.constData(), &old) == 0 && S_ISREG(old.st_mode);

    QByteArray named = tempName_;
    if (named.isEmpty()) {
        const QByteArray self = "/proc/self/fd/" + QByteArray::number(fd_);
        // A new file takes its name in one step, so nothing else is ever seen.
        if (!replacing) {
            if (::linkat(AT_FDCWD, self.constData(), AT_FDCWD, final.constData(), AT_SYMLINK_FOLLOW) == 0) {
                const int closed = CloseChecked(std::exchange(fd_, -1));
                if (closed != 0) {
                    ::unlink(final.constData());
                    return fail(QStringLiteral("the file could not be written"), closed);
                }
                SyncFolder(folder_);
                return Outcome::Done();
            }
            if (errno != EEXIST)
                return fail(QStringLiteral("the file could not be put in place"), errno);
        }
        // Replacing needs a name to rename from.
        for (int attempt = 0;; ++attempt) {
            named = folder_ + '/' + TempPrefix(finalName_) + QByteArray::number(::getpid()) + '-' + RandomSuffix()
                    + ".part";
            if (::linkat(AT_FDCWD, self.constData(), AT_FDCWD, named.constData(), AT_SYMLINK_FOLLOW) == 0)
                break;
            if (errno != EEXIST || attempt == 16)
                return fail(QStringLiteral("the file could not be put in place"), errno);
        }
        tempName_ = named;  // removed by Discard() should anything below fail
    }
    const int closed = CloseChecked(std::exchange(fd_, -1));
    if (closed != 0)
        return fail(QStringLiteral("the file could not be written"), closed);
    if (std::rename(named.constData(), final.constData()) != 0)
        return fail(QStringLiteral("the file could not be put in place"), errno);
    tempName_.clear();
    SyncFolder(folder_);
    return Outcome::Done();
}

Outcome CommitTogether(const std::vector<std::unique_ptr<AtomicOutput>> &outputs)
{
    for (const auto &output : outputs)
        if (Outcome sealed = output->Seal(); !sealed)
            return sealed;
    for (const auto &output : outputs)
        if (Outcome committed = output->Commit(); !committed)
            return committed;
    return Outcome::Done();
}

Outcome WriteFileAtomically(const QString &target, const QByteArray &bytes)
{
    AtomicOutput out(target);
    if (!out.Opened())
        return out.Opened();
    if (Outcome written = out.Write(bytes); !written)
        return written;
    return out.Commit();
}

Outcome CopyFileAtomically(const QString &source, const QString &target)
{
    QFile in(source);
    if (!in.open(QIODevice::ReadOnly))
        return Outcome::Failed(QStringLiteral("%1: cannot be read: %2").arg(DisplayName(source), in.errorString()));
    AtomicOutput out(target);
    if (!out.Opened())
        return out.Opened();
    char buffer[1 << 16];
    for (;;) {
        const qint64 n = in.read(buffer, sizeof buffer);
        if (n < 0)
            return Outcome::Failed(QStringLiteral("%1: cannot be read: %2").arg(DisplayName(source), in.errorString()));
        if (n == 0)
            break;
        if (Outcome written = out.Write(buffer, n); !written)
            return written;
    }
    return out.Commit();
}

Outcome CreateOneFolder(const QString &path)
{
    QString clean = path;
    while (clean.size() > 1 && clean.endsWith(QLatin1Char('/')))
        clean.chop(1);
    if (QFileInfo(clean).isDir())
        return Outcome::Done();
    if (::mkdir(Encode(clean).constData(), 0777) != 0)
        return Outcome::Failed(QStringLiteral("%1: the folder cannot be created: %2").arg(path, Reason(errno)));
    return Outcome::Done();
}

}  // namespace folvane
