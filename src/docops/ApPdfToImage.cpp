#include "docops/ApPdfToImage.h"

#include "app/ErrorLog.h"
#include "app/modGeneral.h"
#include "docops/ConversionProgress.h"
#include "platform/PdfRasterEngine.h"

#include <QCoreApplication>
#include <QDir>

#include <source_location>
#include <utility>

namespace folvane {

namespace {

namespace engine = PdfRasterEngine;

/// An open engine handle, closed when it goes, also on a failure.
class RasterHandle {
public:
    explicit RasterHandle(std::int32_t handle) : handle_(handle) {}
    ~RasterHandle()
    {
        if (handle_ > 0)
            engine::apClose(handle_);
    }
    RasterHandle(const RasterHandle &) = delete;
    RasterHandle &operator=(const RasterHandle &) = delete;
    std::int32_t get() const noexcept { return handle_; }
    /// Closes it; the multi-page TIFF is written now.
    std::int32_t Close() { return engine::apClose(std::exchange(handle_, 0)); }

private:
    std::int32_t handle_;
};

void Check(std::int32_t answer, std::source_location where = std::source_location::current())
{
    Require(answer >= 0, ErrNo::EngineFailure, engine::apLastError(), where);
}

void Yield() { QCoreApplication::processEvents(); }

}  // namespace

bool ApPdfToImage::ConvertPDFToImage(QString SrcFilePath, QString StrOutputDir, std::int32_t iPageAmount,
                                     QString Prefix, std::int32_t ImgType)
{
    if (SrcFilePath.isEmpty())
        return false;
    bool result = false;
    Guarded("ConvertPDFToImage", Unit::ApPdfToImage, [&] {
        RasterHandle handle(engine::apOpen(SrcFilePath, QString(), QString()));
        // The engine's four "not opened" answers; the reason goes to the log.
        Check(handle.get() >= engine::OpenNoPages && handle.get() <= engine::OpenNotReadable ? -1 : 0);
        const QString sourceName = modGeneral::GetFileName(modGeneral::TrimSpaces(SrcFilePath));
        QString folder = StrOutputDir;
        if (ImgType != engine::TypeMultiPageTiff) {
            const qsizetype dot = sourceName.lastIndexOf(QLatin1Char('.'));
            folder = modGeneral::ValidateDir(StrOutputDir) + (dot < 0 ? QString() : sourceName.left(dot + 1));
            // One level, result not examined: a folder that cannot be made shows at the first page.
            QDir().mkdir(folder);
        }
        Check(engine::apSetProperty(handle.get(), engine::PropOutputFolder, folder, 0, 0));
        Check(engine::apSetProperty(handle.get(), engine::PropPrefix, Prefix, 0, 0));
        Check(engine::apSetProperty(handle.get(), engine::PropImageType, QString(), ImgType, 0));
        if (ImgType == engine::TypeMultiPageTiff) {
            Check(engine::apSetProperty(handle.get(), engine::PropBitsPerPixel, QString(), 24, 0));
            Check(engine::apSetProperty(handle.get(), engine::PropTiffCompression, QString(), 1, 0));
            Check(engine::apSetProperty(handle.get(), engine::PropJpegQuality, QString(), -1, 0));
        }
        for (std::int32_t page = 1; page <= iPageAmount; ++page) {
            Check(engine::apConvertPage(handle.get(), page));
            if (progress_) {
                const auto percent = static_cast<std::int32_t>(
                    modGeneral::RoundHalfEven(static_cast<double>(page) / iPageAmount * 100.0));
                progress_->SetProgressBarValue(percent);
                progress_->SetFileNameCaption(sourceName);
                progress_->SetProgressNumberCaption(QString::number(percent));
            }
            Yield();
        }
        if (progress_) {
            progress_->SetProgressBarValue(0);
            progress_->SetFileNameCaption(QString());
            progress_->SetProgressNumberCaption(QStringLiteral("0"));
        }
        Check(handle.Close());
        result = true;
    });
    return result;
}

}  // namespace folvane
