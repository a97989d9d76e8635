#include "support/MainWindowFixture.h"

#include "app/GridColumns.h"
#include "app/ProgramState.h"
#include "app/Settings.h"
#include "app/modGeneral.h"
#include "support/TestEnv.h"

#include <memory>

namespace folvane::test {

void MainWindowFixture::SetUp()
{
    ClearErrorLog();
    ProgramState &st = State();
    st.objSettings = std::make_unique<Settings>();
    st.objSettings->LoadDefaultSettings();
    st.objGridColumns = std::make_unique<GridColumns>();
    AddDefaultResultColumns(*st.objGridColumns);
    modGeneral::LoadGridColumns();
    st.ColumnWidths = modGeneral::SplitList(st.objSettings->LastGridColWidth());
    st.ColumnVisible = modGeneral::SplitList(st.objSettings->ColumnVisibility());
}

void MainWindowFixture::TearDown()
{
    State().objGridColumns.reset();
    State().objSettings.reset();
}

}  // namespace folvane::test
