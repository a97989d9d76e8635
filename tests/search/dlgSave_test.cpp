#include "search/dlgSave.h"

#include "app/ProgramState.h"
#include "app/Settings.h"
#include "platform/FolderTree.h"
#include "support/MainWindowFixture.h"
#include "support/TestEnv.h"

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QDate>
#include <QDir>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStandardPaths>
#include <QTest>

#include <gtest/gtest.h>

#include <vector>

using namespace folvane;
using folvane::test::ScriptedMsgBox;
using folvane::test::TempDir;

namespace {

class DlgSaveTest : public test::MainWindowFixture {
protected:
    /// Fills the dialog as a user would, in the temporary folder, and presses Save.
    void saveAs(dlgSave &d, int type, const QString &name, const QString &separator)
    {
        d.ftvFolder->setSelectedPath(dir.path());
        d.cboFileType->setCurrentIndex(type);
        d.txtFileName->setText(name);
        d.txtColSaperator->setText(separator);
        d.cmdSave_Click();
    }

    TempDir dir;
};

TEST_F(DlgSaveTest, LoadsWithItsDefaults)
{
    dlgSave d;
    EXPECT_EQ(d.windowTitle(), "Export");
    EXPECT_EQ(d.filename, "");
    EXPECT_EQ(d.ColumnSaperator, "");
    const QStringList types = {"Text Document (*.txt)", "Excel Worksheet(*.xls)", "CSV File (*.csv)",
                               "Word Document (*.doc)"};
    QStringList listed;
    for (int i = 0; i < d.cboFileType->count(); ++i)
        listed << d.cboFileType->itemText(i);
    EXPECT_EQ(listed, types);
    EXPECT_EQ(d.cboFileType->currentIndex(), 1);
    EXPECT_TRUE(d.txtColSaperator->isHidden());
    EXPECT_TRUE(d.lblDelimeter->isHidden());
    EXPECT_EQ(d.txtFileName->text(), QDate::currentDate().toString("yyyy_MM_dd") + "_Data");
    EXPECT_EQ(d.txtColSaperator->text(), ",");
    EXPECT_EQ(d.txtFileName->maxLength(), 255);
    EXPECT_FALSE(d.ChkOpenFile->isChecked());
    EXPECT_EQ(d.ftvFolder->SelectedPath(), QDir::homePath());
    EXPECT_TRUE(d.cmdSave->isDefault());
    for (const auto &[widget, caption] : std::vector<std::pair<QString, QString>>{
             {d.Label1->text(), "File &Name"},
             {d.Label2->text(), "File &Type"},
             {d.lblDelimeter->text(), "Column Se&parator"},
             {d.ChkOpenFile->text(), "&Open Exported file after completion"},
             {d.cmdSave->text(), "&Save"},
             {d.cmdCancel->text(), "&Cancel"}})
        EXPECT_EQ(widget, caption);
}

TEST_F(DlgSaveTest, StartsInTheExportLocationOrTheHomeFolder)
{
    struct Case {
        QString location;
        QString folder;
    };
    for (const Case &c : std::vector<Case>{{"", QDir::homePath()},
                                           {"   ", QDir::homePath()},
                                           {QString(QChar(0)), QDir::homePath()},
                                           {dir.path(), dir.path()},
                                           // A folder that is gone, or a path that names none.
                                           {dir.filePath("gone"), QDir::homePath()},
                                           {"C:\\", QDir::homePath()},
                                           {"Desktop", "Desktop"}}) {
        State().objSettings->setExportLocation(c.location);
        State().objSettings->setIsOpenFileAfterExport(1);
        dlgSave d;
        EXPECT_EQ(d.ftvFolder->SelectedPath(), c.folder);
        EXPECT_TRUE(d.ChkOpenFile->isChecked());
    }
}

TEST_F(DlgSaveTest, TheSeparatorBoxShowsForTextAndWordOnly)
{
    dlgSave d;
    for (const auto &[index, shown] : std::vector<std::pair<int, bool>>{{0, true}, {1, false}, {2, false}, {3, true}}) {
        d.cboFileType->setCurrentIndex(index);
        EXPECT_EQ(!d.txtColSaperator->isHidden(), shown) << index;
        EXPECT_EQ(!d.lblDelimeter->isHidden(), shown) << index;
    }
}

TEST_F(DlgSaveTest, SaveBuildsThePathFromFolderNameAndType)
{
    struct Case {
        int type;
        QString name;
        QString separator;
        QString file;
        QString columnSeparator;
    };
    const std::vector<Case> cases = {
        {0, "report.txt", ";", "report.txt", ";"},
        {0, "report.TXT", ",", "report.TXT.txt", ","},
        {0, "report.csv", ",", "report.csv.txt", ","},
        {1, "report", ";", "report.xls", ""},
        {2, "report.csv", ";", "report.csv", ""},
        {3, "my.report", "|", "my.report.doc", "|"},
        {1, "txt", ",", "txt.xls", ""},
        // The name box takes a path: under the chosen folder, or standing alone when absolute.
        {1, "sub/report", ",", "sub/report.xls", ""},
        {0, "sub/report.txt", ";", "sub/report.txt", ";"},
        {2, "/srv/lists/report", ",", "/srv/lists/report.csv", ""},
        // ... and comes back clean, as the success message shows it.
        {1, "../lists/./report", ",", "../lists/report.xls", ""},
        {1, "sub//report", ",", "sub/report.xls", ""},
    };
    for (const Case &c : cases) {
        dlgSave d;
        saveAs(d, c.type, c.name, c.separator);
        EXPECT_EQ(d.filename, QDir::cleanPath(QDir(dir.path()).filePath(c.file))) << c.name.toStdString();
        EXPECT_EQ(d.ColumnSaperator, c.columnSeparator) << c.name.toStdString();
    }
}

TEST_F(DlgSaveTest, TheDesktopNodeIsTheDesktopFolder)
{
    State().objSettings->setExportLocation("Desktop");
    dlgSave d;
    d.txtFileName->setText("x");
    d.cmdSave_Click();
    EXPECT_EQ(d.filename,
              QDir(QStandardPaths::writableLocation(QStandardPaths::DesktopLocation)).filePath("x.xls"));
}

TEST_F(DlgSaveTest, ValidateKeepsTheDialogOpenWithItsMessage)
{
    struct Case {
        int type;
        QString name;
        QString separator;
        QStringList messages;
    };
    const std::vector<Case> cases = {
        {1, "", ",", {"Please specify file name."}},
        {0, "", "", {"Please specify file name."}},
        {0, "a", "", {"Please enter column saperator."}},
        {3, "a", "", {"Please enter column saperator."}},
        {2, "a", "", {}}, // the box is hidden, its text does not count
        {1, "sub/", ",", {"Please specify file name."}}, // a folder, no file in it
    };
    for (const Case &c : cases) {
        ScriptedMsgBox box;
        dlgSave d;
        saveAs(d, c.type, c.name, c.separator);
        EXPECT_EQ(box.texts(), c.messages);
        EXPECT_EQ(d.filename.isEmpty(), !c.messages.isEmpty());
        for (const auto &call : box.calls()) {
            EXPECT_EQ(call.title, "Folvane 1.1");
            EXPECT_EQ(call.icon, MsgIcon::Information);
        }
    }
}

TEST_F(DlgSaveTest, ReservedCharactersAreDroppedWhenTypedNotWhenPasted)
{
    dlgSave d;
    const QString reserved = "|\\?><:*\"";
    for (const QChar ch : reserved) {
        int key = ch.unicode();
        d.txtFileName_KeyPress(key);
        EXPECT_EQ(key, 0) << ch.toLatin1();
        EXPECT_TRUE(d.IsReservedChar(ch.unicode()));
    }
    // "/" separates the folders of a path.
    for (const QChar ch : QString("a.-_ ,;ü/")) {
        int key = ch.unicode();
        d.txtFileName_KeyPress(key);
        EXPECT_EQ(key, ch.unicode());
    }
    d.txtFileName->clear();
    QTest::keyClicks(d.txtFileName, "a|b\\c?d>e<f:g/h*i\"j.k");
    EXPECT_EQ(d.txtFileName->text(), "abcdefg/hij.k");
    d.txtFileName->insert("x:y");
    EXPECT_EQ(d.txtFileName->text(), "abcdefg/hij.kx:y");
}

TEST_F(DlgSaveTest, EveryWayOfClosingStoresTheOpenChoice)
{
    struct Case {
        const char *how;
        bool open;
        std::function<void(dlgSave &)> close;
        bool saved;
    };
    const std::vector<Case> cases = {
        {"cancel", true, [](dlgSave &d) { d.cmdCancel_Click(); }, false},
        {"close box", true, [](dlgSave &) {}, false},
        {"escape", false, [](dlgSave &d) { d.reject(); }, false},
        {"save", true, [](dlgSave &d) { d.cmdSave_Click(); }, true},
        {"save, not opening", false, [](dlgSave &d) { d.cmdSave_Click(); }, true},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.how);
        State().objSettings->setIsOpenFileAfterExport(c.open ? 0 : 1);
        dlgSave::SetModalRunner([&](dlgSave &d) {
            d.ChkOpenFile->setChecked(c.open);
            c.close(d);
        });
        dlgSave d;
        d.ftvFolder->setSelectedPath(dir.path());
        d.ShowModal();
        dlgSave::SetModalRunner({});
        EXPECT_EQ(d.filename == dlgSave::Cancelled(), !c.saved);
        EXPECT_EQ(d.OpenFile, c.open);
        EXPECT_EQ(State().objSettings->IsOpenFileAfterExport(), c.open ? 1 : 0);
        Settings reread;
        ASSERT_TRUE(reread.LoadSettings());
        EXPECT_EQ(reread.IsOpenFileAfterExport(), c.open ? 1 : 0);
    }
}

