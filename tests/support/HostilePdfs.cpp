#include "support/HostilePdfs.h"

#include "support/ImageFixtures.h"
#include "support/RenderHazards.h"

#include <qpdf/Pl_Buffer.hh>
#include <qpdf/Pl_Flate.hh>
#include <qpdf/Pl_RunLength.hh>

#include <QFile>

#include <algorithm>
#include <charconv>
#include <cstdlib>
#include <string_view>
#include <cmath>
#include <functional>
#include <memory>
#include <set>
#include <vector>

#include <fcntl.h>


namespace folvane::test {

namespace {

/// Bits written least significant first, as deflate packs them.
class BitWriter {
public:
    void Put(std::uint32_t bits, int count)
    {
        acc_ |= static_cast<std::uint64_t>(bits) << fill_;
        fill_ += count;
        while (fill_ >= 8) {
            out_.push_back(static_cast<char>(acc_ & 0xff));
            acc_ >>= 8;
            fill_ -= 8;
        }
    }
    /// A Huffman code goes out most significant bit first.
    void PutCode(std::uint32_t code, int length)
    {
        std::uint32_t reversed = 0;
        for (int i = 0; i < length; ++i)
            reversed |= ((code >> i) & 1u) << (length - 1 - i);
        Put(reversed, length);
    }
    QByteArray Finish()
    {
        if (fill_ > 0)
            Put(0, 8 - fill_);
        return out_;
    }
    void Reserve(qsizetype bytes) { out_.reserve(bytes); }

private:
    QByteArray out_;
    std::uint64_t acc_ = 0;
    int fill_ = 0;
};

/// A literal byte in the fixed Huffman code.
void PutLiteral(BitWriter &w, unsigned char byte)
{
    if (byte < 144)
        w.PutCode(0x30 + byte, 8);
    else
        w.PutCode(0x190 + (byte - 144), 9);
}

QByteArray StreamObject(const QByteArray &dict, const QByteArray &data)
{
    QByteArray d = dict;
    d.insert(d.lastIndexOf(">>"), " /Length " + QByteArray::number(data.size()) + ' ');
    return d + "\nstream\n" + data + "\nendstream";
}

/// prefix and then fill up to total bytes, deflated twice.
QByteArray TwiceDeflated(const QByteArray &prefix, unsigned char fill, std::int64_t total)
{
    return Deflate(DeflateRun(prefix, fill, total - prefix.size()));
}

/// Where an object is: type 1 at offset field1, type 2 in object stream field1 at index field2,
/// type 0 free.
struct XrefEntry {
    int type;
    std::uint32_t field1;
    std::uint8_t field2;
};

/// head, the file so far, ended by a cross-reference stream of the entries (one per object from 0)
/// and of itself, in rows of six bytes (/W [1 4 1]) each predicted from the row above (PNG "Up"), as
/// qpdf writes large documents.
QByteArray WithCrossReferenceStream(QByteArray head, std::vector<XrefEntry> entries, int root)
{
    const int self = static_cast<int>(entries.size());
    const auto at = static_cast<std::uint32_t>(head.size());
    entries.push_back({1, at, 0});
    QByteArray rows;
    rows.reserve(static_cast<qsizetype>(entries.size()) * 7);
    unsigned char above[6] = {};
    for (const XrefEntry &e : entries) {
        const unsigned char row[6] = {static_cast<unsigned char>(e.type),        static_cast<unsigned char>(e.field1 >> 24),
                                      static_cast<unsigned char>(e.field1 >> 16), static_cast<unsigned char>(e.field1 >> 8),
                                      static_cast<unsigned char>(e.field1),       static_cast<unsigned char>(e.field2)};
        rows += '\x02';
        for (int k = 0; k < 6; ++k) {
            rows += static_cast<char>(row[k] - above[k]);
            above[k] = row[k];
        }
    }
    return head + QByteArray::number(self) + " 0 obj\n"
           + StreamObject("<< /Type /XRef /W [1 4 1] /Size " + QByteArray::number(self + 1) + " /Root " + QByteArray::number(root)
                              + " 0 R /Filter /FlateDecode /DecodeParms << /Predictor 12 /Columns 6 >> >>",
                          Deflate(rows))
           + "\nendobj\nstartxref\n" + QByteArray::number(at) + "\n%%EOF\n";
}

/// bytes through the encoder, collected.
QByteArray Encoded(const QByteArray &bytes, const std::function<std::unique_ptr<Pipeline>(Pipeline *next)> &encoder)
{
    Pl_Buffer buffer("encoded");
    const std::unique_ptr<Pipeline> encode = encoder(&buffer);
    encode->write(reinterpret_cast<const unsigned char *>(bytes.constData()), static_cast<size_t>(bytes.size()));
    encode->finish();
    auto data = buffer.getBufferSharedPointer();
    return QByteArray(reinterpret_cast<const char *>(data->getBuffer()), static_cast<qsizetype>(data->getSize()));
}

/// The catalog (1), a page-tree root (2) and its page (3), those of packed in object stream 4, stored
/// as [/FlateDecode /FlateDecode] and inflating to inflatedBytes (zeros after the objects), the
/// others plain.
QString ThreeObjectsPdf(const QString &path, const std::set<int> &packed, std::int64_t inflatedBytes)
{
    const QByteArray bodies[] = {"<< /Type /Catalog /Pages 2 0 R >>", "<< /Type /Pages /Kids [3 0 R] /Count 1 >>",
                                 "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 612 792] >>"};
    QByteArray header, data;
    QByteArray head = "%PDF-1.7\n";
    std::vector<XrefEntry> entries{{0, 0, 255}, {}, {}, {}, {}};
    for (int num = 1; num <= 3; ++num) {
        const QByteArray &body = bodies[num - 1];
        if (packed.count(num)) {
            entries[num] = {2, 4, static_cast<std::uint8_t>(header.count(' ') / 2)};
            header += QByteArray::number(num) + ' ' + QByteArray::number(data.size()) + ' ';
            data += body + '\n';
        } else {
            entries[num] = {1, static_cast<std::uint32_t>(head.size()), 0};
            head += QByteArray::number(num) + " 0 obj\n" + body + "\nendobj\n";
        }
    }
    entries[4] = {1, static_cast<std::uint32_t>(head.size()), 0};
    head += "4 0 obj\n"
            + StreamObject("<< /Type /ObjStm /N " + QByteArray::number(static_cast<int>(packed.size())) + " /First "
                               + QByteArray::number(header.size()) + " /Filter [/FlateDecode /FlateDecode] >>",
                           TwiceDeflated(header + data, 0, inflatedBytes))
            + "\nendobj\n";
    return WriteBytes(path, WithCrossReferenceStream(head, entries, 1));
}

/// Writes the file at path a piece at a time: next(file) writes the next piece and answers More,
/// Done after the last one, or Failed. Empty when the file could not be written.
enum class Piece { More, Done, Failed };
QString WritePieces(const QString &path, const std::function<Piece(QFile &)> &next)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return {};
    Piece piece = Piece::More;
    while (piece == Piece::More)
        piece = next(file);
    return piece == Piece::Done && file.error() == QFileDevice::NoError && file.flush() ? path : QString();
}

}  // namespace

