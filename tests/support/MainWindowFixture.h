#pragma once
// A fresh settings store with its defaults and the eight default result columns in the saved order,
// as start-up leaves them before the main window loads.

#include <gtest/gtest.h>

namespace folvane::test {

class MainWindowFixture : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;
};

}  // namespace folvane::test
