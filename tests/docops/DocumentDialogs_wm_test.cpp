// The combine and append dialogs as a user meets them under a window manager, with real keys and
// clicks: Enter in a text box, the editing keys in the range boxes, and the width they open with.

#include "docops/frmAppendPdfFile.h"
#include "docops/frmSetOrder_ComPdf.h"

#include "app/GridColumns.h"
#include "app/ProgramState.h"
#include "app/Settings.h"
#include "app/modGeneral.h"
#include "platform/CommonDialog.h"
#include "platform/DataGrid.h"
#include "support/MainWindowFixture.h"
#include "support/RealInput.h"
#include "support/TestEnv.h"

#include <QGuiApplication>
#include <QHeaderView>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QScrollBar>
#include <QTableView>
#include <QWindow>

#include <gtest/gtest.h>

#include <map>
#include <memory>

using namespace folvane;
using namespace folvane::test;

namespace {

enum class Kind { Combine, Append };

const char *NameOf(Kind kind) { return kind == Kind::Combine ? "combine" : "append"; }

/// One of the two dialogs, opened over a few documents, with the controls the cases reach for.
struct OpenDialog {
    std::unique_ptr<QDialog> dialog;
    DataGrid *grid = nullptr;
    QLineEdit *range = nullptr;
    std::vector<QLineEdit *> boxes; ///< every text box a user can type into
};

OpenDialog Open(Kind kind, int documents = 3)
{
    SetOrderRecords records;
    for (int i = 1; i <= documents; ++i) {
        clsColSetOrderGrid r;
        r.filename = QStringLiteral("document %1.pdf").arg(i);
        r.FileLocation = QStringLiteral("/docs/reports/2023/a folder with a long name");
        r.FileCreDate = QStringLiteral("01/02/2023 10:00 AM");
        r.PageCount = 4;
        records.push_back(r);
    }
    OpenDialog o;
    if (kind == Kind::Combine) {
        auto d = std::make_unique<frmSetOrder_ComPdf>();
        d->colSelectedData = records;
        o.grid = d->vsFilesSetOrder;
        o.range = d->txtRange;
        o.boxes = {d->txtRange, d->txtmanualfilename, d->txtOutputFolder};
        o.dialog = std::move(d);
    } else {
        auto d = std::make_unique<frmAppendPdfFile>();
        d->colSelectedData = records;
        o.grid = d->vsFilesSetOrder;
        o.range = d->txtRange;
        o.boxes = {d->txtAppendFile, d->txtRange, d->txtmanualfilename, d->txtseparator, d->txtOutputFolder};
        frmAppendPdfFile *append = d.get();
        o.dialog = std::move(d);
        o.dialog->show();
        // The manual name boxes are open to typing only with the manual name option.
        append->optmanual->setChecked(true);
        append->optmanual_Click();
    }
    return o;
}

class DocumentDialogsTest : public MainWindowFixture {
protected:
    void SetUp() override
    {
        MainWindowFixture::SetUp();
        ASSERT_TRUE(WindowManagerRunning()) << "run under support/run-with-wm";
        // The dialogs open over the main window, framed by the window manager.
        mainWindow.setGeometry(40, 40, 900, 700);
        ASSERT_TRUE(ShowAndWaitForFrame(mainWindow));
        State().ColumnVisible = modGeneral::SplitList(State().objSettings->ColumnVisibility());
        CommonDialog::SetOpenAnswerer([this](const CommonDialog::OpenRequest &) {
            ++pickers;
            return QString();
        });
        CommonDialog::SetFolderAnswerer([this](const CommonDialog::FolderRequest &) {
            ++pickers;
            return std::optional<QString>();
        });
    }
    void TearDown() override
    {
        CommonDialog::SetOpenAnswerer([](const CommonDialog::OpenRequest &) { return QString(); });
        CommonDialog::SetFolderAnswerer([](const CommonDialog::FolderRequest &) { return std::optional<QString>(); });
        MainWindowFixture::TearDown();
    }

    static void SetColumnWidth(QLatin1StringView key, float twips)
    {
        State().objGridColumns->Item(QString(key))->ColumnWidth = twips;
    }

    /// Clicks into the box; true when the box then has the keyboard focus.
    static bool FocusByClick(QLineEdit &box)
    {
        return ClickWidget(box, QPoint(box.width() - 6, box.height() / 2)) && box.hasFocus();
    }

