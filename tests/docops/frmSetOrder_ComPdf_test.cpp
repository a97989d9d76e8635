#include "docops/frmSetOrder_ComPdf.h"

#include "app/GridColumns.h"
#include "app/ProgramState.h"
#include "app/Settings.h"
#include "app/modGeneral.h"
#include "docops/modDocOps.h"
#include "platform/CommonDialog.h"
#include "platform/DataGrid.h"
#include "support/MainWindowFixture.h"
#include "support/PdfFixtures.h"
#include "support/SmallDisk.h"
#include "support/TestEnv.h"

#include <QCheckBox>
#include <QFile>
#include <QFileInfo>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QTableView>
#include <QTest>

#include <gtest/gtest.h>

#include <memory>
#include <vector>

using namespace folvane;
using namespace folvane::test;

namespace {

clsColSetOrderGrid Record(const QString &folder, const QString &name, int pages)
{
    clsColSetOrderGrid r;
    r.filename = name;
    r.FileLocation = folder;
    r.FileSize = QStringLiteral("%1 KB").arg(pages * 10);
    r.FileType = QStringLiteral("pdf document");
    r.FileCreDate = QStringLiteral("01/02/2023 10:00 AM");
    r.FileModDate = QStringLiteral("03/04/2023 11:30 PM");
    r.PageCount = pages;
    return r;
}

class SetOrderTest : public MainWindowFixture {
protected:
    void SetUp() override
    {
        MainWindowFixture::SetUp();
        // The main window has split the visibility list by the time the dialog opens.
        State().ColumnVisible = modGeneral::SplitList(settings().ColumnVisibility());
    }
    void TearDown() override
    {
        CommonDialog::SetFolderAnswerer([](const CommonDialog::FolderRequest &) { return std::optional<QString>(); });
        MainWindowFixture::TearDown();
    }
    Settings &settings() { return *State().objSettings; }

    /// A loaded dialog over tagged PDFs "<tag>.pdf" in the temporary folder.
    frmSetOrder_ComPdf &open(const std::vector<std::pair<QString, int>> &docs)
    {
        dialog = std::make_unique<frmSetOrder_ComPdf>();
        for (const auto &[tag, pages] : docs) {
            MakeTaggedPdf(dir.path(), tag, pages);
            dialog->colSelectedData.push_back(Record(dir.path(), tag + ".pdf", pages));
        }
        dialog->Form_Load();
        return *dialog;
    }
    DataGrid &grid() { return *dialog->vsFilesSetOrder; }
    int rangeCol() const { return State().objGridColumns->Count(); }
    QStringList names()
    {
        QStringList out;
        for (int r = 1; r < grid().Rows(); ++r)
            out << grid().TextMatrix(r, ColumnOf(ColumnKey::Name));
        return out;
    }
    std::vector<int> checks()
    {
        std::vector<int> out;
        for (int r = 1; r < grid().Rows(); ++r)
            out.push_back(grid().Cell(flexcpChecked, r, ColumnOf(ColumnKey::Selection)).toInt());
        return out;
    }
    QStringList ranges()
    {
        QStringList out;
        for (int r = 1; r < grid().Rows(); ++r)
            out << grid().TextMatrix(r, rangeCol());
        return out;
    }
    void setChecked(int row, int state) { grid().setCell(flexcpChecked, row, ColumnOf(ColumnKey::Selection), state); }
    /// Name and folder boxes aimed at "<dir>/<name>.pdf".
    void aimAt(const QString &name)
    {
        dialog->txtmanualfilename->setText(name);
        dialog->txtOutputFolder->setText(dir.path());
    }

    TempDir dir;
    ScriptedMsgBox box;
    ShellRecorder shell;
    std::unique_ptr<frmSetOrder_ComPdf> dialog;
};

}  // namespace

TEST_F(SetOrderTest, IsDigitOrBackspaceLetsOnlyDigitsAndBackspaceIntoTheRangeBox)
{
    frmSetOrder_ComPdf &d = open({});
    for (int code = 1; code < 300; ++code) {
        SCOPED_TRACE(code);
        const bool digitOrBackspace = (code >= '0' && code <= '9') || code == 8;
        EXPECT_EQ(modDocOps::IsDigitOrBackspace(code), digitOrBackspace);
        // What the user sees: the character typed reaches the box as it was typed, or not at all.
        d.txtRange->setText("7");
        QKeyEvent press(QEvent::KeyPress, code == 8 ? Qt::Key_Backspace : Qt::Key_unknown, Qt::NoModifier,
                        QString(QChar(code)));
        QCoreApplication::sendEvent(d.txtRange, &press);
        QString expected = "7";
        if (code == 8)
            expected = "";
        else if (digitOrBackspace || code == ',' || code == '-')
            expected += QChar(code);
        EXPECT_EQ(d.txtRange->text(), expected);
    }
}

