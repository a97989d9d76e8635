#pragma once
// The PDF engine's flat entry points, by handle: a thin layer over PdfMerge and PdfSplit, which own a
// merge or a split each and are what code should use.

#include "platform/PdfMerge.h"
#include "platform/PdfSplit.h"

#include <QString>

#include <cstdint>

namespace folvane::PdfEngine {

inline constexpr std::int32_t FnSplit = 170;       ///< on a split handle
inline constexpr std::int32_t FnAddDocument = 175; ///< on a merge handle

/// Opens a merge into outputPath. A handle greater than 0 is an open merge; any other value means
/// no merge was opened (the target folder is missing or cannot be written, or the path is a folder).
std::int32_t apCreateMerge(const QString &outputPath, const Passwords &passwords = {});
/// Opens a split of the PDF at sourcePath; handle as for apCreateMerge.
std::int32_t apOpenSplit(const QString &sourcePath, const Passwords &passwords = {});
/// FnAddDocument on a merge: adds document text1 with page range text2 (n1 = n2 = 0).
/// FnSplit on a split: n1 = 1; n2 = 1 writes every page to its own file, n2 = 2 every item of the
/// range text1 to its own file; text2 is the output base path.
/// Answers 0 when done, -1 when it failed. A failed add makes the whole merge fail.
std::int32_t apSetFunction(std::int32_t handle, std::int32_t function, std::int32_t n1, std::int32_t n2,
                           const QString &text1, const QString &text2);
/// Ends a merge or split and forgets the handle. A merge writes its output: 0 when the file was
/// written, -1 when it was not (no documents added, an add failed, or the write failed).
std::int32_t apClose(std::int32_t handle);
/// Ends a merge or split without writing anything.
void apDiscard(std::int32_t handle);
/// Reason of the last call that failed.
QString apLastError();

}  // namespace folvane::PdfEngine
