#include "support/HostilePdfs.h"

#include "support/ImageFixtures.h"
#include "support/RenderHazards.h"

#include <qpdf/Pl_Buffer.hh>
#include <qpdf/Pl_Flate.hh>
#include <qpdf/Pl_RunLength.hh>

#include <algorithm>
#include <functional>
#include <memory>
#include <vector>


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
    std::uint16_t field2;
};

/// head, the file so far, ended by a cross-reference stream of the entries (one per object from 0)
/// and of itself, in rows of seven bytes each predicted from the row above (PNG "Up"), as large
/// documents are written.
QByteArray WithCrossReferenceStream(QByteArray head, std::vector<XrefEntry> entries, int root)
{
    const int self = static_cast<int>(entries.size());
    const auto at = static_cast<std::uint32_t>(head.size());
    entries.push_back({1, at, 0});
    QByteArray rows;
    unsigned char above[7] = {};
    for (const XrefEntry &e : entries) {
        const unsigned char row[7] = {static_cast<unsigned char>(e.type),     static_cast<unsigned char>(e.field1 >> 24),
                                      static_cast<unsigned char>(e.field1 >> 16), static_cast<unsigned char>(e.field1 >> 8),
                                      static_cast<unsigned char>(e.field1),     static_cast<unsigned char>(e.field2 >> 8),
                                      static_cast<unsigned char>(e.field2)};
        rows += '\x02';
        for (int k = 0; k < 7; ++k) {
            rows += static_cast<char>(row[k] - above[k]);
            above[k] = row[k];
        }
    }
    return head + QByteArray::number(self) + " 0 obj\n"
           + StreamObject("<< /Type /XRef /W [1 4 2] /Size " + QByteArray::number(self + 1) + " /Root " + QByteArray::number(root)
                              + " 0 R /Filter /FlateDecode /DecodeParms << /Predictor 12 /Columns 7 >> >>",
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
    // 1 the catalog, packed; 2 and 3 the page tree; 4 the object stream: the catalog, then zeros up
    // to the size asked for.
    const QByteArray catalog = "<< /Type /Catalog /Pages 2 0 R >>\n";
    const QByteArray header = "1 0 ";
    QByteArray head = "%PDF-1.7\n";
    std::vector<XrefEntry> entries{{0, 0, 65535}, {2, 4, 0}};
    auto plain = [&](const QByteArray &body) {
        entries.push_back({1, static_cast<std::uint32_t>(head.size()), 0});
        head += QByteArray::number(static_cast<qsizetype>(entries.size() - 1)) + " 0 obj\n" + body + "\nendobj\n";
    };
    plain("<< /Type /Pages /Kids [3 0 R] /Count 1 >>");
    plain("<< /Type /Page /Parent 2 0 R /MediaBox [0 0 612 792] >>");
    plain(StreamObject("<< /Type /ObjStm /N 1 /First " + QByteArray::number(header.size()) + " /Filter [/FlateDecode /FlateDecode] >>",
                       TwiceDeflated(header + catalog, 0, inflatedBytes)));
    return WriteBytes(path, WithCrossReferenceStream(head, entries, 1));
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

QString ManyObjectsPdf(const QString &path, int objects)
{
    QByteArray head = "%PDF-1.7\n%\xe2\xe3\xcf\xd3\n";
    std::vector<XrefEntry> entries{{0, 0, 65535}};
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
        QByteArray header, body;
        entries.resize(static_cast<size_t>(streamNum) + 1);
        for (int i = 0; i < n; ++i, ++num) {
            header += QByteArray::number(num) + ' ' + QByteArray::number(body.size()) + ' ';
            body += QByteArray::number(num) + '\n';
            entries[num] = {2, static_cast<std::uint32_t>(streamNum), static_cast<std::uint16_t>(i)};
        }
        left -= n;
        plain(streamNum, StreamObject("<< /Type /ObjStm /N " + QByteArray::number(n) + " /First " + QByteArray::number(header.size())
                                          + " /Filter /FlateDecode >>",
                                      Deflate(header + body)));
        num = streamNum + 1;
    }
    return WriteBytes(path, WithCrossReferenceStream(head, entries, 1));
}

}  // namespace folvane::test
