#pragma once
// A minimal RTF reader for tests: the plain text of a document, lines ended by CR LF. It knows what a
// simple writer emits (groups, control words, \uN escapes with their fallback, \par, \tab, \'hh) and
// skips destinations such as the font table.

#include <QByteArray>
#include <QString>

#include <optional>

namespace folvane::test {

/// The document's text, or nullopt when it is not an RTF document or its groups do not balance.
std::optional<QString> ReadRtfText(const QByteArray &rtf);

}  // namespace folvane::test