TEST_F(DlgSaveTest, TheWindowsCloseBoxCountsAsCancel)
{
    dlgSave d;
    d.ChkOpenFile->setChecked(true);
    d.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&d));
    d.close();
    EXPECT_EQ(d.filename, dlgSave::Cancelled());
    EXPECT_EQ(State().objSettings->IsOpenFileAfterExport(), 1);
}

TEST_F(DlgSaveTest, TheSeparatorBoxTakesOneCharacter)
{
    dlgSave d;
    d.cboFileType->setCurrentIndex(0);
    d.show();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&d));
    struct Case {
        const char *what;
        QString start;       // the box's text, all of it selected
        QString typed;       // one key press, or a paste
        bool paste;
        QString expected;
    } cases[] = {
        {"a character replaces the selection", ",", ";", false, ";"},
        {"an emoji is one character", ",", QStringLiteral("\U0001F600"), false, QStringLiteral("\U0001F600")},
        {"a double quote", ",", "\"", false, "\""},
        {"a paste keeps its first character", ",", "; ", true, ";"},
        {"a pasted emoji and more", ",", QStringLiteral("\U0001F600x"), true, QStringLiteral("\U0001F600")},
        {"a line break is refused", ",", "\n", true, ","},
        {"a carriage return is refused", ",", "\r", false, ","},
    };
    QLineEdit *box = d.txtColSaperator;
    box->setFocus();
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        box->setText(c.start);
        box->selectAll();
        if (c.paste) {
            QApplication::clipboard()->setText(c.typed);
            box->paste();
        } else {
            // One key event with the whole character, as the keyboard delivers it.
            QKeyEvent press(QEvent::KeyPress, 0, Qt::NoModifier, c.typed);
            QApplication::sendEvent(box, &press);
        }
        EXPECT_EQ(box->text(), c.expected) << box->text().toStdString();
    }
    // A full box takes no second character, typed after the first.
    for (const QString &full : {QStringLiteral(","), QStringLiteral("\U0001F600")}) {
        box->setText(full);
        box->end(false);
        QTest::keyClick(box, Qt::Key_X);
        EXPECT_EQ(box->text(), full);
    }
    d.txtFileName->setText("list");
    d.ftvFolder->setSelectedPath(dir.path());
    d.txtColSaperator->setText(QStringLiteral("\U0001F600"));
    d.cmdSave_Click();
    EXPECT_EQ(d.ColumnSaperator, QStringLiteral("\U0001F600"));
}

TEST_F(DlgSaveTest, FocusSelectsTheWholeText)
{
    dlgSave d;
    d.cboFileType->setCurrentIndex(0);
    d.show();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&d));
    for (QLineEdit *box : {d.txtFileName, d.txtColSaperator}) {
        d.cmdSave->setFocus();
        box->deselect();
        // A click, unlike the Tab key, would leave only the cursor in the box.
        QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(2, box->height() / 2));
        QTest::qWait(20);
        ASSERT_TRUE(box->hasFocus());
        EXPECT_EQ(box->selectedText(), box->text());
    }
}

}  // namespace
