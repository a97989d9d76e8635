#include "platform/AniCursorFile.h"

#include <QtEndian>

#include <cstdint>
#include <cstring>

namespace folvane::AniCursorFile {

namespace {

constexpr int kMaxSide = 256;
constexpr std::uint32_t kMaxFrames = 1024;
constexpr std::uint32_t kMaxSteps = 4096;
constexpr std::uint32_t AF_ICON = 1;
constexpr std::uint32_t AF_SEQUENCE = 2;

/// Little-endian reads that answer nothing past the end.
class Reader {
public:
    explicit Reader(QByteArrayView b) : b_(b) {}
    qsizetype size() const { return b_.size(); }
    std::optional<std::uint32_t> u32(qsizetype at) const
    {
        if (at < 0 || at > b_.size() - 4)
            return std::nullopt;
        return qFromLittleEndian<std::uint32_t>(b_.data() + at);
    }
    std::optional<std::uint16_t> u16(qsizetype at) const
    {
        if (at < 0 || at > b_.size() - 2)
            return std::nullopt;
        return qFromLittleEndian<std::uint16_t>(b_.data() + at);
    }
    bool tag(qsizetype at, const char (&t)[5]) const
    {
        return at >= 0 && at <= b_.size() - 4 && std::memcmp(b_.data() + at, t, 4) == 0;
    }
    QByteArrayView view() const { return b_; }

private:
    QByteArrayView b_;
};

struct Frame {
    QImage image;
    QPoint hotspot;
};

/// A .cur/.ico file's first image, which must be an uncompressed 32-bit bitmap.
Expected<Frame> parseCur(QByteArrayView bytes)
{
    const Reader r(bytes);
    const auto reserved = r.u16(0), type = r.u16(2), count = r.u16(4);
    if (!reserved || *reserved != 0 || !type || (*type != 1 && *type != 2) || !count || *count < 1)
        return Outcome::Failed(QStringLiteral("not a cursor image"));
    const auto hotX = r.u16(6 + 4), hotY = r.u16(6 + 6);
    const auto length = r.u32(6 + 8), offset = r.u32(6 + 12);
    if (!hotX || !hotY || !length || !offset || *offset > std::uint64_t(bytes.size()) ||
        *length > std::uint64_t(bytes.size()) - *offset)
        return Outcome::Failed(QStringLiteral("cursor image lies outside its data"));
    const Reader img(bytes.sliced(*offset, *length));
    const auto headerSize = img.u32(0), width = img.u32(4), height2 = img.u32(8), compression = img.u32(16);
    const auto planes = img.u16(12), bits = img.u16(14);
    if (!headerSize || *headerSize < 40 || !width || !height2 || !planes || !bits || !compression)
        return Outcome::Failed(QStringLiteral("cursor bitmap header is damaged"));
    const std::int32_t w = static_cast<std::int32_t>(*width);
    const std::int32_t h2 = static_cast<std::int32_t>(*height2);
    if (w < 1 || w > kMaxSide || h2 < 2 || h2 > 2 * kMaxSide || h2 % 2 != 0 || *bits != 32 ||
        *compression != 0)
        return Outcome::Failed(QStringLiteral("unsupported cursor bitmap"));
    const int h = h2 / 2;
    const qsizetype xorRow = qsizetype(w) * 4;
    const qsizetype andRow = qsizetype((w + 31) / 32) * 4;
    const qsizetype start = *headerSize;
    if (start > img.size() || img.size() - start < xorRow * h + andRow * h)
        return Outcome::Failed(QStringLiteral("cursor bitmap is truncated"));
    const auto *pixels = reinterpret_cast<const std::uint8_t *>(img.view().data() + start);
    const std::uint8_t *mask = pixels + xorRow * h;
    bool anyAlpha = false;
    for (qsizetype i = 3; i < xorRow * h; i += 4)
        anyAlpha = anyAlpha || pixels[i] != 0;

    QImage out(w, h, QImage::Format_ARGB32);
    for (int y = 0; y < h; ++y) {
        const int srcRow = h - 1 - y; // bitmaps are stored bottom-up
        auto *line = reinterpret_cast<QRgb *>(out.scanLine(y));
        for (int x = 0; x < w; ++x) {
            const std::uint8_t *p = pixels + srcRow * xorRow + x * 4;
            int alpha = p[3];
            if (!anyAlpha) {
                // Old-style cursors carry transparency in the AND mask only.
                const bool transparent = (mask[srcRow * andRow + x / 8] >> (7 - x % 8)) & 1;
                alpha = transparent ? 0 : 255;
            }
            line[x] = qRgba(p[2], p[1], p[0], alpha);
        }
    }
    return Frame{out.convertToFormat(QImage::Format_ARGB32_Premultiplied), QPoint(*hotX, *hotY)};
}

Expected<Cursor> parseAcon(QByteArrayView bytes)
{
    const Reader r(bytes);
    const auto riffSize = r.u32(4);
    if (!riffSize || !r.tag(8, "ACON") || *riffSize < 4 || *riffSize > std::uint64_t(bytes.size()) - 8)
        return Outcome::Failed(QStringLiteral("animated cursor is truncated"));
    const qsizetype end = 8 + qsizetype(*riffSize);

    std::optional<std::uint32_t> nFrames, nSteps, flags;
    std::vector<int> sequence;
    std::vector<Frame> frames;
    bool haveSequence = false;

    // One level of chunks, and the frames inside LIST "fram"; no recursion, so nesting cannot loop.
    qsizetype at = 12;
    while (at + 8 <= end) {
        const auto size = r.u32(at + 4);
        if (!size || *size > std::uint64_t(end - at - 8))
            return Outcome::Failed(QStringLiteral("chunk runs past the end of the file"));
        const qsizetype body = at + 8;
        const qsizetype bodyEnd = body + qsizetype(*size);
        if (r.tag(at, "anih")) {
            if (*size < 36)
                return Outcome::Failed(QStringLiteral("animation header is too short"));
            nFrames = r.u32(body + 4);
            nSteps = r.u32(body + 8);
            flags = r.u32(body + 32);
        } else if (r.tag(at, "seq ")) {
            haveSequence = true;
            for (qsizetype p = body; p + 4 <= bodyEnd; p += 4) {
                if (sequence.size() >= kMaxSteps)
                    return Outcome::Failed(QStringLiteral("too many steps"));
                sequence.push_back(static_cast<int>(std::min<std::uint32_t>(*r.u32(p), kMaxFrames)));
            }
        } else if (r.tag(at, "LIST") && *size >= 4 && r.tag(body, "fram")) {
            qsizetype sub = body + 4;
            while (sub + 8 <= bodyEnd) {
                const auto subSize = r.u32(sub + 4);
                if (!subSize || *subSize > std::uint64_t(bodyEnd - sub - 8))
                    return Outcome::Failed(QStringLiteral("frame runs past its list"));
                if (r.tag(sub, "icon")) {
                    if (frames.size() >= kMaxFrames)
                        return Outcome::Failed(QStringLiteral("too many frames"));
                    Expected<Frame> f = parseCur(bytes.sliced(sub + 8, *subSize));
                    if (!f)
                        return f;
                    frames.push_back(std::move(*f));
                }
                sub += 8 + qsizetype(*subSize) + (*subSize & 1);
            }
        }
        at = bodyEnd + (*size & 1);
    }

    if (!nFrames || !nSteps || !flags)
        return Outcome::Failed(QStringLiteral("animation header is missing"));
    if (!(*flags & AF_ICON))
        return Outcome::Failed(QStringLiteral("raw bitmap frames are not supported"));
    if (frames.empty() || *nFrames != frames.size())
        return Outcome::Failed(QStringLiteral("frame count does not match the frames present"));

    Cursor cursor;
    if ((*flags & AF_SEQUENCE) || haveSequence) {
        if (!haveSequence || *nSteps != sequence.size() || sequence.empty())
            return Outcome::Failed(QStringLiteral("step sequence does not match the header"));
        for (const int s : sequence)
            if (s < 0 || std::uint32_t(s) >= frames.size())
                return Outcome::Failed(QStringLiteral("step shows a frame that does not exist"));
        cursor.steps = std::move(sequence);
    } else {
        if (*nSteps != 0 && *nSteps != frames.size())
            return Outcome::Failed(QStringLiteral("step count does not match the frames present"));
        for (int i = 0; i < int(frames.size()); ++i)
            cursor.steps.push_back(i);
    }
    cursor.hotspot = frames.front().hotspot;
    for (Frame &f : frames)
        cursor.frames.push_back(std::move(f.image));
    return cursor;
}

void put32(QByteArray &out, std::uint32_t v)
{
    char b[4];
    qToLittleEndian(v, b);
    out.append(b, 4);
}
void put16(QByteArray &out, std::uint16_t v)
{
    char b[2];
    qToLittleEndian(v, b);
    out.append(b, 2);
}
void putChunk(QByteArray &out, const char (&id)[5], const QByteArray &body)
{
    out.append(id, 4);
    put32(out, std::uint32_t(body.size()));
    out += body;
    if (body.size() & 1)
        out += '\0';
}

}  // namespace

Expected<Cursor> Parse(QByteArrayView bytes)
{
    const Reader r(bytes);
    if (r.tag(0, "RIFF"))
        return parseAcon(bytes);
    Expected<Frame> f = parseCur(bytes);
    if (!f)
        return f;
    Cursor still;
    still.hotspot = f->hotspot;
    still.frames.push_back(std::move(f->image));
    return still;
}

QByteArray WriteCur(const QImage &frame, QPoint hotspot)
{
    const QImage img = frame.convertToFormat(QImage::Format_ARGB32);
    const int w = img.width(), h = img.height();
    const int andRow = (w + 31) / 32 * 4;
    QByteArray bitmap;
    put32(bitmap, 40);
    put32(bitmap, std::uint32_t(w));
    put32(bitmap, std::uint32_t(2 * h));
    put16(bitmap, 1);
    put16(bitmap, 32);
    for (int i = 0; i < 6; ++i)
        put32(bitmap, 0); // compression, image size, resolution, colours
    for (int y = h - 1; y >= 0; --y) {
        const auto *line = reinterpret_cast<const QRgb *>(img.constScanLine(y));
        for (int x = 0; x < w; ++x) {
            const char px[4] = {char(qBlue(line[x])), char(qGreen(line[x])), char(qRed(line[x])),
                                char(qAlpha(line[x]))};
            bitmap.append(px, 4);
        }
    }
    for (int y = h - 1; y >= 0; --y) {
        QByteArray row(andRow, '\0');
        const auto *line = reinterpret_cast<const QRgb *>(img.constScanLine(y));
        for (int x = 0; x < w; ++x)
            if (qAlpha(line[x]) == 0)
                row[x / 8] = char(row[x / 8] | (0x80 >> (x % 8)));
        bitmap += row;
    }

    QByteArray out;
    put16(out, 0);
    put16(out, 2);
    put16(out, 1);
    out += char(w >= 256 ? 0 : w);
    out += char(h >= 256 ? 0 : h);
    out += '\0';
    out += '\0';
    put16(out, std::uint16_t(hotspot.x()));
    put16(out, std::uint16_t(hotspot.y()));
    put32(out, std::uint32_t(bitmap.size()));
    put32(out, 6 + 16);
    out += bitmap;
    return out;
}

QByteArray WriteAcon(const std::vector<QImage> &frames, QPoint hotspot, int rate)
{
    QByteArray anih;
    const QSize size = frames.empty() ? QSize() : frames.front().size();
    for (const std::uint32_t v : {36u, std::uint32_t(frames.size()), std::uint32_t(frames.size()),
                                  std::uint32_t(size.width()), std::uint32_t(size.height()), 32u, 1u,
                                  std::uint32_t(rate), AF_ICON})
        put32(anih, v);

    QByteArray fram = "fram";
    for (const QImage &f : frames)
        putChunk(fram, "icon", WriteCur(f, hotspot));

    QByteArray body = "ACON";
    putChunk(body, "anih", anih);
    putChunk(body, "LIST", fram);
    QByteArray out;
    putChunk(out, "RIFF", body);
    return out;
}

}  // namespace folvane::AniCursorFile
