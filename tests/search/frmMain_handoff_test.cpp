#include "search/frmMain.h"

#include "app/GridColumns.h"
#include "app/ProgramState.h"
#include "app/Settings.h"
#include "docops/frmSetOrder_ComPdf.h"
#include "platform/DataGrid.h"
#include "platform/PageCounters.h"
#include "support/MainWindowFixture.h"
#include "support/PdfFixtures.h"
#include "support/TestEnv.h"

#include "docops/frmAppendPdfFile.h"

#include <QImage>

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <stdexcept>
#include <vector>

using namespace folvane;
using namespace folvane::test;

namespace {

const char *const Damaged = "Secured or Corrupted";

/// A main window whose document dialogs are looked at instead of shown.
class HandoffWindow : public frmMain {
public:
    struct Shown {
        QString title;
        SetOrderRecords records;
        bool isCombine = false;
        bool registered = false; ///< objSetOrderForm named this dialog while it was shown
    };
    std::vector<Shown> shown;
    std::function<void(QDialog &)> onShow;

private:
    int ExecDocumentDialog(QDialog &dialog) override
    {
        Shown s;
        s.title = dialog.windowTitle();
        if (auto *combine = dynamic_cast<frmSetOrder_ComPdf *>(&dialog)) {
            s.isCombine = true;
            s.records = combine->colSelectedData;
            s.registered = State().objSetOrderForm == combine;
        }
        if (auto *append = dynamic_cast<frmAppendPdfFile *>(&dialog))
            s.records = append->colSelectedData;
        shown.push_back(s);
        if (onShow)
            onShow(dialog);
        return QDialog::Rejected;
    }
};

QStringList Names(const SetOrderRecords &records)
{
    QStringList names;
    for (const clsColSetOrderGrid &r : records)
        names << r.filename;
    return names;
}

class HandoffTest : public MainWindowFixture {
protected:
    void SetUp() override
    {
        MainWindowFixture::SetUp();
        State().PdfCounter = std::make_unique<PdfPageCounter>();
        State().TiffCounter = std::make_unique<TiffPageCounter>();
        w.InitFiles();
    }
    void TearDown() override
    {
        State().PdfCounter.reset();
        State().TiffCounter.reset();
        MainWindowFixture::TearDown();
    }
    DataGrid &grid() { return *w.grdSearchList; }
    /// The "Pages" column hidden, as after a search that counted nothing.
    void hidePages()
    {
        State().objSettings->setColumnVisibility("1,1,0,1,1,1,1,1");
        w.InitFiles();
    }
    QString pagesOf(int row) { return grid().TextMatrix(row, ColumnOf(ColumnKey::Pages)); }

    HandoffWindow w;
    ScriptedMsgBox box;
    TempDir dir;
};

}  // namespace

