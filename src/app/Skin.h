#pragma once
// The program's skin: a Qt style sheet "Styles/Vista.styles" beside the program. Windows work
// unskinned when it is missing.

#include <QString>

class QWidget;

namespace folvane {

/// "<program folder>/Styles/Vista.styles".
QString SkinFilePath();
/// Applies the skin file to the window when the file can be read; answers whether it did.
bool ApplySkin(QWidget *window, const QString &skinFile = SkinFilePath());

}  // namespace folvane
