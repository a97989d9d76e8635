#include "search/frmAbout.h"

#include "app/ProgramInfo.h"
#include "support/TestEnv.h"

#include <QLabel>
#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

using namespace folvane;
using folvane::test::ShellRecorder;

namespace {

TEST(AboutTest, ShowsTheTitleAndBothContacts)
{
    frmAbout f;
    EXPECT_EQ(f.windowTitle(), "About Folvane 1.1");
    EXPECT_EQ(f.lblProductName->text(), "Folvane 1.1");
    EXPECT_EQ(f.lblSupportEmail->text(), "Support at: " + SupportEmail());
    EXPECT_EQ(f.lblWebsite->text(), "Website:" + WebsiteAddress());
    EXPECT_EQ(f.cmdQuit->text(), "&OK");
    EXPECT_EQ(f.lblWebsite->cursor().shape(), Qt::PointingHandCursor);
    EXPECT_EQ(f.lblSupportEmail->cursor().shape(), Qt::PointingHandCursor);
}

TEST(AboutTest, EachLinkOpensItsTargetEveryTimeAndTheBoxStaysOpen)
{
    ShellRecorder shell;
    frmAbout f;
    f.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&f));
    const QString mail = "mailto:" + SupportEmail() + "?subject=Folvane 1.1";
    for (int i = 0; i < 2; ++i) {
        QTest::mouseClick(f.lblSupportEmail, Qt::LeftButton);
        QTest::mouseClick(f.lblWebsite, Qt::LeftButton);
    }
    ASSERT_EQ(shell.requests().size(), 4u);
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(shell.requests()[i].verb, Shell::Verb::Open);
        EXPECT_EQ(shell.requests()[i].target, i % 2 == 0 ? mail : WebsiteAddress());
    }
    EXPECT_TRUE(f.isVisible());
}

TEST(AboutTest, ALinkThatCannotBeOpenedIsLoggedAndTheBoxStaysOpen)
{
    test::ClearErrorLog();
    Shell::SetInterceptor([](const Shell::Request &) { return false; });
    frmAbout f;
    f.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&f));
    f.lblWebsite_Click();
    Shell::SetInterceptor([](const Shell::Request &) { return true; });
    EXPECT_TRUE(f.isVisible());
    EXPECT_EQ(f.lblWebsite->text(), "Website:" + WebsiteAddress());
    const QStringList log = test::ErrorLogLines();
    ASSERT_EQ(log.size(), 1);
    EXPECT_TRUE(log[0].contains("in procedure lblWebsite_Click at Line No."));
    EXPECT_TRUE(log[0].contains(" of Form frmAbout- ")) << log[0].toStdString();
}

TEST(AboutTest, OkAndTheCloseBoxBothCloseIt)
{
    for (const bool viaOk : {true, false}) {
        frmAbout f;
        f.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&f));
        if (viaOk)
            QTest::mouseClick(f.cmdQuit, Qt::LeftButton);
        else
            f.close();
        EXPECT_FALSE(f.isVisible());
    }
}

}  // namespace
