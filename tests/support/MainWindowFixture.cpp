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
    ProgramState &st = State();
    st.objSettings = std::make_unique<Settings>();
    st.objSettings->LoadDefaultSettings();
    st.objGridColumns = std::make_unique<GridColumns>();
    AddDefaultResultColumns(*st.objGridColumns);
    modGeneral::LoadGridColumns();
    st.CmdLineFolder.clear();
    st.CmdLineFiles.clear();
    ClearErrorLog();
}

void MainWindowFixture::TearDown()
{
    ProgramState &st = State();
    st.CmdLineFolder.clear();
    st.CmdLineFiles.clear();
    st.objGridColumns.reset();
    st.objSettings.reset();
}

}  // namespace folvane::test