TEST_F(SetOrderTest, OpensWithTheRecordsTheModelsColumnsAndTheRememberedOptions)
{
    settings().setColumnReOrder("Pages,Name,Selection,Location,Size (In KB),Type,Created Date,Modified Date");
    modGeneral::LoadGridColumns();
    State().ColumnVisible = modGeneral::SplitList("1,1,1,0,1,1,1,1"); // "Location" hidden
    settings().setIsDefaultPathCombPDF(1);
    settings().setDefaultPathCombPDF("/remembered");
    settings().setIsOpenFileAftCombPDF(1);
    frmSetOrder_ComPdf &d = open({{"a", 3}, {"b", 12}});

    EXPECT_EQ(d.windowTitle(), "Set Order");
    ASSERT_EQ(grid().Cols(), 9);
    ASSERT_EQ(grid().Rows(), 3);
    EXPECT_EQ(grid().FixedRows(), 1);
    EXPECT_EQ(grid().FixedCols(), 0);
    EXPECT_EQ(grid().Editable(), 0);
    QStringList headers;
    std::vector<bool> hidden;
    for (int c = 0; c < grid().Cols(); ++c) {
        headers << grid().TextMatrix(0, c);
        hidden.push_back(grid().ColHidden(c));
    }
    EXPECT_EQ(headers.join(','), "Pages,Name,Selection,Location,Size (In KB),Type,Created Date,Modified Date,Range");
    EXPECT_EQ(hidden, std::vector<bool>({false, false, false, true, true, true, false, true, false}));
    EXPECT_EQ(grid().ColWidth(8), 750);
    EXPECT_EQ(grid().ColDataType(8), GridDataType::Decimal);
    EXPECT_EQ(grid().ColAlignment(ColumnOf(ColumnKey::Pages)), GridAlign::RightCenter);
    EXPECT_EQ(grid().ColAlignment(ColumnOf(ColumnKey::Name)), GridAlign::LeftCenter);
    EXPECT_EQ(grid().ColFormat(ColumnOf(ColumnKey::Created)), "dd/mm/yyyy hh:mm ampm");

    const clsColSetOrderGrid &b = d.colSelectedData[1];
    EXPECT_EQ(grid().TextMatrix(2, ColumnOf(ColumnKey::Name)), "b.pdf");
    EXPECT_EQ(grid().TextMatrix(2, ColumnOf(ColumnKey::Location)), dir.path());
    EXPECT_EQ(grid().TextMatrix(2, ColumnOf(ColumnKey::Size)), b.FileSize);
    EXPECT_EQ(grid().TextMatrix(2, ColumnOf(ColumnKey::Type)), b.FileType);
    EXPECT_EQ(grid().TextMatrix(2, ColumnOf(ColumnKey::Created)), b.FileCreDate);
    EXPECT_EQ(grid().TextMatrix(2, ColumnOf(ColumnKey::Modified)), b.FileModDate);
    EXPECT_EQ(grid().TextMatrix(2, ColumnOf(ColumnKey::Pages)), "12");
    EXPECT_EQ(checks(), std::vector<int>({1, 1}));
    EXPECT_EQ(ranges(), QStringList({"0", "0"}));
    EXPECT_EQ(grid().Row(), 1);

    EXPECT_TRUE(d.txtRange->text().isEmpty());
    EXPECT_TRUE(d.txtmanualfilename->text().isEmpty());
    EXPECT_EQ(d.txtOutputFolder->text(), "/remembered");
    EXPECT_TRUE(d.ChkDefaultPathCombPDF->isChecked());
    EXPECT_TRUE(d.ChkOpenFileAftCombPDF->isChecked());

    // Without the remembered-folder option the folder box stays empty.
    settings().setIsDefaultPathCombPDF(0);
    settings().setIsOpenFileAftCombPDF(0);
    open({{"a", 1}});
    EXPECT_TRUE(dialog->txtOutputFolder->text().isEmpty());
    EXPECT_FALSE(dialog->ChkOpenFileAftCombPDF->isChecked());
    EXPECT_TRUE(ErrorLogLines().isEmpty());
}

