#pragma once
// The program's title, which the message boxes and the settings store of this layer need as much as
// the forms above do.

#include <QString>

namespace folvane {

/// The program title: window captions, message-box titles and the storage folder's last component.
inline const QString &ProgramTitle()
{
    static const QString title = QStringLiteral("Folvane 1.1");
    return title;
}

}  // namespace folvane
