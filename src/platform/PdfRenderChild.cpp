#include "platform/PdfRenderChild.h"

#include "platform/PdfRender.h"

#include <QByteArray>
#include <QImage>
#include <QString>

#include <poppler-qt6.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <new>
#include <thread>

#include <poll.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

namespace folvane::PdfRenderChild {

namespace {

/// Longer paths or passwords than this are no request of the parent's.
constexpr std::uint32_t MaxTextBytes = 1 << 20;

/// Moves size bytes with step(offset, count), a read or a write of the channel.
template <class Step>
bool Transfer(std::size_t size, Step step)
{
    std::size_t done = 0;
    while (done < size) {
        const ssize_t moved = step(done, size - done);
        if (moved < 0 && errno == EINTR)
            continue;
        if (moved <= 0)
            return false;
        done += static_cast<std::size_t>(moved);
    }
    return true;
}

bool ReadAll(void *data, std::size_t size)
{
    return Transfer(size, [&](std::size_t at, std::size_t count) { return ::read(Channel, static_cast<char *>(data) + at, count); });
}

bool WriteAll(const void *data, std::size_t size)
{
    return Transfer(size, [&](std::size_t at, std::size_t count) {
        return ::write(Channel, static_cast<const char *>(data) + at, count);
    });
}

template <class T>
bool Write(const T &value)
{
    return WriteAll(&value, sizeof value);
}

bool ReadText(QByteArray &text)
{
    std::uint32_t size = 0;
    if (!ReadAll(&size, sizeof size) || size > MaxTextBytes)
        return false;
    text.resize(size);
    return ReadAll(text.data(), size);
}

void LimitMemory()
{
#ifndef __SANITIZE_ADDRESS__
    // The data limit is the one that matters; the address space is bounded too, so that no kind of
    // mapping escapes. (AddressSanitizer reserves terabytes of address space: under it the program's
    // main sets an RSS limit instead.)
    const rlimit data{static_cast<rlim_t>(MemoryBytes), static_cast<rlim_t>(MemoryBytes)};
    const rlimit space{static_cast<rlim_t>(MemoryBytes + (1LL << 30)), static_cast<rlim_t>(MemoryBytes + (1LL << 30))};
    ::setrlimit(RLIMIT_DATA, &data);
    ::setrlimit(RLIMIT_AS, &space);
#endif
    // A child that aborts leaves no core file of a gigabyte behind.
    const rlimit none{0, 0};
    ::setrlimit(RLIMIT_CORE, &none);
}

[[noreturn]] void OutOfMemory()
{
    static const char said[] = "folvane-render: out of memory\n";
    (void)!::write(STDERR_FILENO, said, sizeof said - 1);
    ::_exit(ExitOutOfMemory);
}

class Session {
public:
    bool Open()
    {
        QByteArray path, owner, user;
        if (!ReadText(path) || !ReadText(owner) || !ReadText(user))
            return false;
        using Failure = PdfRenderDocument::OpenFailure;
        Failure failure = Failure::Password;
        for (const QByteArray &password : {owner, user, QByteArray()}) {
            doc_ = Poppler::Document::load(QString::fromUtf8(path), password, password);
            if (!doc_) {
                failure = Failure::Damaged;
                break;
            }
            if (!doc_->isLocked()) {
                failure = doc_->numPages() < 1 ? Failure::NoPages : Failure::None;
                break;
            }
            doc_.reset();
        }
        if (failure != Failure::None)
            doc_.reset();
        if (doc_) {
            doc_->setRenderHint(Poppler::Document::Antialiasing);
            doc_->setRenderHint(Poppler::Document::TextAntialiasing);
            doc_->setPaperColor(Qt::white);
        }
        return Write(OpenReply{static_cast<std::int32_t>(failure), doc_ ? doc_->numPages() : 0});
    }

    bool Render()
    {
        RenderRequest request{};
        if (!ReadAll(&request, sizeof request))
            return false;
        const std::int32_t page = request.page;
        if (!doc_ || page < 1 || page > doc_->numPages())
            return Refuse(QStringLiteral("there is no page %1").arg(page));
        std::unique_ptr<Poppler::Page> p = doc_->page(page - 1);
        if (!p)
            return Refuse(QStringLiteral("page %1 cannot be read").arg(page));
        const QSizeF points = p->pageSizeF();
        const double pixels = points.width() * request.dpiX / 72.0 * points.height() * request.dpiY / 72.0;
        if (!(pixels <= MaxPixels))
            return Refuse(QStringLiteral("page %1 is too large to render at %2 dpi").arg(page).arg(request.dpiX));
        if (!Write(static_cast<std::int64_t>(pixels)))
            return false;
        QImage image = p->renderToImage(request.dpiX, request.dpiY);
        if (image.isNull())
            return Fail(QStringLiteral("page %1 cannot be rendered").arg(page));
        if (image.format() != QImage::Format_RGB32 && image.format() != QImage::Format_ARGB32
            && image.format() != QImage::Format_ARGB32_Premultiplied)
            image = image.convertToFormat(QImage::Format_ARGB32_Premultiplied);
        // Rows of 32 bits have no padding in a QImage: its bytes are the rows the parent reads.
        return Write(PageReply{image.width(), image.height(), static_cast<std::int32_t>(image.format()), 0})
               && WriteAll(image.constBits(), static_cast<std::size_t>(image.sizeInBytes()));
    }

private:
    /// Answers a request refused before rendering: no pixel count, then the reason.
    bool Refuse(const QString &reason) { return Write(std::int64_t{0}) && Fail(reason); }

    bool Fail(const QString &reason)
    {
        const QByteArray text = reason.toUtf8();
        return Write(PageReply{0, 0, 0, static_cast<std::uint32_t>(text.size())}) && WriteAll(text.constData(), text.size());
    }

    std::unique_ptr<Poppler::Document> doc_;
};

}  // namespace

int Main(int argc, char **argv)
{
    LimitMemory();
    std::set_new_handler(OutOfMemory);
    struct stat channel {};
    if (argc != 1 || ::fstat(Channel, &channel) != 0 || !S_ISSOCK(channel.st_mode)) {
        std::fprintf(stderr, "%s renders PDF pages for Folvane, which starts it; it is not run by hand.\n", argv[0]);
        return 2;
    }
    // The parent's end closing, when it is done or gone, ends the child also in the middle of a page.
    std::thread([] {
        pollfd hangUp{Channel, POLLRDHUP, 0};
        while (::poll(&hangUp, 1, -1) < 0 || (hangUp.revents & (POLLRDHUP | POLLHUP | POLLERR)) == 0) {
        }
        ::_exit(0);
    }).detach();
    Poppler::setDebugErrorFunction([](const QString &, const QVariant &) {}, QVariant());
    Session session;
    for (;;) {
        std::uint32_t op = 0;
        if (!ReadAll(&op, sizeof op))
            return 0;  // the parent is done with the document
        const bool answered = op == OpOpen ? session.Open() : op == OpRender ? session.Render() : false;
        if (!answered)
            return 1;
    }
}

}  // namespace folvane::PdfRenderChild
