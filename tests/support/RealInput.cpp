#include "support/RealInput.h"

#include <QAbstractNativeEventFilter>
#include <QApplication>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QProcess>
#include <QThread>
#include <QWidget>
#include <QWindow>

#include <xcb/xcb.h>
#include <xcb/xproto.h>

#include <cstdlib>
#include <cstring>

namespace folvane::test {

namespace {

/// A window of the program's that is never shown, so the window manager does not manage it and
/// answers a request for its frame extents by setting the property; the program counts the answers
/// as the X server reports them.
class RoundTripWindow : public QAbstractNativeEventFilter {
public:
    static RoundTripWindow *Instance()
    {
        // Made once and kept to the end of the run: the application owns the filter list and the
        // window's platform handle, and outlives every test.
        static RoundTripWindow *instance = [] {
            auto *made = new RoundTripWindow;
            if (!made->setUp()) {
                delete made;
                return static_cast<RoundTripWindow *>(nullptr);
            }
            return made;
        }();
        return instance;
    }

    int answers() const { return answers_; }

    void ask()
    {
        xcb_client_message_event_t request;
        std::memset(&request, 0, sizeof request);
        request.response_type = XCB_CLIENT_MESSAGE;
        request.format = 32;
        request.window = window_;
        request.type = requestAtom_;
        xcb_send_event(connection_, 0, root_,
                       XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY,
                       reinterpret_cast<const char *>(&request));
        xcb_flush(connection_);
    }

    bool nativeEventFilter(const QByteArray &eventType, void *message, qintptr *) override
    {
        if (eventType != "xcb_generic_event_t")
            return false;
        const auto *event = static_cast<const xcb_generic_event_t *>(message);
        if ((event->response_type & 0x7f) == XCB_PROPERTY_NOTIFY) {
            const auto *notify = reinterpret_cast<const xcb_property_notify_event_t *>(event);
            if (notify->window == window_ && notify->atom == answerAtom_)
                ++answers_;
        }
        return false;
    }

private:
    bool setUp()
    {
        auto *x11 = qApp->nativeInterface<QNativeInterface::QX11Application>();
        if (!x11)
            return false;
        connection_ = x11->connection();
        root_ = xcb_setup_roots_iterator(xcb_get_setup(connection_)).data->root;
        requestAtom_ = atom("_NET_REQUEST_FRAME_EXTENTS");
        answerAtom_ = atom("_NET_FRAME_EXTENTS");
        marker_.create();
        window_ = static_cast<xcb_window_t>(marker_.winId());
        qApp->installNativeEventFilter(this);
        return requestAtom_ != XCB_ATOM_NONE && answerAtom_ != XCB_ATOM_NONE;
    }

    xcb_atom_t atom(const char *name)
    {
        xcb_intern_atom_reply_t *reply = xcb_intern_atom_reply(
            connection_, xcb_intern_atom(connection_, 0, static_cast<uint16_t>(std::strlen(name)), name), nullptr);
        const xcb_atom_t atom = reply ? reply->atom : xcb_atom_t{XCB_ATOM_NONE};
        std::free(reply);
        return atom;
    }

    xcb_connection_t *connection_ = nullptr;
    xcb_window_t root_ = 0;
    xcb_atom_t requestAtom_ = XCB_ATOM_NONE;
    xcb_atom_t answerAtom_ = XCB_ATOM_NONE;
    QWindow marker_;
    xcb_window_t window_ = 0;
    int answers_ = 0;
};

}  // namespace

bool WindowManagerRunning()
{
    return QGuiApplication::platformName() == QLatin1String("xcb") && !qEnvironmentVariableIsEmpty("DISPLAY");
}

bool Xdotool(const QStringList &args)
{
    QProcess p;
    p.start(QStringLiteral("xdotool"), args);
    if (!p.waitForFinished(10000))
        return false;
    return p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
}

bool WaitUntil(const std::function<bool()> &condition, int timeoutMs)
{
    QElapsedTimer t;
    t.start();
    while (!condition()) {
        if (t.elapsed() > timeoutMs)
            return condition();
        QApplication::processEvents(QEventLoop::AllEvents, 20);
        QThread::msleep(5);
    }
    return true;
}

bool RoundTrip(int timeoutMs)
{
    RoundTripWindow *window = RoundTripWindow::Instance();
    if (!window)
        return false;
    const int before = window->answers();
    window->ask();
    const bool answered = WaitUntil([&] { return window->answers() > before; }, timeoutMs);
    // What the input's handlers posted, such as a layout or a queued signal.
    QCoreApplication::processEvents();
    return answered;
}

bool ShowAndWaitForFrame(QWidget &window, int timeoutMs)
{
    window.show();
    const bool framed = WaitUntil(
        [&] {
            // The platform window's margins: the widget's own copy stays empty when the window
            // manager's reparenting comes after the placement it reports.
            return window.isVisible() && window.windowHandle() && window.windowHandle()->isExposed() &&
                   !window.windowHandle()->frameMargins().isNull();
        },
        timeoutMs);
    window.activateWindow();
    const bool active = WaitUntil([&] { return window.isActiveWindow(); }, timeoutMs);
    return RoundTrip() && framed && active;
}

bool ClickAt(QPoint global, int button)
{
    return Xdotool({QStringLiteral("mousemove"), QString::number(global.x()), QString::number(global.y()),
                    QStringLiteral("click"), QString::number(button)})
           && RoundTrip();
}

bool ClickWidget(QWidget &widget, QPoint local, int button)
{
    return ClickAt(widget.mapToGlobal(local), button);
}

bool DoubleClickAt(QPoint global)
{
    return Xdotool({QStringLiteral("mousemove"), QString::number(global.x()), QString::number(global.y()),
                    QStringLiteral("click"), QStringLiteral("--repeat"), QStringLiteral("2"), QStringLiteral("1")})
           && RoundTrip();
}

bool ShiftClickAt(QPoint global)
{
    return Xdotool({QStringLiteral("keydown"), QStringLiteral("shift"), QStringLiteral("mousemove"),
                    QString::number(global.x()), QString::number(global.y()), QStringLiteral("click"),
                    QStringLiteral("1"), QStringLiteral("keyup"), QStringLiteral("shift")})
           && RoundTrip();
}

bool PressKeys(const QStringList &keysyms)
{
    QStringList args{QStringLiteral("key"), QStringLiteral("--delay"), QStringLiteral("30")};
    args += keysyms;
    return Xdotool(args) && RoundTrip();
}

bool TypeText(const QString &text)
{
    return Xdotool({QStringLiteral("type"), QStringLiteral("--delay"), QStringLiteral("30"), text}) && RoundTrip();
}

}  // namespace folvane::test
