#include "platform/PdfEngine.h"

#include "platform/HandleTable.h"
#include "platform/QpdfOpen.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <QStringList>
#include <QTemporaryFile>

#include <qpdf/QPDFJob.hh>

#include <algorithm>
#include <cstdio>
#include <limits>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include <sys/resource.h>
#include <sys/stat.h>
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

struct Input {
    std::string path;
    std::string password;
    std::string pages;
};

struct Session {
    bool isSplit = false;
    Passwords passwords;
    // merge
    QString outputPath;
    std::unique_ptr<QTemporaryFile> temp;
    std::vector<Input> inputs;
    QString failure;
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

/// Inputs qpdf may keep open at once: its own threshold of 200, lowered when the open-file limit
/// is small, so thousands of inputs work under any limit (past it qpdf reopens files as needed).
std::size_t KeepOpenThreshold()
{
    rlimit limit{};
    if (::getrlimit(RLIMIT_NOFILE, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY)
        return 200;
    return std::clamp<std::size_t>(static_cast<std::size_t>(limit.rlim_cur / 4), 1, 200);
}

/// Opens the document and works out which password opens it and which pages the range takes.
std::optional<Input> PrepareInput(const QString &path, const QString &rangeText, const Passwords &passwords,
                                  QString &reason)
{
    const std::optional<PageRange> range = ParseRange(rangeText, reason);
    if (!range)
        return std::nullopt;
    Input input;
    std::int64_t pageCount = 0;
    try {
        const qpdfopen::Opened opened = qpdfopen::OpenPdf(path, passwords.owner, passwords.user);
        if (!opened) {
            reason = opened.reason;
            return std::nullopt;
        }
        // qpdf checks the range against the full page walk again when it writes the merge.
        pageCount = qpdfopen::PageCount(opened);
        input.password = opened.password;
    } catch (const std::exception &e) {
        reason = QStringLiteral("damaged: %1").arg(QString::fromStdString(e.what()));
        return std::nullopt;
    }
    if (pageCount < 1) {
        reason = QStringLiteral("the document has no pages");
        return std::nullopt;
    }
    const std::optional<std::string> pages = QpdfRange(*range, pageCount, rangeText, reason);
    if (!pages)
        return std::nullopt;
    input.path = qpdfopen::EncodePath(path);
    input.pages = *pages;
    return input;
}

std::int32_t CreateMerge(const QString &outputPath, const Passwords &passwords)
{
    if (outputPath.isEmpty())
        return Fail(QStringLiteral("no output path"));
    const QFileInfo target(outputPath);
    if (target.exists() && !target.isFile())
        return Fail(QStringLiteral("%1: the output path is not a file").arg(outputPath));
    auto session = std::make_unique<Session>();
    session->passwords = passwords;
    session->outputPath = target.absoluteFilePath();
    session->temp = std::make_unique<QTemporaryFile>(
        target.absoluteDir().filePath(QLatin1Char('.') + target.fileName() + QStringLiteral(".XXXXXX.part")));
    if (!session->temp->open())
        return Fail(QStringLiteral("%1: cannot write in the output folder: %2")
                        .arg(outputPath, session->temp->errorString()));
    return Register(std::move(session));
}

std::int32_t AddDocument(Session &s, const QString &path, const QString &range)
{
    if (!s.failure.isEmpty())
        return Fail(QStringLiteral("the merge has already failed: %1").arg(s.failure));
    QString reason;
    std::optional<Input> input = PrepareInput(path, range, s.passwords, reason);
    if (!input) {
        s.failure = QStringLiteral("%1: %2").arg(path, reason);
        return Fail(s.failure);
    }
    s.inputs.push_back(std::move(*input));
    return 0;
}

/// Runs the merge as `qpdf --empty --pages ...` would, into the temporary file, then renames it into
/// place. qpdf keeps annotations, links and form fields, and raises the header to the highest input
/// version.
std::int32_t WriteMerge(Session &s)
{
    if (!s.failure.isEmpty())
        return Fail(QStringLiteral("nothing written: %1").arg(s.failure));
    if (s.inputs.empty())
        return Fail(QStringLiteral("%1: no documents were added, nothing written").arg(s.outputPath));
    const QString tempPath = s.temp->fileName();
    try {
        QPDFJob job;
        job.setLogger(qpdfopen::QuietLogger());
        auto config = job.config();
        config->emptyInput()
            ->outputFile(qpdfopen::EncodePath(tempPath))
            ->noWarn()
            ->keepFilesOpenThreshold(std::to_string(KeepOpenThreshold()));
        auto pages = config->pages();
        for (const Input &in : s.inputs)
            pages->pageSpec(in.path, in.pages, in.password.empty() ? nullptr : in.password.c_str());
        pages->endPages();
        config->checkConfiguration();
        job.run();
        if (job.getExitCode() == QPDFJob::EXIT_ERROR)
            return Fail(QStringLiteral("%1: the merged file could not be written").arg(s.outputPath));
    } catch (const std::exception &e) {
        return Fail(QStringLiteral("%1: the merged file could not be written: %2")
                        .arg(s.outputPath, QString::fromStdString(e.what())));
    }
    // The temporary file was made private; the result gets the permissions of the file it replaces
    // (a private document stays private), else those of any new file.
    struct stat replaced {};
    if (::stat(qpdfopen::EncodePath(s.outputPath).c_str(), &replaced) == 0 && S_ISREG(replaced.st_mode)) {
        ::fchmod(s.temp->handle(), replaced.st_mode & 0777);
        // The rename drops the old file: its replacement must be on disk first, or a power cut right
        // after could leave neither. A new file risks nothing, so it is spared the wait.
        if (::fsync(s.temp->handle()) != 0)
            return Fail(QStringLiteral("%1: the merged file could not be written to disk").arg(s.outputPath));
    } else {
        const mode_t mask = ::umask(0);
        ::umask(mask);
        ::fchmod(s.temp->handle(), 0666 & ~mask);
    }
    s.temp->close();
    if (std::rename(qpdfopen::EncodePath(tempPath).c_str(), qpdfopen::EncodePath(s.outputPath).c_str()) != 0)
        return Fail(QStringLiteral("%1: the merged file could not be put in place").arg(s.outputPath));
    s.temp->setAutoRemove(false);
    return 0;
}

std::int32_t OpenSplit(const QString &sourcePath, const Passwords &passwords)
{
    auto session = std::make_unique<Session>();
    session->isSplit = true;
    session->passwords = passwords;
    session->sourcePath = sourcePath;
    try {
        const qpdfopen::Opened opened = qpdfopen::OpenPdf(sourcePath, passwords.owner, passwords.user);
        if (!opened)
            return Fail(QStringLiteral("%1: %2").arg(sourcePath, opened.reason));
        session->sourcePages = static_cast<std::int64_t>(opened.pdf->getAllPages().size());  // exact: it names files
    } catch (const std::exception &e) {
        return Fail(QStringLiteral("%1: damaged: %2").arg(sourcePath, QString::fromStdString(e.what())));
    }
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
    for (int k = 0; k < pieces.size(); ++k) {
        PdfMerge part(QStringLiteral("%1_%2.pdf").arg(outputBase).arg(k + 1), s.passwords);
        Result r = part.Opened();
        if (r)
            r = part.Add(s.sourcePath, pieces[k]);
        if (r)
            r = part.Close();
        if (!r)
            return Fail(r.reason);
    }
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
    if (!s->isSplit && function == FnAddDocument)
        return AddDocument(*s, text1, text2);
    if (s->isSplit && function == FnSplit && n1 == 1)
        return RunSplit(*s, n2, text1, text2);
    return Fail(QStringLiteral("engine function %1 (%2, %3) is not offered on this handle").arg(function).arg(n1).arg(n2));
}

std::int32_t apClose(std::int32_t handle)
{
    const std::unique_ptr<Session> session = Sessions().Take(handle);
    if (!session)
        return Fail(QStringLiteral("engine handle %1 is not open").arg(handle));
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
