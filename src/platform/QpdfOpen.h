#pragma once
// How the platform units open a PDF with qpdf: only regular files, no output on stderr, and the
// password candidates of the preferences. Private to src/platform (it includes qpdf).

#include "platform/Outcome.h"
#include "platform/QpdfBudget.h"

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

/// A document opened.
struct Opened {
    std::unique_ptr<QPDF> pdf;
    std::string password;  ///< the bytes that opened it (empty: none was needed)
    std::int64_t fileSize = 0;
    SourceKind kind = SourceKind::Memory;
    /// The closed-file source, still held open; the caller lets it close with stayOpen(false).
    ClosedFileInputSource *closedSource = nullptr;
};

/// What opening a document and walking its page tree may take: no sound PDF needs to read this much
/// of its file to find its pages (the cross-reference table of a document of ten million objects is
/// 200 MB), while a damaged file qpdf rebuilds by reading all of it, and a file of terabytes would
/// hold a search for hours. Past these a document reads as damaged.
inline constexpr qpdfbudget::Limits OpenLimits{.readBytes = 256LL << 20, .decodedBytes = 256LL << 20};

/// What the cross-reference streams of one document may inflate to in all. qpdf keeps about a
/// hundred bytes for every entry they claim, so this bounds the memory an open takes at half a
/// gigabyte; it still holds the streams of a document of over a million objects.
inline constexpr std::int64_t MaxCrossReferenceBytes = 8LL << 20;

/// The deepest page tree that is walked. qpdf's own walks recurse once per level, and a chain of
/// tens of thousands of levels overflows the stack; a sound tree of a million pages is about ten
/// levels deep.
inline constexpr int MaxPageTreeDepth = 1024;

/// Opens the PDF at path, trying the owner password, then the user password (each that is set, each
/// also in PDFDocEncoding when that differs), then no password. Never throws. A small file is read
/// into memory, a larger one kept open. Every read is counted against the budgets of the calling
/// thread (qpdfbudget::Budget), and a document whose cross-reference streams inflate past
/// MaxCrossReferenceBytes is not opened.
Expected<Opened> OpenPdf(const QString &path, const QString &ownerPassword, const QString &userPassword);
/// As above, with the source chosen by the caller from the file's size.
Expected<Opened> OpenPdf(const QString &path, const QString &ownerPassword, const QString &userPassword,
                         const std::function<SourceKind(std::int64_t fileSize)> &chooseSource);

/// Pages of an opened PDF: the page-tree root's /Count when the file vouches for it, else the number
/// WalkPageTree finds. Throws on a damaged tree.
std::int64_t PageCount(const Opened &opened);

/// The pages of the document's page tree, walked without recursion as qpdf walks it (leaves are
/// pages, and a catalog that names a node below the root is followed up to the root). Throws on a
/// loop and on a tree deeper than MaxPageTreeDepth; after it returns, qpdf's own recursive walks
/// (getAllPages, pushInheritedAttributesToPage) are safe.
std::int64_t WalkPageTree(QPDF &pdf);

/// Opens the PDF at path (as OpenPdf) and counts its pages, within OpenLimits; the reason when it
/// cannot be read or has no pages. Never throws.
Expected<std::int64_t> CountPages(const QString &path, const QString &ownerPassword, const QString &userPassword);

}  // namespace folvane::qpdfopen
