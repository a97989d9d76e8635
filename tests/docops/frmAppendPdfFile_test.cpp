#include "docops/frmAppendPdfFile.h"

#include "app/GridColumns.h"
#include "app/ProgramState.h"
#include "app/Settings.h"
#include "app/frmErrorReportDialog.h"
#include "docops/modDocOps.h"
#include "platform/CommonDialog.h"
#include "platform/DataGrid.h"
#include "platform/PageCounters.h"
#include "support/MainWindowFixture.h"
#include "support/PdfFixtures.h"
#include "support/SmallDisk.h"
#include "support/TestEnv.h"

#include <QCheckBox>
#include <QColor>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <memory>
#include <vector>

using namespace folvane;
using folvane::test::MakeTaggedPdf;
using folvane::test::Markers;
using folvane::test::PageMarkers;

namespace {

const QColor kRed(255, 0, 0);

class AppendDialogTest : public test::MainWindowFixture {
protected:
    void SetUp() override
    {
        MainWindowFixture::SetUp();
        State().PdfCounter = std::make_unique<PdfPageCounter>();
        frmAppendPdfFile::SetReportPresenter([this](frmErrorReportDialog &report) { reports.push_back(report.ReportText()); });
        out = dir.createFolder("out");
    }
    void TearDown() override
    {
        frmAppendPdfFile::SetReportPresenter([](frmErrorReportDialog &) {});
        CommonDialog::SetOpenAnswerer([](const CommonDialog::OpenRequest &) { return QString(); });
        State().PdfCounter.reset();
        MainWindowFixture::TearDown();
    }

    /// A loaded dialog listing the files, as the main window hands them over.
    std::unique_ptr<frmAppendPdfFile> Dialog(const QStringList &sources)
    {
        auto dlg = std::make_unique<frmAppendPdfFile>();
        for (const QString &path : sources) {
            const QFileInfo fi(path);
            clsColSetOrderGrid r;
            r.filename = fi.fileName();
            r.FileLocation = fi.absolutePath();
            r.PageCount = test::QpdfPageCount(path);
            dlg->colSelectedData.push_back(r);
        }
        dlg->Form_Load();
        return dlg;
    }

    /// Picks the append file through the open-file box, as the user would.
    static void Pick(frmAppendPdfFile &dlg, const QString &path)
    {
        CommonDialog::SetOpenAnswerer([path](const CommonDialog::OpenRequest &) { return path; });
        dlg.cmdbrowse_Click();
        CommonDialog::SetOpenAnswerer([](const CommonDialog::OpenRequest &) { return QString(); });
    }

    /// A dialog over the sources with the append file picked and the output folder set.
    std::unique_ptr<frmAppendPdfFile> ReadyDialog(const QStringList &sources, const QString &appendFile)
    {
        auto dlg = Dialog(sources);
        Pick(*dlg, appendFile);
        dlg->txtOutputFolder->setText(out);
        return dlg;
    }

    static void SetRanges(frmAppendPdfFile &dlg, const QStringList &ranges)
    {
        DataGrid &grid = *dlg.vsFilesSetOrder;
        for (int r = 1; r < grid.Rows(); ++r)
            grid.setTextMatrix(r, grid.Cols() - 1, ranges.value(r - 1));
    }

    static std::vector<QColor> RangeColours(const frmAppendPdfFile &dlg)
    {
        const DataGrid &grid = *dlg.vsFilesSetOrder;
        std::vector<QColor> colours;
        for (int r = 1; r < grid.Rows(); ++r)
            colours.push_back(grid.Cell(flexcpForeColor, r, grid.Cols() - 1).value<QColor>());
        return colours;
    }

    QString OutFile(const QString &name) const { return out + "/" + name; }

    test::TempDir dir;
    QString out;
    test::ScriptedMsgBox box;
    test::ShellRecorder shell;
    std::vector<QString> reports;
};

QString ReportFor(const QString &failures)
{
    const QString equals(51, '='), hyphens(51, '-');
    return equals + "\r\nFolvane Error\r\n" + equals + "\r\n" + hyphens + "\r\nFollowing file(s) couldn't combined\r\n"
           + hyphens + "\r\n\r\n" + failures + "\r\n\r\n";
}

}  // namespace