TEST_F(HandoffTest, CombineHandsOverTheCheckedRowsInGridOrderWithEveryField)
{
    AddResultRow(w, {"e.pdf", "12", GridCheck::Checked, "/docs/e", "14 KB", "pdf document", "01/02/2023 10:00 AM",
                     "03/04/2023 11:30 PM"});
    AddResultRow(w, {"b.pdf", "", GridCheck::Checked, "/docs/"});
    AddResultRow(w, {"d.pdf", "4", GridCheck::Unchecked});
    AddResultRow(w, {"a.pdf", "7", GridCheck::Checked});
    AddResultRow(w, {"c.pdf", "5", GridCheck::Unset});
    AddResultRow(w, {"f.pdf", Damaged, GridCheck::Unchecked});
    // The order the rows stand in now counts, not the order of the search or of the checks.
    grid().Sort(ColumnOf(ColumnKey::Name), GridSort::GenericAscending);

    w.cmdCombinePdf_Click();

    ASSERT_EQ(w.shown.size(), 1u);
    const HandoffWindow::Shown &s = w.shown[0];
    EXPECT_TRUE(s.isCombine);
    EXPECT_EQ(s.title, "Set Order");
    EXPECT_TRUE(s.registered);
    EXPECT_EQ(State().objSetOrderForm, nullptr);
    EXPECT_EQ(Names(s.records), QStringList({"a.pdf", "b.pdf", "e.pdf"}));
    const clsColSetOrderGrid &e = s.records[2];
    EXPECT_EQ(e.FileLocation, "/docs/e");
    EXPECT_EQ(e.FileSize, "14 KB");
    EXPECT_EQ(e.FileType, "pdf document");
    EXPECT_EQ(e.FileCreDate, "01/02/2023 10:00 AM");
    EXPECT_EQ(e.FileModDate, "03/04/2023 11:30 PM");
    EXPECT_EQ(e.PageCount, 12);
    EXPECT_TRUE(e.Range.isEmpty());
    EXPECT_TRUE(e.FileExt.isEmpty());
    EXPECT_EQ(s.records[1].PageCount, 0); // an empty "Pages" text
    EXPECT_EQ(s.records[1].FileLocation, "/docs/");
    EXPECT_EQ(s.records[0].PageCount, 7);
    // The "Pages" column is shown, so nothing was counted again (the files do not even exist).
    EXPECT_EQ(pagesOf(1), "7");
    EXPECT_TRUE(box.calls().empty());
    EXPECT_TRUE(ErrorLogLines().isEmpty());
    // Nothing follows the dialog: the rows stay checked as they were.
    EXPECT_EQ(CheckStates(w), std::vector<int>({1, 1, 0, 2, 1, 2}));
}

TEST_F(HandoffTest, TheCombineDialogIsUnregisteredAlsoWhenShowingItFails)
{
    AddResultRow(w, {"a.pdf", "1", GridCheck::Checked});
    AddResultRow(w, {"b.pdf", "1", GridCheck::Checked});
    w.onShow = [](QDialog &) { throw std::runtime_error("display gone"); };
    w.cmdCombinePdf_Click();
    ASSERT_EQ(w.shown.size(), 1u);
    EXPECT_TRUE(w.shown[0].registered);
    EXPECT_EQ(State().objSetOrderForm, nullptr);
    const QStringList log = ErrorLogLines();
    ASSERT_EQ(log.size(), 1);
    EXPECT_TRUE(log[0].contains("in procedure ShowSetOrderform at Line No. ")) << log[0].toStdString();
    EXPECT_TRUE(log[0].contains(" of Form frmMain at time"));
}

TEST_F(HandoffTest, RefusalsShowTheirMessageAndOpenNothing)
{
    using Rows = std::vector<ResultRow>;
    const QString combineDamaged = "You have selected damaged or corrupted files.";
    const QString appendDamaged = "You have selected damaged or corrupted file(s). Please de-select file(s)";
    struct Case {
        const char *what;
        bool combine;
        Rows rows;
        QString message;
    } cases[] = {
        {"combine, empty list", true, {}, "Please select files."},
        {"append, empty list", false, {}, "Please select files."},
        {"combine, one row checked", true, {{"a.pdf", "1", 1}, {"b.pdf", "1", 2}}, "Please select two or more Files."},
        {"combine, none checked", true, {{"a.pdf", "1", 0}, {"b.pdf", "1", 2}}, "Please select two or more Files."},
        {"append, none checked", false, {{"a.pdf", "1", 0}, {"b.pdf", "1", 2}}, "Please Select File."},
        {"combine, damaged row after good ones", true, {{"a.pdf", "1", 1}, {"b.pdf", "1", 1}, {"c.pdf", Damaged, 1}},
         combineDamaged},
        {"append, damaged row", false, {{"a.pdf", "1", 1}, {"c.pdf", Damaged, 1}}, appendDamaged},
        // Only one row is good, yet the damaged-row message wins: it is shown during the walk.
        {"combine, damaged and one good", true, {{"c.pdf", Damaged, 1}, {"a.pdf", "1", 1}}, combineDamaged},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        w.InitFiles();
        w.shown.clear();
        ScriptedMsgBox messages;
        for (const ResultRow &row : c.rows)
            AddResultRow(w, row);
        c.combine ? w.cmdCombinePdf_Click() : w.cmdAppendPDFFile_Click();
        EXPECT_TRUE(w.shown.empty());
        ASSERT_EQ(messages.calls().size(), 1u);
        EXPECT_EQ(messages.calls()[0].text, c.message);
        EXPECT_EQ(messages.calls()[0].icon, MsgIcon::Information);
        EXPECT_EQ(messages.calls()[0].buttons, MsgButtons::OK);
        EXPECT_EQ(messages.calls()[0].title, "Folvane 1.1");
    }
    // A damaged row that is not checked stops nothing.
    w.InitFiles();
    AddResultRow(w, {"a.pdf", "1", GridCheck::Checked});
    AddResultRow(w, {"c.pdf", Damaged, GridCheck::Unchecked});
    AddResultRow(w, {"b.pdf", "2", GridCheck::Checked});
    w.cmdCombinePdf_Click();
    ASSERT_EQ(w.shown.size(), 1u);
    EXPECT_EQ(Names(w.shown[0].records), QStringList({"a.pdf", "b.pdf"}));
    EXPECT_TRUE(ErrorLogLines().isEmpty());
}

