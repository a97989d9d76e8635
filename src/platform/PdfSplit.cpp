#include "platform/PdfSplit.h"

#include "platform/AtomicOutput.h"
#include "platform/PageRange.h"
#include "platform/QpdfBudget.h"
#include "platform/QpdfOpen.h"

#include <QStringList>

#include <memory>
#include <vector>

namespace folvane::PdfEngine {

PdfSplit::PdfSplit(const QString &sourcePath, const Passwords &passwords)
    : sourcePath_(sourcePath), passwords_(passwords)
{
    const Outcome opened = qpdfbudget::Within(qpdfopen::OpenLimits(sourcePath), [&] {
        const Expected<qpdfopen::Opened> document = qpdfopen::OpenPdf(sourcePath, passwords.owner, passwords.user);
        if (!document)
            return Outcome(document);
        qpdfopen::WalkPageTree(*document->pdf);
        pages_ = static_cast<std::int64_t>(document->pdf->getAllPages().size());  // exact: it names files
        return Outcome::Done();
    });
    if (!opened)
        opened_ = Outcome::Failed(QStringLiteral("%1: %2").arg(sourcePath, opened.reason));
    else if (pages_ < 1)
        opened_ = Outcome::Failed(QStringLiteral("%1: the document has no pages").arg(sourcePath));
    else
        opened_ = Outcome::Done();
}

Outcome PdfSplit::EachPage(const QString &outputBase) const
{
    if (!opened_)
        return opened_;
    if (outputBase.isEmpty())
        return Outcome::Failed(QStringLiteral("no output base path"));
    QStringList pieces;
    for (std::int64_t p = 1; p <= pages_; ++p)
        pieces << QString::number(p);
    return Write(pieces, outputBase);
}

Outcome PdfSplit::EachItem(const QString &range, const QString &outputBase) const
{
    if (!opened_)
        return opened_;
    if (outputBase.isEmpty())
        return Outcome::Failed(QStringLiteral("no output base path"));
    const Expected<PageRange> parsed = PageRange::Parse(range);
    const Outcome fits = parsed ? parsed->FitsIn(pages_) : Outcome(parsed);
    if (!fits)
        return Outcome::Failed(QStringLiteral("%1: %2").arg(sourcePath_, fits.reason));
    return Write(parsed->ItemTexts(), outputBase);
}

Outcome PdfSplit::Run(const QString &range, const QString &outputBase) const
{
    return range.isEmpty() ? EachPage(outputBase) : EachItem(range, outputBase);
}

Outcome PdfSplit::Write(const QStringList &pieces, const QString &outputBase) const
{
    std::vector<std::unique_ptr<AtomicOutput>> outputs;
    for (int k = 0; k < pieces.size(); ++k) {
        PdfMerge part(QStringLiteral("%1_%2.pdf").arg(outputBase).arg(k + 1), passwords_);
        if (!part.Opened())
            return part.Opened();
        if (Outcome added = part.Add(sourcePath_, pieces[k]); !added)
            return added;
        Expected<std::unique_ptr<AtomicOutput>> written = part.CloseUnnamed();
        if (!written)
            return written;
        outputs.push_back(std::move(*written));
    }
    return CommitTogether(outputs);
}

}  // namespace folvane::PdfEngine
