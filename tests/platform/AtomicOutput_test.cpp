#include "platform/AtomicOutput.h"

#include "support/SmallDisk.h"
#include "support/Unprivileged.h"
#include "support/SpecialFiles.h"
#include "support/TestEnv.h"

#include <QFile>
#include <QFileInfo>

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <vector>

#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/sysmacros.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace folvane;
using test::AtTarget;

namespace {

QByteArray Enc(const QString &path) { return QFile::encodeName(path); }

struct stat LStat(const QString &path)
{
    struct stat st {};
    ::lstat(Enc(path).constData(), &st);
    return st;
}

QString LinkTarget(const QString &path) { return QFileInfo(path).symLinkTarget(); }

}  // namespace

TEST(AtomicOutput, WhatStandsAtTheTargetIsReplacedWrittenThroughOrLeftAlone)
{
    struct Case {
        const char *name;
        AtTarget kind;
        bool written;
        mode_t mode;  // of the file holding the new bytes
    };
    const mode_t fresh = NewFileMode();
    const Case cases[] = {
        {"nothing", AtTarget::Nothing, true, fresh},
        {"a private file keeps its mode", AtTarget::File, true, 0600},
        {"a link is written through", AtTarget::LinkToFile, true, 0640},
        {"a dangling link", AtTarget::DanglingLink, false},
        {"a link to a FIFO", AtTarget::LinkToFifo, false},
        {"a FIFO", AtTarget::Fifo, false},
        {"a socket", AtTarget::Socket, false},
        {"a folder", AtTarget::Folder, false},
        {"a device node", AtTarget::DeviceNode, false},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        test::TempDir dir;
        const QString target = dir.filePath(QStringLiteral("out.pdf"));
        test::Make(c.kind, target);
        const struct stat before = LStat(target);
        const QString linkBefore = LinkTarget(target);
        const QStringList entriesBefore = test::FolderEntries(dir.path());

        const Outcome written = WriteFileAtomically(target, "new bytes");
        EXPECT_EQ(written.ok, c.written) << written.reason.toStdString();
        if (c.written) {
            EXPECT_EQ(test::FileBytes(target), "new bytes");
            const QString holder = c.kind == AtTarget::LinkToFile ? LinkTarget(target) : target;
            EXPECT_EQ(LStat(holder).st_mode & 07777, c.mode);
            if (c.kind == AtTarget::LinkToFile) {
                EXPECT_TRUE(S_ISLNK(LStat(target).st_mode)) << "the link was replaced by a file";
                EXPECT_EQ(LinkTarget(target), linkBefore);
            }
        } else {
            EXPECT_FALSE(written.reason.isEmpty());
            const struct stat after = LStat(target);
            EXPECT_EQ(after.st_mode, before.st_mode) << "what stood at the target was changed";
            EXPECT_EQ(after.st_ino, before.st_ino);
            EXPECT_EQ(LinkTarget(target), linkBefore);
        }
        if (c.kind != AtTarget::Nothing) {
            EXPECT_EQ(test::FolderEntries(dir.path()), entriesBefore) << "something was left beside the target";
        }
    }
}

TEST(AtomicOutput, AnOutputNotCommittedOrWhoseWriteFailedLeavesNothing)
{
    test::TempDir dir;
    const QString target = dir.createFile(QStringLiteral("keep.pdf"), "old bytes");
    const QStringList before = test::FolderEntries(dir.path());
    {
        AtomicOutput out(target);
        ASSERT_TRUE(out.Opened()) << out.Opened().reason.toStdString();
        EXPECT_TRUE(out.Write("half of it"));
    }
    {
        AtomicOutput out(target);
        ASSERT_TRUE(out.Write("written, then the writer found its own fault"));
        out.Abandon(QStringLiteral("page 3 is damaged"));
        const Outcome committed = out.Commit();
        EXPECT_FALSE(committed);
        EXPECT_EQ(committed.reason, QStringLiteral("page 3 is damaged"));
    }
    EXPECT_EQ(test::FileBytes(target), "old bytes");
    EXPECT_EQ(test::FolderEntries(dir.path()), before);
}

TEST(AtomicOutput, AFullDiskFailsTheOutputAndKeepsTheOldFile)
{
    if (test::RanOnSmallDisk(1 << 20))
        return;
    const QString disk = test::SmallDisk();
    const QString target = disk + QStringLiteral("/report.pdf");
    const QByteArray old(300 * 1024, 'o');
    ASSERT_TRUE(WriteFileAtomically(target, old));
    const QStringList before = test::FolderEntries(disk);

    // Larger than what is left: the disk fills part way through.
    AtomicOutput out(target);
    ASSERT_TRUE(out.Opened());
    Outcome written = Outcome::Done();
    const QByteArray chunk(64 * 1024, 'n');
    for (int i = 0; i < 20 && written; ++i)
        written = out.Write(chunk);
    EXPECT_FALSE(written) << "2 MB went onto a 1 MB disk";
    EXPECT_TRUE(written.reason.contains(QStringLiteral("No space left"))) << written.reason.toStdString();
    EXPECT_FALSE(out.Commit());
    EXPECT_EQ(test::FileBytes(target), old);
    EXPECT_EQ(test::FolderEntries(disk), before);

    // The space the failed output took is free again: a file that fits still goes in.
    EXPECT_TRUE(WriteFileAtomically(target, QByteArray(600 * 1024, 'f')));
}

