// PDF pages rendered to images: a 50-page text document and a 50-page scanned one, opened and
// every page rendered at 150 dpi (the image engine's resolution), then the text document converted
// to one PNG a page through the engine as the PDF-to-image command does, and one A3 page at 600 dpi
// in colour, the largest page the program renders in practice. Each is the best of five runs. Beside
// the render child's figures stand poppler's in this process, as the program rendered before
// rendering moved to a child: the ratio is what the child costs.

#include "BenchSupport.h"

#include "platform/PdfRasterEngine.h"
#include "platform/PdfRender.h"

#include <QDir>
#include <QGuiApplication>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QTemporaryDir>

#include <poppler-qt6.h>

#include <cstdio>
#include <memory>

using namespace folvane;

namespace {

constexpr int Runs = 5;
constexpr int Pages = 50;

/// Pages of running text in two sizes with a ruled table and a filled figure, as a report prints.
void MakeReport(const QString &path, int pages, const QPageSize &size)
{
    QPdfWriter writer(path);
    writer.setPageSize(size);
    writer.setResolution(300);
    QPainter p(&writer);
    const QRect area = p.viewport().adjusted(250, 250, -250, -250);
    for (int page = 1; page <= pages; ++page) {
        if (page > 1)
            writer.newPage();
        p.setFont(QFont(QStringLiteral("DejaVu Serif"), 10));
        int y = area.top();
        for (int line = 0; line < 45 && y < area.bottom() - 900; ++line, y += 48)
            p.drawText(area.left(), y,
                       QStringLiteral("Page %1, line %2: the quarterly figures were entered against the ledger and checked.")
                           .arg(page)
                           .arg(line));
        p.setPen(QPen(Qt::darkBlue, 3));
        for (int row = 0; row < 8; ++row)
            p.drawLine(area.left(), y + row * 60, area.right(), y + row * 60);
        p.setBrush(QColor(200, 60, 40, 160));
        p.drawEllipse(QRect(area.right() - 700, area.bottom() - 700, 600, 600));
    }
}

/// Opens the PDF and renders every page at dpi with poppler in this process; false when anything
/// failed.
bool RenderInProcess(const QString &pdf, double dpi)
{
    const std::unique_ptr<Poppler::Document> doc = Poppler::Document::load(pdf);
    if (!doc)
        return false;
    doc->setRenderHint(Poppler::Document::Antialiasing);
    doc->setRenderHint(Poppler::Document::TextAntialiasing);
    doc->setPaperColor(Qt::white);
    for (int page = 0; page < doc->numPages(); ++page) {
        const std::unique_ptr<Poppler::Page> p = doc->page(page);
        if (!p || p->renderToImage(dpi, dpi).isNull())
            return false;
    }
    return true;
}

/// The same through the render child.
bool RenderAll(const QString &pdf, double dpi)
{
    const PdfRenderDocument doc(pdf);
    if (!doc.Opened())
        return false;
    for (std::int32_t page = 1; page <= doc.Pages(); ++page) {
        if (const Expected<QImage> image = doc.Render(page, dpi, dpi); !image) {
            std::printf("  page %d: %s\n", page, qPrintable(image.reason));
            return false;
        }
    }
    return true;
}

bool ConvertToPng(const QString &pdf, const QString &folder)
{
    namespace engine = PdfRasterEngine;
    const std::int32_t h = engine::apOpen(pdf, {}, {});
    if (h <= 0)
        return false;
    bool ok = engine::apSetProperty(h, engine::PropOutputFolder, folder, 0, 0) == 0
              && engine::apSetProperty(h, engine::PropImageType, {}, engine::TypePng, 0) == 0;
    for (std::int32_t page = 1; ok && page <= Pages; ++page)
        ok = engine::apConvertPage(h, page) == 0;
    return engine::apClose(h) == 0 && ok;
}

}  // namespace

int main(int argc, char **argv)
{
    QGuiApplication app(argc, argv);
    qputenv("FOLVANE_RENDER_HELPER", FOLVANE_RENDER_EXE);
    QTemporaryDir temp;
    const QDir dir(temp.path());
    const QString text = dir.filePath(QStringLiteral("report.pdf")), scan = dir.filePath(QStringLiteral("scan.pdf")),
                  a3 = dir.filePath(QStringLiteral("a3.pdf"));
    MakeReport(text, Pages, QPageSize(QPageSize::A4));
    bench::MakeImagePdf(scan, Pages, {bench::NoiseJpeg(300000, 1), bench::NoiseJpeg(300000, 2)});
    MakeReport(a3, 1, QPageSize(QPageSize::A3));
    dir.mkdir(QStringLiteral("png"));

    bool ok = true;
    struct Row {
        const char *what;
        double child, inProcess;
        int pages;
    } rows[] = {
        {"50 text pages (A4) at 150 dpi, open and render", bench::Best(Runs, [&] { ok = RenderAll(text, 150) && ok; }),
         bench::Best(Runs, [&] { ok = RenderInProcess(text, 150) && ok; }), Pages},
        {"50 scanned pages (letter) at 150 dpi, open and render", bench::Best(Runs, [&] { ok = RenderAll(scan, 150) && ok; }),
         bench::Best(Runs, [&] { ok = RenderInProcess(scan, 150) && ok; }), Pages},
        {"50 text pages to PNG through the image engine",
         bench::Best(Runs, [&] { ok = ConvertToPng(text, dir.filePath(QStringLiteral("png"))) && ok; }), 0, Pages},
        {"one A3 page at 600 dpi in colour, open and render", bench::Best(Runs, [&] { ok = RenderAll(a3, 600) && ok; }),
         bench::Best(Runs, [&] { ok = RenderInProcess(a3, 600) && ok; }), 1},
    };
    std::printf("PDF pages rendered, best of %d runs\n  %-55s %-27s %-16s %s\n", Runs, "", "render child", "in this process",
                "ratio");
    for (const Row &r : rows) {
        std::printf("  %-55s %7.3f s (%6.1f ms/page)", r.what, r.child, r.child * 1000 / r.pages);
        if (r.inProcess > 0)
            std::printf("  %7.3f s         %5.2fx", r.inProcess, r.child / r.inProcess);
        std::printf("\n");
    }
    std::printf("  every run succeeded: %s\n", ok ? "yes" : "NO");
    return ok ? 0 : 1;
}
