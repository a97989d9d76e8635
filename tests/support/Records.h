#pragma once
// Document records for the command tests.

#include "docops/clsColSetOrderGrid.h"

#include <QFileInfo>

namespace folvane::test {

/// The record of the file at path (its name and folder), with no range.
inline clsColSetOrderGrid RecordOf(const QString &path)
{
    const QFileInfo fi(path);
    clsColSetOrderGrid r;
    r.filename = fi.fileName();
    r.FileLocation = fi.absolutePath();
    return r;
}

}  // namespace folvane::test
