#pragma once
// An animated cursor drawn one frame at a time onto a painter; it never changes the mouse pointer.

#include "platform/AniCursorFile.h"

#include <QColor>
#include <QString>

#include <cstdint>
#include <optional>

class QPainter;

namespace folvane {

class cAniCursor {
public:
    cAniCursor() = default;
    ~cAniCursor() { Destroy(); }
    cAniCursor(const cAniCursor &) = delete;
    cAniCursor &operator=(const cAniCursor &) = delete;

    /// Loads a cursor file (animated or still). Raises AppError numbered (error code | 10000) when the
    /// file cannot be read or is not a cursor. Colours are never remapped: bMapSysColours is accepted
    /// for the callers that pass it and has no effect here.
    bool LoadFromFile(const QString &fileName, bool bMapSysColours = false, bool bNotAnimated = false);
    /// Loads the embedded hourglass; a cursor that cannot be read leaves the object without one.
    void LoadFromResource();
    /// Advances to the next frame, wrapping to 0.
    void Step();
    void Destroy();
    /// Draws the current frame; a width or height of 0 draws at the default cursor size, an invalid
    /// colour draws without a background. Draws nothing when no cursor is loaded.
    void Draw(QPainter &hDC, std::int32_t lLeft, std::int32_t lTop, std::int32_t lWidth, std::int32_t lHeight,
              const QColor &lBackColor = QColor()) const;

    bool Loaded() const { return m_hCursor.has_value(); }
    std::int32_t Frame() const { return m_lFrame; }
    std::int32_t FrameCount() const { return m_lFrameCount; }

    /// The cursor size the desktop uses when none is given.
    static constexpr int DefaultCursorSize = 32;
    /// Where the embedded hourglass lives among the program's resources.
    static const QString &ResourcePath();

private:
    std::optional<AniCursorFile::Cursor> m_hCursor;
    std::int32_t m_lFrame = 0;
    std::int32_t m_lFrameCount = 0;
};

}  // namespace folvane
