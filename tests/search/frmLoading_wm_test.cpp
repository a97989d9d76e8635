// The busy box as a user meets it under a window manager: nothing the user does closes it while the
// search shows it.

#include "search/frmLoading.h"

#include "support/RealInput.h"

#include <QLabel>
#include <QProcess>
#include <QTest>
#include <QWindow>
#include <QWidget>

#include <gtest/gtest.h>

#include <memory>

using namespace folvane;
using namespace folvane::test;

namespace {

/// A property of the window as the window manager left it, as xprop prints it.
QString WindowProperty(const QWidget &window, const char *name)
{
    QProcess p;
    p.start("xprop", {"-id", QString::number(window.winId()), QString::fromLatin1(name)});
    p.waitForFinished(5000);
    return QString::fromLocal8Bit(p.readAllStandardOutput()).trimmed();
}

class BusyBoxTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(WindowManagerRunning()) << "run under support/run-with-wm";
        owner.setWindowTitle("owner");
        owner.setGeometry(100, 100, 700, 500);
        ASSERT_TRUE(ShowAndWaitForFrame(owner));
        box = std::make_unique<frmLoading>(&owner);
        // The box has no frame of the window manager's to wait for.
        box->show();
        ASSERT_TRUE(WaitUntil([&] { return box->windowHandle() && box->windowHandle()->isExposed(); }));
        box->activateWindow();
        ASSERT_TRUE(WaitUntil([&] { return box->isActiveWindow(); }));
    }

    QWidget owner;
    std::unique_ptr<frmLoading> box;
};

TEST_F(BusyBoxTest, WindowManagerGivesItNoTitleBarSoNoButtons)
{
    // Managed, and with no decoration: openbox would put close and minimize buttons on any title bar.
    ASSERT_TRUE(WaitUntil([&] { return !WindowProperty(*box, "_NET_FRAME_EXTENTS").contains("not found"); }));
    EXPECT_EQ(WindowProperty(*box, "_NET_FRAME_EXTENTS"), "_NET_FRAME_EXTENTS(CARDINAL) = 0, 0, 0, 0");
    const QRect owned = owner.geometry();
    EXPECT_TRUE(owned.contains(box->geometry().center())) << "over its owner";
}

TEST_F(BusyBoxTest, EscapeAndTheWindowManagersCloseKeyLeaveItShowingAndCounting)
{
    for (const char *key : {"Escape", "alt+F4"}) {
        SCOPED_TRACE(key);
        box->activateWindow();
        ASSERT_TRUE(WaitUntil([&] { return box->isActiveWindow(); }));
        ASSERT_TRUE(PressKeys({key}));
        EXPECT_TRUE(box->isVisible());
    }
    box->UpdateStatus(42);
    EXPECT_EQ(box->pnlStatus->text(), "Please wait.Loading...files (42)");
    const int frame = box->AniCursor().Frame();
    EXPECT_TRUE(WaitUntil([&] { return box->AniCursor().Frame() != frame; }, 2000)) << "the hourglass still turns";
    EXPECT_TRUE(owner.isVisible());
}

TEST_F(BusyBoxTest, TheProgramStillClosesIt)
{
    EXPECT_TRUE(box->close());
    EXPECT_FALSE(box->isVisible());
}

}  // namespace
