#pragma once
// How the platform units open a PDF with qpdf: only regular files, no output on stderr, and the
// password candidates of the preferences. Private to src/platform (it includes qpdf).

#include <QString>

#include <qpdf/QPDF.hh>
#include <qpdf/QPDFLogger.hh>

#include <cstdint>
#include <memory>
#include <string>

namespace folvane::qpdfopen {

/// A logger that drops everything, shared by every QPDF and QPDFJob the program makes.
std::shared_ptr<QPDFLogger> QuietLogger();

/// The bytes qpdf is given for a path.
std::string EncodePath(const QString &path);

struct Opened {
    std::unique_ptr<QPDF> pdf;  ///< null when the file could not be opened
    std::string password;       ///< the bytes that opened it (empty: none was needed)
    std::int64_t fileSize = 0;
    QString reason;             ///< why it could not be opened
    explicit operator bool() const noexcept { return pdf != nullptr; }
};

/// Opens the PDF at path, trying the owner password, then the user password (each that is set, each
/// also in PDFDocEncoding when that differs), then no password. Never throws.
Opened OpenPdf(const QString &path, const QString &ownerPassword, const QString &userPassword);

/// Pages of an opened PDF: the page-tree root's /Count when a file of this size could hold that many
/// pages, else the number a full walk of the tree finds. May throw on a damaged tree.
std::int64_t PageCount(const Opened &opened);

}  // namespace folvane::qpdfopen
