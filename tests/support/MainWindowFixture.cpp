#include "support/MainWindowFixture.h"

#include "support/TestEnv.h"

#include "app/GridColumns.h"
#include "app/ProgramState.h"
#include "app/Settings.h"
#include "app/modGeneral.h"
#include "platform/DataGrid.h"
#include "search/frmMain.h"

#include <memory>
#include <vector>

namespace folvane::test {

void MainWindowFixture::SetUp()
{
    ProgramState &st = State();
    st.objSettings = std::make_unique<Settings>();
    st.objSettings->LoadDefaultSettings();
    st.objGridColumns = std::make_unique<GridColumns>();
    AddDefaultResultColumns(*st.objGridColumns);
    modGeneral::LoadGridColumns();
    st.ColumnPositions = ColumnPositionCache{};
    ClearErrorLog();
}

void MainWindowFixture::TearDown()
{
    ProgramState &st = State();
    st.objGridColumns.reset();
    st.objSettings.reset();
    st.ColumnOrder.clear();
    st.ColumnWidths.clear();
    st.ColumnVisible.clear();
}

int AddResultRow(frmMain &window, const ResultRow &row)
{
    DataGrid &grid = *window.grdSearchList;
    const int r = grid.Rows();
    grid.setRows(r + 1);
    auto col = [](const char *key) { return modGeneral::GetColumnIndexByKey(QString::fromLatin1(key)); };
    grid.setTextMatrix(r, col("Name"), row.name);
    grid.setTextMatrix(r, col("Pages"), row.pages);
    grid.setTextMatrix(r, col("Location"), row.location);
    grid.setTextMatrix(r, col("Size (In KB)"), row.size);
    grid.setTextMatrix(r, col("Type"), row.type);
    grid.setTextMatrix(r, col("Created Date"), row.created);
    grid.setTextMatrix(r, col("Modified Date"), row.modified);
    if (row.check != GridCheck::Unset)
        grid.setCell(flexcpChecked, r, col("Selection"), row.check);
    return r;
}

std::vector<int> CheckStates(const frmMain &window)
{
    const DataGrid &grid = *window.grdSearchList;
    const int selection = modGeneral::GetColumnIndexByKey(QStringLiteral("Selection"));
    std::vector<int> states;
    for (int r = 1; r < grid.Rows(); ++r)
        states.push_back(grid.Cell(flexcpChecked, r, selection).toInt());
    return states;
}

}  // namespace folvane::test
