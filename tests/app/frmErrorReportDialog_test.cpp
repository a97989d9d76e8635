#include "app/frmErrorReportDialog.h"

#include "platform/CommonDialog.h"
#include "support/RtfReader.h"
#include "support/SmallDisk.h"
#include "support/TestEnv.h"

#include <QApplication>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <QTest>
#include <QTextEdit>

#include <gtest/gtest.h>

#include <deque>
#include <functional>
#include <vector>

using namespace folvane;

namespace {

const QString kEquals(51, QLatin1Char('='));
const QString kHyphens(51, QLatin1Char('-'));

/// Answers the save-file box from a queue ("" = Cancel) and records every request.
struct ScriptedSaveBox {
    std::deque<QString> answers;
    std::vector<CommonDialog::SaveRequest> requests;
    ScriptedSaveBox()
    {
        CommonDialog::SetSaveAnswerer([this](const CommonDialog::SaveRequest &r) {
            requests.push_back(r);
            if (answers.empty())
                return QString();
            QString a = answers.front();
            answers.pop_front();
            return a;
        });
    }
    ~ScriptedSaveBox()
    {
        CommonDialog::SetSaveAnswerer([](const CommonDialog::SaveRequest &) { return QString(); });
    }
};

QString readRtf(const QString &path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return QStringLiteral("<no file>");
    return test::ReadRtfText(f.readAll()).value_or(QStringLiteral("<not RTF>"));
}

class ErrorReportTest : public ::testing::Test {
protected:
    void SetUp() override { test::ClearErrorLog(); }
    frmErrorReportDialog dlg;
};

TEST_F(ErrorReportTest, ControlsAndCaptions)
{
    EXPECT_EQ(dlg.windowTitle(), QStringLiteral("Reporting Errors"));
    EXPECT_EQ(dlg.cmdSave->text(), QStringLiteral("&Save"));
    EXPECT_EQ(dlg.cmdCancel->text(), QStringLiteral("&Cancel"));
    EXPECT_TRUE(dlg.ReportText().isEmpty());
}

TEST_F(ErrorReportTest, ReportTextByteForByte)
{
    dlg.AddError(QStringLiteral("Folvane Error"), QStringLiteral("Following file(s) couldn't combined"),
                 QStringLiteral("/docs/a.pdf\r\n/docs/b.pdf\r\n"));
    const QString first = kEquals + "\r\nFolvane Error\r\n" + kEquals + "\r\n" + kHyphens +
                          "\r\nFollowing file(s) couldn't combined\r\n" + kHyphens +
                          "\r\n\r\n/docs/a.pdf\r\n/docs/b.pdf\r\n\r\n\r\n";
    EXPECT_EQ(dlg.ReportText().toStdString(), first.toStdString());

    dlg.AddError(QStringLiteral("H2"), QStringLiteral("S2"), QStringLiteral("D2"));
    const QString second = kEquals + "\r\nH2\r\n" + kEquals + "\r\n" + kHyphens + "\r\nS2\r\n" + kHyphens +
                           "\r\n\r\nD2\r\n\r\n";
    EXPECT_EQ(dlg.ReportText().toStdString(), (first + second).toStdString())
        << "the second block starts right after the first";
    EXPECT_TRUE(test::ErrorLogLines().isEmpty());
}

TEST_F(ErrorReportTest, TheReportIsKeptAndSavedAsBuilt)
{
    // Characters a text box makes its own: each must reach the report and its file unchanged.
    const QString descriptions[] = {
        QStringLiteral("/docs/a\u00a0b.pdf\r\n"),              // no-break space
        QStringLiteral("/docs/a\u2028b.pdf\r\n"),              // line separator
        QStringLiteral("/docs/a\u2029b.pdf\r\n"),              // paragraph separator
        QStringLiteral("/docs/a\nb.pdf\r\n/docs/c\rd.pdf\r\n"), // a lone LF or CR inside a name
        QStringLiteral("/docs/\ttab  two spaces .pdf\r\n"),
    };
    test::TempDir dir;
    for (const QString &d : descriptions) {
        SCOPED_TRACE(d.toStdString());
        frmErrorReportDialog report;
        report.AddError(QStringLiteral("Folvane Error"), QStringLiteral("Following file(s) couldn't combined"), d);
        const QString built = kEquals + "\r\nFolvane Error\r\n" + kEquals + "\r\n" + kHyphens +
                              "\r\nFollowing file(s) couldn't combined\r\n" + kHyphens + "\r\n\r\n" + d + "\r\n\r\n";
        EXPECT_EQ(report.ReportText(), built);
        EXPECT_TRUE(report.RtxtError->toPlainText().contains(QStringLiteral("/docs/"))) << "the box shows it";
        ScriptedSaveBox box;
        const QString path = dir.filePath(QStringLiteral("report.rtf"));
        box.answers.push_back(path);
        report.cmdSave_Click();
        EXPECT_EQ(readRtf(path), built);
    }
    EXPECT_TRUE(test::ErrorLogLines().isEmpty());
}

TEST_F(ErrorReportTest, SaveWritesRtfThatReadsBackAsTheReport)
{
    test::TempDir dir;
    dlg.AddError(QStringLiteral("Folvane Error"), QStringLiteral("Following file(s) couldn't combined"),
                 QStringLiteral("/home/j\u00fcrgen/{x}\\a.pdf\r\n/\u6587\u66f8/\U0001F4C4.pdf\r\n"));
    struct Case {
        const char *name;
        QString file;
    } cases[] = {
        {"non-ASCII folder and name", QStringLiteral("B\u00e9richt \u65e5\u672c/report \u00e9.rtf")},
        {"name without extension", QStringLiteral("plain/report")},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        const QString path = dir.filePath(c.file);
        dir.createFolder(QFileInfo(c.file).path());
        ScriptedSaveBox box;
        box.answers.push_back(path);
        dlg.cmdSave_Click();
        ASSERT_EQ(box.requests.size(), 1u);
        EXPECT_EQ(box.requests[0].title, QStringLiteral("Save File"));
        EXPECT_EQ(box.requests[0].filter, QStringLiteral("Rich Text Files (*.rtf)|*.rtf"));
        EXPECT_EQ(box.requests[0].filterIndex, 1);
        EXPECT_TRUE(box.requests[0].confirmOverwrite);
        EXPECT_EQ(readRtf(path).toStdString(), dlg.ReportText().toStdString());
    }
    EXPECT_FALSE(QFileInfo::exists(dir.filePath("plain/report.rtf"))) << "no extension is added";
    EXPECT_TRUE(test::ErrorLogLines().isEmpty());
}

TEST_F(ErrorReportTest, CancelSavesNothingAndSaveWorksAgain)
{
    test::TempDir dir;
    dlg.AddError(QStringLiteral("H"), QStringLiteral("S"), QStringLiteral("D"));
    const QString report = dlg.ReportText();
    ScriptedSaveBox box;
    box.answers = {QString(), dir.filePath("again.rtf")};
    dlg.cmdSave_Click();
    EXPECT_TRUE(QDir(dir.path()).isEmpty());
    EXPECT_EQ(dlg.ReportText(), report);
    dlg.cmdSave_Click();
    EXPECT_EQ(readRtf(dir.filePath("again.rtf")), report);
    EXPECT_EQ(box.requests.size(), 2u);
}

TEST_F(ErrorReportTest, FailedSaveIsLoggedAndLeavesTheDialogOpen)
{
    test::TempDir dir;
    dlg.show();
    dlg.AddError(QStringLiteral("H"), QStringLiteral("S"), QStringLiteral("D"));
    ScriptedSaveBox box;
    box.answers.push_back(dir.filePath("no such folder/r.rtf"));
    dlg.cmdSave_Click();
    const QStringList log = test::ErrorLogLines();
    ASSERT_EQ(log.size(), 1);
    EXPECT_TRUE(log[0].startsWith("Error 75 (")) << log[0].toStdString();
    EXPECT_TRUE(log[0].contains(" in procedure cmdSave_Click at Line No. ")) << log[0].toStdString();
    EXPECT_TRUE(log[0].contains(" of Form frmErrorReportDialog at time- ")) << log[0].toStdString();
    EXPECT_TRUE(dlg.isVisible());
    EXPECT_TRUE(QDir(dir.path()).isEmpty()) << "no partial file";
}

TEST_F(ErrorReportTest, ASaveThatFillsTheDiskIsLoggedAndKeepsTheOldReport)
{
    if (test::RanOnSmallDisk(64 * 1024))
        return;
    const QString disk = test::SmallDisk();
    const QString path = disk + "/report.rtf";
    {
        QFile old(path);
        ASSERT_TRUE(old.open(QIODevice::WriteOnly));
        ASSERT_EQ(old.write("{\\rtf1 the old report}"), 22);
    }
    const QByteArray oldBytes = test::FileBytes(path);
    // About 180 KB of report for a 64 KB disk.
    QString failed;
    for (int i = 0; i < 3000; ++i)
        failed += QStringLiteral("/home/user/Documents/scans/2024/folder %1/document.pdf\r\n").arg(i);
    dlg.AddError(QStringLiteral("Folvane Error"), QStringLiteral("Following file(s) couldn't combined"), failed);
    ScriptedSaveBox box;
    box.answers.push_back(path);
    dlg.cmdSave_Click();

    const QStringList log = test::ErrorLogLines();
    ASSERT_EQ(log.size(), 1);
    EXPECT_TRUE(log[0].contains("No space left on device")) << log[0].toStdString();
    EXPECT_TRUE(log[0].contains(" in procedure cmdSave_Click at Line No. ")) << log[0].toStdString();
    EXPECT_EQ(test::FileBytes(path), oldBytes);
    EXPECT_EQ(test::FolderEntries(disk), QStringList{"report.rtf"});
}

// Through the real save-file box, as a user types names into it.
TEST_F(ErrorReportTest, TheSaveBoxRefusesAFolderThatDoesNotExist)
{
    test::TempDir dir;
    dlg.AddError(QStringLiteral("H"), QStringLiteral("S"), QStringLiteral("/docs/a.pdf\r\n"));
    CommonDialog::SetSaveAnswerer({});
    test::ScriptedMsgBox messages;
    const QString missing = dir.filePath(QStringLiteral("no such folder/report.rtf"));
    const QString below = dir.createFile(QStringLiteral("plain")) + QStringLiteral("/report.rtf");
    const QString good = dir.filePath(QStringLiteral("report.rtf"));
    struct Step {
        QString typed;
        bool staysOpen;
    };
    const std::vector<Step> steps = {{missing, true}, {below, true}, {good, false}};
    std::vector<bool> stayedOpen;
    QStringList shownTitles;
    std::function<void()> drive = [&] {
        auto *box = qobject_cast<QFileDialog *>(QApplication::activeModalWidget());
        if (!box) {
            QTimer::singleShot(10, drive);
            return;
        }
        shownTitles << box->windowTitle();
        auto *name = box->findChild<QLineEdit *>(QStringLiteral("fileNameEdit"));
        for (const Step &step : steps) {
            if (!name || !box->isVisible())
                break;
            name->setText(step.typed);
            QTest::keyClick(name, Qt::Key_Return);
            stayedOpen.push_back(box->isVisible());
        }
        if (box->isVisible())
            box->reject(); // never leave a box behind that would hang the suite
    };
    QTimer::singleShot(0, drive);
    dlg.cmdSave_Click();
    CommonDialog::SetSaveAnswerer([](const CommonDialog::SaveRequest &) { return QString(); });

    EXPECT_EQ(shownTitles, QStringList{"Save File"});
    EXPECT_EQ(stayedOpen, (std::vector<bool>{true, true, false}));
    ASSERT_EQ(messages.calls().size(), 2u);
    EXPECT_TRUE(messages.calls()[0].text.startsWith(QFileInfo(missing).absolutePath() + "\r\n"))
        << messages.calls()[0].text.toStdString();
    EXPECT_EQ(messages.calls()[0].icon, MsgIcon::Exclamation);
    EXPECT_EQ(readRtf(good), dlg.ReportText()) << "the report went where the box allowed";
    EXPECT_EQ(test::FolderEntries(dir.path()), (QStringList{"plain", "report.rtf"}));
    EXPECT_TRUE(test::ErrorLogLines().isEmpty());
}

TEST_F(ErrorReportTest, CancelClosesWithoutSaving)
{
    ScriptedSaveBox box;
    dlg.show();
    dlg.cmdCancel_Click();
    EXPECT_FALSE(dlg.isVisible());
    EXPECT_TRUE(box.requests.empty());
}

TEST(CommonDialogTest, FilterBecomesQtNameFilters)
{
    struct Case {
        QString in, out;
    } cases[] = {
        {"Rich Text Files (*.rtf)|*.rtf", "Rich Text Files (*.rtf)"},
        {"Text|*.txt|All|*.txt;*.csv", "Text (*.txt);;All (*.txt *.csv)"},
    };
    for (const auto &c : cases)
        EXPECT_EQ(CommonDialog::ToQtFilters(c.in), c.out);
}

}  // namespace
