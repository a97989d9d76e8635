#include "platform/PdfPagesCounter.h"

#include "platform/QpdfOpen.h"

#include <limits>

namespace folvane {

std::optional<std::int32_t> PdfPagesCounter::GetNumberOfPages(const QString &path, const QString &password,
                                                              QString &reason) const
{
    try {
        const qpdfopen::Opened opened = qpdfopen::OpenPdf(path, password, QString());
        if (!opened) {
            reason = QStringLiteral("%1: %2").arg(path, opened.reason);
            return std::nullopt;
        }
        const std::int64_t pages = qpdfopen::PageCount(opened);
        if (pages < 1 || pages > std::numeric_limits<std::int32_t>::max()) {
            reason = QStringLiteral("%1: the document has no readable pages").arg(path);
            return std::nullopt;
        }
        return static_cast<std::int32_t>(pages);
    } catch (const std::exception &e) {
        reason = QStringLiteral("%1: damaged: %2").arg(path, QString::fromStdString(e.what()));
        return std::nullopt;
    }
}

CallResult PdfPagesCounter::Invoke(const QString &method, const QVariantList &args)
{
    if (method.compare(QLatin1String("GetNumberOfPages"), Qt::CaseInsensitive) != 0)
        return automation::NoSuchMethod(method);
    const automation::Args a(method, args);
    if (auto wrong = a.ExpectCount(2))
        return *wrong;
    QString reason;
    const std::optional<std::int32_t> pages = GetNumberOfPages(a.Text(0), a.Text(1), reason);
    return automation::FromOutcome(pages ? Outcome::Done() : Outcome::Failed(reason), pages.value_or(0));
}

}  // namespace folvane
