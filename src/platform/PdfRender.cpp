#include "platform/PdfRender.h"

#include "platform/FileDescriptor.h"
#include "platform/PdfRenderChild.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstring>
#include <utility>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

extern char **environ;

namespace folvane {

namespace {

namespace child = PdfRenderChild;
using Clock = std::chrono::steady_clock;

/// What the child's output may say when its memory ran out: poppler's allocator, our own handler,
/// and AddressSanitizer's limits in a sanitizer build.
constexpr const char *OutOfMemorySigns[] = {"out of memory", "rss limit"};
/// The end of the output read so far kept to find a sign split between two reads.
constexpr qsizetype OutputCarried = 32;
/// Longer reasons than this are no answer of the child's.
constexpr std::uint32_t MaxReasonBytes = 4096;

/// The descriptor moved above 3, so that giving the child its descriptors 1 to 3 overwrites none
/// of the others it is given (a parent started without standard descriptors gets low numbers).
FileDescriptor AboveThree(FileDescriptor fd)
{
    if (fd.get() > 3)
        return fd;
    return FileDescriptor(::fcntl(fd.get(), F_DUPFD_CLOEXEC, 4));
}

QString HelperProgram()
{
    const QString named = qEnvironmentVariable("FOLVANE_RENDER_HELPER");
    return named.isEmpty() ? QCoreApplication::applicationDirPath() + QStringLiteral("/folvane-render") : named;
}

Clock::duration Seconds(double seconds)
{
    return std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(seconds));
}

QString SystemError(int error) { return QString::fromLocal8Bit(std::strerror(error)); }

// The system calls themselves: this C library's <sys/pidfd.h> declares its wrappers without C linkage.
int PidfdOpen(pid_t pid) { return static_cast<int>(::syscall(SYS_pidfd_open, pid, 0)); }
void PidfdKill(int pidfd) { ::syscall(SYS_pidfd_send_signal, pidfd, SIGKILL, nullptr, 0); }

}  // namespace

struct PdfRenderDocument::Impl {
    /// How a request went; Wrong is an answer no child of ours gives.
    enum class Io { Done, Ended, TimedOut, Wrong };

    ~Impl() { Reap(); }

    /// Starts the child.
    Outcome Start(const QString &program);
    Io Send(const void *data, std::size_t size, Clock::time_point deadline);
    Io Receive(void *data, std::size_t size, Clock::time_point deadline);
    template <class T>
    Io Receive(T &value, Clock::time_point deadline)
    {
        return Receive(&value, sizeof value, deadline);
    }
    Io SendText(const QString &text, Clock::time_point deadline);
    /// Stops the child after a request went wrong and says why, beginning with what it was doing.
    QString End(Io how, const QString &doing, double seconds);
    bool Running() const noexcept { return pid > 0; }

    pid_t pid = 0;
    FileDescriptor pidfd;
    FileDescriptor channel;
    FileDescriptor output;  ///< the child's standard output and error
    QByteArray outputCarried;
    bool saidOutOfMemory = false;
    bool ended = false;  ///< the child is known to have ended
    std::int32_t pages = 0;
    QString stopped;  ///< why the child is gone, once it was stopped

private:
    /// Moves size bytes with step(offset, count), a send or a receive of the channel that does not
    /// block, waiting for events between steps.
    template <class Step>
    Io Transfer(std::size_t size, short events, Clock::time_point deadline, Step step);
    /// Waits until the channel is ready for events, reading the child's output meanwhile.
    Io Wait(short events, Clock::time_point deadline);
    void ReadOutput();
    /// Ends the child if it still runs and collects it; how it ended.
    siginfo_t Reap();
};

