#pragma once
// Keys and modifiers as the classic handlers receive them: key codes 65 "A", 32 Space, 37-40 arrows;
// shift state 1 Shift, 2 Ctrl, 4 Alt.

#include <Qt>

#include <optional>

class QKeyEvent;

namespace folvane::KeyCodes {

/// The classic key code of a Qt key; 0 for keys that have none.
int KeyCode(int key);
/// The classic shift state of Qt modifiers.
int ShiftState(Qt::KeyboardModifiers modifiers);

/// The character code a key press types into a text box, as a classic key-press handler receives
/// it (8 for Backspace, control characters for Ctrl+letter); nullopt for a key that types nothing
/// there: Delete, Tab, Backtab, arrows, Home, End and the like, which work as in any text box, and
/// Enter and Escape, which belong to the dialog.
std::optional<int> TypedCharacter(const QKeyEvent &event);

}  // namespace folvane::KeyCodes