TEST_F(SetOrderTest, AModelWidthNoColumnCanHaveLeavesTheGridWhole)
{
    // The preferences dialog copies the saved widths into the model as they stand.
    State().objGridColumns->Item(QString(ColumnKey::Name))->ColumnWidth = 1e30f;
    State().objGridColumns->Item(QString(ColumnKey::Location))->ColumnWidth = -1;
    open({{"a", 1}});
    ASSERT_EQ(grid().Cols(), 9);
    EXPECT_EQ(grid().TextMatrix(0, 8), "Range");
    EXPECT_EQ(grid().ColWidth(8), 750);
    EXPECT_EQ(grid().ColDataType(8), GridDataType::Decimal);
    EXPECT_EQ(grid().ColWidth(ColumnOf(ColumnKey::Pages)), 700);
    EXPECT_EQ(grid().ColDataType(ColumnOf(ColumnKey::Selection)), GridDataType::Boolean);
    EXPECT_TRUE(ErrorLogLines().isEmpty());
}

TEST_F(SetOrderTest, CaptionsAndAccessKeys)
{
    frmSetOrder_ComPdf &d = open({});
    const std::pair<QString, QString> captions[] = {
        {d.fraSetOrder->title(), "1 Files"},
        {d.Frame1->title(), "2 Output"},
        {d.Frame3->title(), "Proccessing"},
        {d.Frame2->title(), ""},
        {d.cmdUp->text(), "&Up"},
        {d.cmdDown->text(), "Do&wn"},
        {d.Label3->text(),
         "Combine by &range. The range format can be in the style 3,5,7-9,10 ( 0 means all pages from file)"},
        {d.cmdAddRange->text(), "A&dd"},
        {d.Label1->text(), "File &name"},
        {d.Label2->text(), "Output &path"},
        {d.cmdbrowse->text(), "..."},
        {d.ChkOpenFileAftCombPDF->text(), "&Open merged file after combining"},
        {d.ChkDefaultPathCombPDF->text(), "Set default output &folder name "},
        {d.cmdOk->text(), "Co&mbine"},
        {d.cmdCancel->text(), "&Cancel"},
    };
    for (const auto &[actual, expected] : captions)
        EXPECT_EQ(actual, expected);
    EXPECT_EQ(d.Label3->buddy(), d.txtRange);
    EXPECT_EQ(d.Label1->buddy(), d.txtmanualfilename);
    EXPECT_EQ(d.Label2->buddy(), d.txtOutputFolder);
}

TEST_F(SetOrderTest, RangeValidationAndAdd)
{
    struct Case {
        QString text;
        QString message; ///< empty: accepted
        int selStart = -1, selLength = 0;
    } cases[] = {
        {"1,3-5,8", ""},
        {"3-3", ""},
        {"0", ""},
        {"12", ""},
        {"1,,3", ""},
        {"", ""},
        {"5-3", "Invalid output range.", 0, 3},
        {"2,5-3,9", "Invalid output range.", 2, 3},
        {"15-30,5-3", "Invalid output range.", 1, 3}, // the first place "5-3" stands is inside "15-30"
        {"1-2-3", "Invalid output Range"},
        {"1,2--", "Invalid output Range"},
        {"-4", "Invalid output range."},
        {"4-", "Invalid output range."},
        {"-", "Invalid output range."},
    };
    open({{"a", 1}, {"b", 1}, {"c", 1}});
    setChecked(2, GridCheck::Unchecked);
    QStringList cells = {"0", "0", "0"};
    for (const Case &c : cases) {
        SCOPED_TRACE(c.text.toStdString());
        ScriptedMsgBox messages;
        dialog->txtRange->setText(c.text);
        dialog->cmdAddRange_Click();
        if (c.message.isEmpty()) {
            EXPECT_TRUE(messages.calls().empty());
            cells[0] = cells[2] = c.text; // the unchecked row keeps its range
        } else {
            EXPECT_EQ(messages.texts(), QStringList({c.message}));
            EXPECT_EQ(messages.calls()[0].icon, MsgIcon::Information);
        }
        EXPECT_EQ(ranges(), cells);
        if (c.selStart >= 0) {
            EXPECT_EQ(dialog->txtRange->selectionStart(), c.selStart);
            EXPECT_EQ(dialog->txtRange->selectedText().size(), c.selLength);
        } else {
            EXPECT_FALSE(dialog->txtRange->hasSelectedText());
        }
        EXPECT_EQ(dialog->txtRange->text(), c.text);
    }
    EXPECT_TRUE(ErrorLogLines().isEmpty());

    // A number too large to read: refused without a message, one line logged.
    dialog->txtRange->setText("1-99999999999");
    EXPECT_FALSE(dialog->ValidateRange());
    EXPECT_TRUE(box.calls().empty());
    const QStringList log = ErrorLogLines();
    ASSERT_EQ(log.size(), 1);
    EXPECT_TRUE(log[0].contains("in procedure ValidateRange at Line No. "));
    EXPECT_TRUE(log[0].contains(" of Form frmSetOrder_ComPdf at time"));
}