Outcome PdfRenderDocument::Impl::Start(const QString &program)
{
    int sockets[2];
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, sockets) != 0)
        return Outcome::Failed(SystemError(errno));
    FileDescriptor mine(sockets[0]);
    const FileDescriptor theirs = AboveThree(FileDescriptor(sockets[1]));
    int pipe[2];
    if (::pipe2(pipe, O_CLOEXEC) != 0)
        return Outcome::Failed(SystemError(errno));
    FileDescriptor outputRead(pipe[0]);
    const FileDescriptor outputWrite = AboveThree(FileDescriptor(pipe[1]));
    if (theirs.get() < 0 || outputWrite.get() < 0)
        return Outcome::Failed(SystemError(errno));

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, outputWrite.get(), 1);
    posix_spawn_file_actions_adddup2(&actions, outputWrite.get(), 2);
    posix_spawn_file_actions_adddup2(&actions, theirs.get(), child::Channel);
    posix_spawn_file_actions_addclosefrom_np(&actions, child::Channel + 1);
    // The child starts with every signal at its default and none blocked, whatever this thread has.
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    sigset_t none, all;
    sigemptyset(&none);
    sigfillset(&all);
    posix_spawnattr_setsigmask(&attributes, &none);
    posix_spawnattr_setsigdefault(&attributes, &all);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
    const QByteArray exe = QFile::encodeName(program);
    char *argv[] = {const_cast<char *>(exe.constData()), nullptr};
    const int spawned = ::posix_spawn(&pid, exe.constData(), &actions, &attributes, argv, environ);
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attributes);
    if (spawned != 0) {
        pid = 0;
        return Outcome::Failed(QStringLiteral("%1: %2").arg(program, SystemError(spawned)));
    }
    pidfd = FileDescriptor(PidfdOpen(pid));
    if (pidfd.get() < 0) {
        const int error = errno;
        ::kill(pid, SIGKILL);
        ::waitpid(pid, nullptr, 0);
        pid = 0;
        return Outcome::Failed(QStringLiteral("%1 cannot be watched: %2").arg(program, SystemError(error)));
    }
    ::fcntl(mine.get(), F_SETFL, O_NONBLOCK);
    ::fcntl(outputRead.get(), F_SETFL, O_NONBLOCK);
    channel = std::move(mine);
    output = std::move(outputRead);
    return Outcome::Done();
}

PdfRenderDocument::Impl::Io PdfRenderDocument::Impl::Wait(short events, Clock::time_point deadline)
{
    for (;;) {
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now()).count();
        if (left <= 0)
            return Io::TimedOut;
        pollfd watched[] = {{channel.get(), events, 0}, {output.get(), POLLIN, 0}, {pidfd.get(), POLLIN, 0}};
        const int ready = ::poll(watched, 3, static_cast<int>(std::min<long long>(left, 60000)));
        if (ready < 0 && errno != EINTR)
            return Io::Ended;
        if (watched[1].revents != 0)
            ReadOutput();
        if (watched[2].revents != 0)
            ended = true;
        if (watched[0].revents != 0 || ended)
            return Io::Done;
    }
}

void PdfRenderDocument::Impl::ReadOutput()
{
    char buffer[4096];
    for (;;) {
        const ssize_t got = ::read(output.get(), buffer, sizeof buffer);
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0) {
            if (got == 0 || (errno != EAGAIN && errno != EWOULDBLOCK))
                output.reset();  // at its end: poll leaves a negative descriptor alone
            return;
        }
        const QByteArray seen = (outputCarried + QByteArray(buffer, got)).toLower();
        saidOutOfMemory = saidOutOfMemory || std::any_of(std::begin(OutOfMemorySigns), std::end(OutOfMemorySigns),
                                                         [&](const char *sign) { return seen.contains(sign); });
        outputCarried = seen.right(OutputCarried);
    }
}

template <class Step>
PdfRenderDocument::Impl::Io PdfRenderDocument::Impl::Transfer(std::size_t size, short events, Clock::time_point deadline,
                                                             Step step)
{
    std::size_t done = 0;
    while (done < size) {
        const ssize_t moved = step(done, size - done);
        if (moved > 0) {
            done += static_cast<std::size_t>(moved);
            continue;
        }
        if (moved < 0 && errno == EINTR)
            continue;
        // An ended child may still have left its answer in the socket; only an empty one is the end.
        if (moved == 0 || (errno != EAGAIN && errno != EWOULDBLOCK) || ended)
            return Io::Ended;
        if (const Io waited = Wait(events, deadline); waited != Io::Done)
            return waited;
    }
    return Io::Done;
}

PdfRenderDocument::Impl::Io PdfRenderDocument::Impl::Send(const void *data, std::size_t size, Clock::time_point deadline)
{
    return Transfer(size, POLLOUT, deadline, [&](std::size_t at, std::size_t count) {
        return ::send(channel.get(), static_cast<const char *>(data) + at, count, MSG_NOSIGNAL | MSG_DONTWAIT);
    });
}

PdfRenderDocument::Impl::Io PdfRenderDocument::Impl::SendText(const QString &text, Clock::time_point deadline)
{
    const QByteArray bytes = text.toUtf8();
    const auto size = static_cast<std::uint32_t>(bytes.size());
    const Io sent = Send(&size, sizeof size, deadline);
    return sent == Io::Done ? Send(bytes.constData(), bytes.size(), deadline) : sent;
}