QByteArray DeflateRun(const QByteArray &prefix, unsigned char fill, std::int64_t count)
{
    BitWriter w;
    w.Reserve(prefix.size() + static_cast<qsizetype>(count / 1000) + 64);
    w.Put(0x78, 8);  // zlib header: deflate, 32 KB window, no dictionary
    w.Put(0x01, 8);
    w.Put(1, 1);     // the final block,
    w.Put(1, 2);     // fixed Huffman codes
    for (char c : prefix)
        PutLiteral(w, static_cast<unsigned char>(c));
    std::int64_t left = count;
    if (left > 0) {
        PutLiteral(w, fill);
        --left;
    }
    // Copies of 258 bytes at distance 1: length code 285 (eight bits), distance code 0 (five bits).
    for (; left >= 258; left -= 258) {
        w.PutCode(0xc5, 8);
        w.PutCode(0, 5);
    }
    for (; left > 0; --left)
        PutLiteral(w, fill);
    w.PutCode(0, 7);  // end of block
    QByteArray out = w.Finish();
    // Adler-32 of the prefix and the run; n bytes of value v take the sums (a, b) to
    // (a + n v, b + n a + v n (n + 1) / 2).
    constexpr std::uint64_t Mod = 65521;
    std::uint64_t a = 1, b = 0;
    for (char c : prefix) {
        a = (a + static_cast<unsigned char>(c)) % Mod;
        b = (b + a) % Mod;
    }
    const auto n = static_cast<unsigned __int128>(count);
    b = static_cast<std::uint64_t>((b + n * a + fill * (n * (n + 1) / 2)) % Mod);
    a = static_cast<std::uint64_t>((a + n * fill) % Mod);
    const std::uint32_t adler = static_cast<std::uint32_t>((b << 16) | a);
    for (int shift = 24; shift >= 0; shift -= 8)
        out += static_cast<char>((adler >> shift) & 0xff);
    return out;
}

