#include "search/frmPreferences.h"

#include "app/GridColumns.h"
#include "app/ProgramState.h"
#include "app/Settings.h"
#include "app/modGeneral.h"
#include "platform/CommonDialog.h"
#include "platform/DataGrid.h"
#include "search/frmMain.h"
#include "support/MainWindowFixture.h"
#include "support/TestEnv.h"

#include <QAbstractItemModel>
#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTableView>
#include <QTest>

#include <gtest/gtest.h>

#include <vector>

using namespace folvane;

namespace {

const QString kDefaultOrder = "Name,Selection,Pages,Location,Size (In KB),Type,Created Date,Modified Date";
const QString kDefaultWidths = "1800,250,700,1800,1000,1400,2000,2000";

QByteArray ReadAll(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

/// The store as the file holds it now.
std::unique_ptr<Settings> Reread()
{
    auto s = std::make_unique<Settings>();
    EXPECT_TRUE(s->LoadSettings());
    return s;
}

QStringList Column(const DataGrid &g, int col)
{
    QStringList texts;
    for (int r = 1; r < g.Rows(); ++r)
        texts << g.TextMatrix(r, col);
    return texts;
}

std::vector<int> Checks(const DataGrid &g)
{
    std::vector<int> states;
    for (int r = 1; r < g.Rows(); ++r)
        states.push_back(g.Cell(flexcpChecked, r, 2).toInt());
    return states;
}

/// Answers the folder browser and records its requests.
class ScriptedFolderBrowser {
public:
    explicit ScriptedFolderBrowser(std::optional<QString> answer)
    {
        CommonDialog::SetFolderAnswerer([this, answer](const CommonDialog::FolderRequest &r) {
            titles << r.title;
            return answer;
        });
    }
    ~ScriptedFolderBrowser()
    {
        CommonDialog::SetFolderAnswerer([](const CommonDialog::FolderRequest &) { return std::optional<QString>(); });
    }
    QStringList titles;
};

class PreferencesTest : public test::MainWindowFixture {
protected:
    Settings &store() { return *State().objSettings; }
};

TEST_F(PreferencesTest, LoadsTheStoreIntoItsControls)
{
    Settings &s = store();
    s.setWindowStateFlag(1);
    s.setWindowStateValue(1);
    s.setLastGridColWidthFlag(0);
    s.setSortbyNumeric(1);
    s.setStartupFolder("/docs/start");
    s.setPrefeOwnerPassword("owner ü");
    s.setPrefeUserPassword("user");
    s.setColumnVisibility("1,0,1,1,0,1,1,1");
    s.setLastGridColWidth("1800,250,700,1800,1000,1400,2000,2100");

    frmPreferences f;
    EXPECT_EQ(f.windowTitle(), "Set Preferences");
    EXPECT_FALSE(f.IsPreferanceChange);
    EXPECT_EQ(f.tabPreferences->count(), 2);
    EXPECT_EQ(f.tabPreferences->tabText(0), "Grid");
    EXPECT_EQ(f.tabPreferences->tabText(1), "General");
    EXPECT_EQ(f.tabPreferences->currentIndex(), 0);
    EXPECT_TRUE(f.cmdOk->isDefault());
    QStringList states;
    for (int i = 0; i < f.cmbDefaultWindowState->count(); ++i)
        states << f.cmbDefaultWindowState->itemText(i);
    EXPECT_EQ(states, QStringList({"Maximum", "Minimum", "Last Remembered Size"}));
    EXPECT_TRUE(f.chkDefaultWindowState->isChecked());
    EXPECT_EQ(f.cmbDefaultWindowState->currentIndex(), 1);
    EXPECT_FALSE(f.chkLastGridColWidth->isChecked());
    EXPECT_TRUE(f.chkSortbyNumeric->isChecked());
    EXPECT_EQ(f.txtStartUpFolder->text(), "/docs/start");
    EXPECT_EQ(f.txtOwnerPass->text(), "owner ü");
    EXPECT_EQ(f.txtUserpass->text(), "user");
    for (QLineEdit *box : {f.txtStartUpFolder, f.txtOwnerPass, f.txtUserpass})
        EXPECT_EQ(box->maxLength(), 1000);

    const DataGrid &g = *f.vsColumnSettings;
    ASSERT_EQ(g.Cols(), 4);
    EXPECT_EQ(g.FixedRows(), 1);
    EXPECT_EQ(g.FixedCols(), 1);
    EXPECT_EQ(QStringList({g.TextMatrix(0, 0), g.TextMatrix(0, 1), g.TextMatrix(0, 2), g.TextMatrix(0, 3)}),
              QStringList({"Sr#", "Column Name", "Visible", "WIDTH"}));
    EXPECT_EQ(Column(g, 0), QStringList({"1", "2", "3", "4", "5", "6", "7", "8"}));
    EXPECT_EQ(Column(g, 1), kDefaultOrder.split(','));
    EXPECT_EQ(Column(g, 3), QString("1800,250,700,1800,1000,1400,2000,2100").split(','));
    const int C = GridCheck::Checked, U = GridCheck::Unchecked;
    EXPECT_EQ(Checks(g), std::vector<int>({C, U, C, C, U, C, C, C}));
    EXPECT_EQ(g.ColDataType(2), GridDataType::Boolean);
    EXPECT_EQ(g.Editable(), 1);
    // The widths went into the shared column model.
    EXPECT_EQ(State().objGridColumns->Item(8)->ColumnWidth, 2100.0f);
}

TEST_F(PreferencesTest, RowsFollowTheColumnModelsOrder)
{
    store().setColumnReOrder("Location,Name,Selection,Pages,Size (In KB),Type,Created Date,Modified Date");
    modGeneral::LoadGridColumns();
    frmPreferences f;
    EXPECT_EQ(Column(*f.vsColumnSettings, 1).first(2), QStringList({"Location", "Name"}));
    f.cmdOk_Click();
    EXPECT_EQ(Reread()->ColumnReOrder(),
              "Location,Name,Selection,Pages,Size (In KB),Type,Created Date,Modified Date");
}

TEST_F(PreferencesTest, SaveWithoutChangesRewritesTheTenValues)
{
    frmPreferences f;
    f.cmdOk_Click();
    EXPECT_TRUE(f.IsPreferanceChange);
    const auto s = Reread();
    EXPECT_EQ(s->ColumnVisibility(), "1,1,1,1,1,1,1,1");
    EXPECT_EQ(s->ColumnReOrder(), kDefaultOrder);
    EXPECT_EQ(s->LastGridColWidth(), kDefaultWidths);
    EXPECT_EQ(s->StartupFolder(), QDir::homePath());
    EXPECT_EQ(s->WindowStateFlag(), 1);
    EXPECT_EQ(s->WindowStateValue(), 2);
    EXPECT_EQ(s->LastGridColWidthFlag(), 1);
    EXPECT_EQ(s->SortbyNumeric(), 0);
    EXPECT_EQ(State().ColumnOrder, kDefaultOrder.split(','));
    EXPECT_EQ(State().ColumnVisible.size(), 8);
}

TEST_F(PreferencesTest, SaveStoresWhatTheControlsShow)
{
    struct Case {
        const char *what;
        std::function<void(frmPreferences &)> edit;
        std::function<void(const Settings &)> check;
    };
    const std::vector<Case> cases = {
        {"window state off",
         [](frmPreferences &f) {
             f.cmbDefaultWindowState->setCurrentIndex(1);
             f.chkDefaultWindowState->setChecked(false);
         },
         [](const Settings &s) {
             EXPECT_EQ(s.WindowStateFlag(), 0);
             EXPECT_EQ(s.WindowStateValue(), 0);
         }},
        {"window state minimum", [](frmPreferences &f) { f.cmbDefaultWindowState->setCurrentIndex(1); },
         [](const Settings &s) {
             EXPECT_EQ(s.WindowStateFlag(), 1);
             EXPECT_EQ(s.WindowStateValue(), 1);
         }},
        {"texts and flags",
         [](frmPreferences &f) {
             f.txtStartUpFolder->setText("/no/such folder");
             f.txtOwnerPass->setText("");
             f.txtUserpass->setText("pw, with comma");
             f.chkLastGridColWidth->setChecked(false);
             f.chkSortbyNumeric->setChecked(true);
         },
         [](const Settings &s) {
             EXPECT_EQ(s.StartupFolder(), "/no/such folder");
             EXPECT_EQ(s.PrefeOwnerPassword(), "");
             EXPECT_EQ(s.PrefeUserPassword(), "pw, with comma");
             EXPECT_EQ(s.LastGridColWidthFlag(), 0);
             EXPECT_EQ(s.SortbyNumeric(), 1);
         }},
        {"deselect all", [](frmPreferences &f) { f.cmdDeselectAll_Click(); },
         [](const Settings &s) { EXPECT_EQ(s.ColumnVisibility(), "0,0,0,0,0,0,0,0"); }},
        {"deselect, select all", [](frmPreferences &f) { f.cmdDeselectAll_Click(); f.cmdSelectAll_Click(); },
         [](const Settings &s) { EXPECT_EQ(s.ColumnVisibility(), "1,1,1,1,1,1,1,1"); }},
        {"invert",
         [](frmPreferences &f) {
             f.vsColumnSettings->setCell(flexcpChecked, 2, 2, GridCheck::Unchecked);
             f.vsColumnSettings->setCell(flexcpChecked, 3, 2, GridCheck::Unset);
             f.cmdInvertSelection_Click();
         },
         [](const Settings &s) { EXPECT_EQ(s.ColumnVisibility(), "0,1,1,0,0,0,0,0"); }},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        SetUp();
        frmPreferences f;
        c.edit(f);
        f.cmdOk_Click();
        EXPECT_TRUE(f.IsPreferanceChange);
        c.check(*Reread());
    }
}

TEST_F(PreferencesTest, AVisibilityListOfOneEntryOrNoneLeavesTheBoxesUnset)
{
    for (const QString &visibility : {QString(), QString("1")}) {
        store().setColumnVisibility(visibility);
        frmPreferences f;
        EXPECT_EQ(Checks(*f.vsColumnSettings), std::vector<int>(8, GridCheck::Unset));
        f.cmdOk_Click();
        EXPECT_EQ(Reread()->ColumnVisibility(), "0,0,0,0,0,0,0,0");
    }
}

TEST_F(PreferencesTest, CancelWritesNothingButSetDefaultIsAlreadySaved)
{
    store().setExportLocation("/exports");
    store().setSortbyNumeric(1);
    const QByteArray before = ReadAll(store().SettingsFilePath());
    {
        frmPreferences f;
        f.txtUserpass->setText("changed");
        f.cmdCancel_Click();
        EXPECT_FALSE(f.IsPreferanceChange);
        EXPECT_EQ(ReadAll(store().SettingsFilePath()), before);
    }
    frmPreferences f;
    f.vsColumnSettings->setTextMatrix(1, 3, "999");
    f.cmdSetDefault_Click();
    EXPECT_TRUE(f.IsPreferanceChange);
    EXPECT_FALSE(f.chkSortbyNumeric->isChecked());
    EXPECT_EQ(f.vsColumnSettings->TextMatrix(1, 3), "1800");
    f.cmdCancel_Click();
    EXPECT_TRUE(f.IsPreferanceChange);
    const auto s = Reread();
    // Every value is back at its default, not only those the dialog shows.
    EXPECT_EQ(s->ExportLocation(), "");
    EXPECT_EQ(s->SortbyNumeric(), 0);
}

TEST_F(PreferencesTest, SetDefaultGivesEachColumnItsOwnDefaultsAndTheDefaultOrder)
{
    // "Pages" dragged before "Name", its width and visibility moved with it; "Location" hidden.
    store().setColumnReOrder("Pages,Name,Selection,Location,Size (In KB),Type,Created Date,Modified Date");
    store().setLastGridColWidth("700,1800,250,1800,1000,1400,2000,2000");
    store().setColumnVisibility("1,1,1,0,1,1,1,1");
    frmMain main;
    main.InitFiles(); // the main window's grid in the saved order, as at start-up
    const QStringList defaultWidths = kDefaultWidths.split(',');

    struct Case {
        const char *closedBy;
        bool save;
    } cases[] = {{"Save", true}, {"Cancel", false}};
    for (const Case &c : cases) {
        SCOPED_TRACE(c.closedBy);
        modGeneral::LoadGridColumns(); // as the menu command does before it opens the dialog
        frmPreferences f;
        ASSERT_EQ(Column(*f.vsColumnSettings, 1).first(2), QStringList({"Pages", "Name"}));
        f.cmdSetDefault_Click();
        const DataGrid &g = *f.vsColumnSettings;
        EXPECT_EQ(Column(g, 1), kDefaultOrder.split(','));
        EXPECT_EQ(Column(g, 3), defaultWidths);
        EXPECT_EQ(Checks(g), std::vector<int>(8, GridCheck::Checked));
        if (c.save)
            f.cmdOk_Click();
        else
            f.cmdCancel_Click();
        ASSERT_TRUE(f.IsPreferanceChange);
        const auto s = Reread();
        EXPECT_EQ(s->ColumnReOrder(), kDefaultOrder);
        EXPECT_EQ(s->LastGridColWidth(), kDefaultWidths);
        EXPECT_EQ(s->ColumnVisibility(), "1,1,1,1,1,1,1,1");

        // The main window applies the change: every column where it belongs, at its own width.
        main.RefreshGrid();
        const DataGrid &grid = *main.grdSearchList;
        const QStringList keys = kDefaultOrder.split(',');
        for (int col = 0; col < grid.Cols(); ++col) {
            SCOPED_TRACE(keys[col].toStdString());
            EXPECT_EQ(grid.TextMatrix(0, col), keys[col]);
            EXPECT_EQ(grid.ColWidth(col), defaultWidths[col].toInt());
            EXPECT_FALSE(grid.ColHidden(col));
        }

        // Back to the moved layout for the next case.
        store().setColumnReOrder("Pages,Name,Selection,Location,Size (In KB),Type,Created Date,Modified Date");
        store().setLastGridColWidth("700,1800,250,1800,1000,1400,2000,2000");
        store().setColumnVisibility("1,1,1,0,1,1,1,1");
        main.RefreshGrid();
    }
}

TEST_F(PreferencesTest, NoKeyOrEditingModeChangesAColumnName)
{
    frmPreferences f;
    f.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&f));
    DataGrid &g = *f.vsColumnSettings;
    QTableView *view = g.view();
    QAbstractItemModel *model = view->model();
    for (const int mode : {1, 2}) {
        SCOPED_TRACE(mode);
        g.setEditable(mode);
        // Straight onto the name cell, by key and by double click, and through the model.
        g.Select(1, 1, 1, 1);
        view->setFocus();
        QTest::keyClicks(view, "Pages");
        QTest::keyClick(view, Qt::Key_F2);
        QTest::mouseDClick(view->viewport(), Qt::LeftButton, {}, view->visualRect(model->index(0, 1)).center());
        for (const QLineEdit *editor : view->viewport()->findChildren<QLineEdit *>())
            EXPECT_FALSE(editor->isVisible());
        EXPECT_FALSE(model->setData(model->index(0, 1), "Bogus", Qt::EditRole));
        EXPECT_FALSE(model->flags(model->index(1, 1)) & Qt::ItemIsEditable);
    }
    f.cmdOk_Click();
    EXPECT_EQ(Reread()->ColumnReOrder(), kDefaultOrder);
    EXPECT_EQ(Reread()->LastGridColWidth(), kDefaultWidths);
}

