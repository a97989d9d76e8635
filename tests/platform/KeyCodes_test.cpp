#include "platform/KeyCodes.h"

#include <QKeyEvent>

#include <gtest/gtest.h>

using namespace folvane;

namespace {

TEST(KeyCodesTest, TypedCharacterIsWhatATextBoxsKeyPressHandlerWouldReceive)
{
    struct Case {
        int key;
        Qt::KeyboardModifiers modifiers;
        const char *text; ///< as Qt's xcb platform gives it
        int typed;        ///< -1: types nothing the handler sees
    } cases[] = {
        {Qt::Key_5, Qt::NoModifier, "5", '5'},
        {Qt::Key_Minus, Qt::NoModifier, "-", '-'},
        {Qt::Key_A, Qt::ShiftModifier, "A", 'A'},
        {Qt::Key_Backspace, Qt::NoModifier, "\b", 8},
        {Qt::Key_V, Qt::ControlModifier, "\x16", 22},
        {Qt::Key_Delete, Qt::NoModifier, "\x7f", -1},
        {Qt::Key_Tab, Qt::NoModifier, "\t", -1},
        {Qt::Key_Backtab, Qt::ShiftModifier, "", -1},
        {Qt::Key_Left, Qt::NoModifier, "", -1},
        {Qt::Key_Right, Qt::NoModifier, "", -1},
        {Qt::Key_Up, Qt::NoModifier, "", -1},
        {Qt::Key_Down, Qt::NoModifier, "", -1},
        {Qt::Key_Home, Qt::NoModifier, "", -1},
        {Qt::Key_End, Qt::NoModifier, "", -1},
        {Qt::Key_Return, Qt::NoModifier, "\r", -1},
        {Qt::Key_Enter, Qt::KeypadModifier, "\r", -1},
        {Qt::Key_Escape, Qt::NoModifier, "\x1b", -1},
        {Qt::Key_Shift, Qt::ShiftModifier, "", -1},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.key);
        const QKeyEvent press(QEvent::KeyPress, c.key, c.modifiers, QString::fromLatin1(c.text));
        EXPECT_EQ(KeyCodes::TypedCharacter(press).value_or(-1), c.typed);
    }
}

}  // namespace