QByteArray Deflate(const QByteArray &bytes)
{
    return Encoded(bytes, [](Pipeline *next) { return std::make_unique<Pl_Flate>("deflate", next, Pl_Flate::a_deflate); });
}

QByteArray RunLengthEncode(const QByteArray &bytes)
{
    return Encoded(bytes, [](Pipeline *next) { return std::make_unique<Pl_RunLength>("run length", next, Pl_RunLength::a_encode); });
}

QString DeepPageTreePdf(const QString &path, int depth, int count)
{
    // Object 1 the catalog, 2 .. depth+1 the chain of /Pages nodes, depth+2 the page.
    QList<QByteArray> objects{"<< /Type /Catalog /Pages 2 0 R >>"};
    for (int level = 0; level < depth; ++level) {
        const int num = level + 2;
        QByteArray node = "<< /Type /Pages /Kids [" + QByteArray::number(num + 1) + " 0 R] /Count "
                          + QByteArray::number(level == 0 ? count : 1);
        if (level > 0)
            node += " /Parent " + QByteArray::number(num - 1) + " 0 R";
        objects << node + " >>";
    }
    objects << "<< /Type /Page /Parent " + QByteArray::number(depth + 1) + " 0 R /MediaBox [0 0 612 792] >>";
    return WriteBytes(path, RawPdf(objects));
}

QString ObjectStreamBombPdf(const QString &path, std::int64_t inflatedBytes)
{
    return ThreeObjectsPdf(path, {1}, inflatedBytes);
}

QString PackedPageTreePdf(const QString &path, std::int64_t inflatedBytes)
{
    return ThreeObjectsPdf(path, {2, 3}, inflatedBytes);
}

QString XrefStreamBombPdf(const QString &path, std::int64_t inflatedBytes)
{
    // An xref stream of two-byte entries (type 1, offset 1): each entry claims an object; none of them
    // is right, so a reader that gets past them rebuilds the table from the objects themselves.
    QByteArray out = "%PDF-1.7\n";
    const qsizetype xref = out.size();
    out += "1 0 obj\n"
           + StreamObject("<< /Type /XRef /W [1 1 0] /Size " + QByteArray::number(inflatedBytes / 2)
                              + " /Root 2 0 R /Filter [/FlateDecode /FlateDecode] >>",
                          TwiceDeflated(QByteArray(), 1, inflatedBytes))
           + "\nendobj\n";
    out += "2 0 obj\n<< /Type /Catalog /Pages 3 0 R >>\nendobj\n";
    out += "3 0 obj\n<< /Type /Pages /Kids [4 0 R] /Count 1 >>\nendobj\n";
    out += "4 0 obj\n<< /Type /Page /Parent 3 0 R /MediaBox [0 0 612 792] >>\nendobj\n";
    out += "startxref\n" + QByteArray::number(xref) + "\n%%EOF\n";
    return WriteBytes(path, out);
}