TEST_F(PreferencesTest, TheFolderBrowserSetsTheStartUpFolder)
{
    struct Case {
        std::optional<QString> answer;
        QString text;
    };
    for (const Case &c : std::vector<Case>{{std::nullopt, "/before"}, {"/chosen/folder", "/chosen/folder"}, {"", ""}}) {
        ScriptedFolderBrowser browser(c.answer);
        frmPreferences f;
        f.txtStartUpFolder->setText("/before");
        f.cmdStartupFolder_Click();
        EXPECT_EQ(browser.titles, QStringList{"Set Folder"});
        EXPECT_EQ(f.txtStartUpFolder->text(), c.text);
    }
}

TEST_F(PreferencesTest, ABrokenColumnListIsLoggedAndLeavesRowsOut)
{
    struct Case {
        QString widths;
        QString visibility;
        int rows; // data rows built
    };
    const std::vector<Case> cases = {
        {"1800,250,700", "1,1,1,1,1,1,1,1", 0},
        {"1800,250,700,wide,1000,1400,2000,2000", "1,1,1,1,1,1,1,1", 0},
        {kDefaultWidths, "1,0,1", 4},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.widths.toStdString() + " / " + c.visibility.toStdString());
        test::ClearErrorLog();
        store().setLastGridColWidth(c.widths);
        store().setColumnVisibility(c.visibility);
        frmPreferences f;
        const DataGrid &g = *f.vsColumnSettings;
        EXPECT_EQ(g.Rows() - 1, c.rows);
        if (c.rows == 4) {
            EXPECT_EQ(Checks(g), std::vector<int>({GridCheck::Checked, GridCheck::Unchecked, GridCheck::Checked,
                                                   GridCheck::Unset}));
            EXPECT_EQ(g.TextMatrix(4, 1), "Location");
        }
        const QStringList log = test::ErrorLogLines();
        ASSERT_EQ(log.size(), 1);
        EXPECT_TRUE(log[0].contains("in procedure InitColumnSettings at Line No."));
        EXPECT_TRUE(log[0].contains(" of Form frmPreferences at time")) << log[0].toStdString();
    }
}