TEST_F(SetOrderTest, KeyFiltersOfTheRangeAndNameBoxes)
{
    frmSetOrder_ComPdf &d = open({});
    struct Key {
        int code;
        bool rangePasses;
        bool namePasses;
    } keys[] = {
        {'0', true, true}, {'9', true, true}, {8, true, true},     {',', true, true},   {'-', true, true},
        {'a', false, true}, {' ', false, true}, {'.', false, true}, {';', false, true}, {3, false, true},
        {13, false, true},  {'|', false, false}, {'\\', false, false}, {'/', false, false}, {'*', false, false},
        {':', false, false}, {'?', false, false}, {'"', false, false}, {'<', false, false}, {'>', false, false},
    };
    for (const Key &k : keys) {
        SCOPED_TRACE(k.code);
        auto code = static_cast<std::int16_t>(k.code);
        d.txtRange_KeyPress(code);
        EXPECT_EQ(code, k.rangePasses ? k.code : 0);
        d.txtmanualfilename->setToolTip(QString());
        code = static_cast<std::int16_t>(k.code);
        d.txtmanualfilename_KeyPress(code);
        EXPECT_EQ(code, k.namePasses ? k.code : 0);
        EXPECT_EQ(d.txtmanualfilename->toolTip(),
                  k.namePasses ? QString()
                               : QStringLiteral("A filename can not contain any of the following character.\\n "
                                                "\\/*:''<>|"));
    }

    // Typed through the boxes themselves.
    QTest::keyClicks(d.txtRange, "1a-2, 5;");
    EXPECT_EQ(d.txtRange->text(), "1-2,5");
    QTest::keyClick(d.txtRange, Qt::Key_Backspace);
    EXPECT_EQ(d.txtRange->text(), "1-2,");
    QTest::keyClicks(d.txtmanualfilename, "re:po*rt<1>.pdf");
    EXPECT_EQ(d.txtmanualfilename->text(), "report1.pdf");
}

TEST_F(SetOrderTest, OutputNameAndPath)
{
    frmSetOrder_ComPdf &d = open({});
    struct Case {
        const char *name, *folder, *path;
    } cases[] = {
        {"report", "/out", "/out/report.pdf"},
        {"report", "/out/", "/out/report.pdf"},
        {"report.txt", "/out", "/out/report.pdf"},
        {"report.final.pdf", "/out", "/out/report.final.pdf"},
        {"a.b.c", "/out", "/out/a.b.pdf"},
        {".pdf", "/out", "/out/.pdf"},
    };
    for (const Case &c : cases) {
        d.txtmanualfilename->setText(c.name);
        d.txtOutputFolder->setText(c.folder);
        EXPECT_EQ(d.OutputPath(), c.path) << c.name << " in " << c.folder;
    }
}

