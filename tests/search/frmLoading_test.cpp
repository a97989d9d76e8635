#include "search/frmLoading.h"

#include <QLabel>
#include <QPainter>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

using namespace folvane;

namespace {

/// The hourglass area of the box as it paints itself now.
QImage hourglassArea(frmLoading &box)
{
    return box.grab(QRect(frmLoading::CursorOrigin, QSize(32, 32))).toImage().convertToFormat(QImage::Format_RGB32);
}

/// What the hourglass should look like at frame k over the box's background.
QImage expectedFrame(const frmLoading &box, int k)
{
    cAniCursor c;
    c.LoadFromResource();
    for (int i = 0; i < k; ++i)
        c.Step();
    QImage img(32, 32, QImage::Format_RGB32);
    img.fill(box.palette().color(box.backgroundRole()));
    QPainter p(&img);
    c.Draw(p, 0, 0, 0, 0);
    p.end();
    return img;
}

int colourDistance(const QImage &a, const QImage &b)
{
    int worst = 0;
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x) {
            const QRgb p = a.pixel(x, y), q = b.pixel(x, y);
            worst = std::max({worst, std::abs(qRed(p) - qRed(q)), std::abs(qGreen(p) - qGreen(q)),
                              std::abs(qBlue(p) - qBlue(q))});
        }
    return worst;
}

TEST(LoadingBoxTest, StatusTextCentredInThePanel)
{
    frmLoading box;
    EXPECT_EQ(box.pnlStatus->text(), QStringLiteral("Please wait.Loading...files (0)"));
    EXPECT_EQ(box.pnlStatus->alignment(), Qt::AlignCenter);
    struct Case {
        std::int32_t n;
        const char *text;
    } cases[] = {{12345, "Please wait.Loading...files (12345)"},
                 {2147483647, "Please wait.Loading...files (2147483647)"},
                 {0, "Please wait.Loading...files (0)"}};
    for (const auto &c : cases) {
        box.UpdateStatus(c.n);
        EXPECT_EQ(box.pnlStatus->text(), QString::fromLatin1(c.text));
    }
}

TEST(LoadingBoxTest, AFastRunOfCountsEndsWithTheLastCountOnScreen)
{
    frmLoading box;
    box.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&box));
    // What the panel held each time it was painted.
    QStringList painted;
    struct PaintRecorder : QObject {
        QStringList &painted;
        explicit PaintRecorder(QStringList &p) : painted(p) {}
        bool eventFilter(QObject *o, QEvent *e) override
        {
            if (e->type() == QEvent::Paint)
                painted << static_cast<QLabel *>(o)->text();
            return false;
        }
    } recorder(painted);
    box.pnlStatus->installEventFilter(&recorder);
    for (int n = 1; n <= 500; ++n) {
        box.UpdateStatus(n);
        QCoreApplication::processEvents();
    }
    // The last count reaches the screen, whichever counts between were painted.
    EXPECT_TRUE(QTest::qWaitFor(
        [&] { return !painted.isEmpty() && painted.last() == QStringLiteral("Please wait.Loading...files (500)"); }))
        << painted.join(" | ").toStdString();
}

TEST(LoadingBoxTest, EachTickShowsTheNextFrameOverThePrevious)
{
    frmLoading box;
    EXPECT_EQ(box.Timer1->interval(), 100);
    EXPECT_TRUE(box.Timer1->isActive());
    box.Timer1->stop(); // the test ticks by hand
    ASSERT_EQ(box.AniCursor().FrameCount(), 15);
    box.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&box));
    for (int k = 0; k <= 15; ++k) {
        SCOPED_TRACE(k);
        EXPECT_EQ(box.AniCursor().Frame(), k % 15);
        // A fresh grab repaints the box, as uncovering it does.
        EXPECT_LE(colourDistance(hourglassArea(box), expectedFrame(box, k % 15)), 2);
        box.Timer1_Timer();
    }
    EXPECT_GT(colourDistance(expectedFrame(box, 0), expectedFrame(box, 7)), 50) << "the frames differ";
}

TEST(LoadingBoxTest, TimerTurnsTheHourglassWhileTheLoopRuns)
{
    frmLoading box;
    box.show();
    EXPECT_TRUE(QTest::qWaitFor([&] { return box.AniCursor().Frame() >= 3; }, 3000));
}

}  // namespace
