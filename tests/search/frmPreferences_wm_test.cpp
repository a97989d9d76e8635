// The preferences dialog under a window manager, driven by real clicks and keys (run by run-with-wm).

#include "search/frmPreferences.h"

#include "app/ProgramState.h"
#include "app/Settings.h"
#include "platform/DataGrid.h"
#include "support/MainWindowFixture.h"
#include "support/RealInput.h"

#include <QAbstractItemModel>
#include <QApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QTableView>

#include <gtest/gtest.h>

using namespace folvane;
using namespace folvane::test;

namespace {

class PreferencesOnDesktop : public MainWindowFixture {
protected:
    void SetUp() override
    {
        MainWindowFixture::SetUp();
        ASSERT_TRUE(WindowManagerRunning());
    }
    /// The global centre of a cell of a data row.
    QPoint CellCenter(frmPreferences &f, int row, int col)
    {
        QTableView &view = *f.vsColumnSettings->view();
        return view.viewport()->mapToGlobal(view.visualRect(view.model()->index(row - 1, col)).center());
    }
    /// Whether a cell editor is open in the grid.
    static bool Editing(frmPreferences &f)
    {
        for (const QLineEdit *editor : f.vsColumnSettings->view()->viewport()->findChildren<QLineEdit *>())
            if (editor->isVisible())
                return true;
        return false;
    }
};

TEST_F(PreferencesOnDesktop, NoKeyOrClickRenamesAColumnWhileWidthsAndBoxesStillChange)
{
    frmPreferences f;
    ASSERT_TRUE(ShowAndWaitForFrame(f));
    DataGrid &g = *f.vsColumnSettings;
    const std::string order = State().objSettings->ColumnReOrder().toStdString();
    auto names = [&] {
        QStringList texts;
        for (int r = 1; r < g.Rows(); ++r)
            texts << g.TextMatrix(r, 1);
        return texts.join(QLatin1Char(',')).toStdString();
    };
    const int name = 1, visible = 2, width = 3;

    // The keyboard on the grid as the dialog opens, the cursor on the first name. Tab would end an
    // edit and keep what was typed; Return in a cell that is not being edited presses Save.
    g.setFocus(Qt::TabFocusReason);
    ASSERT_TRUE(WaitUntil([&] { return QApplication::focusWidget() == g.view(); }));
    g.Select(1, name, 1, name);
    ASSERT_TRUE(TypeText(QStringLiteral("Pages")));
    ASSERT_TRUE(PressKeys({QStringLiteral("Tab")}));
    EXPECT_EQ(names(), order);
    // A width still takes what is typed. (The letters may have moved the cursor to a name they begin.)
    g.Select(1, visible, 1, visible);
    ASSERT_TRUE(PressKeys({QStringLiteral("Right")}));
    ASSERT_EQ(g.Col(), width);
    ASSERT_TRUE(TypeText(QStringLiteral("2500")));
    ASSERT_TRUE(PressKeys({QStringLiteral("Return")}));
    EXPECT_TRUE(WaitUntil([&] { return g.TextMatrix(1, width) == QLatin1String("2500"); }));

    // A click on a check box, then the cursor moved onto the name and typing.
    ASSERT_TRUE(ClickAt(CellCenter(f, 2, visible)));
    EXPECT_EQ(g.Cell(flexcpChecked, 2, visible).toInt(), GridCheck::Unchecked);
    ASSERT_TRUE(PressKeys({QStringLiteral("Left")}));
    ASSERT_TRUE(TypeText(QStringLiteral("Bogus")));
    ASSERT_TRUE(PressKeys({QStringLiteral("Tab")}));
    EXPECT_EQ(names(), order);

    // A double click on a name, F2, and typing there.
    ASSERT_TRUE(DoubleClickAt(CellCenter(f, 3, name)));
    ASSERT_TRUE(PressKeys({QStringLiteral("F2")}));
    ASSERT_TRUE(TypeText(QStringLiteral("zz")));
    EXPECT_FALSE(Editing(f));
    ASSERT_TRUE(PressKeys({QStringLiteral("Tab")}));
    EXPECT_EQ(names(), order);
    ASSERT_TRUE(f.isVisible());

    ASSERT_TRUE(ClickWidget(*f.cmdOk, f.cmdOk->rect().center()));
    ASSERT_TRUE(WaitUntil([&] { return !f.isVisible(); }));
    Settings stored;
    ASSERT_TRUE(stored.LoadSettings());
    EXPECT_EQ(stored.ColumnReOrder().toStdString(), order);
    EXPECT_EQ(stored.LastGridColWidth().toStdString(), "2500,250,700,1800,1000,1400,2000,2000");
    EXPECT_EQ(stored.ColumnVisibility().toStdString(), "1,0,1,1,1,1,1,1");
}

}  // namespace
