#include "platform/ImagePdfEngine.h"

#include "platform/AtomicOutput.h"
#include "platform/HandleTable.h"
#include "platform/PdfImageBuilder.h"
#include "platform/RasterImage.h"

#include <QFileInfo>

namespace folvane::ImagePdfEngine {

namespace {

struct Session {
    QString outputPath;
    PdfImageBuilder builder;
    ImageCompressions compressions;
    QString failure;
};

HandleTable<Session> &Sessions()
{
    static HandleTable<Session> table;
    return table;
}

std::int32_t Fail(const QString &reason) { return Sessions().Fail(reason); }

}  // namespace

std::int32_t ApCreate(const QString &outputPath)
{
    // Checked now, so that a caller learns at once that nothing can be written there.
    const AtomicOutput probe(outputPath);
    if (!probe.Opened())
        return Fail(probe.Opened().reason);
    auto session = std::make_unique<Session>();
    session->outputPath = QFileInfo(outputPath).absoluteFilePath();
    return Sessions().Add(std::move(session));
}

std::int32_t ApAddImage(std::int32_t handle, const QString &imagePath)
{
    Session *s = Sessions().Find(handle);
    if (!s)
        return Fail(QStringLiteral("engine handle %1 is not open").arg(handle));
    if (!s->failure.isEmpty())
        return Fail(QStringLiteral("the document has already failed: %1").arg(s->failure));
    if (Outcome added = s->builder.AddImageFile(imagePath, s->compressions); !added) {
        s->failure = added.reason;
        return Fail(added.reason);
    }
    return 0;
}

std::int32_t ApGetFunction(std::int32_t, std::int32_t function, std::int32_t, std::int32_t, const QString &text,
                           std::int32_t)
{
    if (function == FnBitsPerPixel)
        return RasterImage::BitsPerPixel(text);
    return Fail(QStringLiteral("engine function %1 is not offered").arg(function));
}

std::int32_t ApSetFunction(std::int32_t handle, std::int32_t function, std::int32_t n1, std::int32_t, const QString &text,
                           std::int32_t)
{
    Session *s = Sessions().Find(handle);
    if (!s)
        return Fail(QStringLiteral("engine handle %1 is not open").arg(handle));
    if (function != FnCompression)
        return Fail(QStringLiteral("engine function %1 is not offered").arg(function));
    const std::optional<ImageCompression> compression = CompressionByName(text);
    if (!compression)
        return Fail(QStringLiteral("compression \"%1\" is not offered").arg(text));
    switch (n1) {
    case ClassBlackWhite:
        if (*compression == ImageCompression::Jpeg)
            return Fail(QStringLiteral("JPEG is not offered for black-and-white images"));
        s->compressions.blackWhite = compression;
        return 0;
    case ClassGrey:
        s->compressions.grey = compression;
        return 0;
    case ClassColour:
        s->compressions.colour = compression;
        return 0;
    default:
        return Fail(QStringLiteral("colour class %1 is not known").arg(n1));
    }
}

std::int32_t ApClose(std::int32_t handle)
{
    const std::unique_ptr<Session> s = Sessions().Take(handle);
    if (!s)
        return Fail(QStringLiteral("engine handle %1 is not open").arg(handle));
    if (!s->failure.isEmpty())
        return Fail(QStringLiteral("%1: nothing written: %2").arg(s->outputPath, s->failure));
    if (Outcome written = s->builder.Write(s->outputPath); !written)
        return Fail(written.reason);
    return 0;
}

void ApDiscard(std::int32_t handle) { Sessions().Take(handle); }

QString ApLastError() { return Sessions().LastError(); }

}  // namespace folvane::ImagePdfEngine
