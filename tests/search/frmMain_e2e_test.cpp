// Starts the real program as a user would, on a folder of generated PDFs with two of them named on
// the command line, and checks that their rows come up checked after the first search.

#include "support/PdfFixtures.h"
#include "support/TestEnv.h"

#include <QFile>
#include <QProcess>
#include <QProcessEnvironment>

#include <gtest/gtest.h>

using folvane::test::MakePdf;
using folvane::test::TempDir;

namespace {

// The start-up path end to end: the real program, its first search and the command-line files.
TEST(frmMainEndToEnd, CommandLineFilesAreCheckedAfterTheFirstSearch)
{
    // Window placement needs a real X server (CI runs the tests under xvfb-run).
    if (qEnvironmentVariable("DISPLAY").isEmpty())
        GTEST_SKIP() << "no X display";

    TempDir home;
    TempDir docs;
    for (const char *name : {"alpha.pdf", "Beta.pdf", "gamma.pdf", "delta.pdf"})
        MakePdf(docs.filePath(QString::fromLatin1(name)), 2);
    const QString report = home.filePath(QStringLiteral("checked.txt"));

    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    env.insert(QStringLiteral("HOME"), home.path());
    env.insert(QStringLiteral("XDG_DATA_HOME"), home.filePath(QStringLiteral("data")));
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), home.filePath(QStringLiteral("config")));
    env.insert(QStringLiteral("FOLVANE_TEST_REPORT"), report);
    env.insert(QStringLiteral("FOLVANE_TEST_QUIT"), QStringLiteral("1"));

    QProcess program;
    program.setProcessEnvironment(env);
    // Case differs from the files on purpose: names match without regard to case.
    program.start(QStringLiteral(FOLVANE_EXE),
                  {docs.filePath(QStringLiteral("ALPHA.pdf")), docs.filePath(QStringLiteral("beta.PDF"))});
    ASSERT_TRUE(program.waitForStarted(10000));
    ASSERT_TRUE(program.waitForFinished(120000)) << "the window did not close";
    EXPECT_EQ(program.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(program.exitCode(), 0);

    QFile checked(report);
    ASSERT_TRUE(checked.open(QIODevice::ReadOnly)) << "the program wrote no report";
    QStringList names = QString::fromUtf8(checked.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    names.sort();
    EXPECT_EQ(names, (QStringList{QStringLiteral("Beta.pdf"), QStringLiteral("alpha.pdf")}));

    // Closing stored the window in the settings file.
    EXPECT_TRUE(QFile::exists(
        home.filePath(QStringLiteral("data/Quorrel Technologies/Folvane 1.1/Settings/settings.ini"))));
}

}  // namespace
