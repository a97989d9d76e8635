#include "app/cAniCursor.h"

#include "app/ErrorLog.h"

#include <QFile>
#include <QPainter>

#include <cerrno>
#include <cstring>

// The hourglass is compiled into the static core library, whose resource registration the linker
// would drop unless something refers to it.
static void InitCursorResource() { Q_INIT_RESOURCE(cAniCursor); }

namespace folvane {

namespace {
constexpr int kErrorBase = 10000;
// The step index is tried up to this many steps; a cursor that has more counts as still.
constexpr std::size_t kMaxCountedSteps = 1024;

[[noreturn]] void raisePlatformError(int code)
{
    throw AppError(code | kErrorBase, QString::fromLocal8Bit(std::strerror(code)));
}
}  // namespace

const QString &cAniCursor::ResourcePath()
{
    static const QString path = [] {
        InitCursorResource();
        return QStringLiteral(":/cursors/hourglass.ani");
    }();
    return path;
}

bool cAniCursor::LoadFromFile(const QString &fileName, bool bMapSysColours, bool bNotAnimated)
{
    Q_UNUSED(bMapSysColours);
    Destroy();
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly))
        raisePlatformError(file.exists() ? EACCES : ENOENT);
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError)
        raisePlatformError(EIO);
    Expected<AniCursorFile::Cursor> parsed = AniCursorFile::Parse(bytes);
    if (!parsed)
        throw AppError(EINVAL | kErrorBase, parsed.reason);
    m_hCursor = *std::move(parsed);
    if (!bNotAnimated && !m_hCursor->steps.empty() && m_hCursor->steps.size() < kMaxCountedSteps)
        m_lFrameCount = static_cast<std::int32_t>(m_hCursor->steps.size());
    return true;
}

void cAniCursor::LoadFromResource()
{
    Destroy();
    // Qt reads resources directly, so the cursor needs no temporary file on its way to the loader.
    Require(QFile::exists(ResourcePath()), ErrNo::FileNotFound, QStringLiteral("File not found"));
    try {
        LoadFromFile(ResourcePath(), false, false);
    } catch (...) {
        Destroy(); // a cursor that cannot be read leaves the object without one
    }
}

void cAniCursor::Step()
{
    ++m_lFrame;
    if (m_lFrame < 0 || m_lFrame >= m_lFrameCount)
        m_lFrame = 0;
}

void cAniCursor::Destroy()
{
    m_hCursor.reset();
    m_lFrame = 0;
    m_lFrameCount = 0;
}

void cAniCursor::Draw(QPainter &hDC, std::int32_t lLeft, std::int32_t lTop, std::int32_t lWidth,
                      std::int32_t lHeight, const QColor &lBackColor) const
{
    if (!m_hCursor || m_hCursor->frames.empty())
        return;
    const bool defaultSize = lWidth == 0 || lHeight == 0;
    const QRect target(lLeft, lTop, defaultSize ? DefaultCursorSize : lWidth,
                       defaultSize ? DefaultCursorSize : lHeight);
    std::size_t frame = 0;
    if (!m_hCursor->steps.empty())
        frame = std::size_t(m_hCursor->steps[std::size_t(m_lFrame) % m_hCursor->steps.size()]);
    if (lBackColor.isValid())
        hDC.fillRect(target, lBackColor);
    hDC.save();
    hDC.setRenderHint(QPainter::SmoothPixmapTransform);
    hDC.drawImage(target, m_hCursor->frames[frame]);
    hDC.restore();
}

}  // namespace folvane
