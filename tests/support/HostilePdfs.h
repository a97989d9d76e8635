#pragma once
// PDFs made to hurt a page counter or a merge, written byte by byte inside the tests: nothing hostile
// is stored in the repository. Each maker writes the file at path and returns path. (A file of a
// terabyte that holds nothing is RenderHazards' MakeHugeEmptyPdf.)

#include <QByteArray>
#include <QString>

#include <cstdint>

namespace folvane::test {

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
/// A document whose catalog is plain and whose page tree sits in an object stream as above: sound
/// while it inflates to less than a stream may, and with a catalog that reads whatever it inflates to.
QString PackedPageTreePdf(const QString &path, std::int64_t inflatedBytes);
/// A document with a cross-reference stream, stored as [/FlateDecode /FlateDecode], that inflates to
/// inflatedBytes of two-byte entries, each claiming an object.
QString XrefStreamBombPdf(const QString &path, std::int64_t inflatedBytes);
/// A one-page document whose page's content stream, [/FlateDecode /FlateDecode], inflates to
/// inflatedBytes; with sharedResources its two pages share one resource dictionary.
QString ContentBombPdf(const QString &path, std::int64_t inflatedBytes, bool sharedResources);
/// A one-page document of four objects, longer than count bytes, whose page-tree root says /Count count.
QString LyingCountPdf(const QString &path, int count);
/// "%PDF-1.4" and short lines after it, about bytes in all, written a megabyte at a time: "x" on
/// every line, or with objectHeaders "0 0 obj", "1 0 obj" and on. A repair looks at every line, and
/// keeps something for every object header.
QString JunkLinesPdf(const QString &path, std::int64_t bytes, bool objectHeaders);
/// A document of `pages` blank scans, each an uncompressed image of imageBytes zero bytes (white
/// through its /Decode), whose cross-reference table has every offset 17 bytes short, as after a
/// careless edit in place: a reader rebuilds the table by reading the whole file. The images are
/// given room on the disk without being written (posix_fallocate), so a file of hundreds of
/// megabytes is made at once and still takes its room as a written one does. Empty when the room
/// cannot be had.
QString ShiftedTableScanPdf(const QString &path, int pages, std::int64_t imageBytes);
/// A sound document of one page and objects further objects (small dictionaries), packed a hundred
/// to an object stream, found through a cross-reference stream with the PNG predictor, as qpdf
/// writes large documents.
QString ManyObjectsPdf(const QString &path, int objects);

}  // namespace folvane::test