TEST_F(AppendDialogTest, OutputNamesFollowTheNameOption)
{
    const QString folder = dir.createFolder("D/Out");
    auto dlg = Dialog({"/docs/a.pdf", "/docs/README", "/docs/report.final.pdf"});
    struct Case {
        bool manual;
        QString folderText, manualName, separator;
        int row;
        QString expected;
    } cases[] = {
        {false, folder, "", "", 3, folder + "/report.final_3.pdf"},
        {false, folder + "/", "", "", 3, folder + "/report.final_3.pdf"},
        {false, folder, "", "", 1, folder + "/a_1.pdf"},
        {false, folder, "", "", 2, folder + "/README_2.pdf"},
        {false, folder, "ignored.pdf", "-", 1, folder + "/a_1.pdf"},
        {true, folder, "merged.pdf", "-", 2, folder + "/merged-2.pdf"},
        {true, folder, "merged", "-", 2, folder + "/merged-2.pdf"},
        {true, folder, "merged", "", 2, folder + "/merged2.pdf"},
        {true, folder, "", "", 2, folder + "/2.pdf"},
        {true, folder + "/", "v1.2.final.pdf", "_", 3, folder + "/v1.2.final_3.pdf"},
    };
    for (const Case &c : cases) {
        (c.manual ? dlg->optmanual : dlg->optBasename)->setChecked(true);
        dlg->txtOutputFolder->setText(c.folderText);
        dlg->txtmanualfilename->setText(c.manualName);
        dlg->txtseparator->setText(c.separator);
        EXPECT_EQ(dlg->OutputFileName(c.row), c.expected) << c.expected.toStdString();
    }
}

TEST_F(AppendDialogTest, OpensWithItsRowsAndOptions)
{
    const QString a = MakeTaggedPdf(dir.path(), "a", 2), b = MakeTaggedPdf(dir.path(), "b", 3);
    auto dlg = Dialog({a, b});
    const DataGrid &grid = *dlg->vsFilesSetOrder;
    ASSERT_EQ(grid.Rows(), 3);
    ASSERT_EQ(grid.Cols(), 9);
    EXPECT_EQ(grid.TextMatrix(0, 8), "Range");
    EXPECT_EQ(grid.TextMatrix(2, 0), "b.pdf");
    EXPECT_EQ(grid.TextMatrix(2, 2), "3");
    EXPECT_EQ(grid.TextMatrix(2, 3), dir.path());
    EXPECT_EQ(grid.TextMatrix(1, 8), "0");
    EXPECT_EQ(grid.Cell(flexcpChecked, 1, 1).toInt(), GridCheck::Checked);
    for (QLatin1StringView hidden : {ColumnKey::Size, ColumnKey::Type, ColumnKey::Modified})
        EXPECT_TRUE(grid.ColHidden(ColumnOf(hidden))) << hidden.data();
    EXPECT_FALSE(grid.ColHidden(8));
    EXPECT_TRUE(dlg->optBasename->isChecked());
    EXPECT_FALSE(dlg->txtmanualfilename->isEnabled());
    EXPECT_FALSE(dlg->txtseparator->isEnabled());
    EXPECT_TRUE(dlg->OptAtEnd->isChecked());
    EXPECT_EQ(dlg->windowTitle(), "Append pdf file");

    dlg->optmanual->click();
    EXPECT_TRUE(dlg->txtmanualfilename->isEnabled());
    EXPECT_TRUE(dlg->txtseparator->isEnabled());
    dlg->optBasename->click();
    EXPECT_FALSE(dlg->txtseparator->isEnabled());

    // Space toggles every selected row's check box; the editable columns open to the left button only.
    dlg->vsFilesSetOrder->Select(1, 0, 2, 0);
    dlg->vsFilesSetOrder_KeyDown(32, 0);
    EXPECT_EQ(grid.Cell(flexcpChecked, 1, 1).toInt(), GridCheck::Unchecked);
    EXPECT_EQ(grid.Cell(flexcpChecked, 2, 1).toInt(), GridCheck::Unchecked);
    dlg->vsFilesSetOrder->Select(1, 8, 1, 8);
    dlg->vsFilesSetOrder_MouseDown(1, 0, 0, 0);
    EXPECT_EQ(grid.Editable(), 2);
    dlg->vsFilesSetOrder->Select(1, 0, 1, 0);
    dlg->vsFilesSetOrder_MouseDown(1, 0, 0, 0);
    EXPECT_EQ(grid.Editable(), 0);
}

