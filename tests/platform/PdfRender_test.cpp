#include "platform/PdfRender.h"

#include "platform/PdfRenderChild.h"

#include "support/ImageFixtures.h"
#include "support/PdfFixtures.h"
#include "support/RenderHazards.h"
#include "support/TestEnv.h"

#include <QImage>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <future>
#include <vector>

using namespace folvane;
namespace child = folvane::PdfRenderChild;

namespace {

using Clock = std::chrono::steady_clock;

class PdfRenderTest : public ::testing::Test {
protected:
    test::TempDir dir;
};

double SecondsSince(Clock::time_point start) { return std::chrono::duration<double>(Clock::now() - start).count(); }

}  // namespace

TEST_F(PdfRenderTest, HostileDocumentsFailWithAReasonInBoundedTimeWhileThisProcessStaysSmall)
{
    // Deadlines shorter than a conversion's, so that the cases are quick; the mechanism is the same.
    // The path that needs memory has time enough to reach the memory limit, also in a sanitizer build.
    const PdfRenderDeadlines quick{.openSeconds = 5, .pageSeconds = 5}, slow{.openSeconds = 30, .pageSeconds = 30};
    struct Case {
        const char *name;
        QString pdf;
        PdfRenderDeadlines deadlines;
        bool failsToOpen;
        const char *reasonPart;
        double within;  ///< seconds, the limit that stops it and the time to end the child
    } cases[] = {
        {"nested forms whose work grows exponentially", test::MakeEndlessPdf(dir.filePath("endless.pdf")), quick, false,
         "rendering page 1 took longer than 5", quick.pageSeconds + 5.0},
        {"a path that needs memory without bound", test::MakeBottomlessPdf(dir.filePath("bottomless.pdf")), slow, false,
         "rendering page 1 needed more than the 2048 MB of memory", slow.pageSeconds},
        {"a huge file of nothing, read whole to rebuild its table", test::MakeHugeEmptyPdf(dir.filePath("huge.pdf")), quick, true,
         "huge.pdf: opening it took longer than 5 s", quick.openSeconds + 5.0},
    };
    struct Result {
        PdfRenderDocument::OpenFailure failure;
        QString reason;
        double seconds;
    };
    // All at once: each waits for its own limit. Should the memory limit fail, the guard ends the
    // child before it takes the machine's memory.
    test::RenderChildKiller guard(test::RenderChildKiller::LargerThan(3L << 20), 60);
    const long before = test::ResidentKb();
    test::ResetPeakMemory();
    std::vector<std::future<Result>> running;
    for (const Case &c : cases) {
        running.push_back(std::async(std::launch::async, [pdf = c.pdf, deadlines = c.deadlines] {
            const auto start = Clock::now();
            const PdfRenderDocument doc(pdf, {}, {}, deadlines);
            const QString reason = doc.Opened() ? doc.Render(1, 150, 150).reason : doc.Opened().reason;
            return Result{doc.Failure(), reason, SecondsSince(start)};
        }));
    }
    for (std::size_t i = 0; i < running.size(); ++i) {
        const Case &c = cases[i];
        const Result r = running[i].get();
        EXPECT_EQ(r.failure, c.failsToOpen ? PdfRenderDocument::OpenFailure::Damaged : PdfRenderDocument::OpenFailure::None)
            << c.name;
        EXPECT_TRUE(r.reason.contains(c.reasonPart)) << c.name << ": " << r.reason.toStdString();
        EXPECT_LT(r.seconds, c.within) << c.name;
    }
    // Far below what the children were allowed (a sanitizer build of this process takes some 200 MB).
    EXPECT_LT(test::PeakResidentKb() - before, (child::MemoryBytes >> 10) / 4) << "this process grew while its children were stopped";
    EXPECT_TRUE(test::RenderChildren().isEmpty());
    EXPECT_FALSE(guard.Killed()) << "a child grew past 3 GB";
}

