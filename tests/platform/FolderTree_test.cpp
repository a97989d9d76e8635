#include "platform/FolderTree.h"

#include "support/TestEnv.h"

#include <QTest>

#include <gtest/gtest.h>

using namespace folvane;

namespace {

TEST(FolderTree, TakingTheFocusSelectsNoFolder)
{
    FolderTree tree;
    int selected = 0;
    QObject::connect(&tree, &FolderTree::FolderSelected, [&] { ++selected; });
    tree.show();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&tree));
    tree.setFocus(Qt::TabFocusReason);
    QCoreApplication::processEvents();
    EXPECT_EQ(selected, 0);
    EXPECT_TRUE(tree.SelectedPath().isEmpty());

    // A folder chosen afterwards is reported once, by keyboard as well.
    test::TempDir dir;
    tree.setSelectedPath(dir.path());
    EXPECT_EQ(selected, 1);
    EXPECT_EQ(tree.SelectedPath(), dir.path());
    QTest::keyClick(&tree, Qt::Key_Up);
    EXPECT_EQ(selected, 2);
    EXPECT_NE(tree.SelectedPath(), dir.path());
}

}  // namespace
