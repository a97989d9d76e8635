#pragma once
// Makes the main window that start-up shows. It deletes itself when closed; the program lives as
// long as it does.

class QMainWindow;

namespace folvane {

QMainWindow *CreateMainWindow();

}  // namespace folvane
