#pragma once
// Helpers shared by the document dialogs.

namespace folvane::modDocOps {

/// True for a typed character code of "0" to "9" (48 to 57) or backspace (8).
bool IsDigitOrBackspace(int keyAscii);

}  // namespace folvane::modDocOps
