#include "app/modMasterLayout.h"
#include "search/MainWindowFactory.h"

int main(int argc, char **argv) { return folvane::modMasterLayout::RunProgram(argc, argv, folvane::CreateMainWindow); }
