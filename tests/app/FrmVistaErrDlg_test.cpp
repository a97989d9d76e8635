#include "app/FrmVistaErrDlg.h"

#include <QLabel>
#include <QPushButton>
#include <QTimer>

#include <gtest/gtest.h>

using namespace folvane;

namespace {

TEST(FrmVistaErrDlgTest, TextsAndTheOkButtonClosesIt)
{
    FrmVistaErrDlg window;
    EXPECT_EQ(window.windowTitle(), "Folvane 1.1");
    EXPECT_EQ(window.Label1->text(), "Needed Admin Permission :Cann't run without adminstrator rights in Vista\"");
    EXPECT_EQ(window.OKButton->text(), "OK");
    QTimer::singleShot(0, window.OKButton, &QPushButton::click);
    QTimer::singleShot(10000, &window, &QDialog::reject); // a guard against a hang
    EXPECT_EQ(window.exec(), QDialog::Accepted);
    EXPECT_FALSE(window.isVisible());
}

}  // namespace
