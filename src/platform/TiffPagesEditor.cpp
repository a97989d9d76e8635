#include "platform/TiffPagesEditor.h"

#include "platform/AtomicOutput.h"
#include "platform/TiffFile.h"

#include <QDir>
#include <QFileInfo>

#include <memory>
#include <vector>

namespace folvane {

namespace {

/// The runs that are not empty (a run of first > last stands for no pages).
std::vector<TiffFile::PageRun> NonEmpty(std::initializer_list<TiffFile::PageRun> runs)
{
    std::vector<TiffFile::PageRun> out;
    for (const TiffFile::PageRun &r : runs)
        if (r.first <= r.last)
            out.push_back(r);
    return out;
}

/// Writes each page of source from first to last into its own file in folder; the files appear only
/// when every page was written.
Outcome ExtractEach(const QString &source, std::int32_t first, std::int32_t last, const QString &folder)
{
    if (!QFileInfo(folder).isDir())
        return Outcome::Failed(QStringLiteral("%1: the folder does not exist").arg(folder));
    const QString name = QFileInfo(source).completeBaseName();
    std::vector<std::unique_ptr<AtomicOutput>> outputs;
    const Outcome copied = TiffFile::CopyEachPage(source, first, last, [&](std::int32_t page) -> AtomicOutput & {
        outputs.push_back(std::make_unique<AtomicOutput>(QDir(folder).filePath(QStringLiteral("%1_%2.tif").arg(name).arg(page))));
        return *outputs.back();
    });
    if (!copied)
        return copied;
    return CommitTogether(outputs);
}

}  // namespace

Outcome TiffPagesEditor::AddTIFFPages(const QString &target, std::int32_t afterPage, const QString &from) const
{
    const Expected<std::int32_t> counted = TiffFile::CountPages(target);
    if (!counted)
        return counted;
    const Expected<std::int32_t> added = TiffFile::CountPages(from);
    if (!added)
        return added;
    const std::int32_t pages = *counted;
    if (afterPage < 0 || afterPage > pages)
        return Outcome::Failed(
            QStringLiteral("%1: cannot insert after page %2; the file has %3 pages").arg(target).arg(afterPage).arg(pages));
    return TiffFile::CopyPages(NonEmpty({{target, 1, afterPage}, {from, 1, *added}, {target, afterPage + 1, pages}}), target);
}

Outcome TiffPagesEditor::DeleteTIFFPages(const QString &target, std::int32_t page) const
{
    const Expected<std::int32_t> counted = TiffFile::CountPages(target);
    if (!counted)
        return counted;
    const std::int32_t pages = *counted;
    if (page < 1 || page > pages)
        return Outcome::Failed(QStringLiteral("%1: there is no page %2; the file has %3 pages").arg(target).arg(page).arg(pages));
    if (pages == 1)
        return Outcome::Failed(QStringLiteral("%1: the only page of a file cannot be deleted").arg(target));
    return TiffFile::CopyPages(NonEmpty({{target, 1, page - 1}, {target, page + 1, pages}}), target);
}

Outcome TiffPagesEditor::MergeTIFF(const QString &first, const QString &second, const QString &output) const
{
    const Expected<std::int32_t> a = TiffFile::CountPages(first);
    if (!a)
        return a;
    const Expected<std::int32_t> b = TiffFile::CountPages(second);
    if (!b)
        return b;
    return TiffFile::CopyPages({{first, 1, *a}, {second, 1, *b}}, output);
}

Outcome TiffPagesEditor::SplitTIFF(const QString &source, std::int32_t lastOfFirst, const QString &firstOutput,
                                   const QString &secondOutput) const
{
    const Expected<std::int32_t> counted = TiffFile::CountPages(source);
    if (!counted)
        return counted;
    const std::int32_t pages = *counted;
    if (lastOfFirst < 1 || lastOfFirst >= pages)
        return Outcome::Failed(QStringLiteral("%1: cannot split after page %2; the file has %3 pages")
                                   .arg(source)
                                   .arg(lastOfFirst)
                                   .arg(pages));
    // Both parts are written before either is named: a failure of either leaves neither in place.
    std::vector<std::unique_ptr<AtomicOutput>> outputs;
    outputs.push_back(std::make_unique<AtomicOutput>(firstOutput));
    outputs.push_back(std::make_unique<AtomicOutput>(secondOutput));
    if (Outcome done = TiffFile::CopyPages({{source, 1, lastOfFirst}}, *outputs[0]); !done)
        return done;
    if (Outcome done = TiffFile::CopyPages({{source, lastOfFirst + 1, pages}}, *outputs[1]); !done)
        return done;
    return CommitTogether(outputs);
}

Outcome TiffPagesEditor::ExtractPages(const QString &source, std::int32_t first, std::int32_t last,
                                      const QString &folder) const
{
    const Expected<std::int32_t> counted = TiffFile::CountPages(source);
    if (!counted)
        return counted;
    const std::int32_t pages = *counted;
    if (first < 1 || first > last || last > pages)
        return Outcome::Failed(
            QStringLiteral("%1: pages %2 to %3 are not pages of the file (1 to %4)").arg(source).arg(first).arg(last).arg(pages));
    return ExtractEach(source, first, last, folder);
}

Outcome TiffPagesEditor::ExtractAllTIFFpages(const QString &source, const QString &folder) const
{
    const Expected<std::int32_t> counted = TiffFile::CountPages(source);
    if (!counted)
        return counted;
    const std::int32_t pages = *counted;
    return ExtractEach(source, 1, pages, folder);
}

CallResult TiffPagesEditor::Invoke(const QString &method, const QVariantList &args)
{
    const automation::Args a(method, args);
    bool bad = false;
    auto is = [&](const char *name) { return method.compare(QLatin1String(name), Qt::CaseInsensitive) == 0; };
    auto run = [&](int count, auto work) -> CallResult {
        if (auto wrong = a.ExpectCount(count))
            return *wrong;
        const Outcome done = work();
        if (bad)
            return automation::TypeMismatch(method);
        return automation::FromOutcome(done, true);
    };
    // The numbers are read before the work runs; a bad one makes the call an error and nothing runs.
    if (is("AddTIFFPages"))
        return run(3, [&] {
            const std::int32_t at = a.Number(1, bad);
            return bad ? Outcome() : AddTIFFPages(a.Text(0), at, a.Text(2));
        });
    if (is("DeleteTIFFPages"))
        return run(2, [&] {
            const std::int32_t page = a.Number(1, bad);
            return bad ? Outcome() : DeleteTIFFPages(a.Text(0), page);
        });
    if (is("MergeTIFF"))
        return run(3, [&] { return MergeTIFF(a.Text(0), a.Text(1), a.Text(2)); });
    if (is("SplitTIFF"))
        return run(4, [&] {
            const std::int32_t page = a.Number(1, bad);
            return bad ? Outcome() : SplitTIFF(a.Text(0), page, a.Text(2), a.Text(3));
        });
    if (is("ExtractPages"))
        return run(4, [&] {
            const std::int32_t first = a.Number(1, bad), last = a.Number(2, bad);
            return bad ? Outcome() : ExtractPages(a.Text(0), first, last, a.Text(3));
        });
    if (is("ExtractAllTIFFpages"))
        return run(2, [&] { return ExtractAllTIFFpages(a.Text(0), a.Text(1)); });
    return automation::NoSuchMethod(method);
}

}  // namespace folvane