TEST_F(PreferencesTest, SaveWithAnEmptyGridKeepsTheStoredColumnLists)
{
    store().setLastGridColWidth("1800");
    const QByteArray before = ReadAll(store().SettingsFilePath());
    test::ClearErrorLog();
    frmPreferences f;
    f.txtUserpass->setText("changed");
    f.cmdOk_Click();
    EXPECT_FALSE(f.IsPreferanceChange);
    EXPECT_EQ(ReadAll(store().SettingsFilePath()), before);
    const QStringList log = test::ErrorLogLines();
    ASSERT_EQ(log.size(), 2);
    EXPECT_TRUE(log[1].contains("in procedure cmdOk_Click at Line No."));
}

TEST_F(PreferencesTest, ATypedWidthMustBeAWholeNumberOfTwips)
{
    struct Case {
        QString typed;
        QString shown;
    };
    // One rule: a number is rounded to whole twips, halves to the even neighbour, and kept when the
    // grid can take it (0 to 32767); any other text keeps the old width.
    const std::vector<Case> cases = {
        {"2500", "2500"},    {" 900 ", "900"},   {"1.5e3", "1500"},   {"1200.6", "1201"},  {"0", "0"},
        {"1200.4", "1200"},  {"1200.5", "1200"}, {"1201.5", "1202"},  {"0.5", "0"},        {".5", "0"},
        {"-0.4", "0"},       {"-0.5", "0"},      {"2.5e2", "250"},    {"1e-1", "0"},       {"+7.5", "8"},
        {"32767.4", "32767"}, {"32767.5", "1800"}, {"-0.6", "1800"},  {"-5", "1800"},      {"99999", "1800"},
        {"wide", "1800"},    {"", "1800"},       {"12px", "1800"},    {"1,200", "1800"},   {"1200.6.1", "1800"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.typed.toStdString());
        SetUp();
        frmPreferences f;
        f.vsColumnSettings->setTextMatrix(1, 3, c.typed);
        EXPECT_EQ(f.vsColumnSettings->TextMatrix(1, 3), c.shown);
        f.cmdOk_Click();
        const QString stored = Reread()->LastGridColWidth();
        EXPECT_EQ(stored, c.shown + kDefaultWidths.mid(4));
        // What is stored reads back as a width at the next start.
        for (const QString &w : stored.split(','))
            EXPECT_TRUE(modGeneral::TextToNumber(w).has_value()) << w.toStdString();
    }
}

