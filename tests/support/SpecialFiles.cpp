#include "support/SpecialFiles.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <gtest/gtest.h>

#include <cstring>
#include <future>
#include <thread>
#include <vector>

#include <fcntl.h>

#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/un.h>
#include <unistd.h>

namespace folvane::test {

namespace {

QByteArray Enc(const QString &path) { return QFile::encodeName(path); }

void WriteFile(const QString &path, mode_t mode)
{
    ASSERT_TRUE(QDir().mkpath(QFileInfo(path).absolutePath()));
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write("old bytes");
    file.close();
    ASSERT_EQ(::chmod(Enc(path).constData(), mode), 0);
}

}  // namespace

const std::vector<AtTarget> &LeftAlone()
{
    static const std::vector<AtTarget> kinds{AtTarget::DanglingLink, AtTarget::LinkToFifo, AtTarget::Fifo,
                                             AtTarget::Socket,       AtTarget::Folder,     AtTarget::DeviceNode};
    return kinds;
}

const char *Describe(AtTarget kind)
{
    switch (kind) {
    case AtTarget::Nothing: return "nothing";
    case AtTarget::File: return "a regular file";
    case AtTarget::LinkToFile: return "a link to a regular file";
    case AtTarget::DanglingLink: return "a dangling link";
    case AtTarget::LinkToFifo: return "a link to a FIFO";
    case AtTarget::Fifo: return "a FIFO";
    case AtTarget::Socket: return "a socket";
    case AtTarget::Folder: return "a folder";
    case AtTarget::DeviceNode: return "a device node";
    }
    return "?";
}

QString ElsewhereOf(const QString &target)
{
    return QFileInfo(target).absoluteDir().filePath(QStringLiteral("elsewhere/real.pdf"));
}

void Make(AtTarget kind, const QString &target)
{
    const QString other = ElsewhereOf(target);
    ASSERT_TRUE(QDir().mkpath(QFileInfo(target).absolutePath()));
    switch (kind) {
    case AtTarget::Nothing:
        break;
    case AtTarget::File:
        WriteFile(target, 0600);
        break;
    case AtTarget::LinkToFile:
        WriteFile(other, 0640);
        ASSERT_EQ(::symlink(Enc(other).constData(), Enc(target).constData()), 0);
        break;
    case AtTarget::DanglingLink:
        ASSERT_TRUE(QDir().mkpath(QFileInfo(other).absolutePath()));
        ASSERT_EQ(::symlink(Enc(other).constData(), Enc(target).constData()), 0);
        break;
    case AtTarget::LinkToFifo:
        ASSERT_TRUE(QDir().mkpath(QFileInfo(other).absolutePath()));
        ASSERT_EQ(::mkfifo(Enc(other).constData(), 0600), 0);
        ASSERT_EQ(::symlink(Enc(other).constData(), Enc(target).constData()), 0);
        break;
    case AtTarget::Fifo:
        ASSERT_EQ(::mkfifo(Enc(target).constData(), 0600), 0);
        break;
    case AtTarget::Socket: {
        const int s = ::socket(AF_UNIX, SOCK_STREAM, 0);
        sockaddr_un address {};
        address.sun_family = AF_UNIX;
        const QByteArray path = Enc(target);
        ASSERT_LT(size_t(path.size()), sizeof address.sun_path);
        std::memcpy(address.sun_path, path.constData(), path.size());
        ASSERT_EQ(::bind(s, reinterpret_cast<sockaddr *>(&address), sizeof address), 0);
        ::close(s);
        break;
    }
    case AtTarget::Folder:
        ASSERT_TRUE(QDir().mkpath(target));
        break;
    case AtTarget::DeviceNode:
        // A character device like /dev/null; root may make one, and root is who could wreck one.
        ASSERT_EQ(::mknod(Enc(target).constData(), S_IFCHR | 0666, makedev(1, 3)), 0);
        break;
    }
}

NameState StateOf(const QString &path)
{
    struct stat st {};
    if (::lstat(Enc(path).constData(), &st) != 0)
        return {};
    return {true, st.st_mode, st.st_ino, S_ISLNK(st.st_mode) ? QFileInfo(path).symLinkTarget() : QString()};
}

void PrintTo(const NameState &state, std::ostream *out)
{
    if (!state.exists) {
        *out << "nothing";
        return;
    }
    const mode_t type = state.mode & S_IFMT;
    *out << (type == S_IFREG ? "file" : type == S_IFLNK ? "link" : type == S_IFIFO ? "FIFO" : type == S_IFDIR ? "folder"
             : type == S_IFSOCK ? "socket" : type == S_IFCHR ? "character device" : "other")
         << " mode " << std::oct << (state.mode & 07777) << std::dec << " inode " << state.inode;
    if (!state.linkTarget.isEmpty())
        *out << " to " << state.linkTarget.toStdString();
}

bool FinishesWithin(std::chrono::milliseconds limit, const std::function<void()> &body, const QStringList &fifos)
{
    std::packaged_task<void()> task(body);
    std::future<void> done = task.get_future();
    std::thread(std::move(task)).detach();
    if (done.wait_for(limit) == std::future_status::ready)
        return true;
    std::vector<int> ends;
    for (const QString &fifo : fifos)
        ends.push_back(::open(Enc(fifo).constData(), O_RDWR | O_NONBLOCK | O_CLOEXEC));
    done.wait_for(limit);
    for (const int fd : ends)
        if (fd >= 0)
            ::close(fd);
    return false;
}

}  // namespace folvane::test
