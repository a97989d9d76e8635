#include "support/HostilePdfs.h"

#include <QFile>

#include <qpdf/Pl_Buffer.hh>
#include <qpdf/Pl_Flate.hh>
#include <qpdf/Pl_RunLength.hh>

#include <algorithm>
#include <memory>
#include <vector>

#include <fcntl.h>
#include <unistd.h>

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

}  // namespace

void RawPdf::AddStream(int num, const QByteArray &dict, const QByteArray &data) { plain_[num] = StreamObject(dict, data); }

QByteArray RawPdf::Bytes(int rootNum, const QByteArray &extraTrailer) const
{
    std::map<int, QByteArray> objects = plain_;
    if (!packed_.empty()) {
        QByteArray header, body;
        for (const auto &[num, text] : packed_) {
            header += QByteArray::number(num) + ' ' + QByteArray::number(body.size()) + ' ';
            body += text + '\n';
        }
        const QByteArray data = header + body;
        QByteArray dict = "<< /Type /ObjStm /N " + QByteArray::number(static_cast<qsizetype>(packed_.size())) + " /First "
                          + QByteArray::number(header.size());
        if (!objStmFilter_.isEmpty())
            dict += " /Filter " + objStmFilter_;
        dict += " >>";
        objects[objStm_] = StreamObject(dict, objStmEncode_ ? objStmEncode_(data) : data);
    }
    QByteArray out = "%PDF-1.7\n%\xe2\xe3\xcf\xd3\n";
    std::map<int, qsizetype> offsets;
    for (const auto &[num, body] : objects) {
        offsets[num] = out.size();
        out += QByteArray::number(num) + " 0 obj\n" + body + "\nendobj\n";
    }
    int size = 1;
    if (!objects.empty())
        size = std::max(size, objects.rbegin()->first + 1);
    if (!packed_.empty())
        size = std::max(size, packed_.rbegin()->first + 1);
    const QByteArray trailer = "/Root " + QByteArray::number(rootNum) + " 0 R " + extraTrailer;
    if (packed_.empty()) {
        const qsizetype xref = out.size();
        out += "xref\n0 " + QByteArray::number(size) + "\n0000000000 65535 f \n";
        for (int num = 1; num < size; ++num) {
            const auto it = offsets.find(num);
            out += it == offsets.end() ? QByteArray("0000000000 00000 f \n")
                                       : QByteArray::number(it->second).rightJustified(10, '0') + " 00000 n \n";
        }
        out += "trailer\n<< /Size " + QByteArray::number(size) + ' ' + trailer + ">>\n";
        return out + "startxref\n" + QByteArray::number(xref) + "\n%%EOF\n";
    }
    // An xref stream, one more object: entries of type, 4-byte offset or stream, 2-byte index.
    const int xrefNum = size++;
    const qsizetype xref = out.size();
    QByteArray entries;
    auto entry = [&](int type, std::uint32_t field1, std::uint16_t field2) {
        entries += static_cast<char>(type);
        for (int shift = 24; shift >= 0; shift -= 8)
            entries += static_cast<char>((field1 >> shift) & 0xff);
        entries += static_cast<char>(field2 >> 8);
        entries += static_cast<char>(field2 & 0xff);
    };
    std::map<int, int> index;
    int i = 0;
    for (const auto &[num, text] : packed_)
        index[num] = i++;
    for (int num = 0; num < size; ++num) {
        if (num == xrefNum)
            entry(1, static_cast<std::uint32_t>(xref), 0);
        else if (const auto it = offsets.find(num); it != offsets.end())
            entry(1, static_cast<std::uint32_t>(it->second), 0);
        else if (const auto p = index.find(num); p != index.end())
            entry(2, static_cast<std::uint32_t>(objStm_), static_cast<std::uint16_t>(p->second));
        else
            entry(0, 0, 0);
    }
    out += QByteArray::number(xrefNum) + " 0 obj\n"
           + StreamObject("<< /Type /XRef /W [1 4 2] /Size " + QByteArray::number(size) + ' ' + trailer + ">>", entries)
           + "\nendobj\n";
    return out + "startxref\n" + QByteArray::number(xref) + "\n%%EOF\n";
}

QString RawPdf::Write(const QString &path, int rootNum, const QByteArray &extraTrailer) const
{
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate) || f.write(Bytes(rootNum, extraTrailer)) < 0)
        return {};
    return path;
}

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