TEST_F(AppendDialogTest, AppendsAtStartOrAtEndWithTheRangeOnTheAppendFile)
{
    const QString s1 = MakeTaggedPdf(dir.path(), "s1", 2), s2 = MakeTaggedPdf(dir.path(), "s2", 3);
    const QString app = MakeTaggedPdf(dir.path(), "app", 5);
    for (const bool atStart : {false, true}) {
        QFile::remove(OutFile("s1_1.pdf"));
        QFile::remove(OutFile("s2_2.pdf"));
        auto dlg = ReadyDialog({s1, s2}, app);
        (atStart ? dlg->OptAtStart : dlg->OptAtEnd)->setChecked(true);
        // Add fills the checked rows only; row 2 keeps "0", which stands for every page.
        dlg->vsFilesSetOrder->setCell(flexcpChecked, 2, 1, GridCheck::Unchecked);
        dlg->txtRange->setText("2-4");
        dlg->cmdAddRange_Click();
        EXPECT_EQ(dlg->vsFilesSetOrder->TextMatrix(1, 8), "2-4");
        EXPECT_EQ(dlg->vsFilesSetOrder->TextMatrix(2, 8), "0");

        const auto before = box.calls().size();
        dlg->cmdAppend_Click();

        const QStringList first = atStart ? Markers("app", {2, 3, 4}) + Markers("s1", {1, 2})
                                          : Markers("s1", {1, 2}) + Markers("app", {2, 3, 4});
        const QStringList second = atStart ? Markers("app", {1, 2, 3, 4, 5}) + Markers("s2", {1, 2, 3})
                                           : Markers("s2", {1, 2, 3}) + Markers("app", {1, 2, 3, 4, 5});
        EXPECT_EQ(PageMarkers(OutFile("s1_1.pdf")), first) << atStart;
        EXPECT_EQ(PageMarkers(OutFile("s2_2.pdf")), second) << atStart;
        EXPECT_EQ(box.texts().mid(static_cast<int>(before)), QStringList{"Successfully appended file."});
        EXPECT_EQ(dlg->result(), QDialog::Accepted);
        EXPECT_TRUE(dlg->cmdAppend->isEnabled());
        EXPECT_EQ(dlg->ProgressBar1->value(), 0);
    }
    EXPECT_TRUE(reports.empty());
    EXPECT_TRUE(shell.requests().empty());
    EXPECT_EQ(PageMarkers(s1), Markers("s1", {1, 2}));
}

