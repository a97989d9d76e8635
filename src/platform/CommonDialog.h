#pragma once
// The save-file box, the printer dialog and the folder browser, each behind a seam that tests can answer.

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
    bool pathMustExist = true;
};

/// Shows the save-file box; the chosen path, or "" when the user cancelled or the box failed.
/// No default extension is added: a name typed without one is returned as typed.
QString ShowSave(const SaveRequest &request, QWidget *parent = nullptr);

/// "Rich Text Files (*.rtf)|*.rtf" as a Qt name filter list.
QString ToQtFilters(const QString &filter);

/// Replaces the real box (for tests); an empty function restores it.
using SaveAnswerer = std::function<QString(const SaveRequest &)>;
void SetSaveAnswerer(SaveAnswerer answerer);

/// Shows the printer dialog; the name of the printer chosen (empty for the system's default), or
/// nothing when the user cancelled or the dialog failed.
std::optional<QString> ShowPrinter(QWidget *parent = nullptr);

/// Replaces the real printer dialog (for tests); an empty function restores it.
using PrinterAnswerer = std::function<std::optional<QString>()>;
void SetPrinterAnswerer(PrinterAnswerer answerer);

/// Shows the folder browser with that title; the chosen folder, or nothing when the user cancelled.
std::optional<QString> ShowFolder(const QString &title, QWidget *parent = nullptr);

/// Replaces the real folder browser (for tests); an empty function restores it.
using FolderAnswerer = std::function<std::optional<QString>(const QString &title)>;
void SetFolderAnswerer(FolderAnswerer answerer);

}  // namespace folvane::CommonDialog
