// Activation as the window manager delivers it: a real click into an inactive window, and a switch
// that involves no click.

#include "app/cSizeMoveHelper.h"

#include "support/RealInput.h"

#include <QTest>
#include <QWidget>

#include <gtest/gtest.h>

#include <vector>

using namespace folvane;
using namespace folvane::test;

namespace {

class ActivationTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(WindowManagerRunning()) << "run under support/run-with-wm";
        watched.setWindowTitle("watched");
        watched.setGeometry(60, 60, 500, 400);
        other.setWindowTitle("other");
        other.setGeometry(640, 60, 500, 400);
        ASSERT_TRUE(ShowAndWaitForFrame(watched));
        helper.Attach(&watched);
        QObject::connect(&helper, &cSizeMoveHelper::Activate, [this](bool byMouse) { activations.push_back(byMouse); });
        QObject::connect(&helper, &cSizeMoveHelper::Deactivate, [this] { ++deactivations; });
        ASSERT_TRUE(ShowAndWaitForFrame(other));
        ASSERT_TRUE(WaitUntil([&] { return deactivations > 0 && !watched.isActiveWindow(); }));
        ASSERT_TRUE(RoundTrip());
        activations.clear();
    }

    /// Waits for the report of the activation, and for whatever the X server and the window manager
    /// still had to deliver, which a second report would come from.
    bool waitForActivation()
    {
        const bool reported = WaitUntil([&] { return !activations.empty(); });
        return RoundTrip() && reported;
    }

    QWidget watched;
    QWidget other;
    cSizeMoveHelper helper;
    std::vector<bool> activations;
    int deactivations = 0;
};

TEST_F(ActivationTest, ClickIntoTheInactiveWindowIsReportedAsByMouse)
{
    ASSERT_TRUE(ClickWidget(watched, QPoint(250, 200)));
    ASSERT_TRUE(waitForActivation());
    EXPECT_TRUE(watched.isActiveWindow());
    ASSERT_EQ(activations.size(), 1u);
    EXPECT_TRUE(activations[0]);
    EXPECT_TRUE(helper.Active());
}

TEST_F(ActivationTest, SwitchWithoutAClickIsNotByMouse)
{
    // The window manager is asked to activate the window, as a task switch does.
    ASSERT_TRUE(Xdotool({"windowactivate", QString::number(watched.winId())}));
    ASSERT_TRUE(waitForActivation());
    EXPECT_TRUE(watched.isActiveWindow());
    ASSERT_EQ(activations.size(), 1u);
    EXPECT_FALSE(activations[0]);

    // Away with a click into the other window, and back by the keyboard.
    const int before = deactivations;
    ASSERT_TRUE(ClickWidget(other, QPoint(250, 200)));
    ASSERT_TRUE(WaitUntil([&] { return deactivations > before; }));
    EXPECT_FALSE(helper.Active());
    activations.clear();
    // Alt held down across Tab, as a hand does: the window manager ends its switch at Alt's release.
    ASSERT_TRUE(Xdotool({"keydown", "alt"}));
    ASSERT_TRUE(RoundTrip());
    ASSERT_TRUE(PressKeys({"Tab"}));
    ASSERT_TRUE(Xdotool({"keyup", "alt"}));
    ASSERT_TRUE(waitForActivation());
    ASSERT_EQ(activations.size(), 1u);
    EXPECT_FALSE(activations[0]);

    // A click into the window that is already active activates nothing. Last, as a press on the
    // window makes an activation soon after it count as one by the mouse.
    ASSERT_TRUE(ClickWidget(watched, QPoint(250, 200)));
    EXPECT_EQ(activations.size(), 1u);
}

}  // namespace
