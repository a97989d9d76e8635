#include "app/ProgramState.h"

#include "app/GridColumns.h"
#include "app/Settings.h"
#include "platform/PageCounters.h"

namespace folvane {

ProgramState::ProgramState() = default;
ProgramState::~ProgramState() = default;

ProgramState &State()
{
    static ProgramState state;
    return state;
}

}  // namespace folvane