TEST_F(HandoffTest, HiddenPagesColumnIsCountedAgainForEveryCheckedPdfAndTiff)
{
    hidePages();
    const QString folder = dir.path();
    MakePdf(dir.filePath("Mixed.Pdf"), 3);
    MakePdf(dir.filePath("stale.pdf"), 2);
    QImage(4, 4, QImage::Format_Grayscale8).save(dir.filePath("scan.TIF"), "TIFF");
    dir.createFile("empty.tiff", QByteArray("II*\0\0\0\0\0", 8)); // a header with no page at all
    dir.createFile("notes.txt", "text");
    MakePdf(dir.filePath("left.pdf"), 4);
    const int mixed = AddResultRow(w, {"Mixed.Pdf", "", GridCheck::Checked, folder});
    const int stale = AddResultRow(w, {"stale.pdf", "99", GridCheck::Checked, folder + "/"});
    const int scan = AddResultRow(w, {"scan.TIF", "", GridCheck::Checked, folder});
    const int empty = AddResultRow(w, {"empty.tiff", "", GridCheck::Checked, folder});
    const int notes = AddResultRow(w, {"notes.txt", "as it was", GridCheck::Checked, folder});
    const int left = AddResultRow(w, {"left.pdf", "old", GridCheck::Unchecked, folder});

    w.cmdCombinePdf_Click();

    EXPECT_EQ(pagesOf(mixed), "3");
    EXPECT_EQ(pagesOf(stale), "2");
    EXPECT_EQ(pagesOf(scan), "1");
    EXPECT_EQ(pagesOf(empty), "0"); // a TIFF of 0 pages is no damage
    EXPECT_EQ(pagesOf(notes), "as it was");
    EXPECT_EQ(pagesOf(left), "old");
    ASSERT_EQ(w.shown.size(), 1u);
    std::vector<int> counts;
    for (const clsColSetOrderGrid &r : w.shown[0].records)
        counts.push_back(r.PageCount);
    EXPECT_EQ(counts, std::vector<int>({3, 2, 1, 0, 0}));
    EXPECT_TRUE(box.calls().empty());
}

