// Draws the busy box's hourglass and writes it as an animated cursor: twelve frames of sand running
// from the upper bulb to the lower one, then three frames of the glass turning over, so that the
// fifteenth step leads back into the first. Built with the program; run it to remake the file:
//
//     build/src/make_hourglass resources/cursors/hourglass.ani

#include "platform/AniCursorFile.h"

#include <QFile>
#include <QGuiApplication>
#include <QPainter>
#include <QPainterPath>

#include <cstdio>
#include <vector>

namespace {

constexpr int kSide = 32;
constexpr int kSandFrames = 12;
constexpr int kTurnFrames = 3;

QPainterPath bulbs()
{
    QPainterPath glass;
    glass.moveTo(9, 5);
    glass.lineTo(23, 5);
    glass.cubicTo(23, 11, 17, 14, 17, 16);
    glass.cubicTo(17, 18, 23, 21, 23, 27);
    glass.lineTo(9, 27);
    glass.cubicTo(9, 21, 15, 18, 15, 16);
    glass.cubicTo(15, 14, 9, 11, 9, 5);
    glass.closeSubpath();
    return glass;
}

/// The glass upright, with share (0..1) of the sand still in the upper bulb, turned by angle degrees.
QImage frame(double share, double angle)
{
    QImage img(kSide, kSide, QImage::Format_ARGB32_Premultiplied);
    img.fill(Qt::transparent);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    p.translate(kSide / 2.0, kSide / 2.0);
    p.rotate(angle);
    p.translate(-kSide / 2.0, -kSide / 2.0);

    const QPainterPath glass = bulbs();
    p.fillPath(glass, QColor(235, 245, 255));
    const QColor sand(214, 164, 52);
    p.save();
    p.setClipPath(glass);
    // Upper bulb: the sand sinks toward the neck; lower bulb: it piles up from the bottom.
    const double upperTop = 6 + (1.0 - share) * 9.5;
    p.fillRect(QRectF(8, upperTop, 16, 16 - upperTop), sand);
    const double lowerTop = 27 - (1.0 - share) * 9.5;
    p.fillRect(QRectF(8, lowerTop, 16, 27 - lowerTop), sand);
    if (share > 0.0 && share < 1.0)
        p.fillRect(QRectF(15.5, 15, 1, lowerTop - 15), sand); // the running thread
    p.restore();
    p.setPen(QPen(QColor(40, 40, 40), 1.2));
    p.drawPath(glass);
    // The wooden caps.
    p.setPen(QPen(QColor(30, 20, 10), 1));
    p.setBrush(QColor(120, 72, 28));
    p.drawRoundedRect(QRectF(6.5, 2.5, 19, 3), 1, 1);
    p.drawRoundedRect(QRectF(6.5, 26.5, 19, 3), 1, 1);
    p.end();
    return img;
}

}  // namespace

int main(int argc, char **argv)
{
    QGuiApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_hourglass OUTPUT.ani\n");
        return 2;
    }
    std::vector<QImage> frames;
    for (int i = 0; i < kSandFrames; ++i)
        frames.push_back(frame(1.0 - double(i) / (kSandFrames - 1), 0));
    // Turned half over, the full lower bulb becomes the full upper bulb of the first frame.
    for (int i = 1; i <= kTurnFrames; ++i)
        frames.push_back(frame(0.0, 180.0 * i / (kTurnFrames + 1)));

    QFile out(QString::fromLocal8Bit(argv[1]));
    if (!out.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        std::fprintf(stderr, "cannot write %s\n", argv[1]);
        return 1;
    }
    // 6 jiffies = 100 ms a frame, the pace the busy box steps it at.
    out.write(folvane::AniCursorFile::WriteAcon(frames, QPoint(kSide / 2, kSide / 2), 6));
    return out.error() == QFileDevice::NoError ? 0 : 1;
}