TEST_F(PreferencesTest, TypingAWidthInTheGridGoesThroughTheSameCheck)
{
    frmPreferences f;
    f.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&f));
    QTableView *view = f.vsColumnSettings->view();
    for (const auto &[typed, shown] : std::vector<std::pair<QString, QString>>{{"abc", "1800"}, {"1200.5", "1200"}, {"-0.4", "0"}, {"2222", "2222"}}) {
        const QModelIndex cell = view->model()->index(0, 3);
        view->setCurrentIndex(cell);
        view->edit(cell);
        auto *editor = view->findChild<QLineEdit *>();
        ASSERT_NE(editor, nullptr);
        editor->selectAll();
        QTest::keyClicks(editor, typed);
        QTest::keyClick(editor, Qt::Key_Return);
        QCoreApplication::sendPostedEvents();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        EXPECT_EQ(f.vsColumnSettings->TextMatrix(1, 3), shown);
        EXPECT_FALSE(f.IsPreferanceChange);
    }
    f.cmdOk_Click();
    EXPECT_TRUE(Reread()->LastGridColWidth().startsWith("2222,250,"));
}

TEST_F(PreferencesTest, OnlyTheVisibleColumnTakesMouseEdits)
{
    frmPreferences f;
    struct Case {
        int col;
        int button;
        int editable;
    };
    for (const Case &c : std::vector<Case>{{2, 1, 2}, {3, 1, 0}, {2, 2, 0}, {1, 1, 0}}) {
        f.vsColumnSettings->setCol(c.col);
        f.vsColumnSettings_MouseDown(static_cast<std::int16_t>(c.button), 0, 0, 0);
        EXPECT_EQ(f.vsColumnSettings->Editable(), c.editable) << c.col << " " << c.button;
    }
}

