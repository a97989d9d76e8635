#include "platform/WindowSubclass.h"

#include <QEvent>
#include <QGuiApplication>
#include <QScopedValueRollback>
#include <QWidget>

#include <algorithm>

namespace folvane {

namespace {
constexpr int kQuietMs = 300;
// A click activates a window through the window manager, which may deliver the press shortly before
// the activation; a press this recent counts as the cause.
constexpr qint64 kClickActivationMs = 500;
// Or just after it: a window manager that focuses on a click (openbox) activates the window first
// and then lets the press through. The activation is reported once this time has passed without a
// press, or at the press.
constexpr int kActivationSettleMs = 200;
}  // namespace

WindowSubclass::WindowSubclass(ISubclass &client, QObject *parent) : QObject(parent), client_(client)
{
    quiet_.setSingleShot(true);
    quiet_.setInterval(kQuietMs);
    connect(&quiet_, &QTimer::timeout, this, &WindowSubclass::endLoop);
    settle_.setSingleShot(true);
    settle_.setInterval(kQuietMs);
    activation_.setSingleShot(true);
    activation_.setInterval(kActivationSettleMs);
    connect(&activation_, &QTimer::timeout, this, [this] { deliverActivation(false); });
}

WindowSubclass::~WindowSubclass() { unhook(); }

void WindowSubclass::AttachMessage(QWidget *window, WindowMessage msg)
{
    if (!window)
        return;
    if (window != window_) {
        unhook();
        messages_.clear();
        hook(window);
    }
    messages_.insert(msg);
}

void WindowSubclass::DetachMessage(QWidget *window, WindowMessage msg)
{
    if (window != window_ || !window_)
        return;
    messages_.erase(msg);
    if (messages_.empty())
        unhook();
}

WindowRect WindowSubclass::GetWindowRect(const QWidget *window)
{
    if (!window)
        return {};
    const QRect r = window->frameGeometry();
    return {r.left(), r.top(), r.left() + r.width(), r.top() + r.height()};
}

void WindowSubclass::hook(QWidget *window)
{
    window_ = window;
    window_->installEventFilter(this);
    if (QWindow *h = window_->windowHandle()) {
        handle_ = h;
        h->installEventFilter(this);
    }
    destroyedConn_ = connect(window_, &QObject::destroyed, this, [this] {
        // The widget is half gone: forget it before anyone can reach it again.
        QObject::disconnect(destroyedConn_);
        window_ = nullptr;
        deliver(WindowMessage::Destroy);
        unhook();
        messages_.clear();
    });
}

void WindowSubclass::unhook()
{
    quiet_.stop();
    settle_.stop();
    activation_.stop();
    inLoop_ = false;
    minimumRaised_ = false;
    if (handle_)
        handle_->removeEventFilter(this);
    handle_ = nullptr;
    if (window_) {
        QObject::disconnect(destroyedConn_);
        window_->removeEventFilter(this);
        window_ = nullptr;
    }
}

void WindowSubclass::deliver(WindowMessage msg, std::uint32_t wParam, WindowRect *rect)
{
    if (messages_.count(msg))
        client_.WindowProc(window_, msg, wParam, rect);
}

bool WindowSubclass::outsideLoop() const
{
    return settle_.isActive() || (window_->windowState() & (Qt::WindowMinimized | Qt::WindowMaximized |
                                                            Qt::WindowFullScreen));
}

bool WindowSubclass::eventFilter(QObject *watched, QEvent *event)
{
    if (!window_)
        return false;
    if (!handle_ && window_->windowHandle()) {
        handle_ = window_->windowHandle();
        handle_->installEventFilter(this);
    }
    if (event->type() == QEvent::MouseButtonPress) {
        if (activation_.isActive())
            deliverActivation(true);
        else
            lastPress_.start();
        return false;
    }
    if (watched != window_ || applying_)
        return false;
    switch (event->type()) {
    case QEvent::WindowActivate: {
        const bool byMouse = QGuiApplication::mouseButtons() != Qt::NoButton ||
                             (lastPress_.isValid() && lastPress_.elapsed() <= kClickActivationMs);
        if (byMouse)
            deliverActivation(true);
        else
            activation_.start();
        break;
    }
    case QEvent::WindowDeactivate:
        // An activation still waiting for its press came first and is reported first.
        if (activation_.isActive())
            deliverActivation(false);
        if (window_)
            deliver(WindowMessage::Activate, WA_INACTIVE);
        break;
    case QEvent::WindowStateChange:
        settle_.start();
        break;
    case QEvent::Move:
    case QEvent::Resize: {
        const bool isResize = event->type() == QEvent::Resize;
        if (!outsideLoop())
            geometryChanged(isResize ? WindowMessage::Sizing : WindowMessage::Moving);
        else if (settle_.isActive())
            settle_.start();
        if (isResize && window_)
            deliver(WindowMessage::Size);
        break;
    }
    default:
        break;
    }
    return false;
}

void WindowSubclass::deliverActivation(bool byMouse)
{
    activation_.stop();
    lastPress_.invalidate();
    deliver(WindowMessage::Activate, byMouse ? WA_CLICKACTIVE : WA_ACTIVE);
}

void WindowSubclass::geometryChanged(WindowMessage loopMsg)
{
    if (!inLoop_) {
        inLoop_ = true;
        deliver(WindowMessage::EnterSizeMove);
        if (!window_)
            return;
    }
    quiet_.start();
    const WindowRect reported = GetWindowRect(window_);
    WindowRect wanted = reported;
    deliver(loopMsg, 0, &wanted);
    if (window_ && wanted != reported)
        apply(reported, wanted);
}

void WindowSubclass::apply(const WindowRect &reported, const WindowRect &wanted)
{
    const QScopedValueRollback applying(applying_, true);
    if (wanted.left != reported.left || wanted.top != reported.top)
        window_->move(wanted.left, wanted.top);
    const int frameW = (reported.right - reported.left) - window_->width();
    const int frameH = (reported.bottom - reported.top) - window_->height();
    const QSize client(std::max(0, wanted.right - wanted.left - frameW),
                       std::max(0, wanted.bottom - wanted.top - frameH));
    if (client != window_->size()) {
        // The window manager goes on resizing toward the pointer; a minimum size stops it at the
        // enlarged rectangle for the rest of the drag instead of flickering back and forth.
        if (client.width() > window_->width() || client.height() > window_->height()) {
            if (!minimumRaised_) {
                savedMinimum_ = window_->minimumSize();
                minimumRaised_ = true;
            }
            const QSize enlarged(client.width() > window_->width() ? client.width() : 0,
                                 client.height() > window_->height() ? client.height() : 0);
            window_->setMinimumSize(window_->minimumSize().expandedTo(enlarged));
        }
        window_->resize(client);
    }
}

void WindowSubclass::endLoop()
{
    if (!window_ || !inLoop_)
        return;
    if (minimumRaised_) {
        minimumRaised_ = false;
        const QScopedValueRollback applying(applying_, true);
        window_->setMinimumSize(savedMinimum_);
    }
    deliver(WindowMessage::ExitSizeMove);
    inLoop_ = false;
}

}  // namespace folvane
