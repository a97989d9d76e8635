#pragma once
// Real input for the window-manager tests (run by support/run-with-wm): clicks and keys go through
// the X server with xdotool, so they reach the program in the order a user's would, after the
// window manager has done its part (framing, activation, focus).

#include <QPoint>
#include <QString>
#include <QStringList>

#include <functional>

class QWidget;

namespace folvane::test {

/// True when the test runs on the xcb platform with a window manager (under run-with-wm).
bool WindowManagerRunning();

/// Runs xdotool with the arguments and waits for it; false when it failed.
bool Xdotool(const QStringList &args);

/// Processes events until the condition holds or the time is up; returns the condition's last value.
bool WaitUntil(const std::function<bool()> &condition, int timeoutMs = 5000);

/// Shows the window and waits until the window manager has framed, mapped and activated it.
bool ShowAndWaitForFrame(QWidget &window, int timeoutMs = 5000);

/// Moves the pointer to the global point and clicks the button (1 left, 3 right) there.
bool ClickAt(QPoint global, int button = 1);
/// Clicks the widget-local point of the widget.
bool ClickWidget(QWidget &widget, QPoint local, int button = 1);

/// Presses and releases keys by X keysym names ("Return", "Escape", "ctrl+x", "Delete").
bool PressKeys(const QStringList &keysyms);
/// Types the text as a user would.
bool TypeText(const QString &text);

/// Lets the events of a real input settle: the X server, the window manager and Qt's queue.
void Settle(int ms = 150);

}  // namespace folvane::test
