#pragma once
// Page range text as the PDF engine takes it. "0" means all pages; anything else is a list of items
// separated by ";", each a page number or "a-b" (a <= b), page 1 being the first. Spaces around an
// item, and empty items, are skipped. A page 0 inside a list, a backwards item, a list with no pages
// or any other text (a "," among it: the combine dialog hands its lists on with ";") is refused:
// nothing is guessed. Whether the pages exist is a question for the document (FitsIn).

#include "platform/Outcome.h"

#include <QString>
#include <QStringList>

#include <cstddef>
#include <cstdint>
#include <vector>

namespace folvane::PdfEngine {

/// Pages first to last (from 1, inclusive).
struct PageSpan {
    std::int64_t first = 0;
    std::int64_t last = 0;
    bool operator==(const PageSpan &) const = default;
};

class PageRange {
public:
    /// The range the text names, or why it names none. A number too long to read stays a number past
    /// any document's end.
    static Expected<PageRange> Parse(const QString &text);

    bool All() const noexcept { return all_; }
    /// The items in the order given; empty for all pages.
    const std::vector<PageSpan> &Items() const noexcept { return items_; }

    /// Whether every page named lies in a document of pageCount pages; the first page past its end is
    /// the reason when not.
    Outcome FitsIn(std::int64_t pageCount) const;
    /// The pages' indexes (from 0) in the order named, in a document of pageCount pages it fits in.
    std::vector<std::size_t> PageIndexes(std::int64_t pageCount) const;
    /// Each item as a range text of its own ("0" for all pages), as a split writes one file for each.
    QStringList ItemTexts() const;

private:
    QString text_;
    bool all_ = false;
    std::vector<PageSpan> items_;
};

}  // namespace folvane::PdfEngine
