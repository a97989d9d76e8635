#pragma once
// PDFs made to hurt a reader, written byte by byte inside the tests: nothing hostile is stored in the
// repository. Each maker writes the file at path and returns path.

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <functional>
#include <map>

namespace folvane::test {

/// A PDF assembled from object bodies. Objects added with AddPacked go into one object stream
/// (with an xref stream then); the rest are written plainly, with an xref table when none is packed.
class RawPdf {
public:
    /// Sets object num to body ("<< ... >>", "[ ... ]", ...).
    void Add(int num, const QByteArray &body) { plain_[num] = body; }
    /// Sets object num to a stream with that dictionary (no /Length) and those bytes as stored.
    void AddStream(int num, const QByteArray &dict, const QByteArray &data);
    /// Puts object num into the object stream.
    void AddPacked(int num, const QByteArray &body) { packed_[num] = body; }
    /// The object stream's number, its /Filter (null: stored as it is) and its encoder.
    void SetObjectStream(int num, const QByteArray &filter, std::function<QByteArray(const QByteArray &)> encode)
    {
        objStm_ = num;
        objStmFilter_ = filter;
        objStmEncode_ = std::move(encode);
    }
    /// The file, with /Root rootNum and extra trailer entries (such as "/Info 4 0 R").
    QByteArray Bytes(int rootNum, const QByteArray &extraTrailer = {}) const;
    QString Write(const QString &path, int rootNum, const QByteArray &extraTrailer = {}) const;

private:
    std::map<int, QByteArray> plain_;
    std::map<int, QByteArray> packed_;
    int objStm_ = 0;
    QByteArray objStmFilter_;
    std::function<QByteArray(const QByteArray &)> objStmEncode_;
};

/// A zlib stream of prefix followed by count bytes of value fill, at deflate's greatest ratio (about
/// 1:1030), built without running a compressor over the run.
QByteArray DeflateRun(const QByteArray &prefix, unsigned char fill, std::int64_t count);
/// bytes compressed with zlib.
QByteArray Deflate(const QByteArray &bytes);
/// bytes in PDF's run-length encoding.
QByteArray RunLengthEncode(const QByteArray &bytes);

/// A page tree that is a chain of depth /Pages nodes above one page, the root saying /Count count.
QString DeepPageTreePdf(const QString &path, int depth, int count);
/// A document whose catalog sits in an object stream stored as [/FlateDecode /FlateDecode] that
/// inflates to inflatedBytes.
QString ObjectStreamBombPdf(const QString &path, std::int64_t inflatedBytes);
/// A document with a cross-reference stream, stored as [/FlateDecode /FlateDecode], that inflates to
/// inflatedBytes of two-byte entries, each claiming an object.
QString XrefStreamBombPdf(const QString &path, std::int64_t inflatedBytes);
/// A one-page document whose page's content stream, [/FlateDecode /FlateDecode], inflates to
/// inflatedBytes; with sharedResources its two pages share one resource dictionary.
QString ContentBombPdf(const QString &path, std::int64_t inflatedBytes, bool sharedResources);
/// A one-page document of four objects, longer than count bytes, whose page-tree root says /Count count.
QString LyingCountPdf(const QString &path, int count);
/// A sound document of one page and objects further objects, packed a hundred to an object stream,
/// found through a cross-reference stream with the PNG predictor, as large documents are written.
QString ManyObjectsPdf(const QString &path, int objects);
/// A sparse file of size bytes (no space taken) that starts like a PDF and holds nothing else.
QString GiantSparsePdf(const QString &path, std::int64_t size);

}  // namespace folvane::test
