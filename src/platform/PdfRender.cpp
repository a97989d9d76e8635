#include "platform/PdfRender.h"

#include <QFile>
#include <QFileInfo>

#include <poppler-qt6.h>

#include <cmath>

namespace folvane {

namespace {

// Larger renders are refused rather than risking the memory of the machine (about 1 GB of pixels).
constexpr double MaxPixels = 256.0 * 1024 * 1024;

void SilencePoppler()
{
    static const bool done = [] {
        Poppler::setDebugErrorFunction([](const QString &, const QVariant &) {}, QVariant());
        return true;
    }();
    (void)done;
}

}  // namespace

struct PdfRenderDocument::Impl {
    std::unique_ptr<Poppler::Document> doc;
};

PdfRenderDocument::PdfRenderDocument(const QString &path, const QString &ownerPassword, const QString &userPassword)
    : d_(std::make_unique<Impl>())
{
    SilencePoppler();
    const QFileInfo info(path);
    // Only regular files: poppler would block on a FIFO.
    if (!info.isFile()) {
        failure_ = OpenFailure::NotReadable;
        reason_ = QStringLiteral("%1: %2").arg(path, info.exists() ? QStringLiteral("not a regular file")
                                                                   : QStringLiteral("the file does not exist"));
        return;
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        failure_ = OpenFailure::NotReadable;
        reason_ = QStringLiteral("%1: cannot be read: %2").arg(path, file.errorString());
        return;
    }
    file.close();
    for (const QString &password : {ownerPassword, userPassword, QString()}) {
        d_->doc = Poppler::Document::load(path, password.toUtf8(), password.toUtf8());
        if (!d_->doc) {
            failure_ = OpenFailure::Damaged;
            reason_ = QStringLiteral("%1: damaged or not a PDF").arg(path);
            return;
        }
        if (!d_->doc->isLocked())
            break;
        d_->doc.reset();
    }
    if (!d_->doc) {
        failure_ = OpenFailure::Password;
        reason_ = QStringLiteral("%1: encrypted, and no password given opens it").arg(path);
        return;
    }
    if (d_->doc->numPages() < 1) {
        d_->doc.reset();
        failure_ = OpenFailure::NoPages;
        reason_ = QStringLiteral("%1: the document has no pages").arg(path);
        return;
    }
    d_->doc->setRenderHint(Poppler::Document::Antialiasing);
    d_->doc->setRenderHint(Poppler::Document::TextAntialiasing);
    d_->doc->setPaperColor(Qt::white);
}

PdfRenderDocument::~PdfRenderDocument() = default;

std::int32_t PdfRenderDocument::Pages() const { return d_->doc ? d_->doc->numPages() : 0; }

QImage PdfRenderDocument::Render(std::int32_t page, double dpiX, double dpiY, QString &reason) const
{
    if (!d_->doc || page < 1 || page > d_->doc->numPages()) {
        reason = QStringLiteral("there is no page %1 (the document has %2)").arg(page).arg(Pages());
        return {};
    }
    if (!(dpiX >= 1 && dpiY >= 1 && dpiX <= 4800 && dpiY <= 4800)) {
        reason = QStringLiteral("resolution %1 x %2 is not offered").arg(dpiX).arg(dpiY);
        return {};
    }
    std::unique_ptr<Poppler::Page> p = d_->doc->page(page - 1);
    if (!p) {
        reason = QStringLiteral("page %1 cannot be read").arg(page);
        return {};
    }
    const QSizeF points = p->pageSizeF();
    if (points.width() * dpiX / 72.0 * points.height() * dpiY / 72.0 > MaxPixels) {
        reason = QStringLiteral("page %1 is too large to render at %2 dpi").arg(page).arg(dpiX);
        return {};
    }
    QImage image = p->renderToImage(dpiX, dpiY);
    if (image.isNull()) {
        reason = QStringLiteral("page %1 cannot be rendered").arg(page);
        return {};
    }
    image.setDotsPerMeterX(static_cast<int>(std::lround(dpiX / 0.0254)));
    image.setDotsPerMeterY(static_cast<int>(std::lround(dpiY / 0.0254)));
    return image;
}

}  // namespace folvane
