#include "platform/QpdfBudget.h"

#include <qpdf/InputSource.hh>

#include <algorithm>

namespace folvane::qpdfbudget {

namespace {

thread_local Budget *innermost = nullptr;

QString Megabytes(std::int64_t bytes) { return QStringLiteral("%1 MB").arg(bytes >> 20); }

/// Reads through another source, counting what it reads. It searches for line ends itself: the
/// wrapped source's search would scan to the end of the file in one call, which for a damaged file
/// of terabytes does not return for hours.
class CountedSource final : public InputSource {
public:
    explicit CountedSource(std::shared_ptr<InputSource> inner) : inner_(std::move(inner)) {}

    std::string const &getName() const override { return inner_->getName(); }
    qpdf_offset_t tell() override { return inner_->tell(); }
    void seek(qpdf_offset_t offset, int whence) override { inner_->seek(offset, whence); }
    void rewind() override { inner_->rewind(); }
    void unreadCh(char ch) override { inner_->unreadCh(ch); }

    size_t read(char *buffer, size_t length) override
    {
        const size_t n = inner_->read(buffer, length);
        last_offset = inner_->getLastOffset();
        ChargeRead(static_cast<std::int64_t>(n));
        return n;
    }

    /// As qpdf's sources do it: the offset of the next CR or LF (the end of the file when there is
    /// none), leaving the position after the run of CRs and LFs that starts there. What it passes
    /// over is counted, not the whole of each piece read: a damaged file is searched line by line,
    /// and counting a piece per short line would stop the repair of a file of a few megabytes.
    qpdf_offset_t findAndSkipNextEOL() override
    {
        // Lines are short: a small first piece, larger ones for a long search.
        char buffer[4096];
        size_t piece = 128;
        qpdf_offset_t eol = -1;
        for (;; piece = std::min(2 * piece, sizeof buffer)) {
            const qpdf_offset_t at = inner_->tell();
            const size_t n = inner_->read(buffer, piece);
            last_offset = inner_->getLastOffset();
            if (n == 0)
                return eol >= 0 ? eol : inner_->tell();
            size_t i = 0;
            if (eol < 0) {
                while (i < n && buffer[i] != '\r' && buffer[i] != '\n')
                    ++i;
                if (i < n)
                    eol = at + static_cast<qpdf_offset_t>(i);
            }
            while (i < n && (buffer[i] == '\r' || buffer[i] == '\n'))
                ++i;
            ChargeRead(static_cast<std::int64_t>(i));
            if (i < n) {
                inner_->seek(at + static_cast<qpdf_offset_t>(i), SEEK_SET);
                return eol;
            }
        }
    }

private:
    std::shared_ptr<InputSource> inner_;
};

}  // namespace

Budget::Budget(const Limits &limits) : limits_(limits), outer_(innermost) { innermost = this; }

Budget::~Budget() { innermost = outer_; }

void Budget::Record(const QString &why)
{
    for (Budget *b = this; b; b = b->outer_)
        if (b->overrun_.isEmpty())
            b->overrun_ = why;
}

void Budget::Charge(std::int64_t bytes, std::int64_t Limits::*limit, std::int64_t Budget::*used, const char *overrun)
{
    for (Budget *b = innermost; b; b = b->outer_) {
        if (b->limits_.*limit < 0)
            continue;
        b->*used += bytes;
        if (b->*used > b->limits_.*limit) {
            const QString why = QString::fromLatin1(overrun).arg(Megabytes(b->limits_.*limit));
            b->Record(why);
            throw Exceeded(why.toStdString());
        }
    }
}

void ChargeRead(std::int64_t bytes) { Budget::Charge(bytes, &Limits::readBytes, &Budget::read_, "reading it takes more than %1"); }

void CheckStageHolds(std::int64_t bytes)
{
    if (bytes > MaxStreamBytes) {
        const QString why = QStringLiteral("a stream inflates past %1").arg(Megabytes(MaxStreamBytes));
        if (innermost)
            innermost->Record(why);
        throw Exceeded(why.toStdString());
    }
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