    QWidget mainWindow;
    int pickers = 0;
    ScriptedMsgBox messages;
    ShellRecorder shell;
};

TEST_F(DocumentDialogsTest, EnterInATextBoxPressesNoButton)
{
    for (Kind kind : {Kind::Combine, Kind::Append}) {
        SCOPED_TRACE(NameOf(kind));
        OpenDialog o = Open(kind);
        ASSERT_TRUE(ShowAndWaitForFrame(*o.dialog));
        std::map<QString, int> pressed;
        for (QPushButton *button : o.dialog->findChildren<QPushButton *>())
            QObject::connect(button, &QPushButton::clicked, [&pressed, button] { ++pressed[button->text()]; });
        for (QLineEdit *box : o.boxes) {
            SCOPED_TRACE(box->objectName().toStdString() + " at x " + std::to_string(box->x()));
            ASSERT_TRUE(box->isEnabled());
            ASSERT_TRUE(FocusByClick(*box));
            ASSERT_TRUE(PressKeys({"Return", "KP_Enter"}));
            EXPECT_TRUE(o.dialog->isVisible());
            EXPECT_TRUE(box->hasFocus());
        }
        EXPECT_TRUE(pressed.empty()) << pressed.begin()->first.toStdString();
        EXPECT_EQ(pickers, 0) << "no file or folder picker opened";
        EXPECT_TRUE(messages.calls().empty()) << messages.texts().join(" | ").toStdString();
    }
}

TEST_F(DocumentDialogsTest, EnterOnAFocusedButtonPressesThatButton)
{
    for (Kind kind : {Kind::Combine, Kind::Append}) {
        SCOPED_TRACE(NameOf(kind));
        OpenDialog o = Open(kind);
        ASSERT_TRUE(ShowAndWaitForFrame(*o.dialog));
        QPushButton *cancel = nullptr;
        for (QPushButton *button : o.dialog->findChildren<QPushButton *>())
            if (button->text() == QLatin1String("&Cancel"))
                cancel = button;
        ASSERT_NE(cancel, nullptr);
        // Reached from a text box by the keyboard, as a user would: Tab until the button has the focus.
        ASSERT_TRUE(FocusByClick(*o.range));
        for (int i = 0; i < 30 && !cancel->hasFocus(); ++i)
            ASSERT_TRUE(PressKeys({"Tab"}));
        ASSERT_TRUE(cancel->hasFocus());
        ASSERT_TRUE(PressKeys({"Return"}));
        EXPECT_TRUE(WaitUntil([&] { return !o.dialog->isVisible(); })) << "Enter pressed the focused Cancel";
        EXPECT_EQ(o.dialog->result(), QDialog::Rejected);
    }
}

TEST_F(DocumentDialogsTest, EditingKeysWorkInTheRangeBoxAndTheFilterStillDropsWhatItMust)
{
    struct Case {
        Kind kind;
        const char *typed;
        const char *kept; ///< what the key filter lets through
    } cases[] = {
        {Kind::Combine, "12a-34", "12-34"},
        {Kind::Append, "12,-34", "12-34"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(NameOf(c.kind));
        OpenDialog o = Open(c.kind);
        ASSERT_TRUE(ShowAndWaitForFrame(*o.dialog));
        QLineEdit &range = *o.range;
        ASSERT_TRUE(FocusByClick(range));
        ASSERT_TRUE(TypeText(c.typed));
        EXPECT_EQ(range.text(), c.kept);

        struct Step {
            QStringList keys;
            const char *text;
            int cursor; ///< -1: wherever the platform's text box puts it
        } steps[] = {
            {{"Home", "Delete"}, "2-34", 0},
            {{"End", "BackSpace"}, "2-3", 3},
            {{"Left", "Left", "Delete"}, "23", 1},
            {{"Up", "Down"}, "23", -1},
            {{"Right", "Delete"}, "23", 2},
            {{"shift+Home", "Delete"}, "", 0},
        };
        for (const Step &s : steps) {
            SCOPED_TRACE(s.keys.join(' ').toStdString());
            ASSERT_TRUE(PressKeys(s.keys));
            EXPECT_EQ(range.text(), s.text);
            if (s.cursor >= 0) {
                EXPECT_EQ(range.cursorPosition(), s.cursor);
            }
        }

        ASSERT_TRUE(PressKeys({"Tab"}));
        EXPECT_TRUE(WaitUntil([&] { return !range.hasFocus(); })) << "Tab moves on";
        ASSERT_TRUE(PressKeys({"shift+Tab"}));
        EXPECT_TRUE(WaitUntil([&] { return range.hasFocus(); })) << "Backtab comes back";
        EXPECT_EQ(range.text(), "");
    }
}

/// Every cell's text, row by row, the "Range" column left out.
std::string TextsOutsideRange(const DataGrid &grid)
{
    QStringList rows;
    for (int r = 1; r < grid.Rows(); ++r) {
        QStringList cells;
        for (int c = 0; c + 1 < grid.Cols(); ++c)
            cells << grid.TextMatrix(r, c);
        rows << cells.join(QLatin1Char('|'));
    }
    return rows.join(QLatin1Char('\n')).toStdString();
}

TEST_F(DocumentDialogsTest, NoKeyAfterAClickOnACheckBoxEditsANameOrAnyTextButARange)
{
    for (Kind kind : {Kind::Combine, Kind::Append}) {
        SCOPED_TRACE(NameOf(kind));
        OpenDialog o = Open(kind);
        ASSERT_TRUE(ShowAndWaitForFrame(*o.dialog));
        DataGrid &grid = *o.grid;
        QTableView &view = *grid.view();
        auto cellCenter = [&](int row, int col) {
            return view.viewport()->mapToGlobal(view.visualRect(view.model()->index(row - 1, col)).center());
        };
        const int selection = ColumnOf(ColumnKey::Selection);
        const int range = grid.Cols() - 1;
        const std::string before = TextsOutsideRange(grid);
        for (const char *move : {"Left", "Right"}) {
            SCOPED_TRACE(move);
            ASSERT_TRUE(ClickAt(cellCenter(1, selection)));
            ASSERT_TRUE(PressKeys({QString::fromLatin1(move)}));
            ASSERT_TRUE(TypeText(QStringLiteral("zz")));
            ASSERT_TRUE(PressKeys({QStringLiteral("Return")}));
            EXPECT_EQ(TextsOutsideRange(grid), before);
        }
        // The "Range" cell stays open to typing after a click on it.
        ASSERT_TRUE(ClickAt(cellCenter(2, range)));
        ASSERT_TRUE(TypeText(QStringLiteral("7")));
        ASSERT_TRUE(PressKeys({QStringLiteral("Return")}));
        EXPECT_EQ(grid.TextMatrix(2, range), QStringLiteral("7"));
        EXPECT_EQ(TextsOutsideRange(grid), before);
    }
}

TEST_F(DocumentDialogsTest, OpensWideEnoughForEveryShownColumnUpToTheScreen)
{
    struct Case {
        const char *name;
        float locationTwips;
        int documents;
        bool allInSight;
    } cases[] = {
        {"Location widened", 9000, 3, true},
        {"Location widened, more rows than the grid shows", 9000, 40, true},
        {"Location wider than the screen", 30000, 3, false},
    };
    const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
    for (const Case &c : cases) {
        SetColumnWidth(ColumnKey::Location, c.locationTwips);
        for (Kind kind : {Kind::Combine, Kind::Append}) {
            SCOPED_TRACE(std::string(c.name) + ", " + NameOf(kind));
            OpenDialog o = Open(kind, c.documents);
            ASSERT_TRUE(ShowAndWaitForFrame(*o.dialog));
            const QTableView &view = *o.grid->view();
            const int rangeCol = o.grid->Cols() - 1;
            const QHeaderView &header = *view.horizontalHeader();
            ASSERT_GT(header.sectionSize(ColumnOf(ColumnKey::Location)), 550);
            const QRect frame = o.dialog->windowHandle()->frameGeometry();
            EXPECT_LE(frame.width(), screen.width());
            EXPECT_GE(frame.left(), screen.left());
            EXPECT_LE(frame.right(), screen.right());
            if (c.allInSight) {
                EXPECT_EQ(view.horizontalScrollBar()->maximum(), 0) << "no column behind a scroll bar";
                EXPECT_EQ(view.verticalScrollBar()->isVisible(), c.documents > 10);
                EXPECT_LE(header.sectionViewportPosition(rangeCol) + header.sectionSize(rangeCol),
                          view.viewport()->width());
                EXPECT_GE(header.sectionSize(rangeCol), header.sectionSizeHint(rangeCol) - 1)
                    << "the \"Range\" caption fits";
            } else {
                EXPECT_GE(frame.width(), screen.width() - 2) << "as wide as the screen allows";
            }
        }
    }
}

}  // namespace