TEST_F(SetOrderTest, ValidateInputMessagesAndTheOverwriteQuestion)
{
    const QString existing = dir.createFile("taken.pdf", "OLD");
    struct Case {
        const char *what;
        QString name, folder;
        std::optional<MsgResult> answer; ///< the question is asked
        QString message;
        bool result;
    } cases[] = {
        {"no name", "", dir.path(), std::nullopt, "Please provide valid file name.", false},
        {"no folder", "new", "", std::nullopt, "Invalid Output Folder Path", false},
        {"missing folder", "new", dir.filePath("nowhere"), std::nullopt, "Please enter Valid folder Name", false},
        {"new file", "new", dir.path(), std::nullopt, "", true},
        {"existing, No", "taken.txt", dir.path() + "/", MsgResult::No, "", false},
        {"existing, Yes", "taken", dir.path(), MsgResult::Yes, "", true},
    };
    frmSetOrder_ComPdf &d = open({});
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        ScriptedMsgBox messages;
        if (c.answer)
            messages.answer(*c.answer);
        d.txtmanualfilename->setText(c.name);
        d.txtOutputFolder->setText(c.folder);
        EXPECT_EQ(d.ValidateInput(), c.result);
        if (c.answer) {
            ASSERT_EQ(messages.calls().size(), 1u);
            const MsgBoxCall &q = messages.calls()[0];
            EXPECT_EQ(q.text, existing + " Already exists. Do you Wants to Replace it?");
            EXPECT_EQ(q.buttons, MsgButtons::YesNo);
            EXPECT_EQ(q.icon, MsgIcon::None);
            EXPECT_EQ(q.title, "Folvane 1.1");
        } else if (c.message.isEmpty()) {
            EXPECT_TRUE(messages.calls().empty());
        } else {
            EXPECT_EQ(messages.texts(), QStringList({c.message}));
        }
    }
}

TEST_F(SetOrderTest, ChoosingTheOutputFolder)
{
    frmSetOrder_ComPdf &d = open({});
    d.txtOutputFolder->setText("/kept");
    QStringList titles;
    std::optional<QString> answer = std::nullopt;
    CommonDialog::SetFolderAnswerer([&](const CommonDialog::FolderRequest &request) {
        titles << request.title;
        return answer;
    });
    d.cmdbrowse_Click();
    EXPECT_EQ(d.txtOutputFolder->text(), "/kept"); // cancelled
    answer = QStringLiteral("/picked/folder");
    d.cmdbrowse_Click();
    EXPECT_EQ(d.txtOutputFolder->text(), "/picked/folder");
    EXPECT_EQ(titles, QStringList({"Set Folder", "Set Folder"}));
}

TEST_F(SetOrderTest, UpAndDownMoveTheSelectedBlockWithItsChecksAndRanges)
{
    struct Case {
        const char *what;
        bool up;
        int row1, row2;
        QStringList order;
        int newRow1, newRow2;
    } cases[] = {
        {"up", true, 2, 3, {"b", "c", "a", "d"}, 1, 2},
        {"up at the top", true, 1, 2, {"a", "b", "c", "d"}, 1, 2},
        {"down", false, 2, 3, {"a", "d", "b", "c"}, 3, 4},
        {"down at the bottom", false, 3, 4, {"a", "b", "c", "d"}, 3, 4},
        {"one row up", true, 4, 4, {"a", "b", "d", "c"}, 3, 3},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        open({{"a", 1}, {"b", 1}, {"c", 1}, {"d", 1}});
        setChecked(3, GridCheck::Unchecked);
        grid().setTextMatrix(3, rangeCol(), "2-3");
        grid().Select(c.row1, 0, c.row2, rangeCol());
        c.up ? dialog->cmdUp_Click() : dialog->cmdDown_Click();
        QStringList expected;
        for (const QString &tag : c.order)
            expected << tag + ".pdf";
        EXPECT_EQ(names(), expected);
        const int cRow = static_cast<int>(c.order.indexOf("c")) + 1;
        EXPECT_EQ(grid().Cell(flexcpChecked, cRow, ColumnOf(ColumnKey::Selection)).toInt(), GridCheck::Unchecked);
        EXPECT_EQ(grid().TextMatrix(cRow, rangeCol()), "2-3");
        const GridSelection s = grid().GetSelection();
        EXPECT_EQ(s.row1, c.newRow1);
        EXPECT_EQ(s.row2, c.newRow2);
        EXPECT_EQ(s.col1, 0);
        EXPECT_EQ(s.col2, rangeCol());
    }
    EXPECT_TRUE(ErrorLogLines().isEmpty());
}

