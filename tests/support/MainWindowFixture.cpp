#include "support/MainWindowFixture.h"

#include "app/GridColumns.h"
#include "app/ProgramState.h"
#include "app/Settings.h"
#include "app/modGeneral.h"
#include "platform/DataGrid.h"
#include "platform/PageCounters.h"
#include "search/frmMain.h"

namespace folvane::test {

void InstallDefaultProgramState()
{
    ProgramState &st = State();
    st.objSettings = std::make_unique<Settings>();
    st.objSettings->LoadDefaultSettings();
    st.objGridColumns = std::make_unique<GridColumns>();
    AddDefaultResultColumns(*st.objGridColumns);
    modGeneral::LoadGridColumns();
    st.ColumnVisible = modGeneral::SplitList(st.objSettings->ColumnVisibility());
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

}  // namespace folvane::test
