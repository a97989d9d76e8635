#pragma once
// A small Rich Text Format writer: plain lines in, a document every word processor opens out.
// The output is 7-bit: every character outside printable ASCII is written as a Unicode escape.

#include "platform/Outcome.h"

#include <QByteArray>
#include <QString>

namespace folvane::RtfWriter {

/// The text escaped for an RTF body: \ { } escaped, each UTF-16 unit above 127 as \uN? with N the
/// unit as a signed 16-bit number (so a character beyond the first plane is two escapes).
QByteArray EscapeText(const QString &text);

/// A whole document whose paragraphs are the text's lines (split at CR LF only).
QByteArray ToRtf(const QString &text);

/// Writes the document to path; an existing file is replaced only once the new one is complete.
Outcome Save(const QString &path, const QString &text);

}  // namespace folvane::RtfWriter