TEST_F(SetOrderTest, SpaceFlipsEveryRowOfTheBlockAndTheMouseOpensOnlyCheckAndRangeCells)
{
    open({{"a", 1}, {"b", 1}, {"c", 1}, {"d", 1}});
    setChecked(2, GridCheck::Unchecked);
    setChecked(3, GridCheck::Unset);
    grid().Select(1, 0, 3, 0);
    dialog->vsFilesSetOrder_KeyDown(65, 0);
    EXPECT_EQ(checks(), std::vector<int>({1, 2, 0, 1}));
    dialog->vsFilesSetOrder_KeyDown(32, 0);
    EXPECT_EQ(checks(), std::vector<int>({2, 1, 1, 1}));
    // Pressed in the grid itself: each row flips once, the current cell is not flipped again.
    grid().setEditable(2);
    grid().Select(1, ColumnOf(ColumnKey::Selection), 2, ColumnOf(ColumnKey::Selection));
    QTest::keyClick(grid().view(), Qt::Key_Space);
    EXPECT_EQ(checks(), std::vector<int>({1, 2, 1, 1}));

    struct Press {
        int button;
        int col;
        int editable;
    } presses[] = {
        {1, ColumnOf(ColumnKey::Selection), 2}, {1, rangeCol(), 2}, {1, ColumnOf(ColumnKey::Name), 0}, {2, ColumnOf(ColumnKey::Selection), 0},
        {1, ColumnOf(ColumnKey::Pages), 0},
    };
    for (const Press &p : presses) {
        grid().setEditable(1);
        grid().Select(1, p.col, 1, p.col);
        dialog->vsFilesSetOrder_MouseDown(static_cast<std::int16_t>(p.button), 0, 0, 0);
        EXPECT_EQ(grid().Editable(), p.editable) << p.button << " in column " << p.col;
    }
    // Moving away from the "Range" cell by keyboard closes the other cells to typing again.
    grid().Select(1, rangeCol(), 1, rangeCol());
    dialog->vsFilesSetOrder_MouseDown(1, 0, 0, 0);
    grid().Select(1, ColumnOf(ColumnKey::Name), 1, ColumnOf(ColumnKey::Name));
    EXPECT_EQ(grid().Editable(), 0);
    EXPECT_TRUE(ErrorLogLines().isEmpty());
}

TEST_F(SetOrderTest, CombineWritesTheCheckedRowsInGridOrderWithTheirRanges)
{
    frmSetOrder_ComPdf &d = open({{"a", 3}, {"b", 2}, {"c", 4}});
    setChecked(2, GridCheck::Unchecked);
    d.txtRange->setText("1,,3");
    d.cmdAddRange_Click();
    grid().Select(3, 0, 3, 0);
    d.cmdUp_Click();
    d.cmdUp_Click(); // c, a, b
    grid().setTextMatrix(2, rangeCol(), "2-3");
    aimAt("combined.txt");
    d.ChkOpenFileAftCombPDF->setChecked(true);
    d.ChkDefaultPathCombPDF->setChecked(true);

    std::vector<int> values;
    std::vector<bool> idle;
    QObject::connect(d.ProgressBar1, &QProgressBar::valueChanged, [&](int v) {
        values.push_back(v);
        idle.push_back(d.cmdOk->isEnabled() || d.cmdUp->isEnabled() || d.cmdDown->isEnabled());
        EXPECT_EQ(d.cursor().shape(), Qt::WaitCursor);
        EXPECT_EQ(d.ProgressBar1->minimum(), 0);
        EXPECT_EQ(d.ProgressBar1->maximum(), 2);
    });
    QSignalSpy finished(&d, &QDialog::finished);
    d.cmdOk_Click();

    const QString out = dir.filePath("combined.pdf");
    EXPECT_EQ(PageMarkers(out), Markers("c", {1, 3}) + Markers("a", {2, 3}));
    EXPECT_EQ(values, std::vector<int>({1, 2}));
    EXPECT_EQ(idle, std::vector<bool>({false, false}));
    EXPECT_TRUE(d.cmdOk->isEnabled() && d.cmdUp->isEnabled() && d.cmdDown->isEnabled());
    EXPECT_NE(d.cursor().shape(), Qt::WaitCursor);
    EXPECT_EQ(box.texts(), QStringList({"Successfully combined pdf files."}));
    ASSERT_EQ(shell.requests().size(), 1u);
    EXPECT_EQ(shell.requests()[0].verb, Shell::Verb::Open);
    EXPECT_EQ(shell.requests()[0].target, out);
    EXPECT_EQ(finished.count(), 1);
    EXPECT_EQ(settings().IsOpenFileAftCombPDF(), 1);
    EXPECT_EQ(settings().IsDefaultPathCombPDF(), 1);
    EXPECT_EQ(settings().DefaultPathCombPDF(), dir.path());
    EXPECT_TRUE(ErrorLogLines().isEmpty()) << ErrorLogLines().join('\n').toStdString();
}