TEST_F(PreferencesTest, TheWindowStateListFollowsItsBox)
{
    frmPreferences f;
    for (const bool on : {false, true}) {
        f.chkDefaultWindowState->setChecked(on);
        EXPECT_EQ(f.cmbDefaultWindowState->isEnabled(), on);
        EXPECT_EQ(f.cmbDefaultWindowState->palette().color(QPalette::Disabled, QPalette::Base),
                  on ? QColor(0xFFFFFF) : QColor(0xE0E0E0));
    }
}

TEST_F(PreferencesTest, CaptionsAreTheProgramsOwn)
{
    frmPreferences f;
    const std::vector<std::pair<QString, QString>> captions = {
        {f.cmdSetDefault->text(), "Set De&fault"},
        {f.cmdOk->text(), "&Save"},
        {f.cmdCancel->text(), "&Cancel"},
        {f.fraColumnSettings->title(), "Column Settings"},
        {f.cmdSelectAll->text(), "Select A&ll"},
        {f.cmdDeselectAll->text(), "&Deselect All"},
        {f.cmdInvertSelection->text(), "&Invert Selection"},
        {f.chkLastGridColWidth->text(), "Apply last columns widt&h"},
        {f.chkSortbyNumeric->text(), "Allow &numeric sorting in filename"},
        {f.fraProgram->title(), "General Settings"},
        {f.lblStartupFolder->text(), "Sta&rtup Folder"},
        {f.cmdStartupFolder->text(), "..."},
        {f.fraWindowState->title(), "Window State"},
        {f.chkDefaultWindowState->text(), "Default &Window State"},
        {f.Frame1->title(), "PDF Security"},
        {f.Label2->text(), "&Owner Password:"},
        {f.Label1->text(), "&User Password:"},
    };
    for (const auto &[shown, caption] : captions)
        EXPECT_EQ(shown, caption);
}

}  // namespace

