#pragma once
// The program's own small files: the settings file, the error log, the write probe and the export's
// scratch name. Whatever stands at those names must never hold the program up or be destroyed by it,
// so every open here is non-blocking (a FIFO without a reader would otherwise stop the program for
// good), is checked to have reached a regular file before a byte moves, and never makes a file
// through a link. A link that leads to a regular file is followed, as an editor does; a folder, FIFO,
// socket, device, a dangling link or a link to one of those is left exactly as it is.

#include "platform/Outcome.h"

#include <QByteArray>
#include <QString>

namespace folvane::OwnFile {

enum class Kind {
    Missing,        ///< nothing at the name
    Regular,        ///< a regular file
    LinkToRegular,  ///< a link, or a chain of them, that ends at a regular file
    Other,          ///< anything else, or a name that cannot be looked at; never opened or removed
};

/// What stands at path, found without opening it.
Kind Inspect(const QString &path);

/// At most maxBytes from the start of a regular file (links followed).
Expected<QByteArray> Read(const QString &path, qint64 maxBytes);

/// Appends bytes at the end of a regular file (links followed). Where nothing stands at the name the
/// file is made there, with the umask's mode; it is never made through a link.
Outcome Append(const QString &path, const QByteArray &bytes);

/// Puts bytes over the first bytes of an existing regular file (links followed), without truncating
/// it: for a file whose folder takes no new file. The space is reserved first, so a full disk fails
/// before any byte changes. Bytes that fit in the first page go in one write, which the kernel copies
/// whole unless the process dies before it starts, so a kill leaves the old bytes or the new ones.
/// Longer bytes are written as unfinishedHead (which must be a head, 1 to page size bytes, that the
/// file's reader rejects), then all but the head, then the head, each step synced: a kill then leaves
/// the old bytes, a file marked unfinished, or the new bytes, never a mix a reader would take.
Outcome RewriteInPlace(const QString &path, const QByteArray &bytes, const QByteArray &unfinishedHead);

/// Removes a regular file at path. A link is neither followed nor removed, and anything else that
/// stands there stays; those, and an empty name, count as done.
Outcome RemoveIfRegular(const QString &path);

/// Whether a file can be written in path's folder: writes bytes to a new file at path and removes it
/// again. A regular file already there (a probe a killed run left) is replaced; where anything else
/// stands at the name (a link, folder, FIFO, socket or device) that is left as it is and the bytes go
/// to an unnamed file in the same folder instead.
Outcome WriteProbe(const QString &path, const QByteArray &bytes);

}  // namespace folvane::OwnFile
