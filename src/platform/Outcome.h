#pragma once
// The one answer shape of the platform layer. An operation that can fail answers an Outcome: done,
// or the reason it was not (fit for the error log). One that gives a value answers an Expected<T>:
// the value, or the reason there is none. An Expected is an Outcome, so code that only needs to know
// whether it worked, and why not, takes either.

#include <QString>
#include <QtGlobal>

#include <optional>
#include <utility>

namespace folvane {

struct [[nodiscard]] Outcome {
    bool ok = false;
    QString reason;

    static Outcome Done() { return {true, {}}; }
    static Outcome Failed(QString why) { return {false, std::move(why)}; }
    explicit operator bool() const noexcept { return ok; }
};

template <class T>
class [[nodiscard]] Expected : public Outcome {
public:
    Expected(T value) : Outcome{true, {}}, value_(std::move(value)) {}
    /// A failure (Outcome::Failed, or a failed Outcome passed on with its reason).
    Expected(Outcome failed) : Outcome(std::move(failed))
    {
        Q_ASSERT_X(!ok, "Expected", "a value is needed for a success");
        ok = false;
    }

    /// The value; only on success.
    const T &operator*() const & { return *value_; }
    T &operator*() & { return *value_; }
    T &&operator*() && { return std::move(*value_); }
    const T *operator->() const { return &*value_; }
    T *operator->() { return &*value_; }
    /// The value, or fallback on failure.
    template <class U>
    T value_or(U &&fallback) const &
    {
        return value_.value_or(std::forward<U>(fallback));
    }

private:
    std::optional<T> value_;
};

}  // namespace folvane