QString ContentBombPdf(const QString &path, std::int64_t inflatedBytes, bool sharedResources)
{
    const QByteArray resources = sharedResources ? "/Resources 5 0 R" : "/Resources << >>";
    QList<QByteArray> objects{
        "<< /Type /Catalog /Pages 2 0 R >>",
        sharedResources ? "<< /Type /Pages /Kids [3 0 R 6 0 R] /Count 2 >>" : "<< /Type /Pages /Kids [3 0 R] /Count 1 >>",
        "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 612 792] " + resources + " /Contents 4 0 R >>",
        // Drawing operators first, so that a reader that parses the stream finds content, then zeros.
        StreamObject("<< /Filter [/FlateDecode /FlateDecode] >>", TwiceDeflated("0 0 m 612 792 l S\n", 0, inflatedBytes))};
    if (sharedResources)
        objects << "<< /ProcSet [/PDF] >>"
                << "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 612 792] /Resources 5 0 R >>";
    return WriteBytes(path, RawPdf(objects));
}

QString LyingCountPdf(const QString &path, int count)
{
    // The fourth object makes the file longer than the count: a bound by file size alone believes it.
    return WriteBytes(path, RawPdf({"<< /Type /Catalog /Pages 2 0 R >>",
                                    "<< /Type /Pages /Kids [3 0 R] /Count " + QByteArray::number(count) + " >>",
                                    "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 612 792] >>",
                                    "<< /Producer (" + QByteArray(count, 'x') + ") >>"}));
}

QString JunkLinesPdf(const QString &path, std::int64_t bytes, bool objectHeaders)
{
    constexpr qsizetype PieceBytes = 1 << 20;
    const QByteArray xs = QByteArray("x\n").repeated(PieceBytes / 2);
    std::int64_t written = 0, line = 0;
    QByteArray piece(PieceBytes + 32, '\0');
    return WritePieces(path, [&](QFile &file) {
        qsizetype n = 0;
        if (written == 0)
            n = file.write("%PDF-1.4\n");
        if (!objectHeaders) {
            n += file.write(xs.constData(), std::min<std::int64_t>(xs.size(), bytes - written - n));
        } else {
            char *at = piece.data();
            while (at - piece.data() < PieceBytes && written + n + (at - piece.data()) < bytes) {
                at = std::to_chars(at, at + 24, line++).ptr;
                at = std::copy_n(" 0 obj\n", 7, at);
            }
            n += file.write(piece.constData(), at - piece.data());
        }
        written += n;
        return n <= 0 ? Piece::Failed : written < bytes ? Piece::More : Piece::Done;
    });
}

