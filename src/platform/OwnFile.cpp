#include "platform/OwnFile.h"

#include "platform/FileDescriptor.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <utility>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace folvane::OwnFile {

namespace {

QByteArray Encode(const QString &path) { return QFile::encodeName(path); }

QString Reason(int error) { return QString::fromLocal8Bit(std::strerror(error)); }

Outcome Failed(const QString &path, const QString &what)
{
    return Outcome::Failed(QStringLiteral("%1: %2").arg(QDir::toNativeSeparators(path), what));
}

QString KindName(mode_t mode)
{
    if (S_ISDIR(mode))
        return QStringLiteral("a folder");
    if (S_ISFIFO(mode))
        return QStringLiteral("a FIFO");
    if (S_ISSOCK(mode))
        return QStringLiteral("a socket");
    if (S_ISCHR(mode) || S_ISBLK(mode))
        return QStringLiteral("a device");
    return QStringLiteral("something other than a regular file");
}

/// What stands at path (Missing, Regular or LinkToRegular); anything else is Other, and the reason
/// says why nothing is done there.
Expected<Kind> Look(const QByteArray &path)
{
    struct stat st {};
    if (::lstat(path.constData(), &st) != 0) {
        if (errno == ENOENT)
            return Kind::Missing;
        return Outcome::Failed(Reason(errno));
    }
    if (S_ISREG(st.st_mode))
        return Kind::Regular;
    if (!S_ISLNK(st.st_mode))
        return Outcome::Failed(QStringLiteral("the name holds %1, which is left as it is").arg(KindName(st.st_mode)));
    if (::stat(path.constData(), &st) != 0)
        return Outcome::Failed(errno == ENOENT ? QStringLiteral("the name holds a link that leads nowhere, which is left as it is")
                                               : QStringLiteral("the name holds a link that cannot be followed: %1").arg(Reason(errno)));
    if (S_ISREG(st.st_mode))
        return Kind::LinkToRegular;
    return Outcome::Failed(QStringLiteral("the name holds a link to %1, which is left as it is").arg(KindName(st.st_mode)));
}

/// Opens path when it is, or leads to, a regular file. What was looked at may have been swapped
/// before the open, so the descriptor itself is checked too.
Expected<FileDescriptor> OpenRegular(const QString &path, int flags)
{
    const QByteArray encoded = Encode(path);
    const Expected<Kind> kind = Look(encoded);
    if (!kind)
        return Failed(path, kind.reason);
    if (*kind == Kind::Missing)
        return Failed(path, Reason(ENOENT));
    RegularFile file = OpenRegularFile(encoded.constData(), flags);
    switch (file.failure) {
    case RegularFile::Failure::CannotOpen:
        return Failed(path, QStringLiteral("cannot be opened: %1").arg(Reason(file.error)));
    case RegularFile::Failure::NotRegular:
        return Failed(path, QStringLiteral("the name no longer holds a regular file"));
    case RegularFile::Failure::None:
        break;
    }
    return std::move(file.fd);
}

/// Writes every byte at offset, or at the end with a negative offset; 0 or the error.
int WriteAll(int fd, const char *data, qint64 size, off_t offset)
{
    while (size > 0) {
        const ssize_t n = offset < 0 ? ::write(fd, data, static_cast<size_t>(size))
                                     : ::pwrite(fd, data, static_cast<size_t>(size), offset);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return errno;
        }
        data += n;
        size -= n;
        if (offset >= 0)
            offset += n;
    }
    return 0;
}

/// Closes a descriptor that was written to: the write's error, else the close's; 0 when both went well.
int Closed(FileDescriptor &fd, int writeError)
{
    const int closeError = fd.Close();
    return writeError != 0 ? writeError : closeError;
}

/// Gives the file blocks for its first size bytes, so writes within them cannot meet a full disk;
/// 0 or the error.
int Reserve(int fd, qint64 size)
{
    if (::fallocate(fd, 0, 0, size) == 0)
        return 0;
    if (errno != EOPNOTSUPP && errno != ENOSYS)
        return errno;
    // No fallocate here: zeros after the old end, which the old contents do not reach.
    struct stat st {};
    if (::fstat(fd, &st) != 0)
        return errno;
    if (st.st_size >= size)
        return 0;
    const QByteArray zeros(size - st.st_size, '\0');
    if (const int error = WriteAll(fd, zeros.constData(), zeros.size(), st.st_size))
        return error;
    return ::fdatasync(fd) == 0 ? 0 : errno;
}

}  // namespace

Kind Inspect(const QString &path) { return Look(Encode(path)).value_or(Kind::Other); }

Expected<QByteArray> Read(const QString &path, qint64 maxBytes)
{
    const Expected<FileDescriptor> fd = OpenRegular(path, O_RDONLY);
    if (!fd)
        return fd;
    QByteArray bytes;
    char buffer[1 << 16];
    while (bytes.size() < maxBytes) {
        const ssize_t n = ::read(fd->get(), buffer, static_cast<size_t>(std::min<qint64>(sizeof buffer, maxBytes - bytes.size())));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return Failed(path, QStringLiteral("cannot be read: %1").arg(Reason(errno)));
        }
        if (n == 0)
            break;
        bytes.append(buffer, n);
    }
    return bytes;
}