TEST_F(SetOrderTest, AnOutputNamingAnInputIsReplacedByTheCombination)
{
    frmSetOrder_ComPdf &d = open({{"a", 2}, {"b", 1}});
    aimAt("a");
    box.answer(MsgResult::Yes);
    d.cmdOk_Click();
    EXPECT_EQ(PageMarkers(dir.filePath("a.pdf")), Markers("a", {1, 2}) + Markers("b", {1}));
    EXPECT_EQ(box.texts().last(), "Successfully combined pdf files.");

    // Answered No: nothing runs and the dialog stays open.
    frmSetOrder_ComPdf &again = open({{"c", 1}, {"d", 1}});
    aimAt("c");
    ScriptedMsgBox messages;
    messages.answer(MsgResult::No);
    QSignalSpy finished(&again, &QDialog::finished);
    again.cmdOk_Click();
    EXPECT_EQ(messages.calls().size(), 1u);
    EXPECT_EQ(PageMarkers(dir.filePath("c.pdf")), Markers("c", {1}));
    EXPECT_EQ(finished.count(), 0);
}

TEST_F(SetOrderTest, RangesTheEngineRefusesFailTheRunWithoutAFile)
{
    for (const char *range : {"9-2", "5", "1,0"}) {
        SCOPED_TRACE(range);
        frmSetOrder_ComPdf &d = open({{"a", 2}, {"b", 2}});
        grid().setTextMatrix(2, rangeCol(), range);
        aimAt("out");
        d.ChkOpenFileAftCombPDF->setChecked(true);
        ScriptedMsgBox messages;
        QSignalSpy finished(&d, &QDialog::finished);
        d.cmdOk_Click();
        EXPECT_EQ(messages.texts(), QStringList({"Error: in combining files"}));
        EXPECT_FALSE(QFile::exists(dir.filePath("out.pdf")));
        EXPECT_TRUE(shell.requests().empty());
        EXPECT_EQ(finished.count(), 1); // a run that ends closes the dialog, failed or not
        EXPECT_TRUE(d.cmdOk->isEnabled());
    }
}

TEST_F(SetOrderTest, ACombineThatFillsTheDiskFailsAndKeepsTheFileItWouldReplace)
{
    if (RanOnSmallDisk(4 << 20))
        return;
    const QString disk = SmallDisk();
    const QString old = MakeTaggedPdf(disk, "report", 3);
    const QByteArray oldBytes = FileBytes(old);
    const QStringList entries = FolderEntries(disk);
    // Two documents of about 3 MB each, which no compression shrinks: the disk fills part way.
    dialog = std::make_unique<frmSetOrder_ComPdf>();
    for (const QString tag : {"a", "b"}) {
        MakeNoisePdf(dir.path(), tag, 1, 1000, 1000);
        dialog->colSelectedData.push_back(Record(dir.path(), tag + ".pdf", 1));
    }
    dialog->Form_Load();
    dialog->txtmanualfilename->setText("report");
    dialog->txtOutputFolder->setText(disk);
    dialog->ChkOpenFileAftCombPDF->setChecked(true);
    ScriptedMsgBox messages;
    messages.answer(MsgResult::Yes);  // replace report.pdf
    dialog->cmdOk_Click();

    EXPECT_EQ(messages.texts(), QStringList({old + " Already exists. Do you Wants to Replace it?", "Error: in combining files"}));
    EXPECT_TRUE(shell.requests().empty());
    EXPECT_EQ(FileBytes(old), oldBytes);
    EXPECT_EQ(FolderEntries(disk), entries);
    EXPECT_TRUE(LoggedFor("CombineOrderPdf", " of Class Module TiffPdfCommands at time", "No space left on device"))
        << ErrorLogLines().join('\n').toStdString();
}

