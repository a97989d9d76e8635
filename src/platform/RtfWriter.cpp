#include "platform/RtfWriter.h"

#include "platform/AtomicOutput.h"

#include <QStringList>

#include <cstdint>

namespace folvane::RtfWriter {

QByteArray EscapeText(const QString &text)
{
    QByteArray out;
    out.reserve(text.size());
    for (const QChar ch : text) {
        const char16_t u = ch.unicode();
        if (u == u'\\' || u == u'{' || u == u'}') {
            out += '\\';
            out += static_cast<char>(u);
        } else if (u == u'\t') {
            out += "\\tab ";
        } else if (u >= 0x20 && u < 0x7F) {
            out += static_cast<char>(u);
        } else {
            // RTF's \u takes a signed 16-bit parameter; "?" is what a reader without Unicode shows.
            out += "\\u";
            out += QByteArray::number(static_cast<std::int16_t>(u));
            out += '?';
        }
    }
    return out;
}

QByteArray ToRtf(const QString &text)
{
    // Only CR LF ends a line: a lone CR or LF is a character of the text (a file name may hold one)
    // and is kept as one, escaped like any other control character.
    const QStringList lines = text.split(QStringLiteral("\r\n"));

    QByteArray out = "{\\rtf1\\ansi\\ansicpg1252\\deff0\\uc1"
                     "{\\fonttbl{\\f0\\fswiss\\fcharset0 DejaVu Sans;}}\r\n"
                     "\\viewkind4\\pard\\f0\\fs20 ";
    for (qsizetype i = 0; i < lines.size(); ++i) {
        // The text after the last line break is a line only when it holds something.
        if (i + 1 == lines.size() && lines[i].isEmpty())
            break;
        out += EscapeText(lines[i]);
        out += "\\par\r\n";
    }
    out += "}\r\n";
    return out;
}

Outcome Save(const QString &path, const QString &text) { return WriteFileAtomically(path, ToRtf(text)); }

}  // namespace folvane::RtfWriter
