#include "platform/MergeInputs.h"

#include "platform/QpdfBudget.h"

#include <qpdf/ClosedFileInputSource.hh>
#include <qpdf/QPDFPageDocumentHelper.hh>

#include <algorithm>
#include <cctype>
#include <string>

#include <sys/resource.h>

namespace folvane::PdfEngine {

namespace {

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

}  // namespace

KeepOpen::KeepOpen(ClosedFileInputSource *source) : source_(source)
{
    if (source_)
        source_->stayOpen(true);
}

KeepOpen::~KeepOpen()
{
    if (source_)
        source_->stayOpen(false);
}

MergeInputs::MergeInputs(const Passwords &passwords) : passwords_(passwords) {}

MergeInputs::~MergeInputs() = default;

Expected<MergeSource *> MergeInputs::Open(const QString &path)
{
    return qpdfbudget::Within(qpdfopen::OpenLimits(path), [&] { return Load(path); });
}

qpdfopen::SourceKind MergeInputs::ChooseSource(std::int64_t fileSize) const
{
    if (fileSize <= SmallFileBytes && bytesInMemory_ + fileSize <= MemoryBudgetBytes)
        return qpdfopen::SourceKind::Memory;
    if (openFiles_ < OpenFileBudget())
        return qpdfopen::SourceKind::OpenFile;
    return qpdfopen::SourceKind::ClosedFile;
}

Expected<MergeSource *> MergeInputs::Load(const QString &path)
{
    if (const auto it = sources_.find(path); it != sources_.end())
        return it->second.get();
    Expected<qpdfopen::Opened> opened = qpdfopen::OpenPdf(path, passwords_.owner, passwords_.user,
                                                          [this](std::int64_t size) { return ChooseSource(size); });
    if (!opened)
        return opened;
    if (opened->kind == qpdfopen::SourceKind::Memory)
        bytesInMemory_ += opened->fileSize;
    else if (opened->kind == qpdfopen::SourceKind::OpenFile)
        ++openFiles_;
    auto source = std::make_unique<MergeSource>();
    source->id = documentIds_.emplace(path, documentIds_.size()).first->second;
    source->closed = opened->closedSource;
    source->pdf = std::move(opened->pdf);
    MergeSource &src = *sources_.emplace(path, std::move(source)).first->second;
    const KeepOpen keep(src.closed);
    qpdfopen::WalkPageTree(*src.pdf);
    src.pages = QPDFPageDocumentHelper(*src.pdf).getAllPages();
    for (QPDFPageObjectHelper &page : src.pages)
        src.pageSet.insert(page.getObjectHandle().getObjGen());
    src.unusedResources.emplace(*src.pdf);
    src.form = std::make_unique<QPDFAcroFormDocumentHelper>(*src.pdf);
    src.labels = std::make_unique<QPDFPageLabelDocumentHelper>(*src.pdf);
    src.hasLabels = src.labels->hasPageLabels();
    src.version = HeaderVersion(*src.pdf);
    return &src;
}

/// Parsed documents cost many times their size in memory, and a merge of thousands slows down with
/// them, while the copies need only a document's bytes (or open file), which the output keeps. A
/// document with form fields stays open so that adding it again renames its fields as qpdf's own page
/// selection does; any other one added again is opened again (its pages then come in as full copies
/// rather than sharing their resources with the earlier ones).
void MergeInputs::Release(const QString &path)
{
    const auto it = sources_.find(path);
    if (it != sources_.end() && !it->second->form->hasAcroForm())
        sources_.erase(it);
}

}  // namespace folvane::PdfEngine
