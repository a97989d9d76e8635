#pragma once
// Small PDFs made by qpdf inside the tests. Every page carries a marker text "<tag> p<n>" in its
// content stream, so a test can read back which pages a file holds and in which order.

#include <QByteArray>
#include <QList>
#include <QSize>
#include <QString>
#include <QStringList>

#include <initializer_list>

namespace folvane::test {

struct PdfSpec {
    int pages = 1;
    QString tag;           ///< marker prefix; the file's base name when empty
    QString userPassword;  ///< encrypts the file (AES-256) when this or ownerPassword is set
    QString ownerPassword;
    bool rc4 = false;      ///< RC4-128 instead of AES-256 (exercises PDFDocEncoding passwords)
    QString version;       ///< forced header version such as "1.7"; qpdf's choice when empty
    /// When set, each page is this size at 100 dpi and shows an image of random RGB pixels filling
    /// it, stored without compression: about 3 bytes a pixel, for outputs that must be large.
    QSize noise;
};

/// Writes the PDF at path and returns path.
QString MakePdf(const QString &path, const PdfSpec &options = {});
inline QString MakePdf(const QString &path, int pages)
{
    PdfSpec s;
    s.pages = pages;
    return MakePdf(path, s);
}

/// "<folder>/<tag>.pdf" with pages marked "<tag> p<n>", in the given header version if any.
QString MakeTaggedPdf(const QString &folder, const QString &tag, int pages, const QString &version = QString());
/// "<folder>/<tag>.pdf" with pages marked "<tag> p<n>", each showing noise (PdfSpec::noise) of
/// width x height pixels.
QString MakeNoisePdf(const QString &folder, const QString &tag, int pages, int width, int height);

/// The markers a file holds for those pages of tag, in that order: "a p2", "a p3", ...
QStringList Markers(const QString &tag, std::initializer_list<int> pages);

/// The page markers of the PDF in page order ("a p1", "a p2", ...); empty when it cannot be read.
QStringList PageMarkers(const QString &path, const QString &password = QString());

/// Number of pages as qpdf reads them; -1 when it cannot be read.
int QpdfPageCount(const QString &path, const QString &password = QString());

/// The image that fills one page of an image PDF, as stored.
struct PdfPageImage {
    double pageWidth = 0;   ///< points
    double pageHeight = 0;
    int width = 0;          ///< pixels
    int height = 0;
    int bitsPerComponent = 0;
    QString colourSpace;    ///< "/DeviceRGB", ...
    QString filter;         ///< "/FlateDecode", "/DCTDecode"; empty for none
    QByteArray storedData;  ///< the stream's bytes as stored (still encoded)
    QByteArray samples;     ///< the samples, Flate undone (empty for a JPEG)
};
/// The first image of every page in page order; empty when the file cannot be read.
QList<PdfPageImage> PageImages(const QString &path);

/// The file's header version ("1.4"), empty when unreadable.
QString PdfHeaderVersion(const QString &path);

}  // namespace folvane::test
