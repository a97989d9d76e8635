#pragma once
// Bounds on the work qpdf does for a document: the bytes it reads from the file, the bytes its stream
// decoders produce and the time it takes. qpdf builds its decoders through one registry for the whole
// process and reads through an InputSource; neither knows which job it serves, so the bounds in force
// are those of the Budget objects alive on the calling thread. Private to src/platform (it includes
// qpdf).

#include "platform/Outcome.h"

#include <QString>

#include <chrono>
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
    /// Time from the budget's start after which no more is read or decoded; below 0: no bound.
    std::chrono::milliseconds time{-1};
    /// How far the process's resident memory may grow while the budget lives; below 0: no bound.
    /// qpdf keeps something for every object it finds, and a damaged file of short lines that look
    /// like objects holds millions of them.
    std::int64_t memoryBytes = -1;
};

/// Thrown past a bound, from a read or from a decoder. qpdf catches it where it catches any damage,
/// so what could not be read reads as damaged.
class Exceeded : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

/// While it lives, reads and decoding on this thread count against its limits (and those of any
/// budget it is nested in). Once a limit is passed, every further read or decoded byte of that kind
/// throws, so that qpdf's attempts to recover stop at once. Time and memory are looked at as reads
/// and decoding are counted: qpdf reads a piece every few kilobytes it parses.
class Budget {
public:
    explicit Budget(const Limits &limits);
    ~Budget();
    Budget(const Budget &) = delete;
    Budget &operator=(const Budget &) = delete;

    /// Why a limit was passed while this budget lived (its own, that of any other budget alive, or a
    /// stream's); empty when none was. qpdf may have made do with less than the document holds
    /// (an object read as null), so work done under an overrun budget is not to be trusted.
    const QString &Overrun() const noexcept { return overrun_; }

private:
    using Clock = std::chrono::steady_clock;
    friend void ChargeRead(std::int64_t bytes);
    friend void ChargeDecoded(std::int64_t bytes, std::int64_t &stageTotal);
    friend void CheckStageHolds(std::int64_t bytes);
    /// Adds bytes to the count used of every budget alive on the thread that bounds it by limit;
    /// past a bound, records overrun (with the bound put in) and throws. Checks time and memory first.
    static void Charge(std::int64_t bytes, std::int64_t Limits::*limit, std::int64_t Budget::*used, const char *overrun);
    /// Throws, as Charge does, when a budget alive is past its time or its memory; bytes is the
    /// work charged since the last call.
    static void CheckTimeAndMemory(std::int64_t bytes);
    /// Records why (see Record) and throws Exceeded.
    [[noreturn]] static void Fail(const QString &why);
    /// Gives every budget alive that has no overrun yet this one.
    static void Record(const QString &why);

    Limits limits_;
    Clock::time_point start_;
    Clock::time_point nextLook_;         ///< when memory is looked at next
    std::int64_t residentAtStart_ = -1;  ///< taken at the first look
    std::int64_t read_ = 0;
    std::int64_t decoded_ = 0;
    QString overrun_;
    Budget *outer_;
};

/// Counts bytes read from a document's file; throws Exceeded past a budget's read limit or deadline.
void ChargeRead(std::int64_t bytes);
/// Counts bytes produced by one decoding stage, whose total so far is stageTotal; throws Exceeded past
/// MaxStreamBytes for the stage or past a budget's decoding limit or deadline.
void ChargeDecoded(std::int64_t bytes, std::int64_t &stageTotal);
/// Throws as ChargeDecoded does when a stage would have to hold more than MaxStreamBytes at once (a
/// row of predicted samples is produced whole): checked before the room is taken.
void CheckStageHolds(std::int64_t bytes);

/// What work answers (an Outcome or an Expected), done within a budget of limits; "damaged: <why>"
/// when it threw, and when a bound was passed whatever it answered: what qpdf could not read within
/// them it may have replaced by nothing (an object read as null), so that answer is not to be trusted.
template <class Work>
auto Within(const Limits &limits, Work &&work) -> decltype(work())
{
    const Budget budget(limits);
    decltype(work()) answer = Outcome::Failed({});
    try {
        answer = work();
    } catch (const std::exception &e) {
        answer = Outcome::Failed(QStringLiteral("damaged: %1").arg(QString::fromStdString(e.what())));
    }
    if (!budget.Overrun().isEmpty())
        return Outcome::Failed(QStringLiteral("damaged: %1").arg(budget.Overrun()));
    return answer;
}

/// source, read in pieces of a few kilobytes that are counted by ChargeRead as they are read from it.
/// qpdf reads a file a few bytes at a time and seeks back often, asking the source where it stands
/// in between; the pieces keep that off the file (and out of the kernel).
std::shared_ptr<InputSource> Counted(std::shared_ptr<InputSource> source);

}  // namespace folvane::qpdfbudget