TEST_F(PreferencesTest, KeyboardEditingOfWidthsLastsWhileTheCursorCrossesTheNames)
{
    frmPreferences f;
    f.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&f));
    DataGrid &g = *f.vsColumnSettings;
    QTableView *view = g.view();
    view->setFocus();
    auto typeWidth = [&](const char *digits) {
        // The first key opens the editor with that key in it; the rest go to the editor.
        QTest::keyClick(view, digits[0]);
        auto *editor = view->findChild<QLineEdit *>();
        ASSERT_NE(editor, nullptr) << "typing did not open the width to editing";
        QTest::keyClicks(editor, digits + 1);
        QTest::keyClick(editor, Qt::Key_Return);
        QCoreApplication::sendPostedEvents();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    };
    g.Select(1, 3, 1, 3);
    typeWidth("900");
    // From the width over the visible box onto the name, and back: editing by keyboard goes on.
    QTest::keyClick(view, Qt::Key_Down);
    QTest::keyClick(view, Qt::Key_Left);
    QTest::keyClick(view, Qt::Key_Left);
    ASSERT_EQ(g.Col(), 1);
    QTest::keyClick(view, Qt::Key_Right);
    QTest::keyClick(view, Qt::Key_Right);
    ASSERT_EQ(g.Col(), 3);
    typeWidth("950");
    EXPECT_EQ(Column(g, 1).mid(0, 2), (QStringList{"Name", "Selection"})) << "a name changed";
    f.cmdOk_Click();
    EXPECT_TRUE(Reread()->LastGridColWidth().startsWith("900,950,")) << Reread()->LastGridColWidth().toStdString();
}

TEST_F(PreferencesTest, AStoredWidthNoColumnCanHaveShowsTheColumnsOwn)
{
    for (const char *stored : {"-1", "1e30", "1e300", "40000"}) {
        SCOPED_TRACE(stored);
        store().setLastGridColWidth(QStringLiteral("%1,250,700,1800,1000,1400,2000,2000").arg(stored));
        frmPreferences f;
        EXPECT_EQ(f.vsColumnSettings->TextMatrix(1, 3), "1800");
        f.cmdOk_Click();
        EXPECT_EQ(Reread()->LastGridColWidth(), kDefaultWidths);
        EXPECT_TRUE(test::ErrorLogLines().isEmpty()) << test::ErrorLogLines().join('\n').toStdString();
    }
}
