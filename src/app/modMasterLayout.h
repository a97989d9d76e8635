#pragma once
// Start-up: command line, storage folder, write check, settings, column model, page counters.

#include <QString>
#include <QStringList>

#include <functional>

class QMainWindow;

namespace folvane::modMasterLayout {

/// Makes, loads and shows the main window, which deletes itself when closed. The window belongs to
/// the layer above this one, so start-up is handed the means to make it.
using MainWindowFactory = std::function<QMainWindow *()>;

/// Creates the application object, runs Main and then the event loop while the main window lives.
int RunProgram(int argc, char **argv, const MainWindowFactory &createMainWindow);

/// Gives the application the desktop's font family at 8 points, the size the forms are laid out for.
void UseFormsFont();

/// The start-up sequence, given the program's arguments; answers true when the main window was shown.
bool Main(const QStringList &arguments, const MainWindowFactory &createMainWindow);

/// The files the program's arguments name, each made absolute against the current folder. A file
/// manager passes each file as an argument of its own, and a name may hold "|": only a single
/// argument is a "|"-separated list, and not when it names an existing file itself. Empty pieces
/// stay empty.
QStringList CommandLineFiles(const QStringList &arguments);

/// Takes the folder of the first file as the start folder, and the files, when that folder exists.
bool ValidateCmdLine(const QStringList &files);
bool InitStorageFolder();
bool TestWriteAccess(const QString &probePath);
bool IsWindowsVista();
bool CreateFolderPath(const QString &folder);
bool MakeFolderPath(const QString &folder);

}  // namespace folvane::modMasterLayout
