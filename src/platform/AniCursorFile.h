#pragma once
// Cursor files read by our own code: an animated cursor (RIFF form "ACON") or a still one (.cur),
// frames as 32-bit images. The reader takes any bytes: damaged or hostile input gives a reason, never
// a crash, and no frame larger than 256 x 256 pixels is ever allocated.

#include "platform/Outcome.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QImage>
#include <QPoint>
#include <QString>

#include <vector>

namespace folvane::AniCursorFile {

struct Cursor {
    std::vector<QImage> frames; ///< ARGB32, premultiplied
    std::vector<int> steps;     ///< the frame shown at each step; empty for a still cursor
    QPoint hotspot;
};

/// The cursor the bytes hold, or why they hold none.
Expected<Cursor> Parse(QByteArrayView bytes);

/// An animated cursor of the frames shown in order, each rate jiffies (1/60 s) long.
/// Frames must be at most 256 x 256 pixels.
QByteArray WriteAcon(const std::vector<QImage> &frames, QPoint hotspot, int rate);
/// One frame as a still cursor file.
QByteArray WriteCur(const QImage &frame, QPoint hotspot);

}  // namespace folvane::AniCursorFile
