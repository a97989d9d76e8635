#include "platform/StreamDecoders.h"

#include "support/HostilePdfs.h"
#include "support/TestEnv.h"
#include "support/WithinLimits.h"

#include <QProcess>
#include <QRandomGenerator>

#include <gtest/gtest.h>

#include <qpdf/Pl_Count.hh>
#include <qpdf/Pl_Discard.hh>
#include <qpdf/QPDF.hh>
#include <qpdf/QPDFWriter.hh>

#include <map>
#include <vector>

using namespace folvane;

namespace {

/// Codes of PDF's LZW written most significant bit first, each as wide as a decoder reading them
/// expects: the decoder makes its table entry for a code one code later than the encoder, and with
/// /EarlyChange 1 widens one entry sooner.
class LzwCodes {
public:
    explicit LzwCodes(bool earlyChange) : earlyChange_(earlyChange ? 1 : 0) {}
    void Clear()
    {
        Put(256);
        next_ = 258;
        width_ = 9;
    }
    void Put(unsigned code)
    {
        for (int k = width_; k-- > 0;) {
            acc_ = static_cast<unsigned char>((acc_ << 1) | ((code >> k) & 1u));
            if (++fill_ == 8) {
                out_ += static_cast<char>(acc_);
                acc_ = 0;
                fill_ = 0;
            }
        }
    }
    /// Whether the table has room for the entry the code just put makes.
    bool Full() const { return next_ == 4096; }
    /// The encoder made entry next_.
    void Added()
    {
        const unsigned made = next_++;
        if (made - 1 + earlyChange_ == 511 || made - 1 + earlyChange_ == 1023 || made - 1 + earlyChange_ == 2047)
            ++width_;
    }
    unsigned Next() const { return next_; }
    QByteArray Finish()
    {
        Put(257);
        if (fill_ > 0)
            out_ += static_cast<char>(acc_ << (8 - fill_));
        return out_;
    }

private:
    const unsigned earlyChange_;
    unsigned next_ = 258;
    int width_ = 9;
    unsigned char acc_ = 0;
    int fill_ = 0;
    QByteArray out_;
};

QByteArray LzwEncode(const QByteArray &data, bool earlyChange)
{
    LzwCodes codes(earlyChange);
    codes.Clear();
    std::map<std::pair<unsigned, unsigned char>, unsigned> table;
    int prefix = -1;
    for (const char ch : data) {
        const auto c = static_cast<unsigned char>(ch);
        if (prefix < 0) {
            prefix = c;
            continue;
        }
        if (const auto it = table.find({static_cast<unsigned>(prefix), c}); it != table.end()) {
            prefix = static_cast<int>(it->second);
            continue;
        }
        codes.Put(static_cast<unsigned>(prefix));
        if (codes.Full()) {
            codes.Clear();
            table.clear();
        } else {
            table[{static_cast<unsigned>(prefix), c}] = codes.Next();
            codes.Added();
        }
        prefix = c;
    }
    if (prefix >= 0)
        codes.Put(static_cast<unsigned>(prefix));
    return codes.Finish();
}

/// LZW codes that decode to at least count zero bytes: on a run of zeros an encoder puts 0, then
/// each new entry (two zeros, three, ...) until the table is full, and starts again.
QByteArray LzwZeros(std::int64_t count)
{
    LzwCodes codes(true);
    std::int64_t made = 0;
    while (made < count) {
        codes.Clear();
        codes.Put(0);
        codes.Added();
        made += 1;
        for (std::int64_t length = 2; !codes.Full() && made < count; ++length) {
            codes.Put(codes.Next() - 1);
            codes.Added();
            made += length;
        }
    }
    return codes.Finish();
}

/// Codes that go on making table entries past the last one, with no clear code.
QByteArray LzwTableOverflow()
{
    LzwCodes codes(true);
    codes.Clear();
    codes.Put('a');
    for (int i = 0; i < 4000; ++i) {
        codes.Added();
        codes.Put(codes.Next() - 1);
    }
    return codes.Finish();
}

QByteArray RandomBytes(qsizetype size, quint32 seed)
{
    QRandomGenerator random(seed);
    QByteArray bytes(size, '\0');
    for (char &c : bytes)
        c = static_cast<char>(random.bounded(256));
    return bytes;
}

/// Rows of predicted samples with row-type bytes 0 to 4 and one qpdf does not know, then a short row.
QByteArray PngRows(int rowBytes, int rows, quint32 seed)
{
    QByteArray data = RandomBytes((rowBytes + 1) * rows + rowBytes / 2, seed);
    const char types[] = {0, 1, 2, 3, 4, 7};
    for (int r = 0; r * (rowBytes + 1) < data.size(); ++r)
        data[r * (rowBytes + 1)] = types[r % 6];
    return data;
}

struct StreamCase {
    const char *name;
    QByteArray filter;
    QByteArray parms;          ///< /DecodeParms; empty for none
    QByteArray stored;         ///< the stream's bytes as stored
    QByteArray plain;          ///< what they decode to, where the case knows it; empty otherwise
    std::int64_t decoded = 0;  ///< the size they decode to whole; -1: they are to stop at the limit
};

/// A document holding the streams as stored, in the catalog's /Streams, each labelled /Case.
void WriteStreams(const QString &path, const std::vector<StreamCase> &cases)
{
    QPDF pdf;
    pdf.emptyPDF();
    QPDFObjectHandle all = QPDFObjectHandle::newArray();
    for (std::size_t i = 0; i < cases.size(); ++i) {
        const StreamCase &c = cases[i];
        QPDFObjectHandle stream = QPDFObjectHandle::newStream(&pdf, c.stored.toStdString());
        QPDFObjectHandle dict = stream.getDict();
        dict.replaceKey("/Case", QPDFObjectHandle::newString(std::to_string(i) + " " + c.name));
        dict.replaceKey("/Filter", QPDFObjectHandle::parse(c.filter.toStdString()));
        if (!c.parms.isEmpty())
            dict.replaceKey("/DecodeParms", QPDFObjectHandle::parse(c.parms.toStdString()));
        all.appendItem(stream);
    }
    pdf.getRoot().replaceKey("/Streams", all);
    const QByteArray file = path.toLocal8Bit();
    QPDFWriter w(pdf, file.constData());
    w.setCompressStreams(false);
    w.setDecodeLevel(qpdf_dl_none);
    w.write();
}

std::vector<StreamCase> StreamCases()
{
    const QByteArray text = QByteArray("BT /F1 12 Tf 72 700 Td (decoded) Tj ET\n").repeated(400);
    const QByteArray random = RandomBytes(30000, 7);
    // Text with runs, so that LZW's table fills and is cleared several times over.
    const QByteArray mixed = text + random + QByteArray(20000, 'z') + random.left(9000);
    std::vector<StreamCase> cases{
        {"flate", "/FlateDecode", {}, test::Deflate(mixed), mixed},
        {"flate twice", "[/FlateDecode /FlateDecode]", {}, test::Deflate(test::Deflate(text)), text},
        {"lzw", "/LZWDecode", {}, LzwEncode(mixed, true), mixed},
        {"lzw, late change", "/LZWDecode", "<< /EarlyChange 0 >>", LzwEncode(mixed, false), mixed},
        {"lzw then flate", "[/FlateDecode /LZWDecode]", {}, test::Deflate(LzwEncode(text, true)), text},
        {"run length", "/RunLengthDecode", {}, test::RunLengthEncode(mixed), mixed},
        {"lzw, bad code", "/LZWDecode", {}, QByteArray::fromHex("80") + RandomBytes(400, 3), {}},
        {"lzw, table full", "/LZWDecode", {}, LzwTableOverflow(), {}},
        {"flate, damaged", "/FlateDecode", {}, test::Deflate(text).left(200) + RandomBytes(300, 4), {}},
    };
    for (const int bits : {1, 2, 4, 8, 16}) {
        const QByteArray b = QByteArray::number(bits);
        const int rowBytes = (37 * 3 * bits + 7) / 8;
        cases.push_back({"png rows", "/FlateDecode", "<< /Predictor 12 /Colors 3 /Columns 37 /BitsPerComponent " + b + " >>",
                         test::Deflate(PngRows(rowBytes, 40, static_cast<quint32>(bits))), {}});
        cases.push_back({"tiff rows", "/FlateDecode", "<< /Predictor 2 /Colors 3 /Columns 37 /BitsPerComponent " + b + " >>",
                         test::Deflate(RandomBytes(rowBytes * 40 + rowBytes / 2, static_cast<quint32>(100 + bits))), {}});
    }
    cases.push_back({"png rows, lzw", "/LZWDecode", "<< /Predictor 15 /Columns 20 >>", LzwEncode(PngRows(20, 50, 9), true), {}});
    cases.push_back({"png without columns", "/FlateDecode", "<< /Predictor 12 >>", test::Deflate(text), {}});
    cases.push_back({"unknown predictor", "/FlateDecode", "<< /Predictor 5 /Columns 4 >>", test::Deflate(text), {}});
    return cases;
}

/// Each stream of the document by its /Case: its /Filter as written and its bytes as stored.
std::map<QByteArray, std::pair<QByteArray, QByteArray>> StoredStreams(const QString &path)
{
    std::map<QByteArray, std::pair<QByteArray, QByteArray>> out;
    QPDF pdf;
    pdf.setSuppressWarnings(true);
    pdf.processFile(path.toLocal8Bit().constData());
    for (QPDFObjectHandle o : pdf.getAllObjects()) {
        if (!o.isStream() || !o.getDict().hasKey("/Case"))
            continue;
        auto data = o.getRawStreamData();
        out[QByteArray::fromStdString(o.getDict().getKey("/Case").getUTF8Value())] = {
            QByteArray::fromStdString(o.getDict().getKey("/Filter").unparse()),
            QByteArray(reinterpret_cast<const char *>(data->getBuffer()), static_cast<qsizetype>(data->getSize()))};
    }
    return out;
}

}  // namespace

