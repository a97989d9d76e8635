// Starts the real program as a user would, with a home and storage folder of the test's own: the
// first search, the files named on the command line and what a start leaves in the error log.

#include "app/Settings.h"
#include "support/PdfFixtures.h"
#include "support/TestEnv.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QProcessEnvironment>

#include <gtest/gtest.h>

#include <optional>
#include <string>

using folvane::Settings;
using folvane::test::MakePdf;
using folvane::test::StorageAt;
using folvane::test::TempDir;

namespace {

/// A home of the program's own: its storage folder lies inside it.
struct ProgramHome {
    TempDir home;
    QString storage() const { return home.filePath(QStringLiteral("data/Quorrel Technologies/Folvane 1.1")); }
    QString errorLog() const { return storage() + QStringLiteral("/Errors.Log"); }
};

/// The rows a line each, for readable comparisons.
std::string Lines(const QStringList &rows) { return rows.join(QLatin1Char('\n')).toStdString(); }

/// Starts the program in the folder `cwd` with the arguments, lets it close itself once its window has
/// loaded, and answers the result rows it reported then, each as "[x] " (checked) or "[ ] " followed
/// by its Location, "/" and its Name, sorted. Nothing when the program did not run to its end.
std::optional<QStringList> RunProgram(const ProgramHome &where, const QString &cwd, const QStringList &arguments,
                                      const QString &platform = QStringLiteral("offscreen"))
{
    const QString report = where.home.filePath(QStringLiteral("rows.txt"));
    QFile::remove(report);
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), platform);
    env.insert(QStringLiteral("HOME"), where.home.path());
    env.insert(QStringLiteral("XDG_DATA_HOME"), where.home.filePath(QStringLiteral("data")));
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), where.home.filePath(QStringLiteral("config")));
    env.insert(QStringLiteral("FOLVANE_TEST_REPORT"), report);
    env.insert(QStringLiteral("FOLVANE_TEST_QUIT"), QStringLiteral("1"));

    QProcess program;
    program.setProcessEnvironment(env);
    program.setWorkingDirectory(cwd);
    program.start(QStringLiteral(FOLVANE_EXE), arguments);
    if (!program.waitForStarted(10000) || !program.waitForFinished(120000)) {
        ADD_FAILURE() << "the program did not start, or its window did not close";
        program.kill();
        program.waitForFinished();
        return std::nullopt;
    }
    EXPECT_EQ(program.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(program.exitCode(), 0);
    QFile rows(report);
    if (!rows.open(QIODevice::ReadOnly)) {
        ADD_FAILURE() << "the program wrote no report";
        return std::nullopt;
    }
    QStringList out;
    for (const QString &line : QString::fromUtf8(rows.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts)) {
        const QStringList cells = line.split(QLatin1Char('\t'));
        if (cells.size() != 3) {
            ADD_FAILURE() << "a report line of another shape: " << line.toStdString();
            continue;
        }
        out << (cells[0] == QLatin1String("1") ? QStringLiteral("[x] ") : QStringLiteral("[ ] ")) + cells[1]
                   + QLatin1Char('/') + cells[2];
    }
    out.sort();
    return out;
}

