#include "platform/AutomationComponent.h"

#include "platform/AppError.h"
#include "platform/PdfInfoStamper.h"
#include "platform/PdfPagesCounter.h"
#include "platform/TiffPagesEditor.h"
#include "platform/TiffPdfConverter.h"

#include <limits>

namespace folvane {

namespace {

ScopedComponentFactory::Factory &CurrentFactory()
{
    static ScopedComponentFactory::Factory factory;
    return factory;
}

}  // namespace

std::unique_ptr<AutomationComponent> CreateBuiltInComponent(const QString &progId)
{
    if (progId.compare(QLatin1String("TiffPdf.Converter"), Qt::CaseInsensitive) == 0)
        return std::make_unique<TiffPdfConverter>();
    if (progId.compare(QLatin1String("PdfInfo.Stamper.1"), Qt::CaseInsensitive) == 0)
        return std::make_unique<PdfInfoStamper>();
    if (progId.compare(QLatin1String("PdfPages.Counter.1"), Qt::CaseInsensitive) == 0)
        return std::make_unique<PdfPagesCounter>();
    if (progId.compare(QLatin1String("TiffPages.Editor.1"), Qt::CaseInsensitive) == 0)
        return std::make_unique<TiffPagesEditor>();
    return nullptr;
}

std::unique_ptr<AutomationComponent> CreateComponent(const QString &progId)
{
    if (const auto &factory = CurrentFactory())
        return factory(progId);
    return CreateBuiltInComponent(progId);
}

ScopedComponentFactory::ScopedComponentFactory(Factory factory)
    : previous_(std::exchange(CurrentFactory(), std::move(factory)))
{
}

ScopedComponentFactory::~ScopedComponentFactory() { CurrentFactory() = std::move(previous_); }

namespace automation {

std::optional<CallResult> Args::ExpectCount(int n) const
{
    if (args_.size() == n)
        return std::nullopt;
    return CallResult::Error(ErrNo::WrongArgumentCount,
                             QStringLiteral("Wrong number of arguments or invalid property assignment: %1 takes %2, not %3")
                                 .arg(method_)
                                 .arg(n)
                                 .arg(args_.size()));
}

std::int32_t Args::Number(int i, bool &bad) const
{
    bool ok = false;
    const qlonglong n = args_.value(i).toLongLong(&ok);
    if (!ok || n < std::numeric_limits<std::int32_t>::min() || n > std::numeric_limits<std::int32_t>::max()) {
        bad = true;
        return 0;
    }
    return static_cast<std::int32_t>(n);
}

CallResult NoSuchMethod(const QString &method)
{
    return CallResult::Error(ErrNo::MethodNotSupported, QStringLiteral("Object doesn't support this property or method: %1").arg(method));
}

CallResult FromOutcome(const Outcome &outcome, const QVariant &value)
{
    return outcome ? CallResult::Value(value) : CallResult::Error(ErrNo::ComponentFailure, outcome.reason);
}

CallResult TypeMismatch(const QString &method)
{
    return CallResult::Error(ErrNo::TypeMismatch, QStringLiteral("Type mismatch in the arguments of %1").arg(method));
}

}  // namespace automation

}  // namespace folvane
