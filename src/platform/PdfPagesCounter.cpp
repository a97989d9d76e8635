#include "platform/PdfPagesCounter.h"

#include "platform/QpdfOpen.h"

#include <limits>

namespace folvane {

Expected<std::int32_t> PdfPagesCounter::GetNumberOfPages(const QString &path, const QString &password) const
{
    const Expected<std::int64_t> counted = qpdfopen::CountPages(path, password, QString());
    if (!counted)
        return Outcome::Failed(QStringLiteral("%1: %2").arg(path, counted.reason));
    if (*counted > std::numeric_limits<std::int32_t>::max())
        return Outcome::Failed(QStringLiteral("%1: the document has no readable pages").arg(path));
    return static_cast<std::int32_t>(*counted);
}

CallResult PdfPagesCounter::Invoke(const QString &method, const QVariantList &args)
{
    if (method.compare(QLatin1String("GetNumberOfPages"), Qt::CaseInsensitive) != 0)
        return automation::NoSuchMethod(method);
    const automation::Args a(method, args);
    if (auto wrong = a.ExpectCount(2))
        return *wrong;
    const Expected<std::int32_t> pages = GetNumberOfPages(a.Text(0), a.Text(1));
    return automation::FromOutcome(pages, pages.value_or(0));
}

}  // namespace folvane
