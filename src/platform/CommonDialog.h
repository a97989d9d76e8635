#pragma once
// The open-file and save-file boxes, the folder browser and the printer dialog, each behind a seam
// that tests can answer.

#include <QString>

#include <functional>
#include <optional>

class QWidget;

namespace folvane::CommonDialog {

struct SaveRequest {
    QString title;
    QString filter;           ///< "description|pattern|description|pattern..."
    int filterIndex = 1;      ///< 1-based
    bool confirmOverwrite = true;
    bool pathMustExist = true; ///< a name whose folder is missing is refused with a message; the box stays open
};

/// Shows the save-file box; the chosen path, or "" when the user cancelled or the box failed.
/// No default extension is added: a name typed without one is returned as typed.
QString ShowSave(const SaveRequest &request, QWidget *parent = nullptr);

/// "Rich Text Files (*.rtf)|*.rtf" as a Qt name filter list.
QString ToQtFilters(const QString &filter);

/// Replaces the real box (for tests); an empty function restores it.
using SaveAnswerer = std::function<QString(const SaveRequest &)>;
void SetSaveAnswerer(SaveAnswerer answerer);

struct OpenRequest {
    QString title;
    QString filter;      ///< "description|pattern|description|pattern..."
    int filterIndex = 1; ///< 1-based
};

/// Shows the open-file box for an existing file; the chosen path, or "" when the user cancelled.
QString ShowOpen(const OpenRequest &request, QWidget *parent = nullptr);

/// Replaces the real open-file box (for tests); an empty function restores it.
using OpenAnswerer = std::function<QString(const OpenRequest &)>;
void SetOpenAnswerer(OpenAnswerer answerer);

/// Shows the printer dialog; the name of the printer chosen (empty for the system's default), or
/// nothing when the user cancelled or the dialog failed.
std::optional<QString> ShowPrinter(QWidget *parent = nullptr);

/// Replaces the real printer dialog (for tests); an empty function restores it.
using PrinterAnswerer = std::function<std::optional<QString>()>;
void SetPrinterAnswerer(PrinterAnswerer answerer);

struct FolderRequest {
    QString title;
    QString startFolder; ///< where the browser opens; empty for the home folder
};

/// Shows the folder browser; the chosen folder, or nothing when the user cancelled.
std::optional<QString> BrowseForFolder(const FolderRequest &request, QWidget *parent = nullptr);

/// Replaces the real browser (for tests); an empty function restores it.
using FolderAnswerer = std::function<std::optional<QString>(const FolderRequest &)>;
void SetFolderAnswerer(FolderAnswerer answerer);

}  // namespace folvane::CommonDialog
