#pragma once
// Start-up: command line, storage folder, write check, settings, column model, page counters.

#include <QString>
#include <QStringList>

namespace folvane::modMasterLayout {

/// Creates the application object, runs Main and then the event loop while the main window lives.
int RunProgram(int argc, char **argv);

/// Gives the application the desktop's font family at 8 points, the size the forms are laid out for.
void UseFormsFont();

/// The start-up sequence; answers true when the main window was shown.
bool Main(const QString &commandLine);

/// The program's arguments joined by "|": a file manager passes files as separate arguments, and a
/// "|"-separated list in one argument works as well.
QString CommandLineText(const QStringList &arguments);

bool ValidateCmdLine(const QString &cmd);
bool InitStorageFolder();
bool TestWriteAccess(const QString &probePath);
bool IsWindowsVista();
bool CreateFolderPath(const QString &folder);
bool MakeFolderPath(const QString &folder);

}  // namespace folvane::modMasterLayout
