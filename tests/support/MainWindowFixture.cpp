#include "support/MainWindowFixture.h"

#include "support/TestEnv.h"

#include "app/GridColumns.h"
#include "app/ProgramState.h"
#include "app/Settings.h"
#include "app/modGeneral.h"
#include "platform/DataGrid.h"
#include "platform/PageCounters.h"
#include "search/frmMain.h"

#include <algorithm>
#include <memory>
#include <numeric>
#include <vector>

namespace folvane::test {

void InstallDefaultProgramState()
{
    ProgramState &st = State();
    st.objSettings = std::make_unique<Settings>();
    st.objSettings->LoadDefaultSettings();
    st.objGridColumns = std::make_unique<GridColumns>();
    AddDefaultResultColumns(*st.objGridColumns);
    modGeneral::LoadGridColumns();
    st.ColumnWidths = modGeneral::SplitList(st.objSettings->LastGridColWidth());
    st.ColumnVisible = modGeneral::SplitList(st.objSettings->ColumnVisibility());
    st.ColumnPositions = ColumnPositionCache{};
    st.PdfCounter = std::make_unique<PdfPageCounter>();
    st.TiffCounter = std::make_unique<TiffPageCounter>();
}

void PrepareResultGrid(frmMain &w)
{
    DataGrid &grid = *w.grdSearchList;
    const GridColumns &model = *State().objGridColumns;
    grid.setRows(1);
    grid.setCols(model.Count());
    grid.setFixedRows(1);
    for (const GridColumns::Ptr &column : model) {
        grid.setTextMatrix(0, column->ColumnIndex, column->ColumnName);
        grid.setColDataType(column->ColumnIndex, column->ColumnDatatype);
    }
}

void MainWindowFixture::SetUp()
{
    InstallDefaultProgramState();
    State().CmdLineFolder.clear();
    State().CmdLineFiles.clear();
    ClearErrorLog();
}

void MainWindowFixture::TearDown()
{
    ProgramState &st = State();
    st.CmdLineFolder.clear();
    st.CmdLineFiles.clear();
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
    grid.setTextMatrix(r, ColumnOf(ColumnKey::Name), row.name);
    grid.setTextMatrix(r, ColumnOf(ColumnKey::Pages), row.pages);
    grid.setTextMatrix(r, ColumnOf(ColumnKey::Location), row.location);
    grid.setTextMatrix(r, ColumnOf(ColumnKey::Size), row.size);
    grid.setTextMatrix(r, ColumnOf(ColumnKey::Type), row.type);
    grid.setTextMatrix(r, ColumnOf(ColumnKey::Created), row.created);
    grid.setTextMatrix(r, ColumnOf(ColumnKey::Modified), row.modified);
    if (row.check != GridCheck::Unset)
        grid.setCell(flexcpChecked, r, ColumnOf(ColumnKey::Selection), row.check);
    return r;
}

std::vector<int> CheckStates(const frmMain &window)
{
    const DataGrid &grid = *window.grdSearchList;
    const int selection = ColumnOf(ColumnKey::Selection);
    std::vector<int> states;
    for (int r = 1; r < grid.Rows(); ++r)
        states.push_back(grid.Cell(flexcpChecked, r, selection).toInt());
    return states;
}

void ForEachOrderOfTheDefaultColumns(const std::function<void(const QStringList &order)> &visit)
{
    GridColumns keys;
    AddDefaultResultColumns(keys);
    QStringList defaultOrder;
    for (int k = 1; k <= keys.Count(); ++k)
        defaultOrder << keys.Item(k)->ColumnKey;
    std::vector<int> perm(static_cast<std::size_t>(defaultOrder.size()));
    std::iota(perm.begin(), perm.end(), 0);
    do {
        State().objGridColumns = std::make_unique<GridColumns>();
        AddDefaultResultColumns(*State().objGridColumns);
        for (int k = 1; k <= State().objGridColumns->Count(); ++k)
            State().objGridColumns->Item(k)->ColumnWidth = 1000.0f + static_cast<float>(k - 1);
        QStringList order;
        for (int i : perm)
            order << defaultOrder[i];
        visit(order);
    } while (std::next_permutation(perm.begin(), perm.end()));
}

}  // namespace folvane::test
