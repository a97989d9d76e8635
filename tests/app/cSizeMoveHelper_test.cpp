#include "app/cSizeMoveHelper.h"

#include "platform/FullWindowDrag.h"

#include <QApplication>
#include <QMouseEvent>
#include <QTest>
#include <QWidget>

#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <vector>

using namespace folvane;

namespace {

/// Stands in for a desktop whose full-window dragging can be read and switched.
struct FakeFullDrag {
    std::optional<bool> on = true; ///< nullopt: the query fails
    std::vector<bool> sets;
    FakeFullDrag()
    {
        FullWindowDrag::SetBackend({[this] { return on; }, [this](bool v) {
                                        sets.push_back(v);
                                        on = v;
                                        return true;
                                    }});
    }
    ~FakeFullDrag() { FullWindowDrag::SetBackend({}); }
};

struct Recorder {
    int enter = 0, exit = 0, deactivate = 0, moving = 0, sizing = 0;
    std::vector<bool> activations;
    QRect lastSizing;
    void connectTo(cSizeMoveHelper &h)
    {
        QObject::connect(&h, &cSizeMoveHelper::EnterSizeMove, [this] { ++enter; });
        QObject::connect(&h, &cSizeMoveHelper::ExitSizeMove, [this] { ++exit; });
        QObject::connect(&h, &cSizeMoveHelper::Activate, [this](bool byMouse) { activations.push_back(byMouse); });
        QObject::connect(&h, &cSizeMoveHelper::Deactivate, [this] { ++deactivate; });
        QObject::connect(&h, &cSizeMoveHelper::Moving, [this](auto &, auto &, auto &, auto &) { ++moving; });
        QObject::connect(&h, &cSizeMoveHelper::Sizing, [this](auto &l, auto &t, auto &w, auto &hgt) {
            ++sizing;
            lastSizing = QRect(l, t, w, hgt);
        });
    }
};

void sendActivation(QWidget *w, bool active)
{
    QEvent e(active ? QEvent::WindowActivate : QEvent::WindowDeactivate);
    QCoreApplication::sendEvent(w, &e);
}

void sendPress(QWidget *w)
{
    QMouseEvent press(QEvent::MouseButtonPress, QPointF(5, 5), QPointF(5, 5), Qt::LeftButton, Qt::LeftButton,
                      Qt::NoModifier);
    QCoreApplication::sendEvent(w, &press);
}

class SizeMoveTest : public ::testing::Test {
protected:
    /// Activates the window and waits until the helper has reported it (an activation without a
    /// click is reported after a short wait for a press).
    bool activate(QWidget *w)
    {
        const std::size_t before = rec.activations.size();
        sendActivation(w, true);
        return QTest::qWaitFor([&] { return rec.activations.size() > before; }, 2000);
    }
    void SetUp() override
    {
        window = std::make_unique<QWidget>();
        window->setGeometry(100, 100, 800, 500);
        window->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
        QCoreApplication::processEvents();
        helper.Subclass().setQuietInterval(40);
        helper.setNoFullDrag(true);
        helper.Attach(window.get());
        rec.connectTo(helper);
    }
    /// Lets the quiet interval pass so the current loop ends.
    bool waitForExit(int expected) { return QTest::qWaitFor([&] { return rec.exit == expected; }, 2000); }

