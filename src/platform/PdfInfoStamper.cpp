#include "platform/PdfInfoStamper.h"

#include "platform/AtomicOutput.h"
#include "platform/QpdfBudget.h"
#include "platform/QpdfOpen.h"
#include "platform/QpdfOutput.h"

#include <qpdf/QPDFObjectHandle.hh>
#include <qpdf/QPDFWriter.hh>

#include <QStringList>

#include <utility>
#include <vector>

namespace folvane {

namespace {

QString Escaped(const QString &value)
{
    QString out;
    out.reserve(value.size());
    for (const QChar c : value) {
        if (c == QLatin1Char('\\'))
            out += QLatin1String("\\\\");
        else if (c == QLatin1Char('\n'))
            out += QLatin1String("\\n");
        else if (c == QLatin1Char('\r'))
            out += QLatin1String("\\r");
        else
            out += c;
    }
    return out;
}

QString Unescaped(const QString &value)
{
    QString out;
    out.reserve(value.size());
    for (qsizetype i = 0; i < value.size(); ++i) {
        const QChar c = value[i];
        if (c == QLatin1Char('\\') && i + 1 < value.size()) {
            const QChar next = value[i + 1];
            if (next == QLatin1Char('n') || next == QLatin1Char('r') || next == QLatin1Char('\\')) {
                out += next == QLatin1Char('n') ? QChar('\n') : next == QLatin1Char('r') ? QChar('\r') : QChar('\\');
                ++i;
                continue;
            }
        }
        out += c;
    }
    return out;
}

using Entries = std::vector<std::pair<QString, QString>>;

/// The entries of the text; an error for a line without "=" or with a key PDF names cannot be.
Expected<Entries> ParseEntries(const QString &text)
{
    Entries entries;
    for (QString line : text.split(QLatin1Char('\n'))) {
        if (line.endsWith(QLatin1Char('\r')))
            line.chop(1);
        if (line.trimmed().isEmpty())
            continue;
        const qsizetype eq = line.indexOf(QLatin1Char('='));
        const QString key = eq < 0 ? QString() : line.left(eq).trimmed();
        const bool validKey = !key.isEmpty() && !key.contains(QLatin1Char('/'))
                              && std::none_of(key.begin(), key.end(), [](QChar c) { return c.isSpace(); });
        if (!validKey)
            return Outcome::Failed(QStringLiteral("\"%1\" is not an entry of the form Key=Value").arg(line));
        entries.emplace_back(key, Unescaped(line.mid(eq + 1)));
    }
    return entries;
}

/// Makes every key of the dictionary that holds "#" read back as it is. qpdf writes a name's other
/// delimiters as #xx escapes, but this version leaves "#" itself bare, and a reader then takes it
/// for the start of an escape ("Weird(#)" became /Weird#28##29, read back as "Weird("). Such keys
/// get "#" as its escape #23, which qpdf then writes as it is; a qpdf that escapes "#" itself is
/// left alone.
void KeepHashesInNames(QPDFObjectHandle dict)
{
    static const bool writerEscapesHash = QPDFObjectHandle::newName("/a#").unparse() != "/a#";
    if (writerEscapesHash)
        return;
    for (const std::string &key : dict.getKeys()) {
        if (key.find('#') == std::string::npos)
            continue;
        std::string escaped;
        for (const char c : key)
            escaped += c == '#' ? std::string("#23") : std::string(1, c);
        QPDFObjectHandle value = dict.getKey(key);
        dict.removeKey(key);
        dict.replaceKey(escaped, value);
    }
}

}  // namespace

Outcome PdfInfoStamper::UpdatePDFInfo(const QString &source, const QString &password, const QString &keysValues,
                                      const QString &output) const
{
    const Expected<Entries> entries = ParseEntries(keysValues);
    if (!entries)
        return entries;
    AtomicOutput target(output);
    if (!target.Opened())
        return target.Opened();
    // Opened as the page counter opens a document, so that a damaged one is judged within the same
    // bounds.
    Expected<qpdfopen::Opened> opened = qpdfbudget::Within(qpdfopen::OpenLimits(source), [&] {
        return qpdfopen::OpenPdf(source, password, QString());
    });
    if (!opened)
        return Outcome::Failed(QStringLiteral("%1: %2").arg(source, opened.reason));
    QPDF &pdf = *opened->pdf;
    const QString damaged = QStringLiteral("%1: damaged").arg(source);
    // The writer reads every object of the source, and qpdf writes one held in an object stream it
    // cannot decode within the bounds as null: a document that lost its page tree that way would
    // replace a sound one. Streams are copied as they are stored, so that the only decoding under
    // the write's bounds is of objects, and a bound passed fails the update.
    const qpdfbudget::Budget writing(qpdfoutput::WriteLimits);
    Outcome written = Outcome::Done();
    try {
        QPDFObjectHandle trailer = pdf.getTrailer();
        QPDFObjectHandle info = trailer.getKey("/Info");
        if (!info.isDictionary()) {
            info = pdf.makeIndirectObject(QPDFObjectHandle::newDictionary());
            trailer.replaceKey("/Info", info);
        }
        for (const auto &[key, value] : *entries) {
            const std::string name = "/" + key.toStdString();
            if (value.isEmpty())
                info.removeKey(name);
            else
                info.replaceKey(name, QPDFObjectHandle::newUnicodeString(value.toStdString()));
        }
        KeepHashesInNames(info);
        // The copy's streams are read from the source as they are written: a damaged one fails here.
        written = qpdfoutput::WritePdf(pdf, target, damaged, [](QPDFWriter &writer) { writer.setDecodeLevel(qpdf_dl_none); });
    } catch (const std::exception &e) {
        written = Outcome::Failed(QStringLiteral("%1: %2").arg(damaged, QString::fromStdString(e.what())));
    }
    if (!writing.Overrun().isEmpty())
        written = Outcome::Failed(QStringLiteral("%1: %2").arg(damaged, writing.Overrun()));
    if (!written)
        return written;
    return target.Commit();
}

Expected<QString> PdfInfoStamper::ReadPDFInfo(const QString &path, const QString &password) const
{
    const Expected<QString> text = qpdfbudget::Within(qpdfopen::OpenLimits(path), [&]() -> Expected<QString> {
        const Expected<qpdfopen::Opened> opened = qpdfopen::OpenPdf(path, password, QString());
        if (!opened)
            return opened;
        QStringList lines;
        QPDFObjectHandle info = opened->pdf->getTrailer().getKey("/Info");
        if (info.isDictionary()) {
            for (const std::string &key : info.getKeys()) {
                QPDFObjectHandle value = info.getKey(key);
                const std::string text = value.isString() ? value.getUTF8Value() : value.unparse();
                lines << QString::fromStdString(key.substr(1)) + QLatin1Char('=') + Escaped(QString::fromStdString(text));
            }
        }
        return lines.join(QLatin1Char('\n'));
    });
    if (!text)
        return Outcome::Failed(QStringLiteral("%1: %2").arg(path, text.reason));
    return text;
}

CallResult PdfInfoStamper::Invoke(const QString &method, const QVariantList &args)
{
    if (method.compare(QLatin1String("UpdatePDFInfo"), Qt::CaseInsensitive) != 0)
        return automation::NoSuchMethod(method);
    const automation::Args a(method, args);
    if (args.size() == 2) {
        const Expected<QString> text = ReadPDFInfo(a.Text(0), a.Text(1));
        return automation::FromOutcome(text, text.value_or(QString()));
    }
    if (auto wrong = a.ExpectCount(4))
        return *wrong;
    return automation::FromOutcome(UpdatePDFInfo(a.Text(0), a.Text(1), a.Text(2), a.Text(3)), true);
}

}  // namespace folvane
