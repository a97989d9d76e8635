#include "search/frmMain.h"

#include "app/GridColumns.h"
#include "app/ProgramState.h"
#include "app/Settings.h"
#include "platform/DataGrid.h"
#include "platform/FolderTree.h"
#include "search/dlgSave.h"
#include "support/MainWindowFixture.h"
#include "support/SmallDisk.h"
#include "support/SpecialFiles.h"
#include "support/TestEnv.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QLineEdit>
#include <QProcess>

#include <gtest/gtest.h>

#include <vector>

using namespace folvane;
using folvane::test::ScriptedMsgBox;
using folvane::test::ShellRecorder;
using folvane::test::TempDir;

namespace {

const QStringList kHeaders = {"Name",         "Selection", "Pages", "Location", "Size (In KB)", "Type",
                              "Created Date", "Modified Date"};

struct Row {
    QString name;
    int check;
    QString pages = QStringLiteral("3");
    QString size = QStringLiteral("1,234 KB");
};

QByteArray ReadAll(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

/// What the user answers in the export dialog.
struct Answer {
    QString folder;
    QString name = QStringLiteral("list");
    int type = 1; // "Excel Worksheet(*.xls)"
    QString separator = QStringLiteral(",");
    bool open = false;
    bool cancel = false;
};

/// Answers every export dialog with `answer`, and records what the storage folder held meanwhile.
class ScriptedExportDialog {
public:
    explicit ScriptedExportDialog(Answer a) : answer(std::move(a))
    {
        dlgSave::SetModalRunner([this](dlgSave &d) {
            ++runs;
            scratchSeen = QFile::exists(State().StorageFolderPath + QStringLiteral("/Temp.xls"));
            d.ftvFolder->setSelectedPath(answer.folder);
            d.txtFileName->setText(answer.name);
            d.cboFileType->setCurrentIndex(answer.type);
            d.txtColSaperator->setText(answer.separator);
            d.ChkOpenFile->setChecked(answer.open);
            if (answer.cancel)
                d.cmdCancel_Click();
            else
                d.cmdSave_Click();
        });
    }
    ~ScriptedExportDialog() { dlgSave::SetModalRunner({}); }

    Answer answer;
    int runs = 0;
    bool scratchSeen = false;
};

class ExportTest : public test::MainWindowFixture {
protected:
    /// The eight result columns in their default order, one row per entry, names in "Name" and the
    /// folder in "Location".
    void fill(const std::vector<Row> &rows)
    {
        DataGrid &g = *w.grdSearchList;
        g.setCols(kHeaders.size());
        g.setFixedRows(1);
        g.setRows(1);
        for (int c = 0; c < kHeaders.size(); ++c)
            g.setTextMatrix(0, c, kHeaders[c]);
        g.setColDataType(1, GridDataType::Boolean);
        for (const Row &row : rows) {
            const int r = g.Rows();
            g.setRows(r + 1);
            const QStringList cells = {row.name, "", row.pages, "/docs", row.size, "pdf document",
                                       "19/04/2010 10:00 AM", "20/04/2010 11:30 PM"};
            for (int c = 0; c < cells.size(); ++c)
                g.setTextMatrix(r, c, cells[c]);
            if (row.check != GridCheck::Unset)
                g.setCell(flexcpChecked, r, 1, row.check);
        }
    }

    /// Moves a grid column and keeps the column model's positions in step, as the grid's move event does.
    void moveColumn(int from, int to)
    {
        w.grdSearchList->setColPosition(from, to);
        for (const GridColumns::Ptr &column : *State().objGridColumns) {
            for (int c = 0; c < w.grdSearchList->Cols(); ++c) {
                if (w.grdSearchList->TextMatrix(0, c) == column->ColumnKey)
                    column->ColumnIndex = static_cast<std::int16_t>(c);
            }
        }
    }

    frmMain w;
    TempDir dir;
};

TEST_F(ExportTest, WritesTheCheckedRowsWithEachTypesSeparator)
{
    struct Case {
        int type;
        QString separator;
        QString file;
        QByteArray bytes;
    };
    const QByteArray tabbed = "Name\tLocation\tSize (In KB)\tType\tCreated Date\tModified Date\r"
                              "a.pdf\t/docs\t1,234 KB\tpdf document\t19/04/2010 10:00 AM\t20/04/2010 11:30 PM\r"
                              "c.pdf\t/docs\t1,234 KB\tpdf document\t19/04/2010 10:00 AM\t20/04/2010 11:30 PM\r";
    const std::vector<Case> cases = {
        {0, ",", "list.txt",
         "Name,Location,Size (In KB),Type,Created Date,Modified Date\r"
         "a.pdf,/docs,\"1,234 KB\",pdf document,19/04/2010 10:00 AM,20/04/2010 11:30 PM\r"
         "c.pdf,/docs,\"1,234 KB\",pdf document,19/04/2010 10:00 AM,20/04/2010 11:30 PM\r"},
        {0, ";", "list.txt",
         "Name;Location;Size (In KB);Type;Created Date;Modified Date\r"
         "a.pdf;/docs;1,234 KB;pdf document;19/04/2010 10:00 AM;20/04/2010 11:30 PM\r"
         "c.pdf;/docs;1,234 KB;pdf document;19/04/2010 10:00 AM;20/04/2010 11:30 PM\r"},
        {3, " ", "list.doc",
         "Name Location \"Size (In KB)\" Type \"Created Date\" \"Modified Date\"\r"
         "a.pdf /docs \"1,234 KB\" \"pdf document\" \"19/04/2010 10:00 AM\" \"20/04/2010 11:30 PM\"\r"
         "c.pdf /docs \"1,234 KB\" \"pdf document\" \"19/04/2010 10:00 AM\" \"20/04/2010 11:30 PM\"\r"},
        // A separator typed for txt is not taken once a tab-separated type is chosen.
        {1, ";", "list.xls", tabbed},
        {2, ";", "list.csv", tabbed},
    };
    fill({{"a.pdf", GridCheck::Checked}, {"b.pdf", GridCheck::Unchecked}, {"c.pdf", GridCheck::Checked}});
    w.grdSearchList->setColHidden(2, true); // "Pages"
    for (const Case &c : cases) {
        SCOPED_TRACE(c.file.toStdString() + " separator '" + c.separator.toStdString() + "'");
        ScriptedMsgBox box;
        ScriptedExportDialog dialog({dir.path(), "list", c.type, c.separator});
        w.cmdExport_Click();
        const QString path = dir.filePath(c.file);
        EXPECT_EQ(ReadAll(path), c.bytes);
        EXPECT_EQ(box.texts(), QStringList{path + "Exported successfully"});
        QFile::remove(path);
    }
}

TEST_F(ExportTest, FollowsTheDisplayOrderAndLeavesTheGridAsItWas)
{
    fill({{"a.pdf", GridCheck::Checked}, {"b.pdf", GridCheck::Checked, "Secured or Corrupted"}});
    moveColumn(3, 0); // Location first
    moveColumn(2, 7); // Selection last
    w.grdSearchList->setColHidden(4, true); // "Type"
    w.grdSearchList->setColHidden(5, true); // "Created Date"
    ScriptedMsgBox box;
    ScriptedExportDialog dialog({dir.path(), "moved", 0, "|"});
    w.cmdExport_Click();
    // The damaged row is written like any other checked row.
    EXPECT_EQ(ReadAll(dir.filePath("moved.txt")),
              QByteArray("Location|Name|Pages|Size (In KB)|Modified Date\r"
                         "/docs|a.pdf|3|1,234 KB|20/04/2010 11:30 PM\r"
                         "/docs|b.pdf|Secured or Corrupted|1,234 KB|20/04/2010 11:30 PM\r"));
    const DataGrid &g = *w.grdSearchList;
    EXPECT_EQ(g.Rows(), 3);
    EXPECT_EQ(g.Cols(), 8);
    EXPECT_EQ(g.TextMatrix(0, 7), "Selection");
    EXPECT_EQ(g.Cell(flexcpChecked, 2, 7).toInt(), GridCheck::Checked);
    EXPECT_TRUE(g.ColHidden(4));
    EXPECT_FALSE(g.ColHidden(7));
}

TEST_F(ExportTest, RowsNobodyCheckedAreLeftOut)
{
    // A row the search wrote and nobody touched has no check state at all.
    fill({{"unset.pdf", GridCheck::Unset}, {"checked.pdf", GridCheck::Checked}, {"cleared.pdf", GridCheck::Unchecked}});
    ScriptedExportDialog dialog({dir.path(), "list", 2});
    w.cmdExport_Click();
    const QList<QByteArray> lines = ReadAll(dir.filePath("list.csv")).split('\r');
    ASSERT_EQ(lines.size(), 3); // header, one row, and the empty text after the last line end
    EXPECT_TRUE(lines[1].startsWith("checked.pdf\t"));
}

TEST_F(ExportTest, NothingToExportIsSaidAndNoDialogOpens)
{
    struct Case {
        std::vector<Row> rows;
        QString message;
    };
    const std::vector<Case> cases = {
        {{}, "No Files Found"},
        {{{"a.pdf", GridCheck::Unchecked}, {"b.pdf", GridCheck::Unset}}, "No files selected"},
    };
    for (const Case &c : cases) {
        fill(c.rows);
        ScriptedMsgBox box;
        ScriptedExportDialog dialog({dir.path()});
        w.cmdExport_Click();
        EXPECT_EQ(box.texts(), QStringList{c.message});
        EXPECT_EQ(dialog.runs, 0);
    }
    EXPECT_TRUE(QDir(dir.path()).isEmpty());
}

TEST_F(ExportTest, CancelWritesNothingAndTheScratchCopyIsGoneBeforeTheDialogOpens)
{
    fill({{"a.pdf", GridCheck::Checked}});
    const QString scratch = State().StorageFolderPath + "/Temp.xls";
    QFile f(scratch);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.close();
    ScriptedMsgBox box;
    Answer answer{dir.path()};
    answer.cancel = true;
    ScriptedExportDialog dialog(answer);
    w.cmdExport_Click();
    EXPECT_EQ(dialog.runs, 1);
    EXPECT_FALSE(dialog.scratchSeen);
    EXPECT_TRUE(box.texts().isEmpty());
    EXPECT_TRUE(QDir(dir.path()).isEmpty());
}

TEST_F(ExportTest, OnlyARegularFileAtTheScratchNameIsRemoved)
{
    using test::AtTarget;
    fill({{"a.pdf", GridCheck::Checked}});
    const QString scratch = State().StorageFolderPath + "/Temp.xls";
    std::vector<AtTarget> kinds = test::LeftAlone();
    kinds.push_back(AtTarget::LinkToFile);
    for (const AtTarget kind : kinds) {
        SCOPED_TRACE(test::Describe(kind));
        test::Make(kind, scratch);
        const test::NameState before = test::StateOf(scratch);
        ScriptedMsgBox box;
        ScriptedExportDialog dialog({dir.path()});
        w.cmdExport_Click();
        // Not ours to remove, and the export needs no scratch file: it goes on.
        EXPECT_EQ(box.texts(), QStringList{dir.filePath("list.xls") + "Exported successfully"});
        EXPECT_EQ(test::StateOf(scratch), before);
        QFile::remove(scratch);
        QDir(scratch).removeRecursively();
        QDir(QFileInfo(test::ElsewhereOf(scratch)).path()).removeRecursively();
    }
}

TEST_F(ExportTest, OpensTheFileInsteadOfReportingSuccess)
{
    fill({{"a.pdf", GridCheck::Checked}});
    ScriptedMsgBox box;
    ShellRecorder shell;
    Answer answer{dir.path(), "opened", 2};
    answer.open = true;
    ScriptedExportDialog dialog(answer);
    w.cmdExport_Click();
    ASSERT_EQ(shell.requests().size(), 1u);
    EXPECT_EQ(shell.requests()[0].verb, Shell::Verb::Open);
    EXPECT_EQ(shell.requests()[0].target, dir.filePath("opened.csv"));
    EXPECT_TRUE(box.texts().isEmpty());
    EXPECT_EQ(State().objSettings->IsOpenFileAfterExport(), 1);
}

TEST_F(ExportTest, AFolderThatCannotBeWrittenIsReported)
{
    fill({{"a.pdf", GridCheck::Checked}});
    // Permissions do not stop root: a folder below a plain file can be written by nobody.
    const QString file = dir.createFile("plain", "x");
    ScriptedMsgBox box;
    ScriptedExportDialog dialog({file + "/sub"});
    w.cmdExport_Click();
    ASSERT_EQ(box.texts().size(), 1);
    EXPECT_TRUE(box.texts()[0].startsWith("Unable to export!\r\n\r\n")) << box.texts()[0].toStdString();
    EXPECT_GT(box.texts()[0].size(), QString("Unable to export!\r\n\r\n").size());
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList{"plain"});
}

TEST_F(ExportTest, AnOldFileIsReplacedOnlyByACompleteNewOne)
{
    if (test::RanOnSmallDisk(64 * 1024))
        return;
    const QString disk = test::SmallDisk();
    // About 100 KB of list for a 64 KB disk: it fills part way through.
    std::vector<Row> rows;
    for (int i = 0; i < 2000; ++i)
        rows.push_back({QString("file%1.pdf").arg(i), GridCheck::Checked});
    fill(rows);
    const QByteArray old = "the old list\r";
    const QString path = disk + "/list.xls";
    {
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        ASSERT_EQ(f.write(old), old.size());
    }
    {
        ScriptedMsgBox box;
        ScriptedExportDialog dialog({disk});
        w.cmdExport_Click();
        ASSERT_EQ(box.texts().size(), 1);
        EXPECT_TRUE(box.texts()[0].startsWith("Unable to export!\r\n\r\n")) << box.texts()[0].toStdString();
        EXPECT_TRUE(box.texts()[0].contains("No space left on device")) << box.texts()[0].toStdString();
    }
    EXPECT_EQ(ReadAll(path), old);
    EXPECT_EQ(test::FolderEntries(disk), QStringList{"list.xls"});

    // The space the failed list took is free again: a list that fits replaces the old one.
    rows.resize(200);
    fill(rows);
    ScriptedExportDialog dialog({disk});
    w.cmdExport_Click();
    const QByteArray now = ReadAll(path);
    EXPECT_TRUE(now.startsWith("Name\tPages\tLocation"));
    EXPECT_EQ(now.count('\r'), 201);
}

// The list's quoting: a cell holding the separator, the quote character, CR or LF is put in quote
// characters with those inside doubled. The quote character is the double quote, or the apostrophe
// when the separator is itself a double quote. So every line splits back into its cells, whatever one
// character the separator box took.
TEST_F(ExportTest, ACsvReaderReadsBackExactlyTheGridsCells)
{
    const QStringList names = {"plain.pdf", "a, b, and c.pdf", "say \"hi\".pdf", "Ünïcødé ✓ 日本.pdf",
                               "tab\there.pdf", "two\nlines.pdf", "\"quoted\", then, more\".pdf", "semi;colon.pdf",
                               "O'Brien's \"x\".pdf", "smile \U0001F600.pdf", "bar|pipe.pdf", "cr\rhere.pdf"};
    std::vector<Row> rows;
    for (const QString &n : names)
        rows.push_back({n, GridCheck::Checked});
    fill(rows);
    const QString reader = QStringLiteral(
        "import csv, json, sys\n"
        "with open(sys.argv[1], newline='', encoding='utf-8') as f:\n"
        "    print(json.dumps([row for row in csv.reader(f, delimiter=sys.argv[2], quotechar=sys.argv[3])]))\n");
    struct Case {
        int type;
        QString separator; // as typed; csv and xls use a tab
        QString delimiter;
        QString quote;
        QString file;
    };
    const std::vector<Case> cases = {
        {2, ",", "\t", "\"", "list.csv"},
        {1, ",", "\t", "\"", "list.xls"},
        {0, ",", ",", "\"", "list.txt"},
        {3, ";", ";", "\"", "list.doc"},
        {0, "\"", "\"", "'", "list.txt"}, // the separator cannot also quote
        {3, "'", "'", "\"", "list.doc"},
        {0, " ", " ", "\"", "list.txt"},
        {0, "x", "x", "\"", "list.txt"},
        {0, "|", "|", "\"", "list.txt"},
        {3, QStringLiteral("\U0001F600"), QStringLiteral("\U0001F600"), "\"", "list.doc"},
        {0, QStringLiteral("\u00a0"), QStringLiteral("\u00a0"), "\"", "list.txt"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.file.toStdString() + " separator '" + c.separator.toStdString() + "'");
        ScriptedExportDialog dialog({dir.path(), "list", c.type, c.separator});
        w.cmdExport_Click();
        QProcess python;
        python.start("python3", {"-c", reader, dir.filePath(c.file), c.delimiter, c.quote});
        ASSERT_TRUE(python.waitForFinished(30000));
        ASSERT_EQ(python.exitCode(), 0) << python.readAllStandardError().toStdString();
        const QJsonArray table = QJsonDocument::fromJson(python.readAllStandardOutput()).array();
        ASSERT_EQ(table.size(), names.size() + 1);
        EXPECT_EQ(table[0].toArray()[3].toString(), "Size (In KB)");
        for (int r = 1; r < table.size(); ++r) {
            const QJsonArray cells = table[r].toArray();
            ASSERT_EQ(cells.size(), 7);
            EXPECT_EQ(cells[0].toString(), names[r - 1]);
            EXPECT_EQ(cells[3].toString(), "1,234 KB");
            EXPECT_EQ(cells[6].toString(), "20/04/2010 11:30 PM");
        }
        QFile::remove(dir.filePath(c.file));
    }
}

}  // namespace
