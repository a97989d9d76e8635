#include "app/cSizeMoveHelper.h"

#include "platform/FullWindowDrag.h"

namespace folvane {

namespace {
constexpr WindowMessage kAttachOrder[] = {
    WindowMessage::EnterSizeMove, WindowMessage::ExitSizeMove, WindowMessage::Destroy, WindowMessage::Moving,
    WindowMessage::Sizing,        WindowMessage::Activate,     WindowMessage::Size};
constexpr WindowMessage kDetachOrder[] = {
    WindowMessage::EnterSizeMove, WindowMessage::ExitSizeMove, WindowMessage::Destroy, WindowMessage::Moving,
    WindowMessage::Sizing,        WindowMessage::Size,         WindowMessage::Activate};
}  // namespace

cSizeMoveHelper::cSizeMoveHelper(QObject *parent) : QObject(parent), subclass_(*this) {}

cSizeMoveHelper::~cSizeMoveHelper()
{
    // A released object must not leave the desktop without full-window dragging.
    FullDragOn();
    Detach();
}

void cSizeMoveHelper::setNoFullDrag(bool bState)
{
    m_bNoFullDrag = bState;
    if (!bState)
        FullDragOn();
    else if (m_bActive)
        FullDragOff();
}

void cSizeMoveHelper::Attach(QWidget *hWndA)
{
    Detach();
    m_hWnd = hWndA;
    for (const WindowMessage msg : kAttachOrder)
        subclass_.AttachMessage(m_hWnd, msg);
}

void cSizeMoveHelper::Detach()
{
    if (!m_hWnd)
        return;
    for (const WindowMessage msg : kDetachOrder)
        subclass_.DetachMessage(m_hWnd, msg);
    m_hWnd = nullptr;
}

void cSizeMoveHelper::WindowProc(QWidget *, WindowMessage msg, std::uint32_t wParam, WindowRect *rect)
{
    switch (msg) {
    case WindowMessage::EnterSizeMove:
        m_bInSizeMove = true;
        emit EnterSizeMove();
        break;
    case WindowMessage::ExitSizeMove:
        emit ExitSizeMove();
        m_bInSizeMove = false;
        break;
    case WindowMessage::Moving:
    case WindowMessage::Sizing:
        if (rect)
            raiseRect(msg, *rect);
        break;
    case WindowMessage::Size:
        if (!m_bInSizeMove) {
            // Outside a loop the rectangle is only reported; changing it has no effect.
            WindowRect r = WindowSubclass::GetWindowRect(m_hWnd);
            raiseRect(WindowMessage::Sizing, r);
        }
        break;
    case WindowMessage::Activate:
        // The high-order bits say whether the window is minimized; they are not part of the state.
        if ((wParam & 0xFFFFu) != WA_INACTIVE) {
            FullDragOff();
            m_bActive = true;
            emit Activate((wParam & 0xFFFFu) == WA_CLICKACTIVE);
        } else {
            FullDragOn();
            m_bActive = false;
            emit Deactivate();
        }
        break;
    case WindowMessage::Destroy:
        FullDragOn();
        Detach();
        break;
    }
}

void cSizeMoveHelper::raiseRect(WindowMessage msg, WindowRect &rect)
{
    std::int32_t left = rect.left;
    std::int32_t top = rect.top;
    std::int32_t width = rect.right - rect.left;
    std::int32_t height = rect.bottom - rect.top;
    if (msg == WindowMessage::Moving)
        emit Moving(left, top, width, height);
    else
        emit Sizing(left, top, width, height);
    rect = {left, top, left + width, top + height};
}

void cSizeMoveHelper::FullDragOff()
{
    if (!m_bNoFullDrag)
        return;
    const std::optional<bool> on = FullWindowDrag::Get();
    if (on && *on) {
        m_bFullDragWasOn = true;
        FullWindowDrag::Set(false);
    }
}

void cSizeMoveHelper::FullDragOn()
{
    if (!m_bFullDragWasOn)
        return;
    FullWindowDrag::Set(true);
    m_bFullDragWasOn = false;
}

}  // namespace folvane
