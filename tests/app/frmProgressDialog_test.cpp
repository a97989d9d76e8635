#include "app/frmProgressDialog.h"

#include <QLabel>
#include <QProgressBar>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

using namespace folvane;

namespace {

TEST(frmProgressDialogTest, LoadsWithItsTextsBarAndRunningTimer)
{
    frmProgressDialog box;
    EXPECT_EQ(box.windowTitle(), "Folvane 1.1");
    EXPECT_EQ(box.Label1->text(), "Loading With Default Settings");
    EXPECT_EQ(box.ProgressBar1->minimum(), 0);
    EXPECT_EQ(box.ProgressBar1->maximum(), 50);
    EXPECT_EQ(box.ProgressBar1->value(), 0);
    EXPECT_EQ(box.Timer1->interval(), 10);
    EXPECT_TRUE(box.Timer1->isActive());
}

TEST(frmProgressDialogTest, TheBarRunsToFiftyAndTheNextTickCloses)
{
    frmProgressDialog box;
    box.Timer1->stop(); // the test drives the ticks
    box.show();
    for (int tick = 1; tick <= 50; ++tick) {
        box.Timer1_Timer();
        ASSERT_EQ(box.ProgressBar1->value(), tick);
        ASSERT_TRUE(box.isVisible()) << tick;
    }
    box.Timer1->start();
    box.Timer1_Timer(); // the 51st
    EXPECT_FALSE(box.isVisible());
    EXPECT_FALSE(box.Timer1->isActive());
    EXPECT_EQ(box.ProgressBar1->value(), 50);
    EXPECT_EQ(box.result(), QDialog::Accepted);
}

TEST(frmProgressDialogTest, TheMouseClosesTheBoxOnlyWhenTheBarIsFull)
{
    using Handler = void (frmProgressDialog::*)();
    const std::pair<const char *, Handler> handlers[] = {
        {"Form_MouseDown", &frmProgressDialog::Form_MouseDown},
        {"Form_MouseMove", &frmProgressDialog::Form_MouseMove},
        {"Label1_MouseDown", &frmProgressDialog::Label1_MouseDown},
        {"ProgressBar1_MouseEvent", &frmProgressDialog::ProgressBar1_MouseEvent},
    };
    for (const auto &[name, handler] : handlers) {
        frmProgressDialog box;
        box.Timer1->stop();
        box.show();
        box.ProgressBar1->setValue(49);
        (box.*handler)();
        EXPECT_TRUE(box.isVisible()) << name;
        box.ProgressBar1->setValue(50);
        (box.*handler)();
        EXPECT_FALSE(box.isVisible()) << name;
    }
}

TEST(frmProgressDialogTest, RealMouseEventsReachTheRules)
{
    const auto full = [](frmProgressDialog &box) {
        box.Timer1->stop();
        box.show();
        box.ProgressBar1->setValue(50);
    };
    {
        frmProgressDialog box;
        full(box);
        QTest::mouseClick(box.Label1, Qt::LeftButton);
        EXPECT_FALSE(box.isVisible());
    }
    {
        frmProgressDialog box;
        full(box);
        QTest::mousePress(box.ProgressBar1, Qt::LeftButton);
        EXPECT_FALSE(box.isVisible());
    }
    {
        frmProgressDialog box;
        full(box);
        QMouseEvent move(QEvent::MouseMove, QPointF(2, 2), box.mapToGlobal(QPointF(2, 2)), Qt::NoButton,
                         Qt::NoButton, Qt::NoModifier);
        QApplication::sendEvent(&box, &move);
        EXPECT_FALSE(box.isVisible());
    }
    {
        frmProgressDialog box;
        box.Timer1->stop();
        box.show();
        QTest::mouseClick(box.Label1, Qt::LeftButton);
        QTest::mousePress(box.ProgressBar1, Qt::LeftButton);
        EXPECT_TRUE(box.isVisible()); // not full yet
    }
}

TEST(frmProgressDialogTest, ShownModalItClosesItself)
{
    frmProgressDialog box;
    QTimer::singleShot(10000, &box, &QDialog::reject); // a guard, so a fault cannot hang the suite
    EXPECT_EQ(box.exec(), QDialog::Accepted);
    EXPECT_EQ(box.ProgressBar1->value(), 50);
}

}  // namespace
