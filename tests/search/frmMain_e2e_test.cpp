// Starts the real program as a user would, on a folder of generated PDFs with two of them named on
// the command line, and checks that their rows come up checked after the first search.

#include "app/Settings.h"
#include "support/PdfFixtures.h"
#include "support/TestEnv.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QProcessEnvironment>

#include <gtest/gtest.h>

using folvane::Settings;
using folvane::test::MakePdf;
using folvane::test::StorageAt;
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
    // An earlier run's settings, with widths saved with fractions and no window remembered yet.
    const QString storage = home.filePath(QStringLiteral("data/Quorrel Technologies/Folvane 1.1"));
    ASSERT_TRUE(QDir().mkpath(storage));
    {
        const StorageAt at(storage);
        Settings earlier;
        earlier.LoadDefaultSettings();
        earlier.setLastGridColWidth(QStringLiteral("1800.4,250,700.6,1800,1000,1400,2000,2000"));
        ASSERT_EQ(earlier.LastWindowState(), 0);
        ASSERT_EQ(earlier.LastWindowWidth(), 0);
    }

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

    // Closing stored the grid's widths, whole twips as the grid holds them, and the window's state:
    // with no rectangle remembered it opened maximized.
    const StorageAt at(storage);
    Settings after;
    ASSERT_TRUE(after.LoadSettings());
    EXPECT_EQ(after.LastGridColWidth().toStdString(), "1800,250,701,1800,1000,1400,2000,2000");
    EXPECT_EQ(after.LastWindowState(), 2);
}

}  // namespace