TEST_F(AppendDialogTest, AnExistingOutputIsReplacedOnlyWhenTheUserSaysSo)
{
    const QString s1 = MakeTaggedPdf(dir.path(), "s1", 1), s2 = MakeTaggedPdf(dir.path(), "s2", 1);
    const QString app = MakeTaggedPdf(dir.path(), "app", 1);
    const QStringList appended1 = Markers("s1", {1}) + Markers("app", {1});
    const QStringList appended2 = Markers("s2", {1}) + Markers("app", {1});
    const QStringList old1 = Markers("s1_1", {1}), old2 = Markers("s2_2", {1});
    using R = MsgResult;
    struct Case {
        const char *name;
        bool replaceChecked;
        std::vector<R> answers;
        int questions;
        QStringList expected1, expected2;
    } cases[] = {
        {"Yes then No", false, {R::Yes, R::No}, 2, appended1, old2},
        {"No to both", false, {R::No, R::No}, 2, old1, old2},
        {"Replace checked", true, {}, 0, appended1, appended2},
    };
    for (const Case &c : cases) {
        MakeTaggedPdf(out, "s1_1", 1);
        MakeTaggedPdf(out, "s2_2", 1);
        test::ScriptedMsgBox answers;
        for (R a : c.answers)
            answers.answer(a);
        auto dlg = ReadyDialog({s1, s2}, app);
        dlg->chkReplacePdfInfoUpdate->setChecked(c.replaceChecked);
        dlg->cmdAppend_Click();

        EXPECT_EQ(PageMarkers(OutFile("s1_1.pdf")), c.expected1) << c.name;
        EXPECT_EQ(PageMarkers(OutFile("s2_2.pdf")), c.expected2) << c.name;
        QStringList expectedTexts;
        if (c.questions > 0)
            expectedTexts << OutFile("s1_1.pdf") + " Already exists. Do you Wants to Replace it?"
                          << OutFile("s2_2.pdf") + " Already exists. Do you Wants to Replace it?";
        expectedTexts << "Successfully appended file.";
        EXPECT_EQ(answers.texts(), expectedTexts) << c.name;
        if (c.questions > 0) {
            EXPECT_EQ(answers.calls()[0].buttons, MsgButtons::YesNo);
            EXPECT_EQ(answers.calls()[0].icon, MsgIcon::None);
            EXPECT_EQ(answers.calls()[0].title, "Folvane 1.1");
        }
    }
    EXPECT_TRUE(reports.empty());
}

TEST_F(AppendDialogTest, FailedRowsReachTheReportInGridOrderAndLeaveNoOutput)
{
    const QString good1 = MakeTaggedPdf(dir.path(), "g1", 1), good2 = MakeTaggedPdf(dir.path(), "g2", 2);
    const QString damaged = dir.createFile("bad.pdf", "%PDF-1.4 not really");
    const QString backwards = MakeTaggedPdf(dir.path(), "c", 1);
    const QString app = MakeTaggedPdf(dir.path(), "app", 5);
    auto dlg = ReadyDialog({good1, damaged, good2, backwards}, app);
    // "3-2" passes the dialog's checks (no number above the count) but names no pages to the engine.
    SetRanges(*dlg, {"0", "0", "1", "3-2"});
    dlg->ChkOpenFolderAppPdf->setChecked(true);
    dlg->cmdAppend_Click();

    ASSERT_EQ(reports.size(), 1u);
    EXPECT_EQ(reports[0], ReportFor(damaged + "\r\n" + backwards + "\r\n"));
    EXPECT_EQ(box.texts(), QStringList{});
    EXPECT_EQ(PageMarkers(OutFile("g1_1.pdf")), Markers("g1", {1}) + Markers("app", {1, 2, 3, 4, 5}));
    EXPECT_EQ(PageMarkers(OutFile("g2_3.pdf")), Markers("g2", {1, 2}) + Markers("app", {1}));
    EXPECT_FALSE(QFile::exists(OutFile("bad_2.pdf")));
    EXPECT_FALSE(QFile::exists(OutFile("c_4.pdf")));
    // The folder still opens after a report, and the dialog closes.
    ASSERT_EQ(shell.requests().size(), 1u);
    EXPECT_EQ(shell.requests()[0].verb, Shell::Verb::Explore);
    EXPECT_EQ(shell.requests()[0].target, out);
    EXPECT_EQ(dlg->result(), QDialog::Accepted);
}

TEST_F(AppendDialogTest, AnAppendThatFillsTheDiskIsReportedAndKeepsTheFileItWouldReplace)
{
    if (test::RanOnSmallDisk(4 << 20))
        return;
    out = test::SmallDisk();
    const QString source = test::MakeNoisePdf(dir.path(), "s", 1, 1000, 1000);  // 3 MB that do not compress
    const QString app = test::MakeNoisePdf(dir.path(), "app", 1, 1000, 1000);
    const QString old = MakeTaggedPdf(out, "s_1", 2);
    const QByteArray oldBytes = test::FileBytes(old);
    const QStringList entries = test::FolderEntries(out);
    auto dlg = ReadyDialog({source}, app);
    dlg->chkReplacePdfInfoUpdate->setChecked(true);
    dlg->cmdAppend_Click();

    ASSERT_EQ(reports.size(), 1u) << box.texts().join('\n').toStdString();
    EXPECT_EQ(reports[0], ReportFor(source + "\r\n"));
    EXPECT_EQ(box.texts(), QStringList{});  // no "Successfully appended file."
    EXPECT_EQ(test::FileBytes(old), oldBytes);
    EXPECT_EQ(test::FolderEntries(out), entries);
}

