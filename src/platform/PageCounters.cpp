#include "platform/PageCounters.h"

#include "platform/FileDescriptor.h"
#include "platform/QpdfOpen.h"

#include <QFile>

#include <tiffio.h>

#include <cstdarg>
#include <limits>

namespace folvane {

std::int32_t PdfPageCounter::PageCount(const QString &path) const
{
    const std::int64_t pages = qpdfopen::CountPages(path, owner_, user_).value_or(-1);
    return pages <= std::numeric_limits<std::int32_t>::max() ? static_cast<std::int32_t>(pages) : -1;
}

namespace {

struct TiffErrors {
    bool fired = false;
};

int OnTiffError(TIFF *, void *userData, const char *, const char *, va_list)
{
    static_cast<TiffErrors *>(userData)->fired = true;
    return 1;  // handled: libtiff's own handlers (stderr) are not called
}

int OnTiffWarning(TIFF *, void *, const char *, const char *, va_list) { return 1; }

// No real document has more pages; the cap bounds the walk on a file built to make it long.
constexpr std::int32_t MaxTiffPages = 1 << 20;

}  // namespace

std::int32_t TiffPageCounter::PageCount(const QString &path) const
{
    const QByteArray name = QFile::encodeName(path);
    RegularFile file = OpenRegularFile(name.constData(), O_RDONLY);
    if (!file.fd)
        return -1;
    TiffErrors errors;
    TIFFOpenOptions *options = TIFFOpenOptionsAlloc();
    TIFFOpenOptionsSetErrorHandlerExtR(options, OnTiffError, &errors);
    TIFFOpenOptionsSetWarningHandlerExtR(options, OnTiffWarning, nullptr);
    TIFFOpenOptionsSetMaxSingleMemAlloc(options, 64 * 1024 * 1024);
    // "h": read only the header, so a file without any directory counts 0 pages instead of failing
    // the open; "m": no memory mapping, so a file truncated while it is read cannot fault.
    TIFF *tif = TIFFFdOpenExt(file.fd.get(), name.constData(), "rmh", options);
    TIFFOpenOptionsFree(options);
    if (!tif)
        return -1;
    file.fd.release();  // TIFFClose closes it
    // libtiff detects directory loops itself (and reports them as errors).
    std::int32_t pages = 0;
    while (pages < MaxTiffPages && TIFFReadDirectory(tif))
        ++pages;
    TIFFClose(tif);
    return errors.fired ? -1 : pages;
}

}  // namespace folvane
