#include "platform/PdfEngine.h"

#include "platform/AtomicOutput.h"
#include "platform/HandleTable.h"
#include "platform/QpdfBudget.h"
#include "platform/QpdfOpen.h"
#include "platform/QpdfOutput.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QStringList>

#include <qpdf/ClosedFileInputSource.hh>
#include <qpdf/PDFVersion.hh>
#include <qpdf/Pipeline.hh>
#include <qpdf/QPDF.hh>
#include <qpdf/QPDFAcroFormDocumentHelper.hh>
#include <qpdf/QPDFNameTreeObjectHelper.hh>
#include <qpdf/QPDFPageDocumentHelper.hh>
#include <qpdf/QPDFPageLabelDocumentHelper.hh>
#include <qpdf/QPDFPageObjectHelper.hh>
#include <qpdf/QPDFWriter.hh>

#include <algorithm>
#include <cctype>
#include <limits>
#include <list>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include <malloc.h>
#include <sys/mman.h>
#include <sys/resource.h>
#include <unistd.h>

namespace folvane::PdfEngine {

namespace {

struct PageItem {
    std::int64_t first = 0;
    std::int64_t last = 0;
};

/// A parsed range: every page, or the listed items in order.
struct PageRange {
    bool all = false;
    std::vector<PageItem> items;
};

std::optional<PageRange> ParseRange(const QString &text, QString &reason)
{
    PageRange range;
    if (text.trimmed() == QLatin1String("0")) {
        range.all = true;
        return range;
    }
    static const QRegularExpression item(QStringLiteral("^(\\d+)(?:-(\\d+))?$"));
    for (const QString &raw : text.split(QLatin1Char(';'))) {
        const QString piece = raw.trimmed();
        if (piece.isEmpty())
            continue;
        const auto m = item.match(piece);
        if (!m.hasMatch()) {
            reason = QStringLiteral("page range \"%1\": \"%2\" is not a page or a range of pages").arg(text, piece);
            return std::nullopt;
        }
        // Longer numbers than this are past any document's end; saturating keeps them so.
        auto number = [](const QString &digits) {
            bool ok = false;
            const qlonglong n = digits.toLongLong(&ok);
            return ok ? std::min<qlonglong>(n, std::numeric_limits<std::int64_t>::max() / 2)
                      : std::numeric_limits<std::int64_t>::max() / 2;
        };
        PageItem p;
        p.first = number(m.captured(1));
        p.last = m.hasCaptured(2) ? number(m.captured(2)) : p.first;
        if (p.first == 0 || p.last == 0) {
            reason = QStringLiteral("page range \"%1\": there is no page 0").arg(text);
            return std::nullopt;
        }
        if (p.first > p.last) {
            reason = QStringLiteral("page range \"%1\": \"%2\" runs backwards").arg(text, piece);
            return std::nullopt;
        }
        range.items.push_back(p);
    }
    if (range.items.empty()) {
        reason = QStringLiteral("page range \"%1\" names no pages").arg(text);
        return std::nullopt;
    }
    return range;
}

/// The range in qpdf's own syntax, checked against the document's page count.
std::optional<std::string> QpdfRange(const PageRange &range, std::int64_t pageCount, const QString &text,
                                     QString &reason)
{
    if (range.all)
        return std::string("1-z");
    std::string out;
    for (const PageItem &p : range.items) {
        if (p.last > pageCount) {
            reason = QStringLiteral("page range \"%1\": page %2 is past the end of the document (%3 pages)")
                         .arg(text)
                         .arg(p.last)
                         .arg(pageCount);
            return std::nullopt;
        }
        if (!out.empty())
            out += ',';
        out += std::to_string(p.first);
        if (p.last != p.first)
            out += '-' + std::to_string(p.last);
    }
    return out;
}

/// One document a merge takes pages from, opened once for as long as it is kept (see Release).
struct Source {
    std::size_t id = 0;  ///< the same for every add of one path, also after a reopen
    std::unique_ptr<QPDF> pdf;
    ClosedFileInputSource *closed = nullptr;
    std::vector<QPDFPageObjectHelper> pages;
    std::set<QPDFObjGen> pageSet;     ///< every page, for the targets of links
    std::set<QPDFObjGen> copiedPages; ///< pages already in the output: a repeat is a shallow copy
    bool removeUnreferenced = false;
    std::int64_t pruningLeft = 0;  ///< content bytes the removal of unused resources may still parse
    std::unique_ptr<QPDFAcroFormDocumentHelper> form;
    std::unique_ptr<QPDFPageLabelDocumentHelper> labels;
    bool hasLabels = false;
};

/// While a merge is open, freed memory stays with the process. The writer buffers every stream it
/// copies; with glibc's default thresholds each such buffer is mapped and unmapped, or the heap
/// grows and shrinks around it, and every shrink makes the kernel flush the page tables of every
/// core: that alone took three quarters of the time of a merge of image-heavy documents. The peak
/// stays what the merge needs at once. When the last merge ends, glibc's default thresholds return
/// (without their growth with the largest block freed) and the heap shrinks as usual on the next
/// free; trimming it at once made the next merge fault every page in again, which tripled the time
/// of a run of small appends. The heap also grows in large steps with huge pages asked for
/// (AdviseHeap), which took a merge of 2,000 small documents from about 1.8 s to 1.3 s here.
class MallocTuning {
public:
    MallocTuning()
    {
        if (active_++ == 0) {
            ::mallopt(M_MMAP_THRESHOLD, 32 * 1024 * 1024);
            ::mallopt(M_TRIM_THRESHOLD, 1024 * 1024 * 1024);
            ::mallopt(M_TOP_PAD, HeapStep);
            adviseFrom_ = AlignUp(reinterpret_cast<std::uintptr_t>(::sbrk(0)));
        }
        AdviseHeap();
    }
    /// Asks for huge pages on the heap grown since the merge opened, ahead of its use: the document
    /// objects of a large merge are many small blocks spread over it, and with small pages the time
    /// goes to page faults and address translation.
    static void AdviseHeap()
    {
        const std::uintptr_t top = reinterpret_cast<std::uintptr_t>(::sbrk(0)) & ~(HugePage - 1);
        if (active_ > 0 && top > adviseFrom_) {
            ::madvise(reinterpret_cast<void *>(adviseFrom_), top - adviseFrom_, MADV_HUGEPAGE);
            adviseFrom_ = top;
        }
    }
    ~MallocTuning()
    {
        if (--active_ == 0) {
            ::mallopt(M_MMAP_THRESHOLD, 128 * 1024);
            ::mallopt(M_TRIM_THRESHOLD, 128 * 1024);
            ::mallopt(M_TOP_PAD, 0);
        }
    }
    MallocTuning(const MallocTuning &) = delete;
    MallocTuning &operator=(const MallocTuning &) = delete;

private:
    static constexpr std::uintptr_t HugePage = 2 * 1024 * 1024;
    static constexpr int HeapStep = 32 * 1024 * 1024;
    static std::uintptr_t AlignUp(std::uintptr_t a) { return (a + HugePage - 1) & ~(HugePage - 1); }
    static inline int active_ = 0;
    static inline std::uintptr_t adviseFrom_ = 0;
};

/// Holds a closed-file source open while a document is worked on.
class KeepOpen {
public:
    explicit KeepOpen(ClosedFileInputSource *source) : source_(source)
    {
        if (source_)
            source_->stayOpen(true);
    }
    ~KeepOpen()
    {
        if (source_)
            source_->stayOpen(false);
    }
    KeepOpen(const KeepOpen &) = delete;
    KeepOpen &operator=(const KeepOpen &) = delete;

private:
    ClosedFileInputSource *source_;
};

struct Session {
    bool isSplit = false;
    Passwords passwords;
    // merge: the output is built as documents are added and written when the merge closes
    std::unique_ptr<MallocTuning> tuning;  // first in, last out: the documents are freed under it
    QString outputPath;
    std::unique_ptr<AtomicOutput> output;
    QString failure;
    std::unique_ptr<QPDF> out;
    std::unique_ptr<QPDFPageDocumentHelper> outPages;
    std::unique_ptr<QPDFAcroFormDocumentHelper> outForm;
    std::set<QPDFObjGen> referencedFields;
    std::vector<QPDFObjectHandle> newLabels;
    bool anyLabels = false;
    bool lastPageUnlabeled = false;
    long long outPageCount = 0;
    PDFVersion maxVersion{1, 3};
    std::map<QString, std::unique_ptr<Source>> sources;  ///< the documents still open, by path
    std::map<QString, std::size_t> documentIds;
    std::size_t openFiles = 0;
    std::int64_t bytesInMemory = 0;
    /// The first copy in the output of each (source, page): where links to that page lead.
    std::map<std::pair<std::size_t, QPDFObjGen>, QPDFObjectHandle> firstCopy;
    bool anyLinkTargets = false;
    // split
    QString sourcePath;
    std::int64_t sourcePages = 0;
};

HandleTable<Session> &Sessions()
{
    static HandleTable<Session> table;
    return table;
}

std::int32_t Fail(const QString &reason) { return Sessions().Fail(reason); }

std::int32_t Register(std::unique_ptr<Session> session) { return Sessions().Add(std::move(session)); }

Session *Find(std::int32_t handle) { return Sessions().Find(handle); }

// Where a merge reads its documents from. qpdf parses a file through many small seeks and reads,
// three times faster from memory; light documents, the many-file case, are read at once. Larger
// ones would cost their size in memory for the whole merge, so they are kept open instead, as
// long as the open-file limit leaves room; past that they are reopened for every read, the slow
// way that works under any limit.
constexpr std::int64_t SmallFileBytes = 256 * 1024;
constexpr std::int64_t MemoryBudgetBytes = 64 * 1024 * 1024;

/// Documents a merge may keep open at once: a quarter of the open-file limit, the rest being left
/// to the program and to the writer.
std::size_t OpenFileBudget()
{
    rlimit limit{};
    if (::getrlimit(RLIMIT_NOFILE, &limit) != 0)
        return 64;
    if (limit.rlim_cur == RLIM_INFINITY)
        return 1024;
    return std::min<std::size_t>(static_cast<std::size_t>(limit.rlim_cur / 4), 1024);
}

qpdfopen::SourceKind ChooseSource(const Session &s, std::int64_t size)
{
    if (size <= SmallFileBytes && s.bytesInMemory + size <= MemoryBudgetBytes)
        return qpdfopen::SourceKind::Memory;
    if (s.openFiles < OpenFileBudget())
        return qpdfopen::SourceKind::OpenFile;
    return qpdfopen::SourceKind::ClosedFile;
}

/// Whether dropping unused resources from copied pages is worth it: when pages or their form
/// XObjects share resource dictionaries, as qpdf decides it for its own page selection.
bool SharesResources(QPDF &pdf)
{
    std::set<QPDFObjGen> resourcesSeen, nodesSeen;
    std::list<QPDFObjectHandle> queue{pdf.getRoot().getKey("/Pages")};
    while (!queue.empty()) {
        QPDFObjectHandle node = queue.front();
        queue.pop_front();
        if (!nodesSeen.insert(node.getObjGen()).second)
            continue;
        QPDFObjectHandle dict = node.isStream() ? node.getDict() : node;
        QPDFObjectHandle kids = dict.getKey("/Kids");
        if (kids.isArray()) {
            if (dict.hasKey("/Resources"))
                return true;
            for (const QPDFObjectHandle &kid : kids.aitems())
                queue.push_back(kid);
            continue;
        }
        QPDFObjectHandle resources = dict.getKey("/Resources");
        if (resources.isIndirect() && !resourcesSeen.insert(resources.getObjGen()).second)
            return true;
        QPDFObjectHandle xobject = resources.isDictionary() ? resources.getKey("/XObject") : QPDFObjectHandle::newNull();
        if (xobject.isIndirect() && !resourcesSeen.insert(xobject.getObjGen()).second)
            return true;
        if (xobject.isDictionary())
            for (const std::string &key : xobject.getKeys())
                if (QPDFObjectHandle x = xobject.getKey(key); x.isFormXObject())
                    queue.push_back(x);
    }
    return false;
}

/// The document's header version with its extension level, as qpdf's getVersionAsPDFVersion reads
/// them; that one compiles a regular expression on every call, a tenth of a millisecond.
PDFVersion HeaderVersion(QPDF &pdf)
{
    const std::string text = pdf.getPDFVersion();
    int major = 1, minor = 3;
    std::size_t i = text.find_first_not_of(" \t\r\n\f");
    auto number = [&](int &into) {
        if (i >= text.size() || !std::isdigit(static_cast<unsigned char>(text[i])))
            return false;
        into = 0;
        for (; i < text.size() && std::isdigit(static_cast<unsigned char>(text[i])); ++i)
            into = std::min(into * 10 + (text[i] - '0'), 1000);
        return true;
    };
    int a = 0, b = 0;
    if (i != std::string::npos && number(a) && i < text.size() && text[i] == '.' && (++i, number(b))) {
        major = a;
        minor = b;
    }
    return PDFVersion(major, minor, pdf.getExtensionLevel());
}

// Finding the resources a page uses parses its content streams and those of the forms it draws,
// at about 5 MB a second: content built to be parsed would hold a merge for minutes. Past this much
// per document, pages keep the resources they share (as complete as they were, only larger).
constexpr std::int64_t PruningBytesPerDocument = 16LL << 20;

// Copying a document's pages resolves its objects, decoding the object streams that hold them; no
// sound document's come near this. The writer decodes only to compress again (a stream it cannot
// decode within the budget it copies as it is stored), so its budget is for the whole merge.
constexpr qpdfbudget::Limits CopyLimits{.decodedBytes = 1LL << 30};
constexpr qpdfbudget::Limits WriteLimits{.decodedBytes = 1LL << 30};

/// Counts what flows into it and stops the flow past a size.
class Measure final : public Pipeline {
public:
    explicit Measure(std::int64_t limit) : Pipeline("measure", nullptr), limit_(limit) {}
    void write(unsigned char const *, size_t len) override
    {
        bytes_ += static_cast<std::int64_t>(len);
        if (bytes_ > limit_)
            throw std::runtime_error("more content than is parsed");
    }
    void finish() override {}
    std::int64_t Bytes() const noexcept { return bytes_; }

private:
    const std::int64_t limit_;
    std::int64_t bytes_ = 0;
};

/// Whether the content that removing the page's unused resources parses (the page's content
/// streams and those of every form it draws, as qpdf finds them) fits in what the document may still
/// parse. Measuring decodes the streams without parsing them, and counts too.
bool PruningFits(Source &src, QPDFPageObjectHelper page)
{
    std::vector<QPDFObjectHandle> streams;
    QPDFObjectHandle contents = page.getObjectHandle().getKey("/Contents");
    if (contents.isStream())
        streams.push_back(contents);
    else if (contents.isArray())
        for (QPDFObjectHandle item : contents.aitems())
            if (item.isStream())
                streams.push_back(item);
    std::set<QPDFObjGen> seen;
    std::list<QPDFPageObjectHelper> queue{page};
    while (!queue.empty()) {
        QPDFPageObjectHelper ph = queue.front();
        queue.pop_front();
        if (!seen.insert(ph.getObjectHandle().getObjGen()).second)
            continue;
        QPDFObjectHandle resources = ph.getAttribute("/Resources", false);
        QPDFObjectHandle xobjects = resources.isDictionary() ? resources.getKey("/XObject") : QPDFObjectHandle::newNull();
        if (!xobjects.isDictionary())
            continue;
        for (const std::string &key : xobjects.getKeys())
            if (QPDFObjectHandle x = xobjects.getKey(key); x.isFormXObject()) {
                streams.push_back(x);
                queue.emplace_back(x);
            }
    }
    Measure measure(src.pruningLeft);
    bool fits = true;
    for (std::size_t i = 0; fits && i < streams.size(); ++i)
        fits = streams[i].pipeStreamData(&measure, 0, qpdf_dl_specialized, true);
    src.pruningLeft = std::max<std::int64_t>(0, src.pruningLeft - measure.Bytes());
    return fits;
}

/// The document at path, opened unless it still is.
Source *LoadSource(Session &s, const QString &path, QString &reason)
{
    if (const auto it = s.sources.find(path); it != s.sources.end())
        return it->second.get();
    qpdfopen::Opened opened = qpdfopen::OpenPdf(path, s.passwords.owner, s.passwords.user,
                                                [&](std::int64_t size) { return ChooseSource(s, size); });
    if (!opened) {
        reason = opened.reason;
        return nullptr;
    }
    // Counted for the whole merge: the output holds on to the source for the stream data it copies.
    if (opened.kind == qpdfopen::SourceKind::Memory)
        s.bytesInMemory += opened.fileSize;
    else if (opened.kind == qpdfopen::SourceKind::OpenFile)
        ++s.openFiles;
    auto src = std::make_unique<Source>();
    src->id = s.documentIds.emplace(path, s.documentIds.size()).first->second;
    src->closed = opened.closedSource;
    src->pdf = std::move(opened.pdf);
    Source *raw = src.get();
    s.sources.emplace(path, std::move(src));
    const KeepOpen keep(raw->closed);
    qpdfopen::WalkPageTree(*raw->pdf);
    raw->pages = QPDFPageDocumentHelper(*raw->pdf).getAllPages();
    for (QPDFPageObjectHelper &page : raw->pages)
        raw->pageSet.insert(page.getObjectHandle().getObjGen());
    raw->removeUnreferenced = SharesResources(*raw->pdf);
    raw->pruningLeft = PruningBytesPerDocument;
    raw->form = std::make_unique<QPDFAcroFormDocumentHelper>(*raw->pdf);
    raw->labels = std::make_unique<QPDFPageLabelDocumentHelper>(*raw->pdf);
    raw->hasLabels = raw->labels->hasPageLabels();
    s.maxVersion.updateIfGreater(HeaderVersion(*raw->pdf));
    return raw;
}

/// Closes a document whose pages are in: the copies need only its bytes (or open file), which the
/// output keeps. Parsed documents cost many times their size in memory, and a merge of thousands
/// slows down with them. A document with form fields stays open so that adding it again renames
/// its fields as qpdf's own page selection does; any other one added again is opened again (its
/// pages then come in as full copies rather than sharing their resources with the earlier ones).
void Release(Session &s, const QString &path)
{
    const auto it = s.sources.find(path);
    if (it != s.sources.end() && !it->second->form->hasAcroForm())
        s.sources.erase(it);
}

// Links. Copying a page into another document cuts its references to other pages (a link to a page
// not copied yet would otherwise drag that page in); qpdf turns them into null. Before a page is
// copied, the destination of each of its links is rewritten in the source to name its target page
// by a mark; once every page is in, each mark is replaced by the target's first copy in the output,
// or by null when the target was left out.
const char *const LinkTargetKey = "/FolvaneLinkTarget";

/// A named destination of the source resolved to its array, or null.
QPDFObjectHandle NamedDestination(QPDF &pdf, QPDFObjectHandle name)
{
    QPDFObjectHandle found = QPDFObjectHandle::newNull();
    QPDFObjectHandle root = pdf.getRoot();
    if (name.isString()) {
        QPDFObjectHandle tree = root.getKey("/Names").getKey("/Dests");
        if (tree.isDictionary())
            QPDFNameTreeObjectHelper(tree, pdf).findObject(name.getUTF8Value(), found);
    }
    if (found.isNull() && (name.isName() || name.isString())) {
        QPDFObjectHandle dests = root.getKey("/Dests");
        const std::string key = name.isName() ? name.getName() : "/" + name.getUTF8Value();
        if (dests.isDictionary())
            found = dests.getKey(key);
    }
    if (found.isDictionary())
        found = found.getKey("/D");
    return found.isArray() ? found : QPDFObjectHandle::newNull();
}

/// The destination with its page replaced by a mark, or null when it leads to no page of the source.
QPDFObjectHandle MarkDestination(Source &src, QPDFObjectHandle dest)
{
    if (dest.isName() || dest.isString())
        dest = NamedDestination(*src.pdf, dest);
    if (!dest.isArray() || dest.getArrayNItems() < 1)
        return QPDFObjectHandle::newNull();
    QPDFObjectHandle page = dest.getArrayItem(0);
    if (!page.isIndirect() || !src.pageSet.count(page.getObjGen()))
        return QPDFObjectHandle::newNull();
    const QPDFObjGen og = page.getObjGen();
    QPDFObjectHandle mark = QPDFObjectHandle::newDictionary();
    mark.replaceKey(LinkTargetKey, QPDFObjectHandle::newArray({QPDFObjectHandle::newInteger(static_cast<long long>(src.id)),
                                                               QPDFObjectHandle::newInteger(og.getObj()),
                                                               QPDFObjectHandle::newInteger(og.getGen())}));
    std::vector<QPDFObjectHandle> items = dest.getArrayAsVector();
    items[0] = mark;
    return QPDFObjectHandle::newArray(items);
}

/// Marks the targets of the links on a page of the source that is about to be copied.
bool MarkLinks(Source &src, QPDFObjectHandle page)
{
    bool any = false;
    QPDFObjectHandle annots = page.getKey("/Annots");
    if (!annots.isArray())
        return false;
    for (QPDFObjectHandle annot : annots.aitems()) {
        // A link that cannot be read is copied as it is, as qpdf copies it: it never fails a merge.
        try {
            if (!annot.isDictionary() || !annot.getKey("/Subtype").isNameAndEquals("/Link"))
                continue;
            QPDFObjectHandle holder = annot;
            std::string key = "/Dest";
            if (!annot.hasKey(key)) {
                QPDFObjectHandle action = annot.getKey("/A");
                if (!action.isDictionary() || !action.getKey("/S").isNameAndEquals("/GoTo"))
                    continue;
                holder = action;
                key = "/D";
            }
            QPDFObjectHandle marked = MarkDestination(src, holder.getKey(key));
            if (!marked.isNull()) {
                holder.replaceKey(key, marked);
                any = true;
            }
        } catch (const std::exception &) {
        }
    }
    return any;
}

/// Puts the first copy of each marked target page in place of its mark, or null.
void ResolveLinks(Session &s)
{
    auto resolve = [&](QPDFObjectHandle dest) {
        if (!dest.isArray() || dest.getArrayNItems() < 1)
            return;
        QPDFObjectHandle mark = dest.getArrayItem(0);
        if (!mark.isDictionary() || !mark.hasKey(LinkTargetKey))
            return;
        QPDFObjectHandle t = mark.getKey(LinkTargetKey);
        const auto it = s.firstCopy.find({static_cast<std::size_t>(t.getArrayItem(0).getIntValue()),
                                          QPDFObjGen(t.getArrayItem(1).getIntValueAsInt(), t.getArrayItem(2).getIntValueAsInt())});
        dest.setArrayItem(0, it == s.firstCopy.end() ? QPDFObjectHandle::newNull() : it->second);
    };
    for (QPDFPageObjectHelper &page : s.outPages->getAllPages()) {
        QPDFObjectHandle annots = page.getObjectHandle().getKey("/Annots");
        if (!annots.isArray())
            continue;
        for (QPDFObjectHandle annot : annots.aitems()) {
            if (!annot.isDictionary() || !annot.getKey("/Subtype").isNameAndEquals("/Link"))
                continue;
            resolve(annot.getKey("/Dest"));
            if (QPDFObjectHandle action = annot.getKey("/A"); action.isDictionary())
                resolve(action.getKey("/D"));
        }
    }
}

/// Copies the pages into the output as qpdf's own page selection does: repeated pages as shallow
/// copies, unused resources dropped where pages share them, form fields copied and renamed where
/// they clash, page labels carried over.
void CopyPages(Session &s, Source &src, const std::vector<std::size_t> &pageIndexes)
{
    const KeepOpen keep(src.closed);
    const bool hasForm = src.form->hasAcroForm();
    if (src.hasLabels)
        s.anyLabels = true;
    for (const std::size_t index : pageIndexes) {
        // A page without a label continues the numbering of an unlabelled page before it, and qpdf
        // adds no entry for it; asking for one would build and drop a label for every page.
        if (src.hasLabels || !s.lastPageUnlabeled)
            src.labels->getLabelsForPageRange(static_cast<long long>(index), static_cast<long long>(index), s.outPageCount,
                                              s.newLabels);
        s.lastPageUnlabeled = !src.hasLabels;
        ++s.outPageCount;
        QPDFPageObjectHelper toCopy = src.pages.at(index);
        const QPDFObjGen og = toCopy.getObjectHandle().getObjGen();
        const bool first = src.copiedPages.insert(og).second;
        if (first) {
            if (src.removeUnreferenced && PruningFits(src, toCopy))
                toCopy.removeUnreferencedResources();
            if (MarkLinks(src, toCopy.getObjectHandle()))
                s.anyLinkTargets = true;
        } else {
            toCopy = toCopy.shallowCopyPage();
        }
        s.outPages->addPage(toCopy, false);
        QPDFObjectHandle copied = s.out->copyForeignObject(toCopy.getObjectHandle());
        if (first)
            s.firstCopy.emplace(std::make_pair(src.id, og), copied);
        if (hasForm) {
            // qpdf's page selection goes on without the fields of a page it cannot fix up.
            try {
                s.outForm->fixCopiedAnnotations(copied, toCopy.getObjectHandle(), *src.form, &s.referencedFields);
            } catch (const std::exception &) {
            }
        }
    }
}

/// A new merge into outputPath, its output already open; nothing, with the reason, when the output
/// cannot be written there.
std::unique_ptr<Session> NewMerge(const QString &outputPath, const Passwords &passwords, QString &reason)
{
    if (outputPath.isEmpty()) {
        reason = QStringLiteral("no output path");
        return nullptr;
    }
    const QFileInfo target(outputPath);
    if (target.exists() && !target.isFile()) {
        reason = QStringLiteral("%1: the output path is not a file").arg(outputPath);
        return nullptr;
    }
    auto session = std::make_unique<Session>();
    session->passwords = passwords;
    session->outputPath = target.absoluteFilePath();
    session->output = std::make_unique<AtomicOutput>(outputPath);
    if (!session->output->Opened()) {
        reason = session->output->Opened().reason;
        return nullptr;
    }
    session->tuning = std::make_unique<MallocTuning>();
    session->out = std::make_unique<QPDF>();
    session->out->setLogger(qpdfopen::QuietLogger());
    session->out->setSuppressWarnings(true);
    session->out->emptyPDF();
    session->outPages = std::make_unique<QPDFPageDocumentHelper>(*session->out);
    session->outForm = std::make_unique<QPDFAcroFormDocumentHelper>(*session->out);
    return session;
}

std::int32_t CreateMerge(const QString &outputPath, const Passwords &passwords)
{
    QString reason;
    std::unique_ptr<Session> session = NewMerge(outputPath, passwords, reason);
    return session ? Register(std::move(session)) : Fail(reason);
}

/// The document at path, opened within the budget of an open: past it, qpdf would have gone on with
/// what it could not read replaced by nothing, so the document counts as damaged.
Source *OpenSource(Session &s, const QString &path, QString &reason)
{
    const qpdfbudget::Budget opening(qpdfopen::OpenLimits);
    Source *src = nullptr;
    try {
        src = LoadSource(s, path, reason);
    } catch (const std::exception &e) {
        reason = QStringLiteral("damaged: %1").arg(QString::fromStdString(e.what()));
        src = nullptr;
    }
    if (!opening.Overrun().isEmpty()) {
        reason = QStringLiteral("damaged: %1").arg(opening.Overrun());
        return nullptr;
    }
    return src;
}

/// Copies the pages within the budget of a copy; false, with the reason, past it.
bool CopyPagesWithin(Session &s, Source &src, const std::vector<std::size_t> &pageIndexes, QString &reason)
{
    const qpdfbudget::Budget copying(CopyLimits);
    try {
        CopyPages(s, src, pageIndexes);
    } catch (const std::exception &e) {
        reason = QStringLiteral("damaged: %1").arg(QString::fromStdString(e.what()));
    }
    if (!copying.Overrun().isEmpty())
        reason = QStringLiteral("damaged: %1").arg(copying.Overrun());
    return reason.isEmpty();
}

/// Opens the document (once per merge), checks the range against it and copies its pages in.
std::int32_t AddDocument(Session &s, const QString &path, const QString &rangeText)
{
    if (!s.failure.isEmpty())
        return Fail(QStringLiteral("the merge has already failed: %1").arg(s.failure));
    QString reason;
    const std::optional<PageRange> range = ParseRange(rangeText, reason);
    if (Source *src = range ? OpenSource(s, path, reason) : nullptr) {
        const auto pageCount = static_cast<std::int64_t>(src->pages.size());
        std::vector<std::size_t> indexes;
        if (pageCount < 1)
            reason = QStringLiteral("the document has no pages");
        else if (QpdfRange(*range, pageCount, rangeText, reason)) {
            if (range->all)
                for (std::int64_t p = 0; p < pageCount; ++p)
                    indexes.push_back(static_cast<std::size_t>(p));
            for (const PageItem &item : range->items)
                for (std::int64_t p = item.first; p <= item.last; ++p)
                    indexes.push_back(static_cast<std::size_t>(p - 1));
            if (CopyPagesWithin(s, *src, indexes, reason)) {
                Release(s, path);
                return 0;
            }
        }
    }
    s.failure = QStringLiteral("%1: %2").arg(path, reason);
    return Fail(s.failure);
}

/// Finishes the output as qpdf's page selection does (only the fields of copied pages, page labels
/// renumbered, links mended), writes it to the temporary file and syncs it; it is not named yet.
std::int32_t FinishMerge(Session &s)
{
    if (!s.failure.isEmpty())
        return Fail(QStringLiteral("nothing written: %1").arg(s.failure));
    if (s.outPageCount == 0)
        return Fail(QStringLiteral("%1: no documents were added, nothing written").arg(s.outputPath));
    const QString couldNotWrite = QStringLiteral("%1: the merged file could not be written").arg(s.outputPath);
    try {
        QPDF &out = *s.out;
        if (s.anyLabels) {
            QPDFObjectHandle labels = QPDFObjectHandle::newDictionary();
            labels.replaceKey("/Nums", QPDFObjectHandle::newArray(s.newLabels));
            out.getRoot().replaceKey("/PageLabels", labels);
        }
        if (s.outForm->hasAcroForm()) {
            QPDFObjectHandle acroForm = out.getRoot().getKey("/AcroForm");
            QPDFObjectHandle fields = acroForm.getKey("/Fields");
            if (fields.isArray()) {
                QPDFObjectHandle kept = QPDFObjectHandle::newArray();
                if (fields.isIndirect())
                    kept = out.makeIndirectObject(kept);
                for (QPDFObjectHandle field : fields.aitems())
                    if (s.referencedFields.count(field.getObjGen()))
                        kept.appendItem(field);
                if (kept.getArrayNItems() > 0)
                    acroForm.replaceKey("/Fields", kept);
                else
                    out.getRoot().removeKey("/AcroForm");
            }
        }
        if (s.anyLinkTargets)
            ResolveLinks(s);
    } catch (const std::exception &e) {
        return Fail(QStringLiteral("%1: %2").arg(couldNotWrite, QString::fromStdString(e.what())));
    }
    // Closed-file sources are reopened by the writer for each stream it copies.
    const Outcome written = qpdfoutput::WritePdf(*s.out, *s.output, couldNotWrite, [&](QPDFWriter &writer) {
        writer.setMinimumPDFVersion(s.maxVersion);
    });
    if (!written)
        return Fail(written.reason);
    if (Outcome sealed = s.output->Seal(); !sealed)
        return Fail(sealed.reason);
    return 0;
}

/// Writes the merge and puts it in place.
std::int32_t WriteMerge(Session &s)
{
    if (const std::int32_t finished = FinishMerge(s); finished != 0)
        return finished;
    if (Outcome committed = s.output->Commit(); !committed)
        return Fail(committed.reason);
    return 0;
}

std::int32_t OpenSplit(const QString &sourcePath, const Passwords &passwords)
{
    auto session = std::make_unique<Session>();
    session->isSplit = true;
    session->passwords = passwords;
    session->sourcePath = sourcePath;
    const qpdfbudget::Budget opening(qpdfopen::OpenLimits);
    try {
        const qpdfopen::Opened opened = qpdfopen::OpenPdf(sourcePath, passwords.owner, passwords.user);
        if (!opened)
            return Fail(QStringLiteral("%1: %2").arg(sourcePath, opened.reason));
        qpdfopen::WalkPageTree(*opened.pdf);
        session->sourcePages = static_cast<std::int64_t>(opened.pdf->getAllPages().size());  // exact: it names files
    } catch (const std::exception &e) {
        return Fail(QStringLiteral("%1: damaged: %2").arg(sourcePath, QString::fromStdString(e.what())));
    }
    if (!opening.Overrun().isEmpty())
        return Fail(QStringLiteral("%1: damaged: %2").arg(sourcePath, opening.Overrun()));
    if (session->sourcePages < 1)
        return Fail(QStringLiteral("%1: the document has no pages").arg(sourcePath));
    return Register(std::move(session));
}

std::int32_t RunSplit(const Session &s, std::int32_t mode, const QString &rangeText, const QString &outputBase)
{
    if (outputBase.isEmpty())
        return Fail(QStringLiteral("no output base path"));
    QStringList pieces;
    if (mode == 1) {
        for (std::int64_t p = 1; p <= s.sourcePages; ++p)
            pieces << QString::number(p);
    } else if (mode == 2) {
        // Every item is checked before the first file is written.
        QString reason;
        const std::optional<PageRange> range = ParseRange(rangeText, reason);
        if (!range || !QpdfRange(*range, s.sourcePages, rangeText, reason))
            return Fail(QStringLiteral("%1: %2").arg(s.sourcePath, reason));
        if (range->all)
            pieces << QStringLiteral("0");
        for (const PageItem &p : range->items)
            pieces << (p.first == p.last ? QString::number(p.first) : QStringLiteral("%1-%2").arg(p.first).arg(p.last));
    } else {
        return Fail(QStringLiteral("split mode %1 is not known").arg(mode));
    }
    // Every file is written before the first is named, so a failure leaves none of them.
    std::vector<std::unique_ptr<AtomicOutput>> outputs;
    for (int k = 0; k < pieces.size(); ++k) {
        QString reason;
        std::unique_ptr<Session> part = NewMerge(QStringLiteral("%1_%2.pdf").arg(outputBase).arg(k + 1), s.passwords, reason);
        if (!part)
            return Fail(reason);
        if (AddDocument(*part, s.sourcePath, pieces[k]) != 0 || FinishMerge(*part) != 0)
            return -1;
        outputs.push_back(std::move(part->output));
    }
    if (Outcome committed = CommitTogether(outputs); !committed)
        return Fail(committed.reason);
    return 0;
}

Result FromCode(std::int32_t code)
{
    if (code >= 0)
        return {true, {}};
    return {false, apLastError()};
}

}  // namespace

std::int32_t apCreateMerge(const QString &outputPath, const Passwords &passwords)
{
    return CreateMerge(outputPath, passwords);
}

std::int32_t apOpenSplit(const QString &sourcePath, const Passwords &passwords)
{
    return OpenSplit(sourcePath, passwords);
}

std::int32_t apSetFunction(std::int32_t handle, std::int32_t function, std::int32_t n1, std::int32_t n2,
                           const QString &text1, const QString &text2)
{
    Session *s = Find(handle);
    if (!s)
        return Fail(QStringLiteral("engine handle %1 is not open").arg(handle));
    if (!s->isSplit && function == FnAddDocument) {
        const std::int32_t added = AddDocument(*s, text1, text2);
        MallocTuning::AdviseHeap();
        return added;
    }
    if (s->isSplit && function == FnSplit && n1 == 1)
        return RunSplit(*s, n2, text1, text2);
    return Fail(QStringLiteral("engine function %1 (%2, %3) is not offered on this handle").arg(function).arg(n1).arg(n2));
}

std::int32_t apClose(std::int32_t handle)
{
    const std::unique_ptr<Session> session = Sessions().Take(handle);
    if (!session)
        return Fail(QStringLiteral("engine handle %1 is not open").arg(handle));
    const qpdfbudget::Budget writing(WriteLimits);
    return session->isSplit ? 0 : WriteMerge(*session);
}

void apDiscard(std::int32_t handle) { Sessions().Take(handle); }

QString apLastError() { return Sessions().LastError(); }

PdfMerge::PdfMerge(const QString &outputPath, const Passwords &passwords)
    : handle_(apCreateMerge(outputPath, passwords))
{
    opened_ = handle_ > 0 ? Result{true, {}} : Result{false, apLastError()};
}

PdfMerge::~PdfMerge()
{
    if (handle_ > 0)
        apDiscard(handle_);
}

Result PdfMerge::Add(const QString &path, const QString &range)
{
    if (handle_ <= 0)
        return {false, opened_.ok ? QStringLiteral("the merge is closed") : opened_.reason};
    return FromCode(apSetFunction(handle_, FnAddDocument, 0, 0, path, range));
}

Result PdfMerge::Close()
{
    if (handle_ <= 0)
        return {false, opened_.ok ? QStringLiteral("the merge is closed") : opened_.reason};
    const std::int32_t handle = std::exchange(handle_, 0);
    return FromCode(apClose(handle));
}

PdfSplit::PdfSplit(const QString &sourcePath, const Passwords &passwords)
    : handle_(apOpenSplit(sourcePath, passwords))
{
    opened_ = handle_ > 0 ? Result{true, {}} : Result{false, apLastError()};
}

PdfSplit::~PdfSplit()
{
    if (handle_ > 0)
        apClose(handle_);
}

Result PdfSplit::Run(const QString &range, const QString &outputBase)
{
    if (handle_ <= 0)
        return {false, opened_.reason};
    return FromCode(apSetFunction(handle_, FnSplit, 1, range.isEmpty() ? 1 : 2, range, outputBase));
}

}  // namespace folvane::PdfEngine
