#include "platform/QpdfOpen.h"

#include "platform/FileDescriptor.h"
#include "platform/StreamDecoders.h"

#include <QFile>

#include <qpdf/Buffer.hh>
#include <qpdf/BufferInputSource.hh>
#include <qpdf/ClosedFileInputSource.hh>
#include <qpdf/FileInputSource.hh>
#include <qpdf/QPDFExc.hh>
#include <qpdf/QPDFObjectHandle.hh>
#include <qpdf/QUtil.hh>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <limits>
#include <set>
#include <stdexcept>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace folvane::qpdfopen {

namespace {

/// Opens only regular files, never waiting on a FIFO; the reasons are this unit's.
Expected<RegularFile> OpenInput(const std::string &path)
{
    RegularFile file = OpenRegularFile(path.c_str(), O_RDONLY);
    if (file.failure == RegularFile::Failure::CannotOpen)
        return Outcome::Failed(QStringLiteral("cannot open the file: %1").arg(QString::fromLocal8Bit(std::strerror(file.error))));
    if (file.failure == RegularFile::Failure::NotRegular)
        return Outcome::Failed(QStringLiteral("not a regular file"));
    return file;
}

// qpdf reads a file in many small seeks and reads; a small file is cheaper read at once.
constexpr std::int64_t ReadWholeLimit = 4 * 1024 * 1024;

/// The input for qpdf, of the kind asked for. Takes the descriptor.
std::shared_ptr<InputSource> MakeSource(int fd, std::int64_t size, const std::string &name, SourceKind kind,
                                        ClosedFileInputSource *&closed)
{
    closed = nullptr;
    if (kind == SourceKind::Memory) {
        auto buffer = std::make_unique<Buffer>(static_cast<std::size_t>(size));
        std::size_t done = 0;
        while (done < static_cast<std::size_t>(size)) {
            const ssize_t n = ::read(fd, buffer->getBuffer() + done, static_cast<std::size_t>(size) - done);
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0)
                break;
            done += static_cast<std::size_t>(n);
        }
        ::close(fd);
        if (done != static_cast<std::size_t>(size))
            throw std::runtime_error("the file could not be read");
        // Counted once, whole: what qpdf does with a file in memory is bounded by its size.
        qpdfbudget::ChargeRead(size);
        return std::make_shared<BufferInputSource>(name, buffer.release(), true);
    }
    if (kind == SourceKind::ClosedFile) {
        // The descriptor only proved the path a regular file; the source opens it by name.
        ::close(fd);
        auto source = std::make_shared<ClosedFileInputSource>(name.c_str());
        source->stayOpen(true);
        closed = source.get();
        return qpdfbudget::Counted(source);
    }
    FILE *file = ::fdopen(fd, "rb");
    if (!file) {
        ::close(fd);
        throw std::runtime_error("the file could not be read");
    }
    return qpdfbudget::Counted(std::make_shared<FileInputSource>(name.c_str(), file, true));
}

void AddCandidate(std::vector<std::string> &candidates, const QString &password)
{
    if (password.isEmpty())
        return;
    auto add = [&](const std::string &bytes) {
        if (std::find(candidates.begin(), candidates.end(), bytes) == candidates.end())
            candidates.push_back(bytes);
    };
    const std::string utf8 = password.toStdString();
    add(utf8);
    // Files encrypted with RC4 or AES-128 take their passwords in PDFDocEncoding, not UTF-8.
    std::string pdfDoc;
    if (QUtil::utf8_to_pdf_doc(utf8, pdfDoc))
        add(pdfDoc);
}

}  // namespace

std::shared_ptr<QPDFLogger> QuietLogger()
{
    static const std::shared_ptr<QPDFLogger> logger = [] {
        auto l = QPDFLogger::create();
        l->setInfo(l->discard());
        l->setWarn(l->discard());
        l->setError(l->discard());
        return l;
    }();
    return logger;
}

std::string EncodePath(const QString &path) { return QFile::encodeName(path).toStdString(); }

qpdfbudget::Limits OpenLimits(const QString &path)
{
    // A file that cannot be looked at will not open either; the floor is all it gets.
    struct stat st {};
    const std::int64_t allocated = ::stat(EncodePath(path).c_str(), &st) == 0 ? static_cast<std::int64_t>(st.st_blocks) * 512 : 0;
    return {.readBytes = std::max(OpenReadFloor, OpenReadPerAllocatedByte * allocated),
            .decodedBytes = OpenDecodedBytes,
            .time = OpenTime,
            .memoryBytes = OpenMemoryBytes};
}

std::int64_t MaxCrossReferenceBytes(std::int64_t fileSize) { return std::clamp<std::int64_t>(fileSize, 8LL << 20, 16LL << 20); }

Expected<Opened> OpenPdf(const QString &path, const QString &ownerPassword, const QString &userPassword)
{
    return OpenPdf(path, ownerPassword, userPassword, [](std::int64_t size) {
        return size <= ReadWholeLimit ? SourceKind::Memory : SourceKind::OpenFile;
    });
}

