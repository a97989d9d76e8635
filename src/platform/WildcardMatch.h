#pragma once
// Wildcard match of a file name against one pattern, the way file patterns such as "*.pdf" are read.

#include <QString>

namespace folvane {

/// True when the whole name matches the pattern: "*" stands for any run of characters (none
/// included), "?" for exactly one character, every other character for itself, letters compared
/// without regard to case. "[" has no special meaning, so names holding brackets match literally.
bool WildcardMatch(const QString &name, const QString &pattern);

}  // namespace folvane
