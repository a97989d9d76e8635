#include "support/SmallDisk.h"

#include "support/ChildRun.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcessEnvironment>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cerrno>

#include <fcntl.h>
#include <sys/statfs.h>
#include <unistd.h>

namespace folvane::test {

namespace {

constexpr char kChildMark[] = "FOLVANE_SMALL_DISK";
constexpr char kChildSize[] = "FOLVANE_SMALL_DISK_BYTES";
constexpr long kTmpfsMagic = 0x01021994;

}  // namespace

QString SmallDisk() { return qEnvironmentVariable(kChildMark); }

QString FillDisk(const QString &folder)
{
    const QString path = QDir(folder).filePath(QStringLiteral("filler"));
    const int fd = ::open(QFile::encodeName(path).constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    EXPECT_GE(fd, 0) << "no filler file in " << folder.toStdString();
    if (fd < 0)
        return path;
    // Page by page, then byte by byte, so not even the tail of a page is left.
    const QByteArray page(4096, 'f');
    for (const qsizetype piece : {page.size(), qsizetype(1)}) {
        while (::write(fd, page.constData(), size_t(piece)) == piece) {
        }
    }
    EXPECT_EQ(errno, ENOSPC) << "the filler stopped for another reason";
    ::close(fd);
    return path;
}

bool RanOnSmallDisk(long long bytes)
{
    if (qEnvironmentVariableIsSet(kChildMark)) {
        // The file system must really be there and be as small as asked, or the test proves nothing.
        struct statfs fs {};
        const QByteArray path = QFile::encodeName(SmallDisk());
        if (::statfs(path.constData(), &fs) != 0 || fs.f_type != kTmpfsMagic) {
            ADD_FAILURE() << "no small file system is mounted on " << path.constData();
            return true;
        }
        const long long size = static_cast<long long>(fs.f_blocks) * fs.f_bsize;
        if (size != qEnvironmentVariable(kChildSize).toLongLong()) {
            ADD_FAILURE() << "the file system on " << path.constData() << " holds " << size << " bytes, not "
                          << qEnvironmentVariable(kChildSize).toStdString();
            return true;
        }
        return false;
    }

    const QString name = CurrentTestName();
    const QString unshare = QStandardPaths::findExecutable(QStringLiteral("unshare"));
    if (unshare.isEmpty()) {
        ADD_FAILURE() << "unshare (util-linux) is needed to run " << name.toStdString() << " on a small disk";
        return true;
    }
    QTemporaryDir scratch;
    const QString disk = scratch.filePath(QStringLiteral("disk"));
    if (!scratch.isValid() || !QDir().mkpath(disk)) {
        ADD_FAILURE() << "no folder for the small disk";
        return true;
    }
    // tmpfs sizes are whole pages.
    const long page = ::sysconf(_SC_PAGESIZE);
    const long long size = (bytes + page - 1) / page * page;

    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QString::fromLatin1(kChildMark), disk);
    env.insert(QString::fromLatin1(kChildSize), QString::number(size));
    QStringList args;
    // Root may make a mount namespace of its own; anyone else needs a user namespace to own it.
    if (::geteuid() != 0)
        args << QStringLiteral("--user") << QStringLiteral("--map-root-user");
    args << QStringLiteral("--mount") << QStringLiteral("--propagation") << QStringLiteral("private")
         << QStringLiteral("/bin/sh") << QStringLiteral("-c")
         << QStringLiteral("mount -t tmpfs -o size=%1 folvane-test \"$0\" && shift && exec \"$@\"").arg(size) << disk
         << QStringLiteral("ignored");

    RunCurrentTestInChild(unshare, args, QCoreApplication::applicationFilePath(), env,
                          QStringLiteral("on a %1-byte disk").arg(size));
    return true;
}

}  // namespace folvane::test
