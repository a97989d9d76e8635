#include "support/PdfFixtures.h"

#include "support/TestEnv.h"

#include <QFileInfo>
#include <QRegularExpression>

#include <qpdf/QPDF.hh>
#include <qpdf/QPDFPageDocumentHelper.hh>
#include <qpdf/QPDFPageObjectHelper.hh>
#include <qpdf/QPDFWriter.hh>
#include <qpdf/QUtil.hh>

namespace folvane::test {

QString MakePdf(const QString &path, const PdfSpec &want)
{
    const QString tag = want.tag.isEmpty() ? QFileInfo(path).completeBaseName() : want.tag;
    QPDF pdf;
    pdf.emptyPDF();
    QPDFObjectHandle font = pdf.makeIndirectObject(QPDFObjectHandle::parse(
        "<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica /Encoding /WinAnsiEncoding >>"));
    QPDFPageDocumentHelper pages(pdf);
    const bool noise = !want.noise.isEmpty();
    // At 100 dpi a pixel is 0.72 points.
    const std::string width = noise ? QString::number(want.noise.width() * 0.72).toStdString() : "612";
    const std::string height = noise ? QString::number(want.noise.height() * 0.72).toStdString() : "792";
    for (int i = 1; i <= want.pages; ++i) {
        QPDFObjectHandle page = QPDFObjectHandle::parse("<< /Type /Page /MediaBox [0 0 " + width + " " + height
                                                        + "] /Resources << /Font << >> >> >>");
        page.getKey("/Resources").getKey("/Font").replaceKey("/F1", font);
        std::string text = "BT /F1 24 Tf 72 700 Td (" + (tag + QStringLiteral(" p%1").arg(i)).toStdString() + ") Tj ET";
        if (noise) {
            QPDFObjectHandle image = QPDFObjectHandle::newStream(
                &pdf, NoiseBytes(qsizetype(want.noise.width()) * want.noise.height() * 3, qHash(tag) + i).toStdString());
            image.replaceDict(QPDFObjectHandle::parse("<< /Type /XObject /Subtype /Image /Width "
                                                      + std::to_string(want.noise.width()) + " /Height "
                                                      + std::to_string(want.noise.height())
                                                      + " /ColorSpace /DeviceRGB /BitsPerComponent 8 >>"));
            page.getKey("/Resources").replaceKey("/XObject", QPDFObjectHandle::newDictionary());
            page.getKey("/Resources").getKey("/XObject").replaceKey("/Im0", image);
            text = "q " + width + " 0 0 " + height + " 0 0 cm /Im0 Do Q " + text;
        }
        page.replaceKey("/Contents", QPDFObjectHandle::newStream(&pdf, text));
        pages.addPage(QPDFPageObjectHelper(pdf.makeIndirectObject(page)), false);
    }
    const QByteArray file = path.toLocal8Bit(); // the writer keeps the name until it has written
    QPDFWriter w(pdf, file.constData());
    w.setStaticID(true);
    if (noise)
        w.setCompressStreams(false);  // noise does not shrink; compressing it only costs time
    if (!want.version.isEmpty())
        w.forcePDFVersion(want.version.toStdString());
    if (!want.userPassword.isEmpty() || !want.ownerPassword.isEmpty()) {
        std::string user = want.userPassword.toStdString();
        std::string owner = want.ownerPassword.toStdString();
        if (want.rc4) {
            // RC4 files take their passwords in PDFDocEncoding, as other writers store them.
            user = QUtil::utf8_to_pdf_doc(user);
            owner = QUtil::utf8_to_pdf_doc(owner);
        }
        if (want.rc4)
            w.setR4EncryptionParametersInsecure(user.c_str(), owner.c_str(), true, true, true, true, true, true,
                                                qpdf_r3p_full, true, false);
        else
            w.setR6EncryptionParameters(user.c_str(), owner.c_str(), true, true, true, true, true, true,
                                        qpdf_r3p_full, true);
    }
    w.write();
    return path;
}

QString MakeTaggedPdf(const QString &folder, const QString &tag, int pages, const QString &version)
{
    PdfSpec want;
    want.pages = pages;
    want.tag = tag;
    want.version = version;
    return MakePdf(folder + QLatin1Char('/') + tag + QStringLiteral(".pdf"), want);
}

QString MakeNoisePdf(const QString &folder, const QString &tag, int pages, int width, int height)
{
    PdfSpec want;
    want.pages = pages;
    want.tag = tag;
    want.noise = QSize(width, height);
    return MakePdf(folder + QLatin1Char('/') + tag + QStringLiteral(".pdf"), want);
}

QStringList Markers(const QString &tag, std::initializer_list<int> pages)
{
    QStringList out;
    for (int p : pages)
        out << QStringLiteral("%1 p%2").arg(tag).arg(p);
    return out;
}

QStringList PageMarkers(const QString &path, const QString &password)
{
    QStringList out;
    try {
        QPDF pdf;
        pdf.setSuppressWarnings(true);
        pdf.processFile(path.toLocal8Bit().constData(), password.isEmpty() ? nullptr : password.toUtf8().constData());
        static const QRegularExpression marker(QStringLiteral("\\(([^)]*)\\) Tj"));
        for (auto &page : QPDFPageDocumentHelper(pdf).getAllPages()) {
            std::string data;
            for (auto &stream : page.getPageContents()) {
                const auto buf = stream.getStreamData(qpdf_dl_generalized);
                data.append(reinterpret_cast<const char *>(buf->getBuffer()), buf->getSize());
            }
            const auto m = marker.match(QString::fromStdString(data));
            out << (m.hasMatch() ? m.captured(1) : QString());
        }
    } catch (...) {
        return {};
    }
    return out;
}

int QpdfPageCount(const QString &path, const QString &password)
{
    try {
        QPDF pdf;
        pdf.setSuppressWarnings(true);
        pdf.processFile(path.toLocal8Bit().constData(), password.isEmpty() ? nullptr : password.toUtf8().constData());
        return static_cast<int>(pdf.getAllPages().size());
    } catch (...) {
        return -1;
    }
}

QList<PdfPageImage> PageImages(const QString &path)
{
    QList<PdfPageImage> out;
    try {
        QPDF pdf;
        pdf.setSuppressWarnings(true);
        pdf.processFile(path.toLocal8Bit().constData());
        for (auto &page : QPDFPageDocumentHelper(pdf).getAllPages()) {
            PdfPageImage facts;
            QPDFObjectHandle box = page.getObjectHandle().getKey("/MediaBox");
            facts.pageWidth = box.getArrayItem(2).getNumericValue() - box.getArrayItem(0).getNumericValue();
            facts.pageHeight = box.getArrayItem(3).getNumericValue() - box.getArrayItem(1).getNumericValue();
            for (auto &[name, image] : page.getImages()) {
                QPDFObjectHandle dict = image.getDict();
                facts.width = static_cast<int>(dict.getKey("/Width").getIntValue());
                facts.height = static_cast<int>(dict.getKey("/Height").getIntValue());
                facts.bitsPerComponent = static_cast<int>(dict.getKey("/BitsPerComponent").getIntValue());
                facts.colourSpace = QString::fromStdString(dict.getKey("/ColorSpace").unparse());
                if (dict.getKey("/Filter").isName())
                    facts.filter = QString::fromStdString(dict.getKey("/Filter").getName());
                const auto raw = image.getRawStreamData();
                facts.storedData = QByteArray(reinterpret_cast<const char *>(raw->getBuffer()),
                                              static_cast<qsizetype>(raw->getSize()));
                if (facts.filter != QLatin1String("/DCTDecode")) {
                    const auto decoded = image.getStreamData(qpdf_dl_generalized);
                    facts.samples = QByteArray(reinterpret_cast<const char *>(decoded->getBuffer()),
                                               static_cast<qsizetype>(decoded->getSize()));
                }
                break;
            }
            out << facts;
        }
    } catch (...) {
        return {};
    }
    return out;
}

QString PdfHeaderVersion(const QString &path)
{
    try {
        QPDF pdf;
        pdf.setSuppressWarnings(true);
        pdf.processFile(path.toLocal8Bit().constData());
        return QString::fromStdString(pdf.getPDFVersion());
    } catch (...) {
        return {};
    }
}

}  // namespace folvane::test
