#include "platform/QpdfBudget.h"

#include "platform/FileDescriptor.h"

#include <qpdf/InputSource.hh>

#include <algorithm>
#include <cstring>
#include <cstdio>
#include <vector>

#include <fcntl.h>
#include <unistd.h>

namespace folvane::qpdfbudget {

namespace {

thread_local Budget *innermost = nullptr;

QString Megabytes(std::int64_t bytes) { return QStringLiteral("%1 MB").arg(bytes >> 20); }

/// Reads through another source in pieces. qpdf's tokenizer reads 128 bytes at a time and seeks back
/// to the end of each token, and the repair of a damaged file looks for every line end; through a
/// file source each of those is a system call or three, most of the time a damaged file of a few
/// hundred megabytes took. Here they are served from the piece in memory, and the position is kept
/// here. Line ends are looked for here too, piece by piece, each piece counted: the wrapped source
/// would scan to the end of the file in one call, hours for a damaged file of terabytes. A merge
/// keeps one of these for every document it reads, thousands at a time: the piece is small.
class CountedSource final : public InputSource {
public:
    explicit CountedSource(std::shared_ptr<InputSource> inner) : inner_(std::move(inner)), piece_(PieceBytes) {}

    std::string const &getName() const override { return inner_->getName(); }
    qpdf_offset_t tell() override { return at_; }
    void rewind() override { at_ = 0; }
    void unreadCh(char) override { at_ = std::max<qpdf_offset_t>(at_ - 1, 0); }

    void seek(qpdf_offset_t offset, int whence) override
    {
        const qpdf_offset_t to = whence == SEEK_END ? Size() + offset : whence == SEEK_CUR ? at_ + offset : offset;
        if (to < 0)
            throw std::runtime_error(getName() + ": seek before the beginning of the file");
        at_ = to;
    }

    size_t read(char *buffer, size_t length) override
    {
        last_offset = at_;
        size_t done = 0;
        while (done < length) {
            if (!Holds(at_)) {
                // A read as large as a piece gains nothing from passing through one.
                if (length - done >= piece_.size()) {
                    done += Direct(buffer + done, length - done);
                    break;
                }
                if (!Fill())
                    break;
            }
            const size_t n = std::min(length - done, static_cast<size_t>(pieceAt_ + pieceLength_ - at_));
            std::memcpy(buffer + done, piece_.data() + (at_ - pieceAt_), n);
            done += n;
            at_ += static_cast<qpdf_offset_t>(n);
        }
        if (done == 0 && length > 0) {
            // As qpdf's sources do at the end: the position, and the last offset, at the end.
            at_ = std::min(at_, Size());
            last_offset = at_;
        }
        return done;
    }

    /// As qpdf's sources do it: the offset of the next CR or LF (the end of the file when there is
    /// none), leaving the position after the run of CRs and LFs that starts there.
    qpdf_offset_t findAndSkipNextEOL() override
    {
        qpdf_offset_t eol = -1;
        for (;;) {
            if (!Holds(at_) && !Fill())
                return eol >= 0 ? eol : at_;
            const char *p = piece_.data() + (at_ - pieceAt_);
            const char *end = piece_.data() + pieceLength_;
            if (eol < 0) {
                while (p < end && *p != '\r' && *p != '\n')
                    ++p;
                if (p < end)
                    eol = pieceAt_ + (p - piece_.data());
            }
            while (p < end && (*p == '\r' || *p == '\n'))
                ++p;
            at_ = pieceAt_ + (p - piece_.data());
            if (p < end)
                return eol;
        }
    }

private:
    static constexpr size_t PieceBytes = 8192;

    bool Holds(qpdf_offset_t offset) const { return offset >= pieceAt_ && offset < pieceAt_ + pieceLength_; }

    /// Reads the piece that starts at the position; false at the end of the file.
    bool Fill()
    {
        pieceAt_ = at_;
        pieceLength_ = 0;
        inner_->seek(at_, SEEK_SET);
        const size_t n = inner_->read(piece_.data(), piece_.size());
        ChargeRead(static_cast<std::int64_t>(n));
        pieceLength_ = static_cast<qpdf_offset_t>(n);
        return n > 0;
    }

    size_t Direct(char *buffer, size_t length)
    {
        inner_->seek(at_, SEEK_SET);
        const size_t n = inner_->read(buffer, length);
        ChargeRead(static_cast<std::int64_t>(n));
        at_ += static_cast<qpdf_offset_t>(n);
        return n;
    }

    qpdf_offset_t Size()
    {
        if (size_ < 0) {
            inner_->seek(0, SEEK_END);
            size_ = inner_->tell();
        }
        return size_;
    }

