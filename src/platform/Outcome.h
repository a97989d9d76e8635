#pragma once
// The answer of a platform operation that can fail: done, or the reason it was not (fit for the
// error log).

#include <QString>

#include <utility>

namespace folvane {

struct [[nodiscard]] Outcome {
    bool ok = false;
    QString reason;

    static Outcome Done() { return {true, {}}; }
    static Outcome Failed(QString why) { return {false, std::move(why)}; }
    explicit operator bool() const noexcept { return ok; }
};

}  // namespace folvane
