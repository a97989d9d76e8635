#pragma once
// Watches one top-level window and turns its messages into events: the start and end of a user's
// size-or-move loop, activation and deactivation, and every step of moving or sizing with the window
// rectangle, which a handler may change. It can also keep full-window dragging off while the window
// is active.

#include "platform/WindowSubclass.h"

#include <QObject>

#include <cstdint>

class QWidget;

namespace folvane {

class cSizeMoveHelper : public QObject, private ISubclass {
    Q_OBJECT
public:
    explicit cSizeMoveHelper(QObject *parent = nullptr);
    /// Lets go of the window and gives back full-window dragging if this object switched it off.
    ~cSizeMoveHelper() override;

    bool NoFullDrag() const { return m_bNoFullDrag; }
    /// False gives full-window dragging back at once; true switches it off at once when active.
    void setNoFullDrag(bool bState);
    bool Active() const { return m_bActive; }

    void Attach(QWidget *hWndA);
    void Detach();

    /// The message source, so callers (and tests) can tune its quiet interval.
    WindowSubclass &Subclass() { return subclass_; }

signals:
    void EnterSizeMove();
    void ExitSizeMove();
    /// bByMouse: a click into the window activated it. Raised at that click's press, which some
    /// window managers deliver just after the activation, or a moment after an activation without one.
    void Activate(bool bByMouse);
    void Deactivate();
    /// Screen pixels, frame included; connect directly: a changed rectangle is applied to the window.
    void Moving(std::int32_t &lLeft, std::int32_t &lTop, std::int32_t &lWidth, std::int32_t &lHeight);
    /// During a loop as Moving; outside one it reports a size change made by other means, unaltered.
    void Sizing(std::int32_t &lLeft, std::int32_t &lTop, std::int32_t &lWidth, std::int32_t &lHeight);

private:
    void WindowProc(QWidget *window, WindowMessage msg, std::uint32_t wParam, WindowRect *rect) override;
    void raiseRect(WindowMessage msg, WindowRect &rect);
    void FullDragOff();
    void FullDragOn();

    WindowSubclass subclass_;
    QWidget *m_hWnd = nullptr;
    bool m_bFullDragWasOn = false;
    bool m_bNoFullDrag = false;
    bool m_bActive = false;
    bool m_bInSizeMove = false;
};

}  // namespace folvane