QString ShiftedTableScanPdf(const QString &path, int pages, std::int64_t imageBytes)
{
    // 1 the catalog, 2 the page tree, then for each page its page object, content and image.
    constexpr int Shift = 17;
    std::vector<std::int64_t> offsets;
    int next = 0;  // the next object to write: 0 the head, then three for each page
    return WritePieces(path, [&](QFile &file) {
        auto object = [&](const QByteArray &body) {
            offsets.push_back(file.pos());
            file.write(QByteArray::number(static_cast<int>(offsets.size())) + " 0 obj\n" + body + "\nendobj\n");
        };
        if (next == 0) {
            file.write("%PDF-1.4\n%\xe2\xe3\xcf\xd3\n");
            QByteArray kids;
            for (int p = 0; p < pages; ++p)
                kids += QByteArray::number(3 + 3 * p) + " 0 R ";
            object("<< /Type /Catalog /Pages 2 0 R >>");
            object("<< /Type /Pages /Kids [" + kids + "] /Count " + QByteArray::number(pages) + " >>");
        } else if (next <= pages) {
            const int page = 3 + 3 * (next - 1);
            object("<< /Type /Page /Parent 2 0 R /MediaBox [0 0 612 792] /Resources << /XObject << /Im0 "
                   + QByteArray::number(page + 2) + " 0 R >> >> /Contents " + QByteArray::number(page + 1) + " 0 R >>");
            object(StreamObject("<< >>", "q 612 0 0 792 0 0 cm /Im0 Do Q"));
            // A square of one byte a pixel, as near imageBytes as squares go.
            const auto side = static_cast<std::int64_t>(std::sqrt(static_cast<double>(imageBytes)));
            offsets.push_back(file.pos());
            file.write(QByteArray::number(page + 2) + " 0 obj\n<< /Type /XObject /Subtype /Image /Width " + QByteArray::number(side)
                       + " /Height " + QByteArray::number(side) + " /ColorSpace /DeviceGray /BitsPerComponent 8 /Decode [1 0] /Length "
                       + QByteArray::number(side * side) + " >>\nstream\n");
            const std::int64_t at = file.pos();
            if (!file.flush() || ::posix_fallocate(file.handle(), at, side * side) != 0 || !file.seek(at + side * side))
                return Piece::Failed;
            file.write("\nendstream\nendobj\n");
        } else {
            const std::int64_t xref = file.pos();
            QByteArray table = "xref\n0 " + QByteArray::number(static_cast<int>(offsets.size()) + 1) + "\n0000000000 65535 f \n";
            for (const std::int64_t offset : offsets)
                table += QByteArray::number(offset - Shift).rightJustified(10, '0') + " 00000 n \n";
            file.write(table + "trailer\n<< /Size " + QByteArray::number(static_cast<int>(offsets.size()) + 1)
                       + " /Root 1 0 R >>\nstartxref\n" + QByteArray::number(xref) + "\n%%EOF\n");
            return Piece::Done;
        }
        ++next;
        return Piece::More;
    });
}

QString ManyObjectsPdf(const QString &path, int objects)
{
    QByteArray head = "%PDF-1.7\n%\xe2\xe3\xcf\xd3\n";
    std::vector<XrefEntry> entries{{0, 0, 255}};
    auto plain = [&](int num, const QByteArray &body) {
        entries.resize(std::max<size_t>(entries.size(), static_cast<size_t>(num) + 1));
        entries[num] = {1, static_cast<std::uint32_t>(head.size()), 0};
        head += QByteArray::number(num) + " 0 obj\n" + body + "\nendobj\n";
    };
    plain(1, "<< /Type /Catalog /Pages 2 0 R >>");
    plain(2, "<< /Type /Pages /Kids [3 0 R] /Count 1 >>");
    plain(3, "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 612 792] >>");
    // Objects 4 .. objects + 3 in streams of a hundred, each stream numbered after its objects.
    int num = 4;
    for (int left = objects; left > 0;) {
        const int n = std::min(left, 100);
        const int streamNum = num + n;
        // Written with to_chars: millions of small numbers, quick also in a sanitizer build.
        char header[100 * 24], body[100 * 24];
        char *h = header, *b = body;
        // A number and the text after it; each entry takes far less than its 24 bytes.
        const auto put = [](char *at, char *end, long long number, std::string_view after) {
            at = std::to_chars(at, end, number).ptr;
            if (end - at < static_cast<std::ptrdiff_t>(after.size()))
                std::abort();
            return std::copy(after.begin(), after.end(), at);
        };
        entries.resize(static_cast<size_t>(streamNum) + 1);
        for (int i = 0; i < n; ++i, ++num) {
            h = put(h, header + sizeof header, num, " ");
            h = put(h, header + sizeof header, b - body, " ");
            b = std::copy_n("<< /K ", 6, b);
            b = put(b, body + sizeof body, num, " >>\n");
            entries[num] = {2, static_cast<std::uint32_t>(streamNum), static_cast<std::uint8_t>(i)};
        }
        left -= n;
        plain(streamNum, StreamObject("<< /Type /ObjStm /N " + QByteArray::number(n) + " /First " + QByteArray::number(h - header)
                                          + " /Filter /FlateDecode >>",
                                      Deflate(QByteArray(header, h - header) + QByteArray(body, b - body))));
        num = streamNum + 1;
    }
    return WriteBytes(path, WithCrossReferenceStream(head, entries, 1));
}

}  // namespace folvane::test