TEST_F(AppendDialogTest, NoOutputReplacesAFileTheRunReads)
{
    const QString app = MakeTaggedPdf(out, "app_1", 1);
    const QString a = MakeTaggedPdf(dir.path(), "a", 1), b = MakeTaggedPdf(dir.path(), "b", 1);
    const QString readLater = MakeTaggedPdf(out, "app_2", 2);
    const QString ownSource = MakeTaggedPdf(out, "app_4", 1);
    auto dlg = ReadyDialog({a, b, readLater, ownSource}, app);
    dlg->optmanual->setChecked(true);
    dlg->txtmanualfilename->setText("app");
    dlg->txtseparator->setText("_");
    dlg->chkReplacePdfInfoUpdate->setChecked(true);
    dlg->cmdAppend_Click();

    // Row 1 would write over the append file, row 2 over row 3's source, row 4 over its own source.
    ASSERT_EQ(reports.size(), 1u);
    EXPECT_EQ(reports[0], ReportFor(a + "\r\n" + b + "\r\n" + ownSource + "\r\n"));
    EXPECT_EQ(PageMarkers(app), Markers("app_1", {1}));
    EXPECT_EQ(PageMarkers(readLater), Markers("app_2", {1, 2}));
    EXPECT_EQ(PageMarkers(ownSource), Markers("app_4", {1}));
    EXPECT_EQ(PageMarkers(OutFile("app_3.pdf")), Markers("app_2", {1, 2}) + Markers("app_1", {1}));
}

TEST_F(AppendDialogTest, BadRangeCellsTurnRedAndStopTheRunUntilCorrected)
{
    const QStringList cells{"6", "2-6", "3-2", "", "0", "x", "1-2-3"};
    QStringList sources;
    for (int i = 0; i < cells.size(); ++i)
        sources << MakeTaggedPdf(dir.path(), QString("s%1").arg(i + 1), 1);
    const QString app = MakeTaggedPdf(dir.path(), "app", 5);
    auto dlg = ReadyDialog(sources, app);
    SetRanges(*dlg, cells);
    dlg->cmdAppend_Click();

    const QColor none;
    EXPECT_EQ(RangeColours(*dlg), (std::vector<QColor>{kRed, kRed, none, none, none, kRed, kRed}));
    EXPECT_EQ(box.texts(), QStringList{"Invalid range entered."});
    EXPECT_FALSE(QFile::exists(OutFile("s3_3.pdf")));
    EXPECT_TRUE(dlg->cmdAppend->isEnabled());
    bool logged = false;
    for (const QString &line : test::ErrorLogLines())
        logged |= line.contains("in procedure ValidateGridRange at Line No. ") && line.contains(" of Form frmAppendPdfFile- ");
    EXPECT_TRUE(logged) << test::ErrorLogLines().join('\n').toStdString();

    SetRanges(*dlg, {"5", "2-5", "1", "", "0", "1", "1"});
    dlg->cmdAppend_Click();
    EXPECT_EQ(RangeColours(*dlg), std::vector<QColor>(cells.size(), none));
    EXPECT_EQ(PageMarkers(OutFile("s2_2.pdf")), Markers("s2", {1}) + Markers("app", {2, 3, 4, 5}));
    EXPECT_EQ(box.texts().back(), "Successfully appended file.");
}

