#include "platform/QpdfOpen.h"

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
#include <stdexcept>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace folvane::qpdfopen {

namespace {

/// Opens only regular files: O_NONBLOCK keeps a FIFO from blocking the open, and fstat on the open
/// descriptor leaves no window in which the path could be swapped for something else.
int OpenRegularFile(const std::string &path, std::int64_t &size, QString &reason)
{
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) {
        reason = QStringLiteral("cannot open the file: %1").arg(QString::fromLocal8Bit(std::strerror(errno)));
        return -1;
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        reason = QStringLiteral("not a regular file");
        return -1;
    }
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    size = static_cast<std::int64_t>(st.st_size);
    return fd;
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
        return std::make_shared<BufferInputSource>(name, buffer.release(), true);
    }
    if (kind == SourceKind::ClosedFile) {
        // The descriptor only proved the path a regular file; the source opens it by name.
        ::close(fd);
        auto source = std::make_shared<ClosedFileInputSource>(name.c_str());
        source->stayOpen(true);
        closed = source.get();
        return source;
    }
    FILE *file = ::fdopen(fd, "rb");
    if (!file) {
        ::close(fd);
        throw std::runtime_error("the file could not be read");
    }
    return std::make_shared<FileInputSource>(name.c_str(), file, true);
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

Opened OpenPdf(const QString &path, const QString &ownerPassword, const QString &userPassword)
{
    return OpenPdf(path, ownerPassword, userPassword, [](std::int64_t size) {
        return size <= ReadWholeLimit ? SourceKind::Memory : SourceKind::OpenFile;
    });
}

Opened OpenPdf(const QString &path, const QString &ownerPassword, const QString &userPassword,
               const std::function<SourceKind(std::int64_t fileSize)> &chooseSource)
{
    Opened out;
    const std::string name = EncodePath(path);
    std::vector<std::string> candidates;
    AddCandidate(candidates, ownerPassword);
    AddCandidate(candidates, userPassword);
    if (std::find(candidates.begin(), candidates.end(), std::string()) == candidates.end())
        candidates.emplace_back();

    for (const std::string &password : candidates) {
        const int fd = OpenRegularFile(name, out.fileSize, out.reason);
        if (fd < 0)
            return out;
        try {
            const SourceKind kind = chooseSource(out.fileSize);
            ClosedFileInputSource *closed = nullptr;
            auto source = MakeSource(fd, out.fileSize, name, kind, closed);
            auto pdf = std::make_unique<QPDF>();
            pdf->setLogger(QuietLogger());
            pdf->setSuppressWarnings(true);
            pdf->processInputSource(source, password.empty() ? nullptr : password.c_str());
            out.pdf = std::move(pdf);
            out.password = password;
            out.kind = kind;
            out.closedSource = closed;
            out.reason.clear();
            return out;
        } catch (const QPDFExc &e) {
            if (e.getErrorCode() != qpdf_e_password) {
                out.reason = QStringLiteral("damaged or not a PDF: %1").arg(QString::fromStdString(e.getMessageDetail()));
                return out;
            }
            out.reason = QStringLiteral("encrypted, and no password of the preferences opens it");
        } catch (const std::exception &e) {
            out.reason = QStringLiteral("cannot be read: %1").arg(QString::fromStdString(e.what()));
            return out;
        } catch (...) {
            out.reason = QStringLiteral("cannot be read");
            return out;
        }
    }
    return out;
}

std::int64_t PageCount(const Opened &opened)
{
    // The root's /Count saves walking every page; it is trusted only when it is a count a file of
    // this size could hold, and anything else is settled by walking the tree.
    QPDFObjectHandle count = opened.pdf->getRoot().getKey("/Pages").getKey("/Count");
    if (count.isInteger()) {
        const long long n = count.getIntValue();
        if (n >= 1 && n <= std::numeric_limits<std::int32_t>::max() && n <= opened.fileSize)
            return n;
    }
    return static_cast<std::int64_t>(opened.pdf->getAllPages().size());
}

}  // namespace folvane::qpdfopen