TEST(AtomicOutput, OutputsCommittedTogetherAppearOnlyWhenEveryOneWasWritten)
{
    test::TempDir dir;
    const QString first = dir.createFile(QStringLiteral("part1.tif"), "old first");
    const QStringList before = test::FolderEntries(dir.path());
    {
        std::vector<std::unique_ptr<AtomicOutput>> outputs;
        for (const char *name : {"part1.tif", "part2.tif"}) {
            outputs.push_back(std::make_unique<AtomicOutput>(dir.filePath(QString::fromLatin1(name))));
            ASSERT_TRUE(outputs.back()->Write("new"));
        }
        outputs.back()->Abandon(QStringLiteral("page 2 is damaged"));
        const Outcome together = CommitTogether(outputs);
        EXPECT_FALSE(together);
        EXPECT_EQ(together.reason, QStringLiteral("page 2 is damaged"));
    }
    EXPECT_EQ(test::FileBytes(first), "old first");
    EXPECT_EQ(test::FolderEntries(dir.path()), before);

    // Past the soft open-file limit each output holding its unnamed file open still opens: the limit
    // is raised as far as the system allows.
    rlimit saved {};
    ASSERT_EQ(::getrlimit(RLIMIT_NOFILE, &saved), 0);
    ASSERT_GT(saved.rlim_max, 200u);
    rlimit low = saved;
    low.rlim_cur = 64;
    ASSERT_EQ(::setrlimit(RLIMIT_NOFILE, &low), 0);
    std::vector<std::unique_ptr<AtomicOutput>> outputs;
    for (int page = 1; page <= 100; ++page) {
        outputs.push_back(std::make_unique<AtomicOutput>(dir.filePath(QStringLiteral("page_%1.tif").arg(page))));
        ASSERT_TRUE(outputs.back()->Opened()) << outputs.back()->Opened().reason.toStdString();
        ASSERT_TRUE(outputs.back()->Write(QByteArray::number(page)));
    }
    const Outcome together = CommitTogether(outputs);
    ::setrlimit(RLIMIT_NOFILE, &saved);
    ASSERT_TRUE(together) << together.reason.toStdString();
    EXPECT_EQ(test::FileBytes(dir.filePath(QStringLiteral("page_100.tif"))), "100");
    EXPECT_EQ(test::FolderEntries(dir.path()).size(), 101);
}

TEST(AtomicOutput, ALeftoverOfAProcessNoLongerRunningIsRemoved)
{
    test::TempDir dir;
    const QString target = dir.filePath(QStringLiteral("out.pdf"));
    // A pid that surely ran and ended: a child of ours, already reaped.
    const pid_t gone = ::fork();
    if (gone == 0)
        ::_exit(0);
    ASSERT_GT(gone, 0);
    ::waitpid(gone, nullptr, 0);
    const QString deadOnes = dir.createFile(QStringLiteral(".out.pdf.%1-aB3xYz.part").arg(gone), "partial");
    const QString liveOnes = dir.createFile(QStringLiteral(".out.pdf.1-aB3xYz.part"), "still being written");
    const QString otherTarget = dir.createFile(QStringLiteral(".other.pdf.%1-aB3xYz.part").arg(gone), "not ours to judge");

    ASSERT_TRUE(WriteFileAtomically(target, "new"));
    EXPECT_FALSE(QFileInfo::exists(deadOnes));
    EXPECT_TRUE(QFileInfo::exists(liveOnes));
    EXPECT_TRUE(QFileInfo::exists(otherTarget));
}

TEST(AtomicOutput, LongAndNonAsciiNamesGetTemporaryNamesTheyFit)
{
    test::TempDir dir;
    // 250 bytes of two-byte characters: a hidden temporary name around it must be cut to fit.
    const QString name = QString(121, QChar(0x00E9)) + QStringLiteral(".pdf");
    ASSERT_EQ(Enc(name).size(), 246);
    const QString target = dir.filePath(name);
    ASSERT_TRUE(WriteFileAtomically(target, "old"));
    const Outcome replaced = WriteFileAtomically(target, "new");
    ASSERT_TRUE(replaced) << replaced.reason.toStdString();
    EXPECT_EQ(test::FileBytes(target), "new");
    EXPECT_EQ(test::FolderEntries(dir.path()), QStringList{name});
}

TEST(AtomicOutput, AReadOnlyFileIsNotReplacedThoughItsFolderTakesNewFiles)
{
    if (test::RanUnprivileged())  // root may write any file
        return;
    test::TempDir dir;
    const QString target = dir.createFile(QStringLiteral("report.pdf"), "kept");
    ASSERT_EQ(::chmod(Enc(target).constData(), 0444), 0);
    const QString link = dir.filePath(QStringLiteral("link.pdf"));
    ASSERT_EQ(::symlink(Enc(target).constData(), Enc(link).constData()), 0);
    for (const QString &name : {target, link}) {
        SCOPED_TRACE(name.toStdString());
        const Outcome written = WriteFileAtomically(name, "new bytes");
        EXPECT_FALSE(written);
        EXPECT_TRUE(written.reason.contains(QStringLiteral("Permission denied"))) << written.reason.toStdString();
    }
    EXPECT_EQ(test::FileBytes(target), "kept");
    EXPECT_EQ(test::FolderEntries(dir.path()), (QStringList{"link.pdf", "report.pdf"}));
}