TEST_F(AppendDialogTest, ATypedAppendPathWithoutACountFailsEveryRangeCell)
{
    const QString s = MakeTaggedPdf(dir.path(), "s", 1), app = MakeTaggedPdf(dir.path(), "app", 3);
    auto dlg = Dialog({s, s});
    dlg->txtAppendFile->setText(app);
    dlg->txtOutputFolder->setText(out);
    SetRanges(*dlg, {"0", ""});
    dlg->cmdAppend_Click();
    EXPECT_EQ(RangeColours(*dlg), (std::vector<QColor>{kRed, kRed}));
    EXPECT_EQ(box.texts(), QStringList{"Invalid range entered."});
}

TEST_F(AppendDialogTest, AddChecksTheRangeBoxAgainstTheAppendFile)
{
    const QString s = MakeTaggedPdf(dir.path(), "s", 1), app = MakeTaggedPdf(dir.path(), "app", 5);
    const QString damaged = dir.createFile("damaged.pdf", "garbage");
    struct Case {
        QString appendText, range;
        QStringList messages;
        bool copied;
    } cases[] = {
        {app, "2-4", {}, true},
        {app, "5", {}, true},
        {app, "", {}, true},
        {app, "2--3", {"Invalid range"}, false},
        {app, "1-2-3", {"Invalid range"}, false},
        {app, "-3", {"Invalid range"}, false},
        {app, "3-", {"Invalid range"}, false},
        {app, "6", {"Invalid range"}, false},
        {app, "1-x", {}, false}, // pasted text: refused without a message
        {"", "1", {"Specified file not exists or invalid filename."}, false},
        {dir.filePath("missing.pdf"), "1", {"Specified file not exists or invalid filename."}, false},
        {damaged, "1", {}, false},
    };
    for (const Case &c : cases) {
        test::ScriptedMsgBox messages;
        auto dlg = Dialog({s, s});
        dlg->vsFilesSetOrder->setCell(flexcpChecked, 2, 1, GridCheck::Unchecked);
        // A typed path: Add counts the file itself.
        dlg->txtAppendFile->setText(c.appendText);
        dlg->txtRange->setText(c.range);
        dlg->cmdAddRange_Click();
        EXPECT_EQ(messages.texts(), c.messages) << c.range.toStdString();
        EXPECT_EQ(dlg->vsFilesSetOrder->TextMatrix(1, 8), c.copied ? c.range : "0") << c.range.toStdString();
        EXPECT_EQ(dlg->vsFilesSetOrder->TextMatrix(2, 8), "0");
    }
}

TEST_F(AppendDialogTest, KeyFiltersDropWhatTheBoxesCannotTake)
{
    struct KeyCase {
        int code;
        bool digitOrBackspace;
    } keys[] = {{8, true}, {48, true}, {53, true}, {57, true}, {47, false}, {58, false}, {45, false}, {65, false}, {0, false}};
    for (const KeyCase &k : keys)
        EXPECT_EQ(modDocOps::IsDigitOrBackspace(k.code), k.digitOrBackspace) << k.code;

    auto dlg = Dialog({});
    for (const KeyCase &k : keys) {
        int code = k.code;
        dlg->txtRange_KeyPress(code);
        EXPECT_EQ(code, k.digitOrBackspace || k.code == 45 ? k.code : 0) << k.code;
    }

    const QString tip = QString::fromUtf8("A filename can not contain any of the following character.\\n \\/*:''<>|");
    for (QLineEdit *box : {dlg->txtmanualfilename, dlg->txtseparator}) {
        auto press = [&](int &code) {
            box == dlg->txtmanualfilename ? dlg->txtmanualfilename_KeyPress(code) : dlg->txtseparator_KeyPress(code);
        };
        int plain = 'a';
        press(plain);
        EXPECT_EQ(plain, 'a');
        EXPECT_TRUE(box->toolTip().isEmpty());
        for (int bad : {124, 92, 47, 42, 58, 63, 34, 60, 62}) {
            int code = bad;
            press(code);
            EXPECT_EQ(code, 0) << bad;
        }
        EXPECT_EQ(box->toolTip(), tip);
        press(plain);
        EXPECT_EQ(box->toolTip(), tip);
    }

    // Real typing goes through the same filters.
    dlg->optmanual->click();
    QTest::keyClicks(dlg->txtmanualfilename, "a/b:c");
    EXPECT_EQ(dlg->txtmanualfilename->text(), "abc");
    QTest::keyClicks(dlg->txtRange, "1a-3x");
    QTest::keyClick(dlg->txtRange, Qt::Key_Backspace);
    EXPECT_EQ(dlg->txtRange->text(), "1-");
}

