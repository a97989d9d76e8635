#include "app/Skin.h"

#include "support/TestEnv.h"

#include <QCoreApplication>
#include <QWidget>

#include <gtest/gtest.h>

using namespace folvane;

namespace {

TEST(SkinTest, TheStyleSheetBesideTheProgramIsAppliedWhenPresent)
{
    EXPECT_EQ(SkinFilePath(), QCoreApplication::applicationDirPath() + "/Styles/Vista.styles");

    test::TempDir dir;
    const QString sheet = "QWidget { color: #123456; }";
    const QString skin = dir.createFile("Styles/Vista.styles", sheet.toUtf8());
    QWidget window;
    EXPECT_TRUE(ApplySkin(&window, skin));
    EXPECT_EQ(window.styleSheet(), sheet);

    QWidget plain;
    plain.setStyleSheet("QWidget { color: red; }");
    EXPECT_FALSE(ApplySkin(&plain, dir.filePath("Styles/missing.styles")));
    EXPECT_EQ(plain.styleSheet(), "QWidget { color: red; }");
    EXPECT_FALSE(ApplySkin(nullptr, skin));
}

}  // namespace
