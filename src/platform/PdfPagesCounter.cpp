#include "platform/PdfPagesCounter.h"

#include "platform/QpdfOpen.h"

#include <limits>

namespace folvane {

std::optional<std::int32_t> PdfPagesCounter::GetNumberOfPages(const QString &path, const QString &password,
                                                              QString &reason) const
{
    const qpdfopen::CountResult counted = qpdfopen::CountPages(path, password, QString());
    if (counted.pages < 1) {
        reason = QStringLiteral("%1: %2").arg(path, counted.reason);
        return std::nullopt;
    }
    if (counted.pages > std::numeric_limits<std::int32_t>::max()) {
        reason = QStringLiteral("%1: the document has no readable pages").arg(path);
        return std::nullopt;
    }
    return static_cast<std::int32_t>(counted.pages);
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
