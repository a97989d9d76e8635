#include "app/modMasterLayout.h"

int main(int argc, char **argv) { return folvane::modMasterLayout::RunProgram(argc, argv); }
