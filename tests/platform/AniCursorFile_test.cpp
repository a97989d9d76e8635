#include "platform/AniCursorFile.h"

#include "app/cAniCursor.h"

#include <QFile>
#include <QtEndian>

#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <vector>

using namespace folvane;

namespace {

QByteArray embeddedHourglass()
{
    QFile f(cAniCursor::ResourcePath());
    EXPECT_TRUE(f.open(QIODevice::ReadOnly));
    return f.readAll();
}

void put32(QByteArray &b, std::uint32_t v)
{
    char c[4];
    qToLittleEndian(v, c);
    b.append(c, 4);
}
void set32(QByteArray &b, qsizetype at, std::uint32_t v) { qToLittleEndian(v, b.data() + at); }
QByteArray chunk(const char *id, const QByteArray &body)
{
    QByteArray out(id, 4);
    put32(out, std::uint32_t(body.size()));
    out += body;
    if (body.size() & 1)
        out += '\0';
    return out;
}

QImage solid(QColor c, int side = 4)
{
    QImage img(side, side, QImage::Format_ARGB32);
    img.fill(c);
    return img;
}

/// An animated cursor built chunk by chunk, so a test can get each field wrong on its own.
struct AconSpec {
    std::uint32_t frames = 2, steps = 3, flags = 3; // AF_ICON | AF_SEQUENCE
    std::vector<std::uint32_t> seq = {0, 1, 0};
    int icons = 2;
};
QByteArray buildAcon(const AconSpec &s)
{
    QByteArray anih;
    for (std::uint32_t v : {36u, s.frames, s.steps, 4u, 4u, 32u, 1u, 6u, s.flags})
        put32(anih, v);
    QByteArray seq;
    for (std::uint32_t v : s.seq)
        put32(seq, v);
    QByteArray fram = "fram";
    const QColor colours[] = {Qt::red, Qt::blue, Qt::green};
    for (int i = 0; i < s.icons; ++i)
        fram += chunk("icon", AniCursorFile::WriteCur(solid(colours[i % 3]), QPoint(1, 2)));
    QByteArray body = "ACON" + chunk("LIST", "INFOINAM" + QByteArray(4, '\0')) + chunk("anih", anih);
    if (!s.seq.empty())
        body += chunk("seq ", seq);
    body += chunk("LIST", fram);
    return chunk("RIFF", body);
}

TEST(AniCursorFileTest, EmbeddedHourglassHasFifteenDistinctFrames)
{
    const Expected<AniCursorFile::Cursor> r = AniCursorFile::Parse(embeddedHourglass());
    ASSERT_TRUE(r) << r.reason.toStdString();
    ASSERT_EQ(r->frames.size(), 15u);
    EXPECT_EQ(r->steps, (std::vector<int>{0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14}));
    EXPECT_EQ(r->hotspot, QPoint(16, 16));
    for (std::size_t i = 0; i < 15; ++i) {
        EXPECT_EQ(r->frames[i].size(), QSize(32, 32));
        EXPECT_NE(r->frames[i], r->frames[(i + 1) % 15]) << "frame " << i;
    }
}

TEST(AniCursorFileTest, PixelsAlphaAndHotspotSurviveWriteAndRead)
{
    QImage img(3, 2, QImage::Format_ARGB32);
    const QRgb px[6] = {qRgba(255, 0, 0, 255), qRgba(0, 255, 0, 128), qRgba(0, 0, 255, 0),
                        qRgba(10, 20, 30, 255), qRgba(200, 100, 50, 64), qRgba(1, 2, 3, 255)};
    for (int i = 0; i < 6; ++i)
        img.setPixel(i % 3, i / 3, px[i]);
    const Expected<AniCursorFile::Cursor> r = AniCursorFile::Parse(AniCursorFile::WriteCur(img, QPoint(2, 1)));
    ASSERT_TRUE(r) << r.reason.toStdString();
    EXPECT_TRUE(r->steps.empty()) << "a .cur file is a still cursor";
    EXPECT_EQ(r->hotspot, QPoint(2, 1));
    EXPECT_EQ(r->frames[0].convertToFormat(QImage::Format_ARGB32),
              img.convertToFormat(QImage::Format_ARGB32_Premultiplied).convertToFormat(QImage::Format_ARGB32));
}

TEST(AniCursorFileTest, CursorWithoutAlphaTakesTransparencyFromItsMask)
{
    QByteArray cur = AniCursorFile::WriteCur(solid(Qt::red, 8).scaled(8, 1), QPoint());
    const qsizetype pixels = 22 + 40, mask = pixels + 8 * 4;
    for (int x = 0; x < 8; ++x)
        cur[pixels + x * 4 + 3] = 0;
    cur[mask] = char(0x80); // only the first pixel is transparent
    const Expected<AniCursorFile::Cursor> r = AniCursorFile::Parse(cur);
    ASSERT_TRUE(r) << r.reason.toStdString();
    EXPECT_EQ(qAlpha(r->frames[0].pixel(0, 0)), 0);
    EXPECT_EQ(r->frames[0].pixel(1, 0), qRgba(255, 0, 0, 255));
}

TEST(AniCursorFileTest, StepSequenceAndHeaderChecks)
{
    struct Case {
        const char *name;
        AconSpec want;
        bool ok;
        std::vector<int> steps;
    } cases[] = {
        {"sequence", {}, true, {0, 1, 0}},
        {"no sequence: one step a frame", {2, 2, 1, {}, 2}, true, {0, 1}},
        {"no sequence, zero steps", {2, 0, 1, {}, 2}, true, {0, 1}},
        {"sequence names a missing frame", {2, 3, 3, {0, 2, 1}, 2}, false, {}},
        {"sequence shorter than the steps", {2, 4, 3, {0, 1, 0}, 2}, false, {}},
        {"sequence flag without sequence", {2, 2, 3, {}, 2}, false, {}},
        {"steps differ from frames", {2, 3, 1, {}, 2}, false, {}},
        {"header counts more frames", {3, 3, 3, {0, 1, 2}, 2}, false, {}},
        {"no frames", {0, 0, 1, {}, 0}, false, {}},
        {"raw bitmap frames", {2, 2, 0, {}, 2}, false, {}},
        {"huge counts", {0x7FFFFFFF, 0xFFFFFFFF, 3, {0, 1}, 2}, false, {}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        const Expected<AniCursorFile::Cursor> r = AniCursorFile::Parse(buildAcon(c.want));
        ASSERT_EQ(r.ok, c.ok) << r.reason.toStdString();
        if (c.ok)
            EXPECT_EQ(r->steps, c.steps);
        else
            EXPECT_FALSE(r.reason.isEmpty());
    }
}

TEST(AniCursorFileTest, DamagedFieldsAreRefused)
{
    const QByteArray good = AniCursorFile::WriteCur(solid(Qt::red), QPoint());
    struct Case {
        const char *name;
        qsizetype at;
        std::uint32_t value;
    } cases[] = {
        {"image offset past the end", 18, 0xFFFFFFF0u},
        {"image length past the end", 14, 0x7FFFFFFFu},
        {"width too large", 22 + 4, 100000},
        {"negative height", 22 + 8, 0xFFFFFFF8u},
        {"odd doubled height", 22 + 8, 7},
        {"8-bit colour", 22 + 14, 8 | (0u << 16)},
        {"compressed", 22 + 16, 1},
        {"header size past the image", 22, 0x10000},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        QByteArray bad = good;
        if (std::string_view(c.name) == "8-bit colour")
            qToLittleEndian<std::uint16_t>(8, bad.data() + c.at);
        else
            set32(bad, c.at, c.value);
        const Expected<AniCursorFile::Cursor> r = AniCursorFile::Parse(bad);
        EXPECT_FALSE(r);
        EXPECT_FALSE(r.reason.isEmpty());
    }

    QByteArray riff = buildAcon({});
    set32(riff, 4, 0xFFFFFFFFu);
    EXPECT_FALSE(AniCursorFile::Parse(riff)) << "RIFF size past the end";
    riff = buildAcon({});
    set32(riff, 12 + 4, 0x7FFFFFF0u);
    EXPECT_FALSE(AniCursorFile::Parse(riff)) << "chunk size past the end";
}

TEST(AniCursorFileTest, TruncatedAndRandomBytesNeverCrash)
{
    const QByteArray file = embeddedHourglass();
    ASSERT_GT(file.size(), 1000);
    for (qsizetype len = 0; len < file.size(); len += (len < 300 ? 1 : 97)) {
        const Expected<AniCursorFile::Cursor> r = AniCursorFile::Parse(QByteArrayView(file).first(len));
        ASSERT_FALSE(r) << "prefix of " << len << " bytes";
        ASSERT_FALSE(r.reason.isEmpty());
    }

    std::mt19937 rng(20240611);
    for (int round = 0; round < 400; ++round) {
        // Mutations of the real file reach deep into the parser; pure noise tests its entry.
        QByteArray bytes = file;
        const int flips = 1 + int(rng() % 8);
        for (int i = 0; i < flips; ++i)
            bytes[qsizetype(rng() % std::uint32_t(bytes.size()))] = char(rng());
        if (round % 4 == 0) {
            bytes = QByteArray(qsizetype(rng() % 4096), '\0');
            for (char &b : bytes)
                b = char(rng());
            if (round % 8 == 0 && bytes.size() >= 12)
                bytes.replace(0, 12, QByteArray("RIFF\xF0\x0F\0\0ACON", 12));
        }
        const Expected<AniCursorFile::Cursor> r = AniCursorFile::Parse(bytes);
        if (!r)
            continue;
        for (const QImage &f : r->frames)
            ASSERT_TRUE(f.width() <= 256 && f.height() <= 256);
    }
}

}  // namespace
