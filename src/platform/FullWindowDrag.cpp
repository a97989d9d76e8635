#include "platform/FullWindowDrag.h"

#include <utility>

namespace folvane::FullWindowDrag {

namespace {
Backend &current()
{
    static Backend backend;
    return backend;
}
}  // namespace

std::optional<bool> Get()
{
    if (current().get)
        return current().get();
    return false;
}

bool Set(bool on)
{
    if (current().set)
        return current().set(on);
    return true;
}

void SetBackend(Backend backend) { current() = std::move(backend); }

}  // namespace folvane::FullWindowDrag
