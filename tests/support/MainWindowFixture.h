#pragma once
// The program-wide state a main window needs, built the way start-up builds it, the result grid as
// the window's set-up leaves it, and rows written into the grid by hand.

#include <QString>

#include <QStringList>

#include <gtest/gtest.h>

#include <functional>

#include <vector>

namespace folvane {
class frmMain;
}

namespace folvane::test {

/// Default settings (saved to the test's storage folder), the default column model in its saved
/// order, the split column lists and both page counters.
void InstallDefaultProgramState();

/// One grid column per model column at its display position and a header row with the column names.
void PrepareResultGrid(frmMain &w);

/// Calls visit with each of the 40,320 orders of the eight result columns' keys, each time after
/// putting a fresh default column model in place whose columns are 1000, 1001, ... 1007 twips wide
/// in their default order (so a width names its column).
void ForEachOrderOfTheDefaultColumns(const std::function<void(const QStringList &order)> &visit);

/// InstallDefaultProgramState and an empty error log; TearDown takes the state away again.
class MainWindowFixture : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;
};

/// One result row as the search would write it, addressed by column key.
struct ResultRow {
    QString name;
    QString pages;
    int check = 0; ///< GridCheck: 0 unset, 1 checked, 2 unchecked
    QString location = QStringLiteral("/docs");
    QString size;     ///< "Size (In KB)"; the further cells are left empty unless given
    QString type;
    QString created;
    QString modified;
};

/// Appends the row to the window's result grid (set up by InitFiles first); returns its grid row.
int AddResultRow(frmMain &window, const ResultRow &row);

/// The check state of every result row, from row 1 down.
std::vector<int> CheckStates(const frmMain &window);

}  // namespace folvane::test
