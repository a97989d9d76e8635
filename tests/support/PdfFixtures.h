#pragma once
// Small PDFs made by qpdf inside the tests. Every page carries a marker text "<tag> p<n>" in its
// content stream, so a test can read back which pages a file holds and in which order.

#include <QString>
#include <QStringList>

namespace folvane::test {

struct PdfSpec {
    int pages = 1;
    QString tag;           ///< marker prefix; the file's base name when empty
    QString userPassword;  ///< encrypts the file (AES-256) when this or ownerPassword is set
    QString ownerPassword;
    bool rc4 = false;      ///< RC4-128 instead of AES-256 (exercises PDFDocEncoding passwords)
    QString version;       ///< forced header version such as "1.7"; qpdf's choice when empty
};

/// Writes the PDF at path and returns path.
QString MakePdf(const QString &path, const PdfSpec &spec = {});
inline QString MakePdf(const QString &path, int pages)
{
    PdfSpec s;
    s.pages = pages;
    return MakePdf(path, s);
}

/// The page markers of the PDF in page order ("a p1", "a p2", ...); empty when it cannot be read.
QStringList PageMarkers(const QString &path, const QString &password = QString());

/// Number of pages as qpdf reads them; -1 when it cannot be read.
int QpdfPageCount(const QString &path, const QString &password = QString());

/// The file's header version ("1.4"), empty when unreadable.
QString PdfHeaderVersion(const QString &path);

}  // namespace folvane::test