PdfRenderDocument::Impl::Io PdfRenderDocument::Impl::Receive(void *data, std::size_t size, Clock::time_point deadline)
{
    return Transfer(size, POLLIN, deadline, [&](std::size_t at, std::size_t count) {
        return ::recv(channel.get(), static_cast<char *>(data) + at, count, MSG_DONTWAIT);
    });
}

siginfo_t PdfRenderDocument::Impl::Reap()
{
    siginfo_t info{};
    if (pid <= 0)
        return info;
    PidfdKill(pidfd.get());
    while (::waitid(P_PIDFD, static_cast<id_t>(pidfd.get()), &info, WEXITED) != 0 && errno == EINTR) {
    }
    pid = 0;
    return info;
}

QString PdfRenderDocument::Impl::End(Io how, const QString &doing, double seconds)
{
    const siginfo_t info = Reap();
    if (output.get() >= 0)
        ReadOutput();
    channel.reset();
    output.reset();
    pidfd.reset();
    const bool outOfMemory = (info.si_code == CLD_EXITED && info.si_status == child::ExitOutOfMemory) || saidOutOfMemory;
    if (how == Io::TimedOut)
        stopped = QStringLiteral("%1 took longer than %2 s and was stopped").arg(doing).arg(seconds, 0, 'g', 3);
    else if (how == Io::Wrong)
        stopped = QStringLiteral("%1 failed: the renderer answered wrongly and was stopped").arg(doing);
    else if (outOfMemory)
        stopped = QStringLiteral("%1 needed more than the %2 MB of memory rendering may use, and was stopped")
                      .arg(doing)
                      .arg(child::MemoryBytes >> 20);
    else if (info.si_code == CLD_KILLED || info.si_code == CLD_DUMPED)
        stopped = QStringLiteral("%1 failed: the renderer was ended by signal %2 (%3)")
                      .arg(doing)
                      .arg(info.si_status)
                      .arg(QString::fromLocal8Bit(::strsignal(info.si_status)));
    else if (info.si_code == CLD_EXITED)
        stopped = QStringLiteral("%1 failed: the renderer ended with exit code %2").arg(doing).arg(info.si_status);
    else
        stopped = QStringLiteral("%1 failed: the renderer ended").arg(doing);
    return stopped;
}

PdfRenderDocument::PdfRenderDocument(const QString &path, const QString &ownerPassword, const QString &userPassword,
                                     const PdfRenderDeadlines &deadlines)
    : d_(std::make_unique<Impl>()), deadlines_(deadlines)
{
    const QFileInfo info(path);
    // Only regular files: poppler would block on a FIFO.
    if (!info.isFile()) {
        failure_ = OpenFailure::NotReadable;
        opened_ = Outcome::Failed(QStringLiteral("%1: %2").arg(path, info.exists() ? QStringLiteral("not a regular file")
                                                                                   : QStringLiteral("the file does not exist")));
        return;
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        failure_ = OpenFailure::NotReadable;
        opened_ = Outcome::Failed(QStringLiteral("%1: cannot be read: %2").arg(path, file.errorString()));
        return;
    }
    file.close();
    if (const Outcome started = d_->Start(HelperProgram()); !started) {
        failure_ = OpenFailure::NotReadable;
        opened_ = Outcome::Failed(
            QStringLiteral("%1: cannot be opened, since the renderer cannot be started: %2").arg(path, started.reason));
        return;
    }
    const auto deadline = Clock::now() + Seconds(deadlines_.openSeconds);
    using Io = Impl::Io;
    Io io = d_->Send(&child::OpOpen, sizeof child::OpOpen, deadline);
    for (const QString &text : {info.absoluteFilePath(), ownerPassword, userPassword})
        io = io == Io::Done ? d_->SendText(text, deadline) : io;
    child::OpenReply reply{};
    io = io == Io::Done ? d_->Receive(reply, deadline) : io;
    if (io != Io::Done) {
        failure_ = OpenFailure::Damaged;
        opened_ = Outcome::Failed(QStringLiteral("%1: %2").arg(path, d_->End(io, QStringLiteral("opening it"), deadlines_.openSeconds)));
        return;
    }
    const auto answer = static_cast<OpenFailure>(reply.failure);
    if (answer == OpenFailure::None && reply.pages >= 1) {
        d_->pages = reply.pages;
        return;
    }
    const QString said = answer == OpenFailure::Damaged    ? QStringLiteral("damaged or not a PDF")
                         : answer == OpenFailure::Password ? QStringLiteral("encrypted, and no password given opens it")
                         : answer == OpenFailure::NoPages  ? QStringLiteral("the document has no pages")
                                                           : QString();
    failure_ = said.isEmpty() ? OpenFailure::Damaged : answer;
    opened_ = Outcome::Failed(
        QStringLiteral("%1: %2").arg(path, said.isEmpty() ? d_->End(Io::Wrong, QStringLiteral("opening it"), deadlines_.openSeconds) : said));
    d_ = std::make_unique<Impl>();  // the child is not needed any longer
}

