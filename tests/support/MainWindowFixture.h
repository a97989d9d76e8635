#pragma once
// The program-wide state a main-window test needs, as start-up leaves it, and the result grid as the
// window's set-up leaves it.

#include <gtest/gtest.h>

namespace folvane {
class frmMain;
}

namespace folvane::test {

/// Default settings (saved to the test's storage folder), the default column model in its saved order,
/// and both page counters.
void InstallDefaultProgramState();

/// One grid column per model column at its display position and a header row with the column names.
void PrepareResultGrid(frmMain &w);

class MainWindowFixture : public ::testing::Test {
protected:
    void SetUp() override { InstallDefaultProgramState(); }
};

}  // namespace folvane::test
