#include "platform/QpdfOpen.h"

#include <QFile>

#include <qpdf/QPDFExc.hh>
#include <qpdf/QUtil.hh>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace folvane::qpdfopen {

namespace {

/// Opens only regular files: O_NONBLOCK keeps a FIFO from blocking the open, and fstat on the open
/// descriptor leaves no window in which the path could be swapped for something else.
FILE *OpenRegularFile(const std::string &path, std::int64_t &size, QString &reason)
{
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) {
        reason = QStringLiteral("cannot open the file: %1").arg(QString::fromLocal8Bit(std::strerror(errno)));
        return nullptr;
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        reason = QStringLiteral("not a regular file");
        return nullptr;
    }
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    FILE *file = ::fdopen(fd, "rb");
    if (!file) {
        ::close(fd);
        reason = QStringLiteral("cannot open the file");
        return nullptr;
    }
    size = static_cast<std::int64_t>(st.st_size);
    return file;
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
    Opened out;
    const std::string name = EncodePath(path);
    std::vector<std::string> candidates;
    AddCandidate(candidates, ownerPassword);
    AddCandidate(candidates, userPassword);
    if (std::find(candidates.begin(), candidates.end(), std::string()) == candidates.end())
        candidates.emplace_back();

    for (const std::string &password : candidates) {
        FILE *file = OpenRegularFile(name, out.fileSize, out.reason);
        if (!file)
            return out;
        try {
            auto pdf = std::make_unique<QPDF>();
            pdf->setLogger(QuietLogger());
            pdf->setSuppressWarnings(true);
            pdf->processFile(name.c_str(), file, true, password.empty() ? nullptr : password.c_str());
            out.pdf = std::move(pdf);
            out.password = password;
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

}  // namespace folvane::qpdfopen