TEST_F(AppendDialogTest, ThePickerCountsTheAppendFileAndRefusesWhatItCannotUse)
{
    const QString good = MakeTaggedPdf(dir.path(), "good", 4);
    const QString damaged = dir.createFile("damaged.pdf", QByteArray(300, 'x'));
    const QString text = dir.createFile("notes.txt", "hello");
    struct Case {
        QString picked;
        QStringList messages;
        QString textAfter;
        int countAfter;
    } cases[] = {
        {good, {}, good, 4},
        {damaged, {"file is corrupted or no page found."}, "", -1},
        {text, {"Invalid file type."}, "", -2},
    };
    for (const Case &c : cases) {
        test::ScriptedMsgBox messages;
        auto dlg = Dialog({});
        Pick(*dlg, c.picked);
        EXPECT_EQ(messages.texts(), c.messages) << c.picked.toStdString();
        EXPECT_EQ(dlg->txtAppendFile->text(), c.textAfter);
        if (c.countAfter == -1) {
            EXPECT_LT(dlg->AppendFilePageCount(), 1);
        } else if (c.countAfter >= 0) {
            EXPECT_EQ(dlg->AppendFilePageCount(), c.countAfter);
        }
    }

    // The box is asked for one PDF; a cancelled box keeps the file already chosen and counts it again.
    CommonDialog::OpenRequest seen;
    CommonDialog::SetOpenAnswerer([&](const CommonDialog::OpenRequest &r) {
        seen = r;
        return QString();
    });
    auto dlg = Dialog({});
    dlg->txtAppendFile->setText(good);
    dlg->cmdbrowse_Click();
    EXPECT_EQ(seen.title, "Open File");
    EXPECT_EQ(seen.filter, "PDF Files (*.pdf)|*.pdf");
    EXPECT_EQ(dlg->txtAppendFile->text(), good);
    EXPECT_EQ(dlg->AppendFilePageCount(), 4);
}

TEST_F(AppendDialogTest, TheRunChecksTheAppendFileAndTheOutputFolderFirst)
{
    const QString s = MakeTaggedPdf(dir.path(), "s", 1), app = MakeTaggedPdf(dir.path(), "app", 1);
    const QString text = dir.createFile("notes.txt", "hello");
    struct Case {
        QString appendText, folder, message;
    } cases[] = {
        {"", out, "Specifiled file formate is not valid."},
        {text, out, "Specifiled file formate is not valid."},
        {dir.filePath("missing.PDF"), out, "Specified file not exists or invalid filename."},
        {app, "", "Invalid Output Folder Path"},
        {app, dir.filePath("nowhere"), "Please enter Valid folder Name"},
    };
    for (const Case &c : cases) {
        test::ScriptedMsgBox messages;
        auto dlg = ReadyDialog({s}, app);
        dlg->txtAppendFile->setText(c.appendText);
        dlg->txtOutputFolder->setText(c.folder);
        dlg->cmdAppend_Click();
        EXPECT_EQ(messages.texts(), QStringList{c.message});
        EXPECT_FALSE(QFile::exists(OutFile("s_1.pdf"))) << c.message.toStdString();
    }
}

TEST_F(AppendDialogTest, TheOutputFolderComesFromTheFolderBrowser)
{
    auto dlg = Dialog({});
    dlg->txtOutputFolder->setText("/typed");
    CommonDialog::SetFolderAnswerer([&](const CommonDialog::FolderRequest &r) {
        EXPECT_EQ(r.title, "Set Folder");
        return std::optional<QString>(out);
    });
    dlg->cmdBrowseFolder_Click();
    EXPECT_EQ(dlg->txtOutputFolder->text(), out);
    CommonDialog::SetFolderAnswerer([](const CommonDialog::FolderRequest &) { return std::optional<QString>(); });
    dlg->cmdBrowseFolder_Click();
    EXPECT_EQ(dlg->txtOutputFolder->text(), out) << "a cancelled browser keeps the text";
}