TEST_F(PdfRenderTest, AnA3PageAt600DpiInColourRendersWithItsColours)
{
    // Four quadrants, red, green, blue and yellow from the top left; over the right half a magenta
    // transparency group seen through a soft mask that shows it in the top right quadrant only. The
    // group and its mask are bitmaps of the page's size in poppler, the most a real page needs.
    const QByteArray w = "841.89", h = "1190.55", halfW = "420.945", halfH = "595.275";
    const QByteArray page = w + " " + h;
    auto stream = [](const QByteArray &data, const QByteArray &dictionary) {
        return "<< /Length " + QByteArray::number(data.size()) + " " + dictionary + " >>\nstream\n" + data + "\nendstream";
    };
    const QByteArray form = "/Type /XObject /Subtype /Form /BBox [0 0 " + page + "] ";
    const QString pdf = test::WriteBytes(
        dir.filePath("a3.pdf"),
        test::RawPdf({"<< /Type /Catalog /Pages 2 0 R >>", "<< /Type /Pages /Kids [3 0 R] /Count 1 >>",
                      "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 " + page
                          + "] /Resources << /ExtGState << /G0 6 0 R >> /XObject << /X 5 0 R >> >> /Contents 4 0 R >>",
                      stream("1 0 0 rg 0 " + halfH + " " + halfW + " " + halfH + " re f 0 1 0 rg " + halfW + " " + halfH + " "
                                 + halfW + " " + halfH + " re f 0 0 1 rg 0 0 " + halfW + " " + halfH + " re f 1 1 0 rg "
                                 + halfW + " 0 " + halfW + " " + halfH + " re f /G0 gs /X Do",
                             {}),
                      stream("1 0 1 rg " + halfW + " 0 " + halfW + " " + h + " re f", form + "/Group << /S /Transparency >>"),
                      "<< /Type /ExtGState /SMask << /S /Luminosity /G 7 0 R >> >>",
                      stream("0 g 0 0 " + page + " re f 1 g " + halfW + " " + halfH + " " + halfW + " " + halfH + " re f",
                             form + "/Group << /S /Transparency /CS /DeviceGray >>")}));
    const PdfRenderDocument doc(pdf);
    ASSERT_TRUE(doc.Opened()) << doc.Opened().reason.toStdString();
    const Expected<QImage> rendered = doc.Render(1, 600, 600);
    ASSERT_TRUE(rendered) << rendered.reason.toStdString();
    const QImage &image = *rendered;
    EXPECT_NEAR(image.width(), 841.89 * 600 / 72, 1);
    EXPECT_NEAR(image.height(), 1190.55 * 600 / 72, 1);
    EXPECT_EQ(image.dotsPerMeterX(), 23622);  // 600 dpi
    const int x1 = image.width() / 4, x2 = image.width() * 3 / 4, y1 = image.height() / 4, y2 = image.height() * 3 / 4;
    struct Spot {
        const char *name;
        int x, y;
        QRgb colour;
    } spots[] = {{"top left", x1, y1, qRgb(255, 0, 0)},
                 {"top right, through the mask", x2, y1, qRgb(255, 0, 255)},
                 {"bottom left", x1, y2, qRgb(0, 0, 255)},
                 {"bottom right, masked out", x2, y2, qRgb(255, 255, 0)}};
    for (const Spot &s : spots)
        EXPECT_EQ(image.pixel(s.x, s.y) & 0xffffff, s.colour & 0xffffff) << s.name << ": " << std::hex << image.pixel(s.x, s.y);
}

TEST_F(PdfRenderTest, AHeavyGenuinePageRendersThoughItTakesSeconds)
{
    // Long for a window to wait on, but a conversion has no window waiting.
    const PdfRenderDocument doc(test::MakeHeavyPdf(dir.filePath("heavy.pdf"), 160000));
    ASSERT_TRUE(doc.Opened()) << doc.Opened().reason.toStdString();
    const auto start = Clock::now();
    const Expected<QImage> rendered = doc.Render(1, 150, 150);
    ASSERT_TRUE(rendered) << rendered.reason.toStdString();
    std::printf("[ heavy    ] 160,000 lines at 150 dpi rendered in %.1f s\n", SecondsSince(start));
    // Lines cross the whole page: the page is mostly ink.
    const QImage &image = *rendered;
    int inked = 0;
    for (int y = 0; y < image.height(); y += 16)
        for (int x = 0; x < image.width(); x += 16)
            inked += qGray(image.pixel(x, y)) < 128;
    EXPECT_GT(inked, (image.width() / 16) * (image.height() / 16) / 2);
}

TEST_F(PdfRenderTest, AChildKilledFromOutsideFailsItsPageAndEveryLaterOne)
{
    const PdfRenderDocument doc(test::MakeEndlessPdf(dir.filePath("doc.pdf"), true));
    ASSERT_TRUE(doc.Opened()) << doc.Opened().reason.toStdString();
    ASSERT_EQ(doc.Pages(), 2);
    const Expected<QImage> first = doc.Render(1, 72, 72);
    ASSERT_TRUE(first) << first.reason.toStdString();
    EXPECT_EQ(first->pixel(100, 100), qRgb(255, 0, 0));

    test::RenderChildKiller killer(test::RenderChildKiller::BusyFor(0.3), 8);
    const auto start = Clock::now();
    const Expected<QImage> second = doc.Render(2, 72, 72);
    EXPECT_FALSE(second);
    EXPECT_LT(SecondsSince(start), PdfRenderDeadlines{}.pageSeconds);
    ASSERT_TRUE(killer.Killed());
    EXPECT_TRUE(second.reason.contains("rendering page 2 failed: the renderer was ended by signal 9")) << second.reason.toStdString();
    const Expected<QImage> again = doc.Render(1, 72, 72);
    EXPECT_FALSE(again);
    EXPECT_TRUE(again.reason.contains("page 1 cannot be rendered: rendering page 2 failed")) << again.reason.toStdString();
    EXPECT_TRUE(test::RenderChildren().isEmpty());
}

TEST_F(PdfRenderTest, ARendererThatCannotStartIsAReason)
{
    const test::ScopedEnv missing("FOLVANE_RENDER_HELPER", dir.filePath("no-renderer"));
    const PdfRenderDocument doc(test::MakeTaggedPdf(dir.path(), "doc", 1));
    EXPECT_EQ(doc.Failure(), PdfRenderDocument::OpenFailure::NotReadable);
    EXPECT_TRUE(doc.Opened().reason.contains("the renderer cannot be started: " + dir.filePath("no-renderer")))
        << doc.Opened().reason.toStdString();
}
