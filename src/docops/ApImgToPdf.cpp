#include "docops/ApImgToPdf.h"

#include "app/ErrorLog.h"
#include "app/modGeneral.h"
#include "docops/CombineProgress.h"
#include "platform/ImagePdfEngine.h"

#include <QCoreApplication>

#include <cstdint>
#include <source_location>
#include <utility>

namespace folvane {

namespace {

namespace engine = ImagePdfEngine;

/// One engine document: discarded unless Close() wrote it, so a failure leaves no handle open.
class EngineDocument {
public:
    explicit EngineDocument(const QString &outputPath) : handle_(engine::ApCreate(outputPath)) {}
    ~EngineDocument()
    {
        if (handle_ > 0)
            engine::ApDiscard(handle_);
    }
    EngineDocument(const EngineDocument &) = delete;
    EngineDocument &operator=(const EngineDocument &) = delete;

    std::int32_t handle() const noexcept { return handle_; }
    bool opened() const noexcept { return handle_ > 0; }
    void Add(const QString &image, std::source_location where = std::source_location::current())
    {
        Check(engine::ApAddImage(handle_, image), where);
    }
    void Close(std::source_location where = std::source_location::current())
    {
        const std::int32_t handle = std::exchange(handle_, 0);
        Check(engine::ApClose(handle), where);
    }

    static void Check(std::int32_t answer, std::source_location where)
    {
        Require(answer >= 0, ErrNo::EngineFailure, engine::ApLastError(), where);
    }

private:
    std::int32_t handle_;
};

void Yield() { QCoreApplication::processEvents(); }

}  // namespace

bool ApImgToPdf::MergeConvert_TiffToPdfx()
{
    if (FileNameToSave.isEmpty())
        return true;
    bool result = false;
    Guarded("MergeConvert_TiffToPdfx", Unit::ApImgToPdf, [&] {
        std::int32_t count = 0;
        EngineDocument doc(FileNameToSave);
        EngineDocument::Check(doc.handle(), std::source_location::current());
        // By index: the yield below lets other code run, and nothing it does may invalidate the walk.
        for (std::size_t i = 0; i < colOrderedData.size(); ++i) {
            const clsColSetOrderGrid record = colOrderedData[i];
            Yield();
            doc.Add(modGeneral::ValidateDir(record.FileLocation) + record.filename);
            ++count;
            if (progress_)
                progress_->SetProgressValue(count);
        }
        doc.Close();
        result = true;
    });
    return result;
}

bool ApImgToPdf::Convert_EachTiffToPDFbyOne(QString SrcFilePath, QString OutputPath)
{
    if (SrcFilePath.isEmpty() || OutputPath.isEmpty())
        return false;
    bool result = false;
    Guarded("Convert_EachTiffToPDFbyOne", Unit::ApImgToPdf, [&] {
        EngineDocument doc(OutputPath);
        EngineDocument::Check(doc.handle(), std::source_location::current());
        doc.Add(SrcFilePath);
        Yield();
        doc.Close();
        result = true;
    });
    return result;
}

bool ApImgToPdf::ConverImageToPdf(QString strInputImage, QString strOutputImage, QString EncodColor,
                                  QString EncodGraycale, QString EncodBW)
{
    if (strOutputImage.isEmpty() || strInputImage.isEmpty())
        return false;
    bool result = false;
    Guarded("ConverImageToPdf", Unit::ApImgToPdf, [&] {
        EngineDocument doc(strOutputImage);
        EngineDocument::Check(doc.handle(), std::source_location::current());
        const std::int32_t depth = engine::ApGetFunction(0, engine::FnBitsPerPixel, 0, 0, strInputImage, 0);
        // The engine keeps its default for a name it does not offer.
        if (!EncodBW.isEmpty() && depth == 1)
            (void)engine::ApSetFunction(doc.handle(), engine::FnCompression, engine::ClassBlackWhite, 0, EncodBW, 0);
        else if (!EncodGraycale.isEmpty() && depth == 8)
            (void)engine::ApSetFunction(doc.handle(), engine::FnCompression, engine::ClassGrey, 0, EncodGraycale, 0);
        else if (!EncodColor.isEmpty() && depth == 24)
            (void)engine::ApSetFunction(doc.handle(), engine::FnCompression, engine::ClassColour, 0, EncodColor, 0);
        doc.Add(strInputImage);
        Yield();
        doc.Close();
        Yield();
        result = true;
    });
    return result;
}

}  // namespace folvane