Expected<Opened> OpenPdf(const QString &path, const QString &ownerPassword, const QString &userPassword,
                         const std::function<SourceKind(std::int64_t fileSize)> &chooseSource)
{
    streamdecoders::Install();
    const std::string name = EncodePath(path);
    std::vector<std::string> candidates;
    AddCandidate(candidates, ownerPassword);
    AddCandidate(candidates, userPassword);
    if (std::find(candidates.begin(), candidates.end(), std::string()) == candidates.end())
        candidates.emplace_back();

    QString refused;
    for (const std::string &password : candidates) {
        Expected<RegularFile> input = OpenInput(name);
        if (!input)
            return input;
        const std::int64_t size = input->size;
        // The only streams qpdf decodes while it opens a file are its cross-reference streams.
        const qpdfbudget::Budget structure({.decodedBytes = MaxCrossReferenceBytes(size)});
        try {
            const SourceKind kind = chooseSource(size);
            ClosedFileInputSource *closed = nullptr;
            auto source = MakeSource(input->fd.release(), size, name, kind, closed);
            auto pdf = std::make_unique<QPDF>();
            pdf->setLogger(QuietLogger());
            pdf->setSuppressWarnings(true);
            pdf->processInputSource(source, password.empty() ? nullptr : password.c_str());
            if (!structure.Overrun().isEmpty())
                return Outcome::Failed(QStringLiteral("damaged or not a PDF: %1").arg(structure.Overrun()));
            return Opened{std::move(pdf), password, size, kind, closed};
        } catch (const QPDFExc &e) {
            if (e.getErrorCode() != qpdf_e_password) {
                // qpdf tells of what failed after a limit, not of the limit.
                const QString detail = structure.Overrun().isEmpty() ? QString::fromStdString(e.getMessageDetail())
                                                                     : structure.Overrun();
                return Outcome::Failed(QStringLiteral("damaged or not a PDF: %1").arg(detail));
            }
            refused = QStringLiteral("encrypted, and no password of the preferences opens it");
        } catch (const std::exception &e) {
            return Outcome::Failed(QStringLiteral("cannot be read: %1").arg(QString::fromStdString(e.what())));
        } catch (...) {
            return Outcome::Failed(QStringLiteral("cannot be read"));
        }
    }
    return Outcome::Failed(refused);
}

std::int64_t PageCount(const Opened &opened)
{
    // The root's /Count saves walking every page; it is believed only where the file vouches for
    // it. No page can carry an object number past the highest one, which the trailer's /Size gives
    // when the file opened without a repair or any other warning, and no file holds more pages
    // than bytes. Anything else is settled by walking the tree.
    QPDF &pdf = *opened.pdf;
    QPDFObjectHandle count = pdf.getRoot().getKey("/Pages").getKey("/Count");
    QPDFObjectHandle size = pdf.getTrailer().getKey("/Size");
    if (count.isInteger() && size.isInteger() && pdf.numWarnings() == 0) {
        const long long n = count.getIntValue();
        if (n >= 1 && n < size.getIntValue() && n <= opened.fileSize && n <= std::numeric_limits<std::int32_t>::max())
            return n;
    }
    return WalkPageTree(pdf);
}

std::int64_t WalkPageTree(QPDF &pdf)
{
    QPDFObjectHandle node = pdf.getRoot().getKey("/Pages");
    std::set<QPDFObjGen> seen;
    while (node.isDictionary() && node.hasKey("/Parent") && seen.insert(node.getObjGen()).second)
        node = node.getKey("/Parent");

    // A node with /Kids is a node of the tree, anything else a page; a node met twice is a loop
    // (qpdf refuses a tree that shares a node as well).
    struct Level {
        QPDFObjectHandle kids;
        int next = 0;
        int count = 0;
    };
    std::vector<Level> path;
    std::set<QPDFObjGen> nodes;
    auto enter = [&](QPDFObjectHandle n) {
        if (!nodes.insert(n.getObjGen()).second)
            throw std::runtime_error("the page tree contains a loop");
        if (path.size() == static_cast<std::size_t>(MaxPageTreeDepth))
            throw std::runtime_error(QStringLiteral("the page tree is more than %1 levels deep").arg(MaxPageTreeDepth).toStdString());
        QPDFObjectHandle kids = n.getKey("/Kids");
        path.push_back({kids, 0, kids.isArray() ? kids.getArrayNItems() : 0});
    };
    enter(node);
    std::int64_t pages = 0;
    while (!path.empty()) {
        Level &level = path.back();
        if (level.next == level.count) {
            path.pop_back();
            continue;
        }
        QPDFObjectHandle kid = level.kids.getArrayItem(level.next++);
        if (kid.isDictionary() && kid.hasKey("/Kids"))
            enter(kid);
        else
            ++pages;
    }
    return pages;
}

Expected<std::int64_t> CountPages(const QString &path, const QString &ownerPassword, const QString &userPassword)
{
    const Expected<std::int64_t> pages = qpdfbudget::Within(OpenLimits(path), [&]() -> Expected<std::int64_t> {
        const Expected<Opened> opened = OpenPdf(path, ownerPassword, userPassword);
        if (!opened)
            return opened;
        return PageCount(*opened);
    });
    if (pages && *pages < 1)
        return Outcome::Failed(QStringLiteral("the document has no readable pages"));
    return pages;
}

}  // namespace folvane::qpdfopen
