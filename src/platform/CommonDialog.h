#pragma once
// The save-file box, behind one seam that tests can answer.

#include <QString>

#include <functional>

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

}  // namespace folvane::CommonDialog