// The start-up path end to end: the real program, its first search and the command-line files.
TEST(frmMainEndToEnd, CommandLineFilesAreCheckedAfterTheFirstSearch)
{
    // Window placement needs a real X server (CI runs the tests under xvfb-run).
    if (qEnvironmentVariable("DISPLAY").isEmpty())
        GTEST_SKIP() << "no X display";

    ProgramHome where;
    TempDir docs;
    for (const char *name : {"alpha.pdf", "Beta.pdf", "gamma.pdf", "delta.pdf"})
        MakePdf(docs.filePath(QString::fromLatin1(name)), 2);
    // An earlier run's settings, with widths saved with fractions and no window remembered yet.
    ASSERT_TRUE(QDir().mkpath(where.storage()));
    {
        const StorageAt at(where.storage());
        Settings earlier;
        earlier.LoadDefaultSettings();
        earlier.setLastGridColWidth(QStringLiteral("1800.4,250,700.6,1800,1000,1400,2000,2000"));
        ASSERT_EQ(earlier.LastWindowState(), 0);
        ASSERT_EQ(earlier.LastWindowWidth(), 0);
    }

    // Case differs from the files on purpose: names match without regard to case.
    const std::optional<QStringList> rows =
        RunProgram(where, docs.path(), {docs.filePath(QStringLiteral("ALPHA.pdf")), docs.filePath(QStringLiteral("beta.PDF"))},
                   QStringLiteral("xcb"));
    ASSERT_TRUE(rows);
    const QString at = docs.path() + QLatin1Char('/');
    EXPECT_EQ(Lines(*rows), Lines({"[ ] " + at + "delta.pdf", "[ ] " + at + "gamma.pdf", "[x] " + at + "Beta.pdf",
                                   "[x] " + at + "alpha.pdf"}));

    // Closing stored the grid's widths, whole twips as the grid holds them, and the window's state:
    // with no rectangle remembered it opened maximized.
    const StorageAt storage(where.storage());
    Settings after;
    ASSERT_TRUE(after.LoadSettings());
    EXPECT_EQ(after.LastGridColWidth().toStdString(), "1800,250,701,1800,1000,1400,2000,2000");
    EXPECT_EQ(after.LastWindowState(), 2);
}

TEST(frmMainEndToEnd, ACleanStartSearchesTheStartFolderAndLogsNothing)
{
    ProgramHome where;
    MakePdf(where.home.filePath(QStringLiteral("one.pdf")), 1);
    MakePdf(where.home.filePath(QStringLiteral("two.pdf")), 3);
    const QString at = where.home.path() + QLatin1Char('/');
    // The first start writes the default settings, whose start folder is the home folder; the second
    // reads them back.
    for (const char *start : {"first start", "second start"}) {
        SCOPED_TRACE(start);
        const std::optional<QStringList> rows = RunProgram(where, where.home.path(), {});
        ASSERT_TRUE(rows);
        EXPECT_EQ(Lines(*rows), Lines({"[ ] " + at + "one.pdf", "[ ] " + at + "two.pdf"}));
        EXPECT_TRUE(QFile::exists(where.storage() + QStringLiteral("/Settings/settings.ini")));
        EXPECT_FALSE(QFile::exists(where.errorLog()))
            << folvane::test::FileBytes(where.errorLog()).toStdString();
    }
}

TEST(frmMainEndToEnd, EachArgumentNamesOneFileAndRelativePathsStartInTheCurrentFolder)
{
    ProgramHome where;
    TempDir base;
    const QString pdfs = base.createFolder(QStringLiteral("pdfs"));
    for (const char *name : {"doc1.pdf", "report.pdf", "x|report.pdf"})
        MakePdf(base.filePath(QStringLiteral("pdfs/") + QString::fromUtf8(name)), 1);
    const QString at = pdfs + QLatin1Char('/');
    struct Case {
        const char *what;
        QStringList arguments;
        QStringList rows;
    } cases[] = {
        {"a relative path", {"pdfs/doc1.pdf"}, {"[ ] " + at + "report.pdf", "[ ] " + at + "x|report.pdf", "[x] " + at + "doc1.pdf"}},
        {"a name holding \"|\" among other arguments",
         {"pdfs/x|report.pdf", "pdfs/doc1.pdf"},
         {"[ ] " + at + "report.pdf", "[x] " + at + "doc1.pdf", "[x] " + at + "x|report.pdf"}},
        {"one argument naming an existing file whose name holds \"|\"",
         {"pdfs/x|report.pdf"},
         {"[ ] " + at + "doc1.pdf", "[ ] " + at + "report.pdf", "[x] " + at + "x|report.pdf"}},
        {"one argument holding a list", {"pdfs/doc1.pdf|pdfs/report.pdf"},
         {"[ ] " + at + "x|report.pdf", "[x] " + at + "doc1.pdf", "[x] " + at + "report.pdf"}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        const std::optional<QStringList> rows = RunProgram(where, base.path(), c.arguments);
        ASSERT_TRUE(rows);
        EXPECT_EQ(Lines(*rows), Lines(c.rows));
    }
}

}  // namespace
