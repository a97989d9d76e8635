#include "support/RealInput.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QProcess>
#include <QThread>
#include <QWidget>
#include <QWindow>

namespace folvane::test {

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
    WaitUntil([&] { return window.isActiveWindow(); }, timeoutMs);
    Settle();
    return framed;
}

void Settle(int ms)
{
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < ms) {
        QApplication::processEvents(QEventLoop::AllEvents, 10);
        QThread::msleep(5);
    }
}

bool ClickAt(QPoint global, int button)
{
    const bool ok = Xdotool({QStringLiteral("mousemove"), QString::number(global.x()), QString::number(global.y()),
                             QStringLiteral("click"), QString::number(button)});
    Settle();
    return ok;
}

bool ClickWidget(QWidget &widget, QPoint local, int button)
{
    return ClickAt(widget.mapToGlobal(local), button);
}

bool PressKeys(const QStringList &keysyms)
{
    QStringList args{QStringLiteral("key"), QStringLiteral("--delay"), QStringLiteral("30")};
    args += keysyms;
    const bool ok = Xdotool(args);
    Settle();
    return ok;
}

bool TypeText(const QString &text)
{
    const bool ok = Xdotool({QStringLiteral("type"), QStringLiteral("--delay"), QStringLiteral("30"), text});
    Settle();
    return ok;
}

}  // namespace folvane::test