namespace {

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
    RawPdf pdf;
    pdf.Add(1, "<< /Type /Catalog /Pages 2 0 R >>");
    const int page = depth + 2;
    for (int level = 0; level < depth; ++level) {
        const int num = level + 2;
        QByteArray node = "<< /Type /Pages /Kids [" + QByteArray::number(num + 1) + " 0 R] /Count "
                          + QByteArray::number(level == 0 ? count : 1);
        if (level > 0)
            node += " /Parent " + QByteArray::number(num - 1) + " 0 R";
        pdf.Add(num, node + " >>");
    }
    pdf.Add(page, "<< /Type /Page /Parent " + QByteArray::number(page - 1) + " 0 R /MediaBox [0 0 612 792] >>");
    return pdf.Write(path, 1);
}

QString ObjectStreamBombPdf(const QString &path, std::int64_t inflatedBytes)
{
    RawPdf pdf;
    pdf.AddPacked(1, "<< /Type /Catalog /Pages 2 0 R >>");
    pdf.Add(2, "<< /Type /Pages /Kids [3 0 R] /Count 1 >>");
    pdf.Add(3, "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 612 792] >>");
    // The object stream holds the catalog, then zeros up to the size asked for.
    pdf.SetObjectStream(4, "[/FlateDecode /FlateDecode]",
                        [inflatedBytes](const QByteArray &data) { return TwiceDeflated(data, 0, inflatedBytes); });
    return pdf.Write(path, 1);
}

QString XrefStreamBombPdf(const QString &path, std::int64_t inflatedBytes)
{
    // An xref stream of two-byte entries (type 1, offset 1): each entry claims an object; none of them
    // is right, so a reader that gets past them rebuilds the table from the objects themselves.
    QByteArray out = "%PDF-1.7\n";
    const qsizetype xref = out.size();
    const QByteArray entries = TwiceDeflated(QByteArray(), 1, inflatedBytes);
    out += "1 0 obj\n"
           + StreamObject("<< /Type /XRef /W [1 1 0] /Size " + QByteArray::number(inflatedBytes / 2)
                              + " /Root 2 0 R /Filter [/FlateDecode /FlateDecode] >>",
                          entries)
           + "\nendobj\n";
    out += "2 0 obj\n<< /Type /Catalog /Pages 3 0 R >>\nendobj\n";
    out += "3 0 obj\n<< /Type /Pages /Kids [4 0 R] /Count 1 >>\nendobj\n";
    out += "4 0 obj\n<< /Type /Page /Parent 3 0 R /MediaBox [0 0 612 792] >>\nendobj\n";
    out += "startxref\n" + QByteArray::number(xref) + "\n%%EOF\n";
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate) || f.write(out) < 0)
        return {};
    return path;
}

QString ContentBombPdf(const QString &path, std::int64_t inflatedBytes, bool sharedResources)
{
    RawPdf pdf;
    pdf.Add(1, "<< /Type /Catalog /Pages 2 0 R >>");
    const QByteArray resources = sharedResources ? "/Resources 5 0 R" : "/Resources << >>";
    pdf.Add(2, sharedResources ? "<< /Type /Pages /Kids [3 0 R 6 0 R] /Count 2 >>" : "<< /Type /Pages /Kids [3 0 R] /Count 1 >>");
    pdf.Add(3, "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 612 792] " + resources + " /Contents 4 0 R >>");
    // Drawing operators first, so that a reader that parses the stream finds content, then zeros.
    pdf.AddStream(4, "<< /Filter [/FlateDecode /FlateDecode] >>",
                  TwiceDeflated("0 0 m 612 792 l S\n", 0, inflatedBytes));
    if (sharedResources) {
        pdf.Add(5, "<< /ProcSet [/PDF] >>");
        pdf.Add(6, "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 612 792] /Resources 5 0 R >>");
    }
    return pdf.Write(path, 1);
}

QString LyingCountPdf(const QString &path, int count)
{
    RawPdf pdf;
    pdf.Add(1, "<< /Type /Catalog /Pages 2 0 R >>");
    pdf.Add(2, "<< /Type /Pages /Kids [3 0 R] /Count " + QByteArray::number(count) + " >>");
    pdf.Add(3, "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 612 792] >>");
    // A file longer than the count: a bound by file size alone believes it.
    pdf.Add(4, "<< /Producer (" + QByteArray(count, 'x') + ") >>");
    return pdf.Write(path, 1, "/Info 4 0 R");
}