    std::shared_ptr<InputSource> inner_;
    std::vector<char> piece_;
    qpdf_offset_t pieceAt_ = 0;
    qpdf_offset_t pieceLength_ = 0;
    qpdf_offset_t at_ = 0;
    qpdf_offset_t size_ = -1;
};

// Memory is first looked at once a budget has lived a while, then every few milliseconds: most
// documents open in less time than a look takes. What qpdf takes before the first look, it takes in
// that time, a few megabytes.
constexpr auto FirstLook = std::chrono::milliseconds(20);
constexpr auto LookEvery = std::chrono::milliseconds(10);
// Work between two looks at the clock: qpdf gets through this much in a few milliseconds at most.
constexpr std::int64_t CheckEvery = 64 * 1024;

/// The process's resident memory in bytes; -1 when it cannot be read.
std::int64_t ResidentBytes()
{
    FileDescriptor statm(::open("/proc/self/statm", O_RDONLY | O_CLOEXEC));
    char text[128];
    const ssize_t n = statm ? ::read(statm.get(), text, sizeof text - 1) : -1;
    if (n <= 0)
        return -1;
    text[n] = '\0';
    long long size = 0, resident = 0;
    if (std::sscanf(text, "%lld %lld", &size, &resident) != 2)
        return -1;
    return resident * ::sysconf(_SC_PAGESIZE);
}

}  // namespace

Budget::Budget(const Limits &limits)
    : limits_(limits), start_(Clock::now()), nextLook_(start_ + FirstLook), outer_(innermost)
{
    innermost = this;
}

Budget::~Budget() { innermost = outer_; }

void Budget::Record(const QString &why)
{
    // Every budget alive sees it: the work of each is cut short, whichever bound it was.
    for (Budget *b = innermost; b; b = b->outer_)
        if (b->overrun_.isEmpty())
            b->overrun_ = why;
}

void Budget::Fail(const QString &why)
{
    Record(why);
    throw Exceeded(why.toStdString());
}

void Budget::CheckTimeAndMemory(std::int64_t bytes)
{
    // The clock is read once every CheckEvery bytes: a predicted stream is decoded a few bytes a row.
    thread_local std::int64_t sinceCheck = 0;
    sinceCheck += bytes;
    if (sinceCheck < CheckEvery)
        return;
    sinceCheck = 0;
    Clock::time_point now{};
    for (Budget *b = innermost; b; b = b->outer_) {
        if (b->limits_.time.count() < 0 && b->limits_.memoryBytes < 0)
            continue;
        if (now == Clock::time_point{})
            now = Clock::now();
        if (b->limits_.time.count() >= 0 && now - b->start_ > b->limits_.time)
            Fail(QStringLiteral("reading it takes more than %1 s").arg(std::chrono::duration<double>(b->limits_.time).count()));
        if (b->limits_.memoryBytes < 0 || now < b->nextLook_)
            continue;
        b->nextLook_ = now + LookEvery;
        const std::int64_t resident = ResidentBytes();
        if (b->residentAtStart_ < 0)
            b->residentAtStart_ = resident;
        else if (resident - b->residentAtStart_ > b->limits_.memoryBytes)
            Fail(QStringLiteral("reading it takes more than %1 of memory").arg(Megabytes(b->limits_.memoryBytes)));
    }
}

void Budget::Charge(std::int64_t bytes, std::int64_t Limits::*limit, std::int64_t Budget::*used, const char *overrun)
{
    CheckTimeAndMemory(bytes);
    for (Budget *b = innermost; b; b = b->outer_) {
        if (b->limits_.*limit < 0)
            continue;
        b->*used += bytes;
        if (b->*used > b->limits_.*limit)
            Fail(QString::fromLatin1(overrun).arg(Megabytes(b->limits_.*limit)));
    }
}

void ChargeRead(std::int64_t bytes) { Budget::Charge(bytes, &Limits::readBytes, &Budget::read_, "reading it takes more than %1"); }

void CheckStageHolds(std::int64_t bytes)
{
    if (bytes > MaxStreamBytes)
        Budget::Fail(QStringLiteral("a stream inflates past %1").arg(Megabytes(MaxStreamBytes)));
}

void ChargeDecoded(std::int64_t bytes, std::int64_t &stageTotal)
{
    stageTotal += bytes;
    CheckStageHolds(stageTotal);
    Budget::Charge(bytes, &Limits::decodedBytes, &Budget::decoded_, "its streams inflate past %1");
}

std::shared_ptr<InputSource> Counted(std::shared_ptr<InputSource> source)
{
    return std::make_shared<CountedSource>(std::move(source));
}

}  // namespace folvane::qpdfbudget
