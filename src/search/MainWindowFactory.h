#pragma once
// Makes, loads and shows the main window. It deletes itself when closed; the program lives as long
// as it does.

class QMainWindow;

namespace folvane {

QMainWindow *CreateMainWindow();

}  // namespace folvane