Outcome Append(const QString &path, const QByteArray &bytes)
{
    // Made only where nothing stands: with O_EXCL the open neither follows a link nor takes what
    // appeared at the name meanwhile.
    FileDescriptor fd(::open(Encode(path).constData(), O_WRONLY | O_APPEND | O_CREAT | O_EXCL | NoWaitOpenFlags, 0666));
    if (!fd) {
        if (errno != EEXIST)
            return Failed(path, QStringLiteral("cannot be made: %1").arg(Reason(errno)));
        Expected<FileDescriptor> existing = OpenRegular(path, O_WRONLY | O_APPEND);
        if (!existing)
            return existing;
        fd = *std::move(existing);
    }
    if (const int error = Closed(fd, WriteAll(fd.get(), bytes.constData(), bytes.size(), -1)))
        return Failed(path, QStringLiteral("cannot be written: %1").arg(Reason(error)));
    return Outcome::Done();
}

Outcome RewriteInPlace(const QString &path, const QByteArray &bytes, const QByteArray &unfinishedHead)
{
    Expected<FileDescriptor> opened = OpenRegular(path, O_WRONLY);
    if (!opened)
        return opened;
    FileDescriptor fd = *std::move(opened);
    if (const int error = Reserve(fd.get(), bytes.size()))
        return Failed(path, QStringLiteral("no room for the new contents: %1").arg(Reason(error)));

    const qint64 page = ::sysconf(_SC_PAGESIZE);
    const qsizetype head = unfinishedHead.size();
    int error = 0;
    if (bytes.size() <= page || head < 1 || head > page || head > bytes.size()) {
        error = WriteAll(fd.get(), bytes.constData(), bytes.size(), 0);
    } else {
        // Each step reaches the disk before the next, so the order holds after a crash too.
        const auto step = [&fd](const char *data, qint64 size, off_t at) {
            const int written = WriteAll(fd.get(), data, size, at);
            return written != 0 || ::fdatasync(fd.get()) == 0 ? written : errno;
        };
        error = step(unfinishedHead.constData(), head, 0);
        if (error == 0)
            error = step(bytes.constData() + head, bytes.size() - head, head);
        if (error == 0)
            error = WriteAll(fd.get(), bytes.constData(), head, 0);
    }
    if (error == 0 && ::fsync(fd.get()) != 0)
        error = errno;
    if ((error = Closed(fd, error)) != 0)
        return Failed(path, QStringLiteral("cannot be written: %1").arg(Reason(error)));
    return Outcome::Done();
}

Outcome RemoveIfRegular(const QString &path)
{
    if (path.isEmpty())
        return Outcome::Done();
    const QByteArray encoded = Encode(path);
    struct stat st {};
    if (::lstat(encoded.constData(), &st) != 0)
        return errno == ENOENT ? Outcome::Done() : Failed(path, Reason(errno));
    if (!S_ISREG(st.st_mode))
        return Outcome::Done();
    if (::unlink(encoded.constData()) != 0 && errno != ENOENT)
        return Failed(path, QStringLiteral("cannot be removed: %1").arg(Reason(errno)));
    return Outcome::Done();
}

Outcome WriteProbe(const QString &path, const QByteArray &bytes)
{
    const QByteArray encoded = Encode(path);
    struct stat st {};
    bool atTheName = true;
    if (::lstat(encoded.constData(), &st) == 0) {
        // A probe that a killed run left is ours to replace; anything else there is not.
        atTheName = S_ISREG(st.st_mode);
        if (atTheName && ::unlink(encoded.constData()) != 0)
            return Failed(path, QStringLiteral("cannot be removed: %1").arg(Reason(errno)));
    } else if (errno != ENOENT) {
        return Failed(path, Reason(errno));
    }

    FileDescriptor fd;
    QByteArray made; // the name to remove again; empty for an unnamed file
    if (atTheName) {
        fd.reset(::open(encoded.constData(), O_WRONLY | O_CREAT | O_EXCL | NoWaitOpenFlags, 0666));
        made = encoded;
    } else {
        const QFileInfo info(path);
        const QByteArray folder = Encode(info.absolutePath());
        fd.reset(::open(folder.constData(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0600));
        if (!fd && (errno == EOPNOTSUPP || errno == EISDIR || errno == EINVAL)) {
            // No unnamed files on this file system: a hidden one of a name nobody else uses.
            made = folder + "/." + Encode(info.fileName()) + ".XXXXXX";
            fd.reset(::mkostemp(made.data(), O_CLOEXEC));
        }
    }
    if (!fd)
        return Failed(path, QStringLiteral("no file can be made in its folder: %1").arg(Reason(errno)));
    int error = Closed(fd, WriteAll(fd.get(), bytes.constData(), bytes.size(), -1));
    if (!made.isEmpty() && ::unlink(made.constData()) != 0 && error == 0)
        error = errno;
    if (error != 0)
        return Failed(path, QStringLiteral("the probe cannot be written and removed: %1").arg(Reason(error)));
    return Outcome::Done();
}

}  // namespace folvane::OwnFile
