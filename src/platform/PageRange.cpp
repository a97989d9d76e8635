#include "platform/PageRange.h"

#include <QRegularExpression>

#include <algorithm>
#include <limits>

namespace folvane::PdfEngine {

namespace {

// Longer numbers than this are past any document's end; saturating keeps them so.
constexpr std::int64_t BeyondAnyEnd = std::numeric_limits<std::int64_t>::max() / 2;

std::int64_t PageNumber(const QString &digits)
{
    bool ok = false;
    const qlonglong n = digits.toLongLong(&ok);
    return ok ? std::min<qlonglong>(n, BeyondAnyEnd) : BeyondAnyEnd;
}

}  // namespace

Expected<PageRange> PageRange::Parse(const QString &text)
{
    PageRange range;
    range.text_ = text;
    if (text.trimmed() == QLatin1String("0")) {
        range.all_ = true;
        return range;
    }
    static const QRegularExpression item(QStringLiteral("^(\\d+)(?:-(\\d+))?$"));
    for (const QString &raw : text.split(QLatin1Char(';'))) {
        const QString piece = raw.trimmed();
        if (piece.isEmpty())
            continue;
        const auto m = item.match(piece);
        if (!m.hasMatch())
            return Outcome::Failed(QStringLiteral("page range \"%1\": \"%2\" is not a page or a range of pages").arg(text, piece));
        PageSpan span;
        span.first = PageNumber(m.captured(1));
        span.last = m.hasCaptured(2) ? PageNumber(m.captured(2)) : span.first;
        if (span.first == 0 || span.last == 0)
            return Outcome::Failed(QStringLiteral("page range \"%1\": there is no page 0").arg(text));
        if (span.first > span.last)
            return Outcome::Failed(QStringLiteral("page range \"%1\": \"%2\" runs backwards").arg(text, piece));
        range.items_.push_back(span);
    }
    if (range.items_.empty())
        return Outcome::Failed(QStringLiteral("page range \"%1\" names no pages").arg(text));
    return range;
}

Outcome PageRange::FitsIn(std::int64_t pageCount) const
{
    for (const PageSpan &span : items_)
        if (span.last > pageCount)
            return Outcome::Failed(QStringLiteral("page range \"%1\": page %2 is past the end of the document (%3 pages)")
                                       .arg(text_)
                                       .arg(span.last)
                                       .arg(pageCount));
    return Outcome::Done();
}

std::vector<std::size_t> PageRange::PageIndexes(std::int64_t pageCount) const
{
    std::vector<std::size_t> indexes;
    if (all_)
        for (std::int64_t p = 0; p < pageCount; ++p)
            indexes.push_back(static_cast<std::size_t>(p));
    for (const PageSpan &span : items_)
        for (std::int64_t p = span.first; p <= span.last; ++p)
            indexes.push_back(static_cast<std::size_t>(p - 1));
    return indexes;
}

QStringList PageRange::ItemTexts() const
{
    QStringList texts;
    if (all_)
        texts << QStringLiteral("0");
    for (const PageSpan &span : items_)
        texts << (span.first == span.last ? QString::number(span.first) : QStringLiteral("%1-%2").arg(span.first).arg(span.last));
    return texts;
}

}  // namespace folvane::PdfEngine
