#pragma once
// The read-only store of the main window's first placement and its saved pane layout: an INI file
// "<XDG config folder>/<program title>/<program title>.ini" with the sections "Settings" (MainLeft,
// MainTop, MainWidth, MainHeight: twips as text) and "Layout" (State: the pane layout as base64 of
// QMainWindow::saveState). The program only reads it; a user or an installer may write it.

#include <QByteArray>
#include <QString>

namespace folvane::RegistryStore {

/// Where the store is looked for; follows XDG_CONFIG_HOME at every call.
QString FilePath();

/// The text under section/key, or defaultValue when the file or the key is missing.
QString GetSetting(const QString &section, const QString &key, const QString &defaultValue = QString());

/// The saved pane layout; empty when there is none or it is not valid base64.
QByteArray PaneLayout();

}  // namespace folvane::RegistryStore
