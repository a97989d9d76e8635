#pragma once
// The program-wide state a main window needs: a Settings object with the defaults and the default
// result columns in their saved order. Each test starts from it afresh, with an empty error log and
// no command line.

#include <gtest/gtest.h>

namespace folvane::test {

class MainWindowFixture : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;
};

}  // namespace folvane::test
