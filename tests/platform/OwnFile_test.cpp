#include "platform/OwnFile.h"

#include "support/ChildRun.h"
#include "support/SmallDisk.h"
#include "support/SpecialFiles.h"
#include "support/TestEnv.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QProcess>

#include <gtest/gtest.h>

#include <cstdio>

#include <sys/stat.h>

using namespace folvane;
using test::AtTarget;

namespace {

using namespace std::chrono_literals;

TEST(OwnFile, OnlyARegularFileOrALinkToOneIsReadWrittenOrRemoved)
{
    std::vector<AtTarget> kinds{AtTarget::File, AtTarget::LinkToFile};
    kinds.insert(kinds.end(), test::LeftAlone().begin(), test::LeftAlone().end());
    for (const AtTarget kind : kinds) {
        SCOPED_TRACE(test::Describe(kind));
        const bool regular = kind == AtTarget::File || kind == AtTarget::LinkToFile;
        test::TempDir dir;
        const QString target = dir.filePath(QStringLiteral("own.file"));
        test::Make(kind, target);
        const test::NameState before = test::StateOf(target);
        const test::NameState elsewhere = test::StateOf(test::ElsewhereOf(target));
        const QString holder = kind == AtTarget::LinkToFile ? test::ElsewhereOf(target) : target;

        EXPECT_EQ(OwnFile::Inspect(target), kind == AtTarget::File         ? OwnFile::Kind::Regular
                                            : kind == AtTarget::LinkToFile ? OwnFile::Kind::LinkToRegular
                                                                             : OwnFile::Kind::Other);
        Expected<QByteArray> read = Outcome::Failed(QStringLiteral("not read"));
        Outcome appended, rewritten;
        // None of them may wait for a FIFO's other end.
        ASSERT_TRUE(test::FinishesWithin(
            10s,
            [&] {
                read = OwnFile::Read(target, 100);
                appended = OwnFile::Append(target, " and a line");
                rewritten = OwnFile::RewriteInPlace(target, "NEW", "-");
            },
            {target, test::ElsewhereOf(target)}));
        EXPECT_EQ(read.ok, regular) << read.reason.toStdString();
        EXPECT_EQ(appended.ok, regular) << appended.reason.toStdString();
        EXPECT_EQ(rewritten.ok, regular) << rewritten.reason.toStdString();
        if (regular) {
            EXPECT_EQ(*read, "old bytes");
            // Written where the file is, without truncating it.
            EXPECT_EQ(test::FileBytes(holder), "NEW bytes and a line");
        } else {
            EXPECT_TRUE(read.reason.contains(QStringLiteral("left as it is"))) << read.reason.toStdString();
        }
        // Whatever stands at the name is still exactly that: a link stays a link to the same place.
        EXPECT_EQ(test::StateOf(target), before);
        EXPECT_EQ(test::StateOf(test::ElsewhereOf(target)), elsewhere) << "something was made where the link leads";

        EXPECT_TRUE(OwnFile::RemoveIfRegular(target));
        EXPECT_EQ(test::StateOf(target).exists, kind != AtTarget::File);
        if (kind != AtTarget::File) {
            EXPECT_EQ(test::StateOf(target), before);
        }
        EXPECT_EQ(test::StateOf(test::ElsewhereOf(target)), elsewhere);
    }
}

TEST(OwnFile, AppendMakesTheFileOnlyWhereNothingStands)
{
    test::TempDir dir;
    const QString log = dir.filePath(QStringLiteral("Errors.Log"));
    ASSERT_TRUE(OwnFile::Append(log, "one\r\n"));
    ASSERT_TRUE(OwnFile::Append(log, "two\r\n"));
    EXPECT_EQ(test::FileBytes(log), "one\r\ntwo\r\n");
    struct stat st {};
    ASSERT_EQ(::stat(QFile::encodeName(log).constData(), &st), 0);
    const mode_t mask = ::umask(0);
    ::umask(mask);
    EXPECT_EQ(st.st_mode & 0777, 0666 & ~mask);

    EXPECT_FALSE(OwnFile::Append(dir.filePath(QStringLiteral("no/such/folder/Errors.Log")), "x"));
}

TEST(OwnFile, RewriteInPlaceReservesTheSpaceBeforeAnyByteChanges)
{
    if (test::RanOnSmallDisk(1 << 20))
        return;
    const QString disk = test::SmallDisk();
    const QString file = disk + QStringLiteral("/settings.ini");
    const QByteArray old(10000, 'o');
    ASSERT_TRUE(OwnFile::Append(file, old));
    const QString filler = test::FillDisk(disk);
    const QStringList entries = test::FolderEntries(disk);

    // Longer than the file: the disk has no room for the rest, and the old bytes stay as they were.
    const Outcome longer = OwnFile::RewriteInPlace(file, QByteArray(30000, 'n'), "-");
    EXPECT_FALSE(longer);
    EXPECT_TRUE(longer.reason.contains(QStringLiteral("No space left"))) << longer.reason.toStdString();
    EXPECT_EQ(test::FileBytes(file), old);
    EXPECT_EQ(test::FolderEntries(disk), entries);

    // Within the file's own blocks a full disk is no obstacle; what lies beyond stays.
    const QByteArray shorter(6000, 's');
    ASSERT_TRUE(OwnFile::RewriteInPlace(file, shorter, "-"));
    EXPECT_EQ(test::FileBytes(file), shorter + old.mid(shorter.size()));

    QFile::remove(filler);
    ASSERT_TRUE(OwnFile::RewriteInPlace(file, QByteArray(30000, 'n'), "-"));
    EXPECT_EQ(test::FileBytes(file), QByteArray(30000, 'n'));
}

constexpr char kRewriteLoop[] = "FOLVANE_REWRITE_LOOP";

/// Two records a rewrite alternates between: a head of two bytes naming the record, as a length in a
/// header would, and a run of one letter. The second is shorter, so it lies over the first one's tail.
std::pair<QByteArray, QByteArray> Records(qsizetype size)
{
    return {"1:" + QByteArray(size, 'a'), "2:" + QByteArray(size * 2 / 3, 'b')};
}

TEST(OwnFile, ARewriteKilledAtAnyMomentLeavesTheOldBytesTheNewOrTheUnfinishedMark)
{
    if (qEnvironmentVariableIsSet(kRewriteLoop)) {
        // The child: rewrites for ever, saying so after each one, until it is killed.
        const QStringList args = qEnvironmentVariable(kRewriteLoop).split(QLatin1Char('|'));
        const auto [first, second] = Records(args[1].toLongLong());
        for (int i = 1;; ++i) {
            ASSERT_TRUE(OwnFile::RewriteInPlace(args[0], i % 2 ? second : first, "--"));
            std::printf("rewrote\n");
            std::fflush(stdout);
        }
    }
    const long page = ::sysconf(_SC_PAGESIZE);
    for (const qsizetype size : {qsizetype(page / 2), qsizetype(page * 5)}) {
        const auto [first, second] = Records(size);
        const bool inOneWrite = first.size() <= page;
        for (int rewrites = 1; rewrites <= 16; ++rewrites) {
            SCOPED_TRACE(QStringLiteral("%1 bytes, killed after %2 rewrites").arg(first.size()).arg(rewrites).toStdString());
            test::TempDir dir;
            const QString file = dir.filePath(QStringLiteral("settings.ini"));
            ASSERT_TRUE(OwnFile::Append(file, first));

            QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
            env.insert(QString::fromLatin1(kRewriteLoop), file + QLatin1Char('|') + QString::number(size));
            // What a killed child cannot clean up itself (its storage folder) goes where this test cleans.
            env.insert(QStringLiteral("TMPDIR"), dir.path());
            QProcess child;
            child.setProcessEnvironment(env);
            child.start(QCoreApplication::applicationFilePath(),
                        {QStringLiteral("--gtest_filter=") + test::CurrentTestName()});
            ASSERT_TRUE(child.waitForStarted(10000));
            QByteArray said;
            QElapsedTimer clock;
            clock.start();
            while (said.count("rewrote") < rewrites && child.state() == QProcess::Running && clock.elapsed() < 60000) {
                child.waitForReadyRead(1000);
                said += child.readAllStandardOutput();
            }
            // The child is in the middle of its next rewrite, or just before or after it.
            child.kill();
            child.waitForFinished(10000);
            ASSERT_GE(said.count("rewrote"), rewrites) << said.toStdString();

            const QByteArray left = test::FileBytes(file);
            const bool whole = left.startsWith(first) || left.startsWith(second);
            if (inOneWrite)
                EXPECT_TRUE(whole) << "a mix of two records: " << left.left(40).toStdString();
            else
                EXPECT_TRUE(whole || left.startsWith("--")) << "a mix of two records: " << left.left(40).toStdString();
        }
    }
}

}  // namespace