// qpdf's own decoders run in the qpdf program, ours in this process: the same document written with
// every stream decoded that can be must come out the same, stream for stream.
TEST(StreamDecoders, DecodeAsQpdfItselfDoes)
{
    streamdecoders::Install();
    test::TempDir dir;
    const std::vector<StreamCase> cases = StreamCases();
    const QString input = dir.filePath("input.pdf");
    WriteStreams(input, cases);
    const QString theirs = dir.filePath("theirs.pdf");
    QProcess qpdf;
    qpdf.start(QStringLiteral("qpdf"), {QStringLiteral("--compress-streams=n"), QStringLiteral("--decode-level=specialized"),
                                        QStringLiteral("--static-id"), input, theirs});
    ASSERT_TRUE(qpdf.waitForFinished(60000));
    ASSERT_TRUE(qpdf.exitCode() == 0 || qpdf.exitCode() == 3) << qpdf.readAllStandardError().toStdString();
    const QString ours = dir.filePath("ours.pdf");
    {
        QPDF pdf;
        pdf.setSuppressWarnings(true);
        pdf.processFile(input.toLocal8Bit().constData());
        const QByteArray file = ours.toLocal8Bit();
        QPDFWriter w(pdf, file.constData());
        w.setCompressStreams(false);
        w.setDecodeLevel(qpdf_dl_specialized);
        w.setStaticID(true);
        w.write();
    }

    const auto expected = StoredStreams(theirs);
    const auto got = StoredStreams(ours);
    ASSERT_EQ(expected.size(), cases.size());
    ASSERT_EQ(got.size(), cases.size());
    for (std::size_t i = 0; i < cases.size(); ++i) {
        const QByteArray key = QByteArray::number(static_cast<qulonglong>(i)) + ' ' + cases[i].name;
        const auto &[theirFilter, theirBytes] = expected.at(key);
        const auto &[ourFilter, ourBytes] = got.at(key);
        EXPECT_EQ(ourFilter, theirFilter) << key.constData();
        EXPECT_TRUE(ourBytes == theirBytes) << key.constData() << ": " << ourBytes.size() << " bytes, qpdf's " << theirBytes.size();
        // The encoders of this test are checked by qpdf itself.
        if (!cases[i].plain.isEmpty()) {
            EXPECT_TRUE(theirBytes == cases[i].plain) << key.constData() << ": qpdf did not decode it";
        }
    }
}

