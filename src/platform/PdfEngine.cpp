#include "platform/PdfEngine.h"

#include "platform/HandleTable.h"

#include <memory>
#include <variant>

namespace folvane::PdfEngine {

namespace {

/// What a handle stands for: a merge or a split.
using Session = std::variant<PdfMerge, PdfSplit>;

HandleTable<Session> &Sessions()
{
    static HandleTable<Session> table;
    return table;
}

std::int32_t Fail(const QString &reason) { return Sessions().Fail(reason); }

std::int32_t Answer(const Outcome &outcome) { return outcome ? 0 : Fail(outcome.reason); }

/// A handle for a new merge or split, when it opened.
template <class Work>
std::int32_t Open(const QString &path, const Passwords &passwords)
{
    auto session = std::make_unique<Session>(std::in_place_type<Work>, path, passwords);
    const Outcome &opened = std::get<Work>(*session).Opened();
    return opened ? Sessions().Add(std::move(session)) : Fail(opened.reason);
}

}  // namespace

std::int32_t apCreateMerge(const QString &outputPath, const Passwords &passwords)
{
    return Open<PdfMerge>(outputPath, passwords);
}

std::int32_t apOpenSplit(const QString &sourcePath, const Passwords &passwords)
{
    return Open<PdfSplit>(sourcePath, passwords);
}

std::int32_t apSetFunction(std::int32_t handle, std::int32_t function, std::int32_t n1, std::int32_t n2,
                           const QString &text1, const QString &text2)
{
    Session *s = Sessions().Find(handle);
    if (!s)
        return Fail(QStringLiteral("engine handle %1 is not open").arg(handle));
    if (auto *merge = std::get_if<PdfMerge>(s); merge && function == FnAddDocument)
        return Answer(merge->Add(text1, text2));
    if (auto *split = std::get_if<PdfSplit>(s); split && function == FnSplit && n1 == 1) {
        if (n2 == 1)
            return Answer(split->EachPage(text2));
        if (n2 == 2)
            return Answer(split->EachItem(text1, text2));
        return Fail(QStringLiteral("split mode %1 is not known").arg(n2));
    }
    return Fail(QStringLiteral("engine function %1 (%2, %3) is not offered on this handle").arg(function).arg(n1).arg(n2));
}

std::int32_t apClose(std::int32_t handle)
{
    const std::unique_ptr<Session> session = Sessions().Take(handle);
    if (!session)
        return Fail(QStringLiteral("engine handle %1 is not open").arg(handle));
    if (auto *merge = std::get_if<PdfMerge>(session.get()))
        return Answer(merge->Close());
    return 0;
}

void apDiscard(std::int32_t handle) { Sessions().Take(handle); }

QString apLastError() { return Sessions().LastError(); }

}  // namespace folvane::PdfEngine