TEST_F(AppendDialogTest, OptionsAreRememberedOnEveryClose)
{
    Settings &settings = *State().objSettings;
    settings.setIsDefaultPathAppPDf(1);
    settings.setDefaultPathAppPDf("/remembered");
    settings.setIsOpenFolderAppPDf(1);
    {
        auto dlg = Dialog({});
        EXPECT_TRUE(dlg->ChkDefaultPathAppPdf->isChecked());
        EXPECT_EQ(dlg->txtOutputFolder->text(), "/remembered");
        EXPECT_TRUE(dlg->ChkOpenFolderAppPdf->isChecked());
        EXPECT_FALSE(dlg->chkReplacePdfInfoUpdate->isChecked());
        EXPECT_TRUE(dlg->txtAppendFile->text().isEmpty());
    }
    enum class Close { Cancel, CloseBox, Escape };
    struct Case {
        Close how;
        bool keepFolder, openFolder;
        QString folderText, storedFolder;
    } cases[] = {
        {Close::Cancel, true, false, "/next", "/next"},
        {Close::CloseBox, false, true, "/ignored", "/next"},
        {Close::Escape, true, true, "/last", "/last"},
    };
    for (const Case &c : cases) {
        auto dlg = Dialog({});
        dlg->show();
        dlg->ChkDefaultPathAppPdf->setChecked(c.keepFolder);
        dlg->ChkOpenFolderAppPdf->setChecked(c.openFolder);
        dlg->txtOutputFolder->setText(c.folderText);
        if (c.how == Close::Cancel)
            dlg->cmdCancel->click();
        else if (c.how == Close::CloseBox)
            dlg->close();
        else
            QTest::keyClick(dlg.get(), Qt::Key_Escape);
        EXPECT_FALSE(dlg->isVisible());
        // Read back from the file, as the next start would.
        Settings stored;
        ASSERT_TRUE(stored.LoadSettings());
        EXPECT_EQ(stored.IsDefaultPathAppPDf(), c.keepFolder ? 1 : 0);
        EXPECT_EQ(stored.DefaultPathAppPDf(), c.storedFolder);
        EXPECT_EQ(stored.IsOpenFolderAppPDf(), c.openFolder ? 1 : 0);
    }
    auto dlg = Dialog({});
    EXPECT_EQ(dlg->txtOutputFolder->text(), "/last");
}

TEST_F(AppendDialogTest, ClosingDuringARunEndsItAfterTheCurrentRow)
{
    QStringList sources;
    for (const char *tag : {"r1", "r2", "r3"})
        sources << MakeTaggedPdf(dir.path(), tag, 1);
    const QString app = MakeTaggedPdf(dir.path(), "app", 1);
    auto dlg = ReadyDialog(sources, app);
    dlg->ChkOpenFolderAppPdf->setChecked(true);
    dlg->show();
    // Runs at the yield before row 1 and queues the close for the yield before row 2.
    QTimer::singleShot(0, dlg.get(), [&] { QTimer::singleShot(0, dlg.get(), [&] { dlg->close(); }); });
    dlg->cmdAppend_Click();

    EXPECT_FALSE(dlg->isVisible());
    EXPECT_FALSE(dlg->Running());
    EXPECT_EQ(PageMarkers(OutFile("r1_1.pdf")), Markers("r1", {1}) + Markers("app", {1}));
    EXPECT_FALSE(QFile::exists(OutFile("r2_2.pdf")));
    EXPECT_FALSE(QFile::exists(OutFile("r3_3.pdf")));
    EXPECT_EQ(box.texts(), QStringList{});
    EXPECT_TRUE(shell.requests().empty());
    EXPECT_TRUE(dlg->cmdAppend->isEnabled());
    EXPECT_EQ(State().objSettings->IsOpenFolderAppPDf(), 1);
}
