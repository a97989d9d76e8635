#pragma once
// Bounds on the work qpdf does for a document: the bytes it reads from the file and the bytes its
// stream decoders produce. qpdf builds its decoders through one registry for the whole process and
// reads through an InputSource; neither knows which job it serves, so the bounds in force are those
// of the Budget objects alive on the calling thread. Private to src/platform (it includes qpdf).

#include <QString>

#include <cstdint>
#include <memory>
#include <stdexcept>

class InputSource;

namespace folvane::qpdfbudget {

/// No decoding stage of any stream produces more than this, with or without a budget: no sound
/// object stream, cross-reference stream or page content comes near it, and a stream built to
/// inflate to gigabytes stops here instead of taking the machine's memory.
inline constexpr std::int64_t MaxStreamBytes = 64LL << 20;

struct Limits {
    std::int64_t readBytes = -1;     ///< bytes read from files; below 0: no bound
    std::int64_t decodedBytes = -1;  ///< bytes all decoding stages produce together; below 0: no bound
};

/// Thrown past a bound, from a read or from a decoder. qpdf catches it where it catches any damage,
/// so what could not be read reads as damaged.
class Exceeded : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

/// While it lives, reads and decoding on this thread count against its limits (and those of any
/// budget it is nested in). Once a limit is passed, every further read or decoded byte of that kind
/// throws, so that qpdf's attempts to recover stop at once.
class Budget {
public:
    explicit Budget(const Limits &limits);
    ~Budget();
    Budget(const Budget &) = delete;
    Budget &operator=(const Budget &) = delete;

    /// Why a limit was passed while this budget lived (its own, one of a budget nested in it, or a
    /// stream's); empty when none was. qpdf may have made do with less than the document holds
    /// (an object read as null), so work done under an overrun budget is not to be trusted.
    const QString &Overrun() const noexcept { return overrun_; }

private:
    friend void ChargeRead(std::int64_t bytes);
    friend void ChargeDecoded(std::int64_t bytes, std::int64_t &stageTotal);
    friend void CheckStageHolds(std::int64_t bytes);
    /// Adds bytes to the count used of every budget alive on the thread that bounds it by limit;
    /// past a bound, records overrun (with the bound put in) and throws.
    static void Charge(std::int64_t bytes, std::int64_t Limits::*limit, std::int64_t Budget::*used, const char *overrun);
    void Record(const QString &why);

    Limits limits_;
    std::int64_t read_ = 0;
    std::int64_t decoded_ = 0;
    QString overrun_;
    Budget *outer_;
};

/// Counts bytes read from a document's file; throws Exceeded past a budget's read limit.
void ChargeRead(std::int64_t bytes);
/// Counts bytes produced by one decoding stage, whose total so far is stageTotal; throws Exceeded past
/// MaxStreamBytes for the stage or past a budget's decoding limit.
void ChargeDecoded(std::int64_t bytes, std::int64_t &stageTotal);
/// Throws as ChargeDecoded does when a stage would have to hold more than MaxStreamBytes at once (a
/// row of predicted samples is produced whole): checked before the room is taken.
void CheckStageHolds(std::int64_t bytes);

/// source, with every read counted by ChargeRead.
std::shared_ptr<InputSource> Counted(std::shared_ptr<InputSource> source);

}  // namespace folvane::qpdfbudget