// Streams built to inflate to gigabytes stop at the limit of one stream, in time and memory; a large
// stream within the limit decodes whole.
TEST(StreamDecoders, StreamsStopAtTheLimitOfOneStream)
{
    if (test::RanWithinLimits())
        return;
    streamdecoders::Install();
    const QByteArray runs(4096, '\x81');  // each pair of 0x81 is 128 bytes of 0x81 again
    const std::vector<StreamCase> cases{
        {"flate twice, 4 GB", "[/FlateDecode /FlateDecode]", {}, test::Deflate(test::DeflateRun({}, 0, 4LL << 30)), {}, -1},
        {"lzw, 1 GB", "[/FlateDecode /LZWDecode]", {}, test::Deflate(LzwZeros(1LL << 30)), {}, -1},
        {"run length four times, 68 GB", "[/RunLengthDecode /RunLengthDecode /RunLengthDecode /RunLengthDecode]", {}, runs, {}, -1},
        {"a row of 100 MB", "/FlateDecode", "<< /Predictor 12 /Columns 100000000 >>", test::Deflate("\x02"), {}, -1},
        {"flate, 60 MB", "/FlateDecode", {}, test::DeflateRun({}, 0, 60LL << 20), {}, 60LL << 20},
    };
    // Written to a file and read back, as streams reach the decoders in documents.
    test::TempDir dir;
    const QString path = dir.filePath("bombs.pdf");
    WriteStreams(path, cases);
    QPDF pdf;
    pdf.setSuppressWarnings(true);
    pdf.processFile(path.toLocal8Bit().constData());
    QPDFObjectHandle all = pdf.getRoot().getKey("/Streams");
    for (int i = 0; i < all.getArrayNItems(); ++i) {
        const StreamCase &c = cases[static_cast<std::size_t>(i)];
        Pl_Discard discard;
        Pl_Count counted("counted", &discard);
        const bool whole = all.getArrayItem(i).pipeStreamData(&counted, 0, qpdf_dl_specialized, true);
        if (c.decoded < 0) {
            EXPECT_FALSE(whole) << c.name;
            EXPECT_LE(counted.getCount(), 64LL << 20) << c.name;
        } else {
            EXPECT_TRUE(whole) << c.name;
            EXPECT_EQ(counted.getCount(), c.decoded) << c.name;
        }
    }
}
