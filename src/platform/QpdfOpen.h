#pragma once
// How the platform units open a PDF with qpdf: only regular files, no output on stderr, and the
// password candidates of the preferences. Private to src/platform (it includes qpdf).

#include <QString>

#include <qpdf/QPDF.hh>
#include <qpdf/QPDFLogger.hh>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

class ClosedFileInputSource;
class InputSource;

namespace folvane::qpdfopen {

/// A logger that drops everything, shared by every QPDF and QPDFJob the program makes.
std::shared_ptr<QPDFLogger> QuietLogger();

/// The bytes qpdf is given for a path.
std::string EncodePath(const QString &path);

/// Where qpdf reads a document from. Its objects are read when it is opened; stream data is read
/// again when a writer copies it, from the same source.
enum class SourceKind {
    Memory,      ///< the file's bytes, read at once: fastest, costs the file's size in memory
    OpenFile,    ///< the file, kept open: costs one descriptor for as long as the source lives
    ClosedFile,  ///< the file, reopened by name for every read after stayOpen(false): costs nothing
};

struct Opened {
    std::unique_ptr<QPDF> pdf;  ///< null when the file could not be opened
    std::string password;       ///< the bytes that opened it (empty: none was needed)
    std::int64_t fileSize = 0;
    QString reason;             ///< why it could not be opened
    SourceKind kind = SourceKind::Memory;
    /// The closed-file source, still held open; the caller lets it close with stayOpen(false).
    ClosedFileInputSource *closedSource = nullptr;
    explicit operator bool() const noexcept { return pdf != nullptr; }
};

/// Opens the PDF at path, trying the owner password, then the user password (each that is set, each
/// also in PDFDocEncoding when that differs), then no password. Never throws. A small file is read
/// into memory, a larger one kept open.
Opened OpenPdf(const QString &path, const QString &ownerPassword, const QString &userPassword);
/// As above, with the source chosen by the caller from the file's size.
Opened OpenPdf(const QString &path, const QString &ownerPassword, const QString &userPassword,
               const std::function<SourceKind(std::int64_t fileSize)> &chooseSource);

/// Pages of an opened PDF: the page-tree root's /Count when a file of this size could hold that many
/// pages, else the number a full walk of the tree finds. May throw on a damaged tree.
std::int64_t PageCount(const Opened &opened);

}  // namespace folvane::qpdfopen