PdfRenderDocument::~PdfRenderDocument() = default;

std::int32_t PdfRenderDocument::Pages() const { return d_->pages; }

Expected<QImage> PdfRenderDocument::Render(std::int32_t page, double dpiX, double dpiY) const
{
    if (failure_ != OpenFailure::None || page < 1 || page > d_->pages)
        return Outcome::Failed(QStringLiteral("there is no page %1 (the document has %2)").arg(page).arg(Pages()));
    if (!(dpiX >= 1 && dpiY >= 1 && dpiX <= 4800 && dpiY <= 4800))
        return Outcome::Failed(QStringLiteral("resolution %1 x %2 is not offered").arg(dpiX).arg(dpiY));
    if (!d_->Running())
        return Outcome::Failed(QStringLiteral("page %1 cannot be rendered: %2").arg(page).arg(d_->stopped));
    using Io = Impl::Io;
    const QString doing = QStringLiteral("rendering page %1").arg(page);
    const auto start = Clock::now();
    auto deadline = start + Seconds(deadlines_.pageSeconds);
    const child::RenderRequest request{page, dpiX, dpiY};
    Io io = d_->Send(&child::OpRender, sizeof child::OpRender, deadline);
    io = io == Io::Done ? d_->Send(&request, sizeof request, deadline) : io;
    std::int64_t pixels = 0;
    io = io == Io::Done ? d_->Receive(pixels, deadline) : io;
    // Past its size the page has its own deadline: the pixels alone cost time at high resolution.
    const double extra = std::clamp(static_cast<double>(pixels), 0.0, child::MaxPixels) / deadlines_.pixelsPerExtraSecond;
    const double seconds = deadlines_.pageSeconds + extra;
    deadline = start + Seconds(seconds);
    child::PageReply reply{};
    io = io == Io::Done ? d_->Receive(reply, deadline) : io;
    if (io != Io::Done)
        return Outcome::Failed(d_->End(io, doing, seconds));
    if (reply.width == 0 && reply.reasonBytes <= MaxReasonBytes) {
        QByteArray text(reply.reasonBytes, Qt::Uninitialized);
        io = d_->Receive(text.data(), text.size(), deadline);
        return Outcome::Failed(io == Io::Done ? QString::fromUtf8(text) : d_->End(io, doing, seconds));
    }
    const auto format = static_cast<QImage::Format>(reply.format);
    const double size = static_cast<double>(reply.width) * reply.height;
    // poppler rounds each side of the page up to whole pixels.
    if (reply.width < 1 || reply.height < 1 || size > child::MaxPixels + reply.width + reply.height + 1
        || (format != QImage::Format_RGB32 && format != QImage::Format_ARGB32 && format != QImage::Format_ARGB32_Premultiplied))
        return Outcome::Failed(d_->End(Io::Wrong, doing, seconds));
    QImage image(reply.width, reply.height, format);
    if (image.isNull()) {
        d_->End(Io::Wrong, doing, seconds);
        d_->stopped = QStringLiteral("page %1 (%2 x %3 pixels) does not fit in memory").arg(page).arg(reply.width).arg(reply.height);
        return Outcome::Failed(d_->stopped);
    }
    // The pixels are on their way: the child has finished its work, so the copy has a deadline of
    // its own. Rows of 32 bits have no padding in a QImage: its bytes are the child's rows.
    io = d_->Receive(image.bits(), static_cast<std::size_t>(image.sizeInBytes()), Clock::now() + Seconds(deadlines_.pageSeconds));
    if (io != Io::Done)
        return Outcome::Failed(d_->End(io, doing, seconds));
    image.setDotsPerMeterX(static_cast<int>(std::lround(dpiX / 0.0254)));
    image.setDotsPerMeterY(static_cast<int>(std::lround(dpiY / 0.0254)));
    return image;
}

}  // namespace folvane
