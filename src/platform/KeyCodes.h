#pragma once
// Keys and modifiers as the classic handlers receive them: key codes 65 "A", 32 Space, 37-40 arrows;
// shift state 1 Shift, 2 Ctrl, 4 Alt.

#include <Qt>

namespace folvane::KeyCodes {

/// The classic key code of a Qt key; 0 for keys that have none.
int KeyCode(int key);
/// The classic shift state of Qt modifiers.
int ShiftState(Qt::KeyboardModifiers modifiers);

}  // namespace folvane::KeyCodes