QString ManyObjectsPdf(const QString &path, int objects)
{
    QByteArray out = "%PDF-1.7\n%\xe2\xe3\xcf\xd3\n";
    std::vector<std::pair<int, int>> where{{0, 0}};  // per object: type 1 offset, or type 2 stream and index
    auto plain = [&](int num, const QByteArray &body) {
        where.resize(std::max<size_t>(where.size(), static_cast<size_t>(num) + 1));
        where[num] = {1, static_cast<int>(out.size())};
        out += QByteArray::number(num) + " 0 obj\n" + body + "\nendobj\n";
    };
    plain(1, "<< /Type /Catalog /Pages 2 0 R >>");
    plain(2, "<< /Type /Pages /Kids [3 0 R] /Count 1 >>");
    plain(3, "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 612 792] >>");
    // Objects 4 .. objects + 3 in streams of a hundred, each stream numbered after its objects.
    int num = 4;
    std::vector<std::pair<int, QByteArray>> streams;
    for (int left = objects; left > 0;) {
        const int n = std::min(left, 100);
        QByteArray header, body;
        const int streamNum = num + n;
        for (int i = 0; i < n; ++i, ++num) {
            header += QByteArray::number(num) + ' ' + QByteArray::number(body.size()) + ' ';
            body += QByteArray::number(num) + '\n';
            where.resize(static_cast<size_t>(num) + 1);
            where[num] = {2, streamNum};
        }
        left -= n;
        plain(streamNum, StreamObject("<< /Type /ObjStm /N " + QByteArray::number(n) + " /First " + QByteArray::number(header.size())
                                          + " /Filter /FlateDecode >>",
                                      Deflate(header + body)));
        num = streamNum + 1;
    }
    // Rows of seven bytes (type, 4-byte offset or stream, 2-byte index), each predicted from the row
    // above (PNG "Up").
    const int xrefNum = static_cast<int>(where.size());
    where.push_back({1, static_cast<int>(out.size())});
    std::vector<int> indexInStream(where.size(), 0);
    std::map<int, int> nextIndex;
    for (size_t i = 0; i < where.size(); ++i)
        if (where[i].first == 2)
            indexInStream[i] = nextIndex[where[i].second]++;
    QByteArray rows;
    unsigned char above[7] = {};
    for (size_t i = 0; i < where.size(); ++i) {
        const auto [type, field] = where[i];
        const std::uint32_t f1 = static_cast<std::uint32_t>(field);
        const std::uint16_t f2 = static_cast<std::uint16_t>(type == 2 ? indexInStream[i] : (i == 0 ? 65535 : 0));
        const unsigned char row[7] = {static_cast<unsigned char>(type), static_cast<unsigned char>(f1 >> 24),
                                      static_cast<unsigned char>(f1 >> 16), static_cast<unsigned char>(f1 >> 8),
                                      static_cast<unsigned char>(f1), static_cast<unsigned char>(f2 >> 8),
                                      static_cast<unsigned char>(f2)};
        rows += '\x02';
        for (int k = 0; k < 7; ++k) {
            rows += static_cast<char>(row[k] - above[k]);
            above[k] = row[k];
        }
    }
    out += QByteArray::number(xrefNum) + " 0 obj\n"
           + StreamObject("<< /Type /XRef /W [1 4 2] /Size " + QByteArray::number(xrefNum + 1)
                              + " /Root 1 0 R /Filter /FlateDecode /DecodeParms << /Predictor 12 /Columns 7 >> >>",
                          Deflate(rows))
           + "\nendobj\nstartxref\n" + QByteArray::number(where[xrefNum].second) + "\n%%EOF\n";
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate) || f.write(out) < 0)
        return {};
    return path;
}

QString GiantSparsePdf(const QString &path, std::int64_t size)
{
    const QByteArray name = QFile::encodeName(path);
    const int fd = ::open(name.constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0)
        return {};
    const char header[] = "%PDF-1.7\n";
    const bool ok = ::write(fd, header, sizeof header - 1) == static_cast<ssize_t>(sizeof header - 1)
                    && ::ftruncate(fd, static_cast<off_t>(size)) == 0;
    ::close(fd);
    return ok ? path : QString();
}

}  // namespace folvane::test