    FakeFullDrag drag;
    std::unique_ptr<QWidget> window;
    cSizeMoveHelper helper;
    Recorder rec;
};

TEST_F(SizeMoveTest, ActivationByMouseAndByKeyboard)
{
    enum class Press { None, Before, After };
    struct Case {
        const char *name;
        Press press;
        bool byMouse;
    } cases[] = {
        {"click delivered before the activation", Press::Before, true},
        // As openbox does: it activates the window, then lets the click through.
        {"click delivered just after the activation", Press::After, true},
        {"keyboard", Press::None, false},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        rec.activations.clear();
        if (c.press == Press::Before)
            sendPress(window.get());
        sendActivation(window.get(), true);
        if (c.press == Press::After)
            sendPress(window.get());
        ASSERT_TRUE(QTest::qWaitFor([&] { return !rec.activations.empty(); }, 2000));
        ASSERT_EQ(rec.activations.size(), 1u) << "one activation, one report";
        EXPECT_FALSE(helper.Subclass().MessagePending()) << "and none to come";
        EXPECT_EQ(rec.activations[0], c.byMouse);
        EXPECT_TRUE(helper.Active());
        sendActivation(window.get(), false);
        EXPECT_FALSE(helper.Active());
    }
    EXPECT_EQ(rec.deactivate, 3);
}

TEST_F(SizeMoveTest, DeactivationRightAfterActivationReportsBothInOrder)
{
    std::vector<std::string> order;
    QObject::connect(&helper, &cSizeMoveHelper::Activate, [&](bool) { order.push_back("activate"); });
    QObject::connect(&helper, &cSizeMoveHelper::Deactivate, [&] { order.push_back("deactivate"); });
    sendActivation(window.get(), true);
    sendActivation(window.get(), false);
    EXPECT_EQ(order, (std::vector<std::string>{"activate", "deactivate"}));
    EXPECT_FALSE(helper.Subclass().MessagePending());
    EXPECT_FALSE(helper.Active());
    EXPECT_EQ(drag.on, std::optional<bool>(true)) << "full-window dragging is back";
}

TEST_F(SizeMoveTest, FullDragSwitchedOffOnlyIfItWasOnAndRestoredOnDeactivate)
{
    struct Case {
        const char *name;
        std::optional<bool> initially;
        std::vector<bool> setsAfterTwoRounds;
    } cases[] = {
        {"on", true, {false, true, false, true}},
        {"off", false, {}},
        {"query fails", std::nullopt, {}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        drag.on = c.initially;
        drag.sets.clear();
        for (int round = 0; round < 2; ++round) {
            ASSERT_TRUE(activate(window.get()));
            if (c.initially.value_or(false)) {
                EXPECT_EQ(drag.on, std::optional<bool>(false));
            }
            sendActivation(window.get(), false);
            EXPECT_EQ(drag.on, c.initially);
        }
        EXPECT_EQ(drag.sets, c.setsAfterTwoRounds);
    }
}

TEST_F(SizeMoveTest, NoFullDragSwitchesAtOnceWhileActive)
{
    helper.setNoFullDrag(false);
    ASSERT_TRUE(activate(window.get()));
    EXPECT_EQ(drag.on, std::optional<bool>(true)) << "NoFullDrag False leaves the setting alone";
    helper.setNoFullDrag(true);
    EXPECT_EQ(drag.on, std::optional<bool>(false));
    helper.setNoFullDrag(false);
    EXPECT_EQ(drag.on, std::optional<bool>(true));
    sendActivation(window.get(), false);
    EXPECT_EQ(drag.sets, (std::vector<bool>{false, true})) << "deactivating has nothing left to restore";
}

TEST_F(SizeMoveTest, SizingHandlerWidensTheWindowDuringADrag)
{
    const QSize originalMinimum = window->minimumSize();
    QObject::connect(&helper, &cSizeMoveHelper::Sizing, [](auto &, auto &, auto &w, auto &h) {
        w = std::max(w, 700);
        h = std::max(h, 403);
    });
    const int frameW = window->frameGeometry().width() - window->width();
    window->resize(600, 450);
    EXPECT_EQ(rec.lastSizing.width(), 600 + frameW) << "the handler sees the window's new rectangle";
    EXPECT_EQ(window->frameGeometry().width(), 700) << "the right edge follows left + width";
    window->move(120, 110);
    window->resize(650, 300);
    EXPECT_EQ(rec.enter, 1) << "one loop for the whole run of moves and resizes";
    EXPECT_EQ(rec.moving, 1);
    EXPECT_EQ(rec.sizing, 2) << "a resize inside a loop raises Sizing once, not again as a size change";
    EXPECT_EQ(window->frameGeometry().width(), 700);
    EXPECT_EQ(window->frameGeometry().height(), 403);
    EXPECT_EQ(window->frameGeometry().topLeft(), QPoint(120, 110)) << "left and top as the handler left them";
    EXPECT_EQ(rec.exit, 0);

    ASSERT_TRUE(waitForExit(1));
    EXPECT_EQ(rec.enter, 1);
    EXPECT_EQ(window->minimumSize(), originalMinimum) << "the drag's minimum is let go when the loop ends";

    window->resize(900, 600);
    EXPECT_EQ(rec.enter, 2) << "the next resize starts a new loop";
    EXPECT_EQ(window->size(), QSize(900, 600));
    ASSERT_TRUE(waitForExit(2));
}

TEST_F(SizeMoveTest, MovingHandlerMovesTheWindow)
{
    QObject::connect(&helper, &cSizeMoveHelper::Moving, [](auto &l, auto &t, auto &, auto &) {
        l = std::max(l, 0);
        t = std::max(t, 0);
    });
    window->move(-50, 40);
    EXPECT_EQ(rec.moving, 1);
    EXPECT_EQ(window->frameGeometry().topLeft(), QPoint(0, 40));
    EXPECT_EQ(window->size(), QSize(800, 500));
}

TEST_F(SizeMoveTest, ResizeOutsideADragIsReportedButNotAltered)
{
    QObject::connect(&helper, &cSizeMoveHelper::Sizing, [](auto &, auto &, auto &w, auto &) { w += 500; });
    window->setWindowState(Qt::WindowMaximized);
    ASSERT_TRUE(QTest::qWaitFor([&] { return rec.sizing > 0; }, 2000));
    QCoreApplication::processEvents();
    const QRect maximized = window->frameGeometry();
    EXPECT_EQ(rec.enter, 0);
    EXPECT_EQ(rec.lastSizing.width(), maximized.width()) << "the window's own rectangle is reported";
    EXPECT_EQ(window->frameGeometry(), maximized);
    EXPECT_EQ(window->minimumSize(), QSize(0, 0));
}

TEST_F(SizeMoveTest, DestroyWhileActiveRestoresFullDrag)
{
    ASSERT_TRUE(activate(window.get()));
    ASSERT_EQ(drag.on, std::optional<bool>(false));
    window.reset();
    EXPECT_EQ(drag.on, std::optional<bool>(true));
    EXPECT_EQ(drag.sets, (std::vector<bool>{false, true}));
    helper.Detach(); // nothing left to let go of
}

TEST_F(SizeMoveTest, DetachStopsTheEventsAndEndsNoPendingLoop)
{
    window->resize(700, 450);
    ASSERT_EQ(rec.enter, 1);
    helper.Detach();
    window->resize(720, 460);
    sendActivation(window.get(), true);
    QCoreApplication::processEvents();
    EXPECT_FALSE(helper.Subclass().MessagePending());
    EXPECT_EQ(rec.enter, 1);
    EXPECT_EQ(rec.exit, 0);
    EXPECT_EQ(rec.sizing, 1);
    EXPECT_TRUE(rec.activations.empty());
    EXPECT_FALSE(helper.Active());
}

TEST_F(SizeMoveTest, AttachToAnotherWindowLetsGoOfTheFirst)
{
    QWidget second;
    second.setGeometry(50, 50, 400, 300);
    second.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&second));
    helper.Attach(&second);
    sendActivation(window.get(), true);
    EXPECT_FALSE(helper.Subclass().MessagePending());
    EXPECT_TRUE(rec.activations.empty());
    ASSERT_TRUE(activate(&second));
    EXPECT_EQ(rec.activations.size(), 1u);
}

}  // namespace
