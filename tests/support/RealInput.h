#pragma once
// Real input for the window-manager tests (run by support/run-with-wm): clicks and keys go through
// the X server with xdotool, so they reach the program in the order a user's would, after the
// window manager has done its part (framing, activation, focus).
//
// Every step returns once the program has processed what the step sent: after xdotool, a round
// trip through the X server and the window manager (RoundTrip), so a check that follows sees the
// step's effect, and a check that nothing happened has given it the chance to.

#include <QPoint>
#include <QString>
#include <QStringList>

#include <functional>

class QWidget;

namespace folvane::test {

/// True when the test runs on the xcb platform with a window manager (under run-with-wm).
bool WindowManagerRunning();

/// Runs xdotool with the arguments and waits for it; false when it failed. Raw: it does not wait for
/// the program to take the input (see RoundTrip).
bool Xdotool(const QStringList &args);

/// Processes events until the condition holds or the time is up; returns the condition's last value.
bool WaitUntil(const std::function<bool()> &condition, int timeoutMs = 5000);

/// Waits until the X server and the window manager have handled every request and event that stood
/// before it, and the program has processed every event they sent it meanwhile: the window manager
/// is asked for the frame extents of a window of the program's that it does not manage, and its
/// answer reaches the program after all of those. False when no answer came in time.
bool RoundTrip(int timeoutMs = 5000);

/// Shows the window and waits until the window manager has framed, mapped and activated it.
bool ShowAndWaitForFrame(QWidget &window, int timeoutMs = 5000);

/// Moves the pointer to the global point and clicks the button (1 left, 3 right) there.
bool ClickAt(QPoint global, int button = 1);
/// Clicks the widget-local point of the widget.
bool ClickWidget(QWidget &widget, QPoint local, int button = 1);
/// Clicks the left button twice at the global point, as a double click.
bool DoubleClickAt(QPoint global);
/// Clicks the left button at the global point with Shift held down.
bool ShiftClickAt(QPoint global);

/// Presses and releases keys by X keysym names ("Return", "Escape", "ctrl+x", "Delete").
bool PressKeys(const QStringList &keysyms);
/// Types the text as a user would.
bool TypeText(const QString &text);

}  // namespace folvane::test
