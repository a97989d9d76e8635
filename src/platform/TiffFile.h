#pragma once
// TIFF pages on libtiff: counting, copying pages between files without decoding them, and writing
// images as pages. Every output goes through an AtomicOutput; inputs are only read. Nothing here
// writes to stderr: libtiff's messages are caught and the first error becomes the reason.

#include "platform/Outcome.h"

#include <QImage>
#include <QString>

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

namespace folvane {
class AtomicOutput;
}

namespace folvane::TiffFile {

/// TIFF compression codes the writers offer (the codes of the TIFF Compression tag). 0 stands for
/// the default, LZW.
namespace Compression {
inline constexpr std::int32_t Default = 0;
inline constexpr std::int32_t None = 1;
inline constexpr std::int32_t CcittGroup4 = 4;  ///< black-and-white only: other images are reduced to it
inline constexpr std::int32_t Lzw = 5;
inline constexpr std::int32_t Jpeg = 7;         ///< grey and colour only: black-and-white is written as grey
inline constexpr std::int32_t Deflate = 8;
inline constexpr std::int32_t PackBits = 32773;
}  // namespace Compression

/// Whether the writers offer that compression code.
Outcome CheckCompression(std::int32_t compression);

/// Pages of the TIFF at path (at least 1); the reason when it cannot be read or is damaged.
Expected<std::int32_t> CountPages(const QString &path);

/// Decodes every page of the TIFF at path, reading the file once from start to end, and hands each
/// to onPage, upright (the page's orientation applied) and with its resolution (RasterImage's
/// default when it has none), stopping at the first failure. Black-and-white pages come as 1-bit
/// images, palettes with their colours, grey as 8 or 16 bits, the rest (CMYK, YCbCr, alpha, tiles)
/// as 32-bit colour. A damaged file or a page above RasterImage::MaxPixels fails with the reason.
Outcome ReadPages(const QString &path, const std::function<Outcome(const QImage &)> &onPage);

/// Pages first..last (1-based, inclusive) of the TIFF at path.
struct PageRun {
    QString path;
    std::int32_t first = 1;
    std::int32_t last = 1;
};

/// Writes the pages of the runs, in order, into a new TIFF at output. A page keeps its compressed
/// data and tags; only old-style JPEG pages, which libtiff cannot write, are decoded and stored as
/// LZW colour. The runs' pages must exist (the caller checks them against CountPages).
Outcome CopyPages(const std::vector<PageRun> &runs, const QString &output);
/// As above, into an output that the caller commits (with others that must appear together).
Outcome CopyPages(const std::vector<PageRun> &runs, AtomicOutput &output);

/// Writes pages first..last of source each into a new TIFF of its own, into the output that
/// outputOf(page) gives, as CopyPages would, reading the source once. The caller commits them.
Outcome CopyEachPage(const QString &source, std::int32_t first, std::int32_t last,
                     const std::function<AtomicOutput &(std::int32_t)> &outputOf);

/// Writes images as the pages of a new TIFF at output, one Add() per page, the file appearing at
/// Commit(). Black-and-white images are stored with 1 bit, grey ones with 8 and the rest as 24-bit
/// colour (alpha laid over white); resolution comes from the image.
class ImageWriter {
public:
    ImageWriter(const QString &output, std::int32_t compression);
    ~ImageWriter();
    ImageWriter(const ImageWriter &) = delete;
    ImageWriter &operator=(const ImageWriter &) = delete;

    const Outcome &Opened() const noexcept;
    Outcome Add(const QImage &page);
    std::int32_t Pages() const noexcept;
    /// Closes the file and puts it in place; a writer with no page writes nothing and fails.
    Outcome Commit();

private:
    Outcome AddPage(const QImage &page);
    struct Impl;
    std::unique_ptr<Impl> d_;
};

}  // namespace folvane::TiffFile
