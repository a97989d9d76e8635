#pragma once
// Window messages for one top-level window, delivered through a Qt event filter.
//
// X11 and Wayland tell an application nothing of the start and end of a user's drag, so a run of
// move and resize events of a window in its normal state counts as one size-or-move loop: the loop is
// entered at the first event of the run and left after a short quiet interval. Moves and resizes that
// come with a change of window state (maximize, minimize, restore, full screen) are not part of a loop.
//
// Whether a click activated the window is known only once the press has arrived, which under some
// window managers is just after the activation: Activate is delivered at that press, or after a
// short wait without one.

#include <QElapsedTimer>
#include <QObject>
#include <QPointer>
#include <QTimer>
#include <QWindow>

#include <cstdint>
#include <set>

class QWidget;

namespace folvane {

/// The messages a client can register for, by their customary numbers.
enum class WindowMessage : int {
    Destroy = 2,
    Size = 5,
    Activate = 6,
    Sizing = 532,
    Moving = 534,
    EnterSizeMove = 561,
    ExitSizeMove = 562,
};

/// Activation states carried in the low 16 bits of Activate's wParam.
inline constexpr std::uint32_t WA_INACTIVE = 0;
inline constexpr std::uint32_t WA_ACTIVE = 1;
inline constexpr std::uint32_t WA_CLICKACTIVE = 2;

/// A window rectangle in screen pixels, frame included.
struct WindowRect {
    std::int32_t left = 0, top = 0, right = 0, bottom = 0;
    friend bool operator==(const WindowRect &, const WindowRect &) = default;
};

class ISubclass {
public:
    virtual ~ISubclass() = default;
    /// rect is set for Moving and Sizing only; a rectangle the client changes is applied to the window.
    virtual void WindowProc(QWidget *window, WindowMessage msg, std::uint32_t wParam, WindowRect *rect) = 0;
};

class WindowSubclass : public QObject {
    Q_OBJECT
public:
    explicit WindowSubclass(ISubclass &client, QObject *parent = nullptr);
    ~WindowSubclass() override;

    /// Starts delivering msg of window; registering for another window first lets go of the earlier one.
    void AttachMessage(QWidget *window, WindowMessage msg);
    void DetachMessage(QWidget *window, WindowMessage msg);

    /// The window's frame rectangle in screen pixels.
    static WindowRect GetWindowRect(const QWidget *window);

    /// Quiet time after which a run of moves and resizes counts as ended.
    void setQuietInterval(int ms) { quiet_.setInterval(ms); }
    int quietInterval() const { return quiet_.interval(); }
    /// Whether a message is still to come from a timer: an activation waiting for its press, or the
    /// end of a run of moves and resizes.
    bool MessagePending() const { return activation_.isActive() || quiet_.isActive(); }

    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void hook(QWidget *window);
    void unhook();
    void deliver(WindowMessage msg, std::uint32_t wParam = 0, WindowRect *rect = nullptr);
    void deliverActivation(bool byMouse);
    void geometryChanged(WindowMessage loopMsg);
    void apply(const WindowRect &reported, const WindowRect &wanted);
    void endLoop();
    bool outsideLoop() const;

    ISubclass &client_;
    QWidget *window_ = nullptr; // raw: it is let go in the window's destroyed signal
    QPointer<QWindow> handle_;
    QMetaObject::Connection destroyedConn_;
    std::set<WindowMessage> messages_;
    QTimer quiet_;
    QTimer settle_; // runs while the geometry follows a window-state change
    QTimer activation_; // runs while an activation waits for the press that may have caused it
    QElapsedTimer lastPress_;
    bool inLoop_ = false;
    bool applying_ = false;
    bool minimumRaised_ = false;
    QSize savedMinimum_;
};

}  // namespace folvane