TEST_F(HandoffTest, ARowFoundDamagedByTheCountIsRefusedInTheSameClick)
{
    hidePages();
    MakePdf(dir.filePath("good.pdf"), 2);
    dir.createFile("broken.pdf", "%PDF-1.4\nnot really");
    dir.createFile("broken.tif", "II*\0garbage");
    struct Case {
        bool combine;
        const char *file;
        QString message;
    } cases[] = {
        {true, "broken.pdf", "You have selected damaged or corrupted files."},
        {false, "broken.pdf", "You have selected damaged or corrupted file(s). Please de-select file(s)"},
        {true, "broken.tif", "You have selected damaged or corrupted files."},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.file);
        w.InitFiles();
        w.shown.clear();
        ScriptedMsgBox messages;
        AddResultRow(w, {"good.pdf", "", GridCheck::Checked, dir.path()});
        const int bad = AddResultRow(w, {c.file, "5", GridCheck::Checked, dir.path()});
        AddResultRow(w, {"good.pdf", "", GridCheck::Checked, dir.path()});
        c.combine ? w.cmdCombinePdf_Click() : w.cmdAppendPDFFile_Click();
        EXPECT_EQ(pagesOf(bad), Damaged);
        EXPECT_EQ(pagesOf(1), "2");
        EXPECT_EQ(pagesOf(3), "2"); // rows after the damaged one are counted as well
        EXPECT_EQ(messages.texts(), QStringList({c.message}));
        EXPECT_TRUE(w.shown.empty());
    }
}

TEST_F(HandoffTest, ColumnsAreFoundByKeyAfterTheUserMovedThem)
{
    hidePages();
    MakePdf(dir.filePath("a.pdf"), 3);
    MakePdf(dir.filePath("b.pdf"), 1);
    AddResultRow(w, {"a.pdf", "", GridCheck::Checked, dir.path(), "2", "pdf document", "c1", "m1"});
    AddResultRow(w, {"b.pdf", "", GridCheck::Checked, dir.path(), "1", "pdf document", "c2", "m2"});
    // "Pages" to the far right and "Location" to the front; the cells move with their columns.
    for (auto [from, to] : {std::pair{2, 7}, std::pair{2, 0}}) {
        grid().setColPosition(from, to);
        emit grid().AfterMoveColumn(from, to);
    }
    ASSERT_EQ(ColumnOf(ColumnKey::Pages), 7);
    ASSERT_EQ(ColumnOf(ColumnKey::Location), 0);
    ASSERT_EQ(State().ColumnVisible[7], "0");

    w.cmdCombinePdf_Click();

    EXPECT_EQ(grid().TextMatrix(1, 7), "3");
    EXPECT_EQ(grid().TextMatrix(2, 7), "1");
    ASSERT_EQ(w.shown.size(), 1u);
    const SetOrderRecords &records = w.shown[0].records;
    ASSERT_EQ(records.size(), 2u);
    EXPECT_EQ(records[0].filename, "a.pdf");
    EXPECT_EQ(records[0].FileLocation, dir.path());
    EXPECT_EQ(records[0].FileSize, "2");
    EXPECT_EQ(records[0].FileCreDate, "c1");
    EXPECT_EQ(records[0].FileModDate, "m1");
    EXPECT_EQ(records[0].PageCount, 3);
    EXPECT_EQ(records[1].PageCount, 1);
    EXPECT_TRUE(ErrorLogLines().isEmpty()) << ErrorLogLines().join('\n').toStdString();
}

TEST_F(HandoffTest, AppendOpensItsDialogWithASingleCheckedRow)
{
    AddResultRow(w, {"a.pdf", "3", GridCheck::Unchecked});
    AddResultRow(w, {"b.pdf", "4", GridCheck::Checked, "/docs", "9", "pdf document", "c", "m"});
    w.cmdAppendPDFFile_Click();
    EXPECT_TRUE(box.calls().empty());
    EXPECT_EQ(State().objSetOrderForm, nullptr);
    ASSERT_EQ(w.shown.size(), 1u);
    EXPECT_FALSE(w.shown[0].isCombine);
    ASSERT_EQ(w.shown[0].records.size(), 1u);
    const clsColSetOrderGrid &b = w.shown[0].records[0];
    EXPECT_EQ(b.filename, "b.pdf");
    EXPECT_EQ(b.FileSize, "9");
    EXPECT_EQ(b.FileCreDate, "c");
    EXPECT_EQ(b.PageCount, 4);
}
