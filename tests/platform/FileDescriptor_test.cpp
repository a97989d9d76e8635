#include "platform/FileDescriptor.h"

#include "support/SpecialFiles.h"
#include "support/TestEnv.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <gtest/gtest.h>

#include <cerrno>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include <unistd.h>

using namespace folvane;
using test::AtTarget;

namespace {

using namespace std::chrono_literals;
using Failure = RegularFile::Failure;

/// How many descriptors of this process lead to one of the paths. Counted by what they lead to, not
/// by the lowest free number, which other threads of the test process may take at any moment.
int DescriptorsOn(const QStringList &paths)
{
    int count = 0;
    for (const QFileInfo &entry : QDir(QStringLiteral("/proc/self/fd")).entryInfoList(QDir::System | QDir::Files)) {
        const QString leadsTo = entry.symLinkTarget();
        for (const QString &path : paths)
            if (!path.isEmpty() && leadsTo == QFileInfo(path).canonicalFilePath())
                ++count;
    }
    return count;
}

bool IsOpen(int fd) { return ::fcntl(fd, F_GETFD) != -1; }

QByteArray ReadAll(int fd)
{
    QByteArray bytes(64, '\0');
    const ssize_t n = ::pread(fd, bytes.data(), static_cast<size_t>(bytes.size()), 0);
    bytes.truncate(n > 0 ? n : 0);
    return bytes;
}

TEST(FileDescriptor, OnlyARegularFileOrALinkToOneIsOpenedAndNothingIsWaitedFor)
{
    struct Case {
        AtTarget kind;
        int flags;
        Failure failure;
        int error = 0;
    };
    const std::vector<Case> cases{
        {AtTarget::File, O_RDONLY, Failure::None},
        {AtTarget::LinkToFile, O_RDONLY, Failure::None},
        {AtTarget::File, O_WRONLY | O_APPEND, Failure::None},
        {AtTarget::Nothing, O_RDONLY, Failure::CannotOpen, ENOENT},
        {AtTarget::DanglingLink, O_RDONLY, Failure::CannotOpen, ENOENT},
        // Without O_NONBLOCK either open would wait for a writer that never comes.
        {AtTarget::Fifo, O_RDONLY, Failure::NotRegular},
        {AtTarget::LinkToFifo, O_RDONLY, Failure::NotRegular},
        {AtTarget::Fifo, O_WRONLY, Failure::CannotOpen, ENXIO},
        {AtTarget::Socket, O_RDONLY, Failure::CannotOpen, ENXIO},
        {AtTarget::Folder, O_RDONLY, Failure::NotRegular},
        {AtTarget::Folder, O_WRONLY, Failure::CannotOpen, EISDIR},
        {AtTarget::DeviceNode, O_RDONLY, Failure::NotRegular},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(std::string(test::Describe(c.kind)) + ((c.flags & O_ACCMODE) == O_RDONLY ? ", read" : ", write"));
        test::TempDir dir;
        const QString target = dir.filePath(QStringLiteral("a.file"));
        test::Make(c.kind, target);
        const QByteArray name = QFile::encodeName(target);
        auto answer = std::make_shared<RegularFile>();
        ASSERT_TRUE(test::FinishesWithin(
            10s, [answer, name, flags = c.flags] { *answer = OpenRegularFile(name.constData(), flags); },
            {target, test::ElsewhereOf(target)}));
        {
            const RegularFile file = std::move(*answer);
            EXPECT_EQ(file.failure, c.failure);
            EXPECT_EQ(file.error, c.error);
            EXPECT_EQ(bool(file.fd), c.failure == Failure::None);
            if (c.failure == Failure::None) {
                EXPECT_EQ(file.size, 9);
                const int fd = file.fd.get();
                // It is an ordinary descriptor from here on, which no program we start inherits.
                EXPECT_EQ(::fcntl(fd, F_GETFL) & O_NONBLOCK, 0);
                EXPECT_NE(::fcntl(fd, F_GETFD) & FD_CLOEXEC, 0);
                if ((c.flags & O_ACCMODE) == O_RDONLY) {
                    EXPECT_EQ(ReadAll(fd), "old bytes");
                } else {
                    ASSERT_EQ(::write(fd, " and more", 9), 9);
                    EXPECT_EQ(test::FileBytes(target), "old bytes and more");
                }
            }
        }
        // Whatever was opened and refused is closed again, and the answer's descriptor when it goes.
        EXPECT_EQ(DescriptorsOn({target, test::ElsewhereOf(target)}), 0);
    }
}

TEST(FileDescriptor, EachDescriptorIsClosedOnceByItsLastOwner)
{
    int ends[2];
    ASSERT_EQ(::pipe(ends), 0);
    const int readEnd = ends[0], writeEnd = ends[1];
    {
        FileDescriptor first(readEnd);
        FileDescriptor second(std::move(first));
        EXPECT_FALSE(first);
        EXPECT_EQ(second.get(), readEnd);

        FileDescriptor third(writeEnd);
        third = std::move(second);  // closes the write end, takes the read end
        EXPECT_FALSE(IsOpen(writeEnd));
        EXPECT_TRUE(IsOpen(readEnd));
        EXPECT_EQ(third.get(), readEnd);

        EXPECT_EQ(third.Close(), 0);
        EXPECT_FALSE(IsOpen(readEnd));
        EXPECT_FALSE(third);
    }
    // A released descriptor is the caller's to close.
    ASSERT_EQ(::pipe(ends), 0);
    int released = -1;
    {
        FileDescriptor owner(ends[0]);
        released = owner.release();
    }
    EXPECT_TRUE(IsOpen(released));
    ::close(released);
    ::close(ends[1]);
}

}  // namespace
