#pragma once
// How the platform units open a PDF with qpdf: only regular files, no output on stderr, and the
// password candidates of the preferences. Private to src/platform (it includes qpdf).

#include "platform/Outcome.h"
#include "platform/QpdfBudget.h"

#include <QString>

#include <qpdf/QPDF.hh>
#include <qpdf/QPDFLogger.hh>

#include <chrono>
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

/// What opening the document at path and walking its page tree may take. No sound PDF needs to read
/// more than its own bytes to find its pages, but qpdf rebuilds a damaged file's cross-reference
/// table by reading all of it, and objects it parses again after that. So reading stops at
/// OpenReadPerAllocatedByte times what the file takes on the disk, and at OpenReadFloor at least: a
/// sparse file of terabytes that holds nothing takes nothing, while a large file that is only a
/// little damaged is rebuilt. Whatever the file holds, an open stops after OpenTime, so that a
/// search moves on within seconds, and once it has taken OpenMemoryBytes more memory (a sound
/// document of 2.5 million objects takes half of it). Past these a document reads as damaged.
qpdfbudget::Limits OpenLimits(const QString &path);
inline constexpr std::int64_t OpenReadFloor = 256LL << 20;
inline constexpr int OpenReadPerAllocatedByte = 3;
inline constexpr std::int64_t OpenDecodedBytes = 256LL << 20;
/// A sound document of hundreds of megabytes opens in a second or two, also when its table is rebuilt.
inline constexpr std::chrono::seconds OpenTime{5};
inline constexpr std::int64_t OpenMemoryBytes = 512LL << 20;

/// What the cross-reference streams of a document of fileSize bytes may inflate to in all: as many
/// bytes as the file has, at least 8 MB and at most 16 MB. An entry is two bytes at the least, and
/// qpdf keeps about 125 bytes in memory for each, so a file of a few kilobytes made to claim millions
/// of objects takes at most half a gigabyte, and no file more than one. A real entry is six or seven
/// bytes wide, for an object that takes more than that in the file: a document of 2.6 million
/// objects fits.
std::int64_t MaxCrossReferenceBytes(std::int64_t fileSize);

/// The deepest page tree that is walked. qpdf's own walks recurse once per level, and a chain of
/// tens of thousands of levels overflows the stack; a sound tree of a million pages is about ten
/// levels deep.
inline constexpr int MaxPageTreeDepth = 1024;

/// Opens the PDF at path, trying the owner password, then the user password (each that is set, each
/// also in PDFDocEncoding when that differs), then no password. Never throws. A small file is read
/// into memory, a larger one kept open. Every read is counted against the budgets of the calling
/// thread (qpdfbudget::Budget), and a document whose cross-reference streams inflate past
/// MaxCrossReferenceBytes for its size is not opened.
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
