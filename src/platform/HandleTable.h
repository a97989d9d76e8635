#pragma once
// The open sessions of an engine by handle, as its flat entry points hand them out, and the reason
// of the engine's last failed call: handles count from 1 and are never 0 or negative, so callers
// can read "greater than 0" as "open". One user-interface thread calls the engines, as it called
// the libraries they replace.

#include <QString>

#include <cstdint>
#include <limits>
#include <map>
#include <memory>
#include <utility>

namespace folvane {

template <class Session>
class HandleTable {
public:
    std::int32_t Add(std::unique_ptr<Session> session)
    {
        do
            next_ = next_ == std::numeric_limits<std::int32_t>::max() ? 1 : next_ + 1;
        while (sessions_.count(next_));
        sessions_.emplace(next_, std::move(session));
        return next_;
    }
    Session *Find(std::int32_t handle) const
    {
        const auto it = sessions_.find(handle);
        return it == sessions_.end() ? nullptr : it->second.get();
    }
    /// Takes the session out of the table; null when the handle is not open.
    std::unique_ptr<Session> Take(std::int32_t handle)
    {
        const auto it = sessions_.find(handle);
        if (it == sessions_.end())
            return nullptr;
        std::unique_ptr<Session> session = std::move(it->second);
        sessions_.erase(it);
        return session;
    }

    /// Keeps the reason and answers -1, the engines' "failed".
    std::int32_t Fail(const QString &reason)
    {
        lastError_ = reason;
        return -1;
    }
    const QString &LastError() const noexcept { return lastError_; }

private:
    std::map<std::int32_t, std::unique_ptr<Session>> sessions_;
    std::int32_t next_ = 0;
    QString lastError_;
};

}  // namespace folvane
