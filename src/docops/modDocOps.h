#pragma once
// Key tests shared by the document dialogs.

#include <cstdint>

namespace folvane {

/// True for a typed "0" to "9" (48 to 57) or backspace (8).
inline bool IsDigitOrBackspace(const std::int16_t &KeyAscii) noexcept
{
    return (KeyAscii >= 48 && KeyAscii <= 57) || KeyAscii == 8;
}

}  // namespace folvane
