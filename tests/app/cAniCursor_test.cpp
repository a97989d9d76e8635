#include "app/cAniCursor.h"

#include "app/ErrorLog.h"
#include "support/TestEnv.h"

#include <QPainter>

#include <gtest/gtest.h>

using namespace folvane;

namespace {

const QColor kCanvas(255, 0, 255);

QImage canvas()
{
    QImage img(100, 100, QImage::Format_ARGB32);
    img.fill(kCanvas);
    return img;
}

/// The smallest rectangle holding every pixel that is no longer the canvas colour.
QRect changedArea(const QImage &img)
{
    QRect r;
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x)
            if (img.pixelColor(x, y) != kCanvas)
                r |= QRect(x, y, 1, 1);
    return r;
}

QImage drawn(const cAniCursor &c, int left, int top, int w, int h, QColor back = QColor())
{
    QImage img = canvas();
    QPainter p(&img);
    c.Draw(p, left, top, w, h, back);
    p.end();
    return img;
}

TEST(AniCursorTest, EmbeddedHourglassStepsThroughFifteenFramesAndWraps)
{
    cAniCursor c;
    c.LoadFromResource();
    ASSERT_TRUE(c.Loaded());
    EXPECT_EQ(c.FrameCount(), 15);
    const QImage first = drawn(c, 0, 0, 0, 0);
    for (int i = 1; i <= 15; ++i) {
        c.Step();
        EXPECT_EQ(c.Frame(), i % 15);
        if (i < 15) {
            EXPECT_NE(drawn(c, 0, 0, 0, 0), first) << "frame " << i << " is drawn, not frame 0";
        }
    }
    EXPECT_EQ(drawn(c, 0, 0, 0, 0), first);
}

TEST(AniCursorTest, DrawPlacesSizesAndBacksTheFrame)
{
    cAniCursor c;
    c.LoadFromResource();
    struct Case {
        const char *name;
        int left, top, w, h;
        QColor back;
        QRect within;   ///< nothing drawn outside
        bool fillsAll;  ///< the whole rectangle is painted
    } cases[] = {
        {"default size", 10, 20, 0, 0, QColor(), QRect(10, 20, 32, 32), false},
        {"width 0 means default size", 10, 20, 0, 70, QColor(), QRect(10, 20, 32, 32), false},
        {"own size", 5, 5, 64, 48, QColor(), QRect(5, 5, 64, 48), false},
        {"with background", 30, 30, 0, 0, QColor(Qt::white), QRect(30, 30, 32, 32), true},
    };
    for (const auto &c2 : cases) {
        SCOPED_TRACE(c2.name);
        const QRect area = changedArea(drawn(c, c2.left, c2.top, c2.w, c2.h, c2.back));
        ASSERT_FALSE(area.isEmpty());
        EXPECT_TRUE(c2.within.contains(area)) << area.x() << "," << area.y() << " " << area.width() << "x"
                                              << area.height();
        if (c2.fillsAll)
            EXPECT_EQ(area, c2.within);
        else
            EXPECT_GT(area.width(), c2.within.width() / 2) << "the frame fills its rectangle";
    }
}

TEST(AniCursorTest, NothingLoadedDrawsNothingAndStaysOnFrameZero)
{
    cAniCursor c;
    EXPECT_EQ(drawn(c, 0, 0, 0, 0, Qt::white), canvas());
    c.Step();
    EXPECT_EQ(c.Frame(), 0);
    c.LoadFromResource();
    c.Step();
    c.Destroy();
    EXPECT_FALSE(c.Loaded());
    EXPECT_EQ(c.Frame(), 0);
    EXPECT_EQ(c.FrameCount(), 0);
    EXPECT_EQ(drawn(c, 0, 0, 0, 0), canvas());
}

TEST(AniCursorTest, LoadFromFileStillCursorsNotAnimatedAndFailures)
{
    test::TempDir dir;
    QImage dot(8, 8, QImage::Format_ARGB32);
    dot.fill(Qt::black);
    const QString still = dir.createFile("still.cur", AniCursorFile::WriteCur(dot, QPoint()));
    cAniCursor c;
    EXPECT_TRUE(c.LoadFromFile(still));
    EXPECT_EQ(c.FrameCount(), 0) << "a still cursor keeps the count 0";
    c.Step();
    EXPECT_EQ(c.Frame(), 0);
    EXPECT_FALSE(changedArea(drawn(c, 0, 0, 8, 8)).isEmpty());

    EXPECT_TRUE(c.LoadFromFile(cAniCursor::ResourcePath(), false, true));
    EXPECT_EQ(c.FrameCount(), 0) << "frames are not counted when asked not to";

    struct Case {
        const char *name;
        QString path;
        int number;
    } cases[] = {
        {"missing file", dir.filePath("none.ani"), 10002},
        // EINVAL (22) | 10000 is 10006: the code is combined by bitwise or, not added.
        {"not a cursor", dir.createFile("junk.ani", "RIFF junk, not a cursor"), 10006},
    };
    for (const auto &k : cases) {
        SCOPED_TRACE(k.name);
        c.LoadFromResource();
        try {
            c.LoadFromFile(k.path);
            ADD_FAILURE() << "no error raised";
        } catch (const AppError &e) {
            EXPECT_EQ(e.number(), k.number);
            EXPECT_FALSE(e.description().isEmpty());
        }
        EXPECT_FALSE(c.Loaded()) << "the earlier cursor is gone";
    }
}

}  // namespace
