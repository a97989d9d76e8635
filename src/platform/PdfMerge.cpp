#include "platform/PdfMerge.h"

#include "platform/AtomicOutput.h"
#include "platform/MallocTuning.h"
#include "platform/MergeInputs.h"
#include "platform/MergedDocument.h"
#include "platform/PageRange.h"
#include "platform/QpdfBudget.h"
#include "platform/QpdfOutput.h"

#include <QFileInfo>

#include <cstdint>
#include <utility>
#include <vector>

namespace folvane::PdfEngine {

namespace {

// Copying a document's pages resolves its objects, decoding the object streams that hold them; no
// sound document's come near this.
constexpr qpdfbudget::Limits CopyLimits{.decodedBytes = 1LL << 30};

QString ClosedReason(const Outcome &opened)
{
    return opened.ok ? QStringLiteral("the merge is closed") : opened.reason;
}

}  // namespace

struct PdfMerge::State {
    State(QString outputPath, std::unique_ptr<AtomicOutput> output, const Passwords &passwords)
        : outputPath(std::move(outputPath)), output(std::move(output)), inputs(passwords)
    {
    }

    /// Copies the pages within the budget of a copy; past it, the document counts as damaged.
    Outcome CopyWithin(MergeSource &src, const std::vector<std::size_t> &pageIndexes)
    {
        return qpdfbudget::Within(CopyLimits, [&] {
            document.CopyPages(src, pageIndexes);
            return Outcome::Done();
        });
    }

    /// Opens the document (once per merge), checks the range against it and copies its pages in.
    Outcome AddDocument(const QString &path, const QString &rangeText)
    {
        const Expected<PageRange> range = PageRange::Parse(rangeText);
        if (!range)
            return range;
        const Expected<MergeSource *> src = inputs.Open(path);
        if (!src)
            return src;
        const auto pageCount = static_cast<std::int64_t>((*src)->pages.size());
        if (pageCount < 1)
            return Outcome::Failed(QStringLiteral("the document has no pages"));
        if (Outcome fits = range->FitsIn(pageCount); !fits)
            return fits;
        if (Outcome copied = CopyWithin(**src, range->PageIndexes(pageCount)); !copied)
            return copied;
        inputs.Release(path);
        return Outcome::Done();
    }

    MallocTuning tuning;  // first in, last out: the documents are freed under it
    QString outputPath;   // absolute
    std::unique_ptr<AtomicOutput> output;
    QString failure;
    MergedDocument document;
    MergeInputs inputs;
};

PdfMerge::PdfMerge(const QString &outputPath, const Passwords &passwords)
{
    if (outputPath.isEmpty()) {
        opened_ = Outcome::Failed(QStringLiteral("no output path"));
        return;
    }
    const QFileInfo target(outputPath);
    if (target.exists() && !target.isFile()) {
        opened_ = Outcome::Failed(QStringLiteral("%1: the output path is not a file").arg(outputPath));
        return;
    }
    auto output = std::make_unique<AtomicOutput>(outputPath);
    if (!output->Opened()) {
        opened_ = output->Opened();
        return;
    }
    d_ = std::make_unique<State>(target.absoluteFilePath(), std::move(output), passwords);
    opened_ = Outcome::Done();
}

PdfMerge::~PdfMerge() = default;

Outcome PdfMerge::Add(const QString &path, const QString &range)
{
    if (!d_)
        return Outcome::Failed(ClosedReason(opened_));
    if (!d_->failure.isEmpty())
        return Outcome::Failed(QStringLiteral("the merge has already failed: %1").arg(d_->failure));
    const Outcome added = d_->AddDocument(path, range);
    MallocTuning::AdviseHeap();
    if (added)
        return added;
    d_->failure = QStringLiteral("%1: %2").arg(path, added.reason);
    return Outcome::Failed(d_->failure);
}

Expected<std::unique_ptr<AtomicOutput>> PdfMerge::CloseUnnamed()
{
    if (!d_)
        return Outcome::Failed(ClosedReason(opened_));
    const std::unique_ptr<State> s = std::move(d_);
    if (!s->failure.isEmpty())
        return Outcome::Failed(QStringLiteral("nothing written: %1").arg(s->failure));
    if (s->document.Pages() == 0)
        return Outcome::Failed(QStringLiteral("%1: no documents were added, nothing written").arg(s->outputPath));
    const QString couldNotWrite = QStringLiteral("%1: the merged file could not be written").arg(s->outputPath);
    if (Outcome written = s->document.Write(*s->output, couldNotWrite); !written)
        return written;
    if (Outcome sealed = s->output->Seal(); !sealed)
        return sealed;
    return std::move(s->output);
}

Outcome PdfMerge::Close()
{
    const qpdfbudget::Budget writing(qpdfoutput::WriteLimits);
    Expected<std::unique_ptr<AtomicOutput>> sealed = CloseUnnamed();
    if (!sealed)
        return sealed;
    return (*sealed)->Commit();
}

}  // namespace folvane::PdfEngine
