#pragma once
// The component "PdfInfo.Stamper.1": reads and writes the entries of a PDF's document information
// dictionary (Title, Author, Subject, Keywords, Creator, Producer, CreationDate, ModDate, or any
// other key).
//
// Text of entries (both directions): one entry per line, "Key=Value", lines ended by LF or CR LF.
// The key is the entry's name without its "/"; the value runs to the end of the line, "=" included.
// In a value, "\n" stands for a line break, "\r" for a carriage return and "\\" for a backslash.
// Blank lines are skipped. When writing, an empty value removes the entry.
//   UpdatePDFInfo(source, password, entries, output): writes a copy of source with the entries set.
//   UpdatePDFInfo(path, password): the file's entries as text, keys in name order; values that are
//   not text (rare) appear as PDF syntax.

#include "platform/AutomationComponent.h"

#include <QString>

namespace folvane {

class PdfInfoStamper final : public AutomationComponent {
public:
    /// Writes output (which may be the source itself) as a copy of source whose information entries
    /// are set from keysValues; the copy keeps the source's encryption and stores every stream as
    /// the source does. The source is opened within the bounds of a page count
    /// (qpdfopen::OpenLimits); one whose objects cannot all be read within the bounds of a write is
    /// damaged, and nothing is written.
    Outcome UpdatePDFInfo(const QString &source, const QString &password, const QString &keysValues,
                          const QString &output) const;
    /// The information entries of the PDF as text; nothing, with the reason, when it cannot be read
    /// (within the bounds of a page count).
    Expected<QString> ReadPDFInfo(const QString &path, const QString &password) const;
    CallResult Invoke(const QString &method, const QVariantList &args) override;
};

}  // namespace folvane
