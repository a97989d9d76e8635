#pragma once
// The document components that the document commands create by programmatic identifier and call
// by method name, as automation objects are called: "TiffPdf.Converter", "PdfInfo.Stamper.1",
// "PdfPages.Counter.1" and "TiffPages.Editor.1". Each is a class of ours (see their headers);
// this is how a caller finds and calls them.

#include "platform/Outcome.h"

#include <QString>
#include <QVariant>
#include <QVariantList>

#include <functional>
#include <memory>
#include <optional>

namespace folvane {

/// The answer of a method call: its value, or the error it raised, whose description is the reason.
/// An automation error carries a number besides, which the caller raises in its turn.
class [[nodiscard]] CallResult : public Expected<QVariant> {
public:
    static CallResult Value(QVariant v) { return {std::move(v), 0}; }
    static CallResult Error(int number, QString why)
    {
        Q_ASSERT_X(number != 0, "CallResult", "an error has a number");
        return {Outcome::Failed(std::move(why)), number};
    }

    int error = 0;  ///< the error's number; 0 when the call gave a value

private:
    CallResult(Expected<QVariant> answer, int number) : Expected<QVariant>(std::move(answer)), error(number) {}
};

class AutomationComponent {
public:
    virtual ~AutomationComponent() = default;
    /// Calls the method (names compare without regard to case) with the arguments in order. An
    /// unknown method, a wrong number of arguments, an argument of the wrong kind or a failure of
    /// the work itself comes back as an error; nothing throws.
    virtual CallResult Invoke(const QString &method, const QVariantList &args) = 0;
};

/// A new component object for the programmatic identifier; null when none has that identifier.
std::unique_ptr<AutomationComponent> CreateComponent(const QString &progId);

/// Makes CreateComponent answer through factory while it lives (for tests that watch what the
/// commands create and call); the previous factory comes back afterwards.
class ScopedComponentFactory {
public:
    using Factory = std::function<std::unique_ptr<AutomationComponent>(const QString &progId)>;
    explicit ScopedComponentFactory(Factory factory);
    ~ScopedComponentFactory();
    ScopedComponentFactory(const ScopedComponentFactory &) = delete;
    ScopedComponentFactory &operator=(const ScopedComponentFactory &) = delete;

private:
    Factory previous_;
};

/// Calls on the built-in component of that identifier, bypassing any ScopedComponentFactory.
std::unique_ptr<AutomationComponent> CreateBuiltInComponent(const QString &progId);

namespace automation {

/// Argument checks shared by the components' Invoke.
class Args {
public:
    Args(const QString &method, const QVariantList &args) : method_(method), args_(args) {}
    /// An error unless there are exactly n arguments.
    std::optional<CallResult> ExpectCount(int n) const;
    QString Text(int i) const { return args_.value(i).toString(); }
    /// The whole number at i; sets bad when the argument is not one.
    std::int32_t Number(int i, bool &bad) const;

private:
    QString method_;
    const QVariantList &args_;
};

CallResult NoSuchMethod(const QString &method);
/// value when the work was done, else its reason as a component failure.
CallResult FromOutcome(const Outcome &outcome, const QVariant &value);
CallResult TypeMismatch(const QString &method);

}  // namespace automation

}  // namespace folvane
