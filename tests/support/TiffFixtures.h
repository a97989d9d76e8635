#pragma once
// Small TIFF files made with libtiff inside the tests.

#include <QString>

namespace folvane::test {

/// Writes a TIFF of `pages` 8x8 grey pages at path and returns path. With 0 pages the file is a
/// bare header whose first directory offset is 0: a valid file that holds no page.
QString MakeTiff(const QString &path, int pages);

}  // namespace folvane::test