TEST_F(SetOrderTest, RunsRefusedOrStoppedInTheDialogLeaveItOpen)
{
    frmSetOrder_ComPdf &d = open({{"a", 1}, {"b", 1}});
    aimAt("out");
    QSignalSpy finished(&d, &QDialog::finished);

    // No row checked.
    setChecked(1, GridCheck::Unchecked);
    setChecked(2, GridCheck::Unchecked);
    d.cmdOk_Click();
    EXPECT_EQ(box.texts(), QStringList({"Please select files."}));
    EXPECT_EQ(finished.count(), 0);

    // A failure inside the run's own steps: logged, nothing shown, the buttons usable again.
    setChecked(1, GridCheck::Checked);
    setChecked(2, GridCheck::Checked);
    grid().setTextMatrix(2, ColumnOf(ColumnKey::Pages), "many");
    d.cmdOk_Click();
    EXPECT_EQ(box.texts().size(), 1);
    EXPECT_EQ(finished.count(), 0);
    EXPECT_TRUE(d.cmdOk->isEnabled() && d.cmdUp->isEnabled() && d.cmdDown->isEnabled());
    EXPECT_NE(d.cursor().shape(), Qt::WaitCursor);
    const QStringList log = ErrorLogLines();
    ASSERT_EQ(log.size(), 1);
    EXPECT_TRUE(log[0].contains("in procedure cmdOk_Click at Line No. "));
    EXPECT_TRUE(log[0].contains(" of Form frmSetOrder_ComPdf at time"));
    EXPECT_FALSE(QFile::exists(dir.filePath("out.pdf")));

    // The next run hands over the rows once, not behind those of the failed attempt.
    grid().setTextMatrix(2, ColumnOf(ColumnKey::Pages), "1");
    d.cmdOk_Click();
    EXPECT_EQ(PageMarkers(dir.filePath("out.pdf")), Markers("a", {1}) + Markers("b", {1}));
    EXPECT_EQ(finished.count(), 1);
}

TEST_F(SetOrderTest, ClosingDuringARunStopsItWithoutAFile)
{
    frmSetOrder_ComPdf &d = open({{"a", 1}, {"b", 1}, {"c", 1}});
    aimAt("out");
    d.ChkDefaultPathCombPDF->setChecked(true);
    QObject::connect(d.ProgressBar1, &QProgressBar::valueChanged, [&](int v) {
        if (v == 1)
            d.cmdCancel_Click();
    });
    d.cmdOk_Click();
    EXPECT_FALSE(QFile::exists(dir.filePath("out.pdf")));
    EXPECT_EQ(d.ProgressBar1->value(), 1);
    EXPECT_TRUE(box.calls().empty());
    EXPECT_TRUE(d.cmdOk->isEnabled());
    EXPECT_EQ(settings().DefaultPathCombPDF(), dir.path());
    EXPECT_TRUE(ErrorLogLines().isEmpty());
}

TEST_F(SetOrderTest, TheRememberedOptionsAreWrittenOnEveryClose)
{
    struct Case {
        const char *what;
        bool run;
        bool defaultFolder, openAfter;
        QString remembered;
    } cases[] = {
        {"cancel, folder box clear", false, false, true, "/old"},
        {"cancel, folder box set", false, true, false, "<dir>"},
        {"run, folder box clear", true, false, false, ""},
        {"run, folder box set", true, true, false, "<dir>"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        settings().setDefaultPathCombPDF("/old");
        settings().setIsDefaultPathCombPDF(c.defaultFolder ? 0 : 1);
        settings().setIsOpenFileAftCombPDF(c.openAfter ? 0 : 1);
        frmSetOrder_ComPdf &d = open({{"a", 1}, {"b", 1}});
        aimAt(QStringLiteral("out%1").arg(&c - cases));
        d.ChkDefaultPathCombPDF->setChecked(c.defaultFolder);
        d.ChkOpenFileAftCombPDF->setChecked(c.openAfter);
        c.run ? d.cmdOk_Click() : d.cmdCancel_Click();
        EXPECT_EQ(settings().IsDefaultPathCombPDF(), c.defaultFolder ? 1 : 0);
        EXPECT_EQ(settings().IsOpenFileAftCombPDF(), c.openAfter ? 1 : 0);
        EXPECT_EQ(settings().DefaultPathCombPDF(), QString(c.remembered).replace("<dir>", dir.path()));
    }

    // The window's own close button passes the same way.
    settings().setIsOpenFileAftCombPDF(0);
    frmSetOrder_ComPdf &d = open({{"a", 1}});
    d.show();
    d.ChkOpenFileAftCombPDF->setChecked(true);
    d.close();
    EXPECT_EQ(settings().IsOpenFileAftCombPDF(), 1);
    EXPECT_TRUE(ErrorLogLines().isEmpty());
}
