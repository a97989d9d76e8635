#pragma once
// The desktop's "show window contents while dragging" setting. Linux desktops have no such switch an
// application can read or change, so the real backend reports it as off and changes nothing; tests
// install a backend that reports it on, so the switching and restoring logic can be exercised.

#include <functional>
#include <optional>

namespace folvane::FullWindowDrag {

/// Whether full-window dragging is on; nullopt when the query fails.
std::optional<bool> Get();
/// Switches it on or off for the running session (never for the user's profile); true on success.
bool Set(bool on);

struct Backend {
    std::function<std::optional<bool>()> get;
    std::function<bool(bool)> set;
};
/// Replaces the backend (for tests); a default-constructed Backend restores the real one.
void SetBackend(Backend backend);

}  // namespace folvane::FullWindowDrag
