// The message box as a user meets it under a window manager (run by run-with-wm): real boxes over a
// window, read back from the screen and the X server, answered with real clicks and keys.

#include "platform/MsgBox.h"

#include "support/RealInput.h"

#include <QApplication>
#include <QImage>
#include <QProcess>
#include <QRegularExpression>
#include <QScreen>
#include <QTimer>
#include <QWidget>
#include <QWindow>

#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>

using namespace folvane;
using namespace folvane::test;

namespace {
/// A property of the window as the window manager left it, as xprop prints it.
QString WindowProperty(const QWidget &window, const char *name)
{
    QProcess p;
    p.start(QStringLiteral("xprop"), {QStringLiteral("-id"), QString::number(window.winId()), QString::fromLatin1(name)});
    p.waitForFinished(5000);
    return QString::fromLocal8Bit(p.readAllStandardOutput()).trimmed();
}

/// The window's upper-left corner on the screen, as the X server reports it.
QPoint CornerOnScreen(const QWidget &window)
{
    QProcess p;
    p.start(QStringLiteral("xwininfo"), {QStringLiteral("-id"), QString::number(window.winId())});
    p.waitForFinished(5000);
    const QString info = QString::fromLocal8Bit(p.readAllStandardOutput());
    const QRegularExpressionMatch x = QRegularExpression(QStringLiteral("Absolute upper-left X:\\s+(-?\\d+)")).match(info);
    const QRegularExpressionMatch y = QRegularExpression(QStringLiteral("Absolute upper-left Y:\\s+(-?\\d+)")).match(info);
    return x.hasMatch() && y.hasMatch() ? QPoint(x.captured(1).toInt(), y.captured(1).toInt()) : QPoint(-1, -1);
}

/// A point of a control of the box on the screen. Taken from where the X server shows the box: the
/// toolkit learns the position of a window without a frame of the window manager's only later.
QPoint OnScreen(QWidget &box, QWidget &control, QPoint local) { return CornerOnScreen(box) + control.mapTo(&box, local); }

QWidget &TitleBarOf(QWidget &box)
{
    QWidget *bar = box.findChild<QWidget *>(QStringLiteral("titleBar"));
    EXPECT_NE(bar, nullptr);
    return bar ? *bar : box;
}

/// The title's ink as the screen shows it: the pixels of the title bar, left of its close button, that
/// differ from the bar's background in their row, cut to their bounding box.
QImage TitleInk(QWidget &box)
{
    QWidget &bar = TitleBarOf(box);
    const QPoint at = OnScreen(box, bar, QPoint(0, 0));
    const QImage shown = box.screen()->grabWindow(0, at.x(), at.y(), bar.width(), bar.height()).toImage();
    const int left = 8;                                      // clear of the bar's rounded end
    const int right = shown.width() - shown.height() - 2;    // the close button is about as wide as the bar is high
    auto differs = [](QRgb a, QRgb b) {
        return std::abs(qRed(a) - qRed(b)) + std::abs(qGreen(a) - qGreen(b)) + std::abs(qBlue(a) - qBlue(b)) > 48;
    };
    QRect ink;
    for (int y = 0; y < shown.height(); ++y) {
        const QRgb background = shown.pixel(left, y);
        for (int x = left; x < right; ++x)
            if (differs(shown.pixel(x, y), background))
                ink |= QRect(x, y, 1, 1);
    }
    return ink.isEmpty() ? QImage() : shown.copy(ink);
}

class MessageBoxOnDesktop : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(WindowManagerRunning()) << "run under support/run-with-wm";
        SetMsgBoxAnswerer({}); // the real box
        owner.setWindowTitle(QStringLiteral("owner"));
        owner.setGeometry(100, 100, 800, 600);
        ASSERT_TRUE(ShowAndWaitForFrame(owner));
    }
    void TearDown() override { SetMsgBoxAnswerer([](const MsgBoxCall &) { return MsgResult::OK; }); }

    /// Shows a real box over the owner and calls `whileShown` once the box is on the screen with the
    /// keyboard; `whileShown` ends it as a user would. A box still open after 30 s is closed, so that
    /// a fault fails the test instead of hanging it.
    MsgResult ShowBox(const QString &text, MsgButtons buttons, const std::function<void(QWidget &box)> &whileShown)
    {
        bool seen = false;
        QTimer look;
        look.setInterval(20);
        QObject::connect(&look, &QTimer::timeout, [&] {
            QWidget *box = QApplication::activeModalWidget();
            if (!box || !box->windowHandle() || !box->windowHandle()->isExposed() || !box->isActiveWindow())
                return;
            look.stop();
            // Managed by the window manager: before that, it may still take the box off the screen to
            // reparent it.
            seen = WaitUntil(
                [&] { return !WindowProperty(*box, "_NET_FRAME_EXTENTS").contains(QLatin1String("not found")); });
            // Painted: the title's ink is on the screen.
            seen = seen && WaitUntil([&] { return !TitleInk(*box).isNull(); });
            whileShown(*box);
        });
        QTimer guard;
        guard.setSingleShot(true);
        QObject::connect(&guard, &QTimer::timeout, [] {
            ADD_FAILURE() << "the box was still open";
            if (QWidget *box = QApplication::activeModalWidget())
                box->close();
        });
        look.start();
        guard.start(30000);
        const MsgResult result = MsgBox(text, buttons, MsgIcon::Information, QString(), &owner);
        EXPECT_TRUE(seen) << "the box never had the keyboard, or was never managed";
        return result;
    }

    QWidget owner;
};

TEST_F(MessageBoxOnDesktop, AShortMessageShowsTheWholeTitleAndNoFrameOfTheWindowManagers)
{
    QImage shortInk;
    QString frame;
    EXPECT_EQ(ShowBox(QStringLiteral("Help file not found."), MsgButtons::OK,
                      [&](QWidget &box) {
                          shortInk = TitleInk(box);
                          frame = WindowProperty(box, "_NET_FRAME_EXTENTS");
                          ASSERT_TRUE(PressKeys({QStringLiteral("Return")}));
                      }),
              MsgResult::OK);
    // No frame of the window manager's, so none of its minimize and maximize buttons either.
    EXPECT_EQ(frame, QStringLiteral("_NET_FRAME_EXTENTS(CARDINAL) = 0, 0, 0, 0"));

    // The same title on a box far wider than it needs shows it whole: the short box shows the same ink.
    QImage wideInk;
    EXPECT_EQ(ShowBox(QStringLiteral("The list could not be written to the folder you chose, since it holds no "
                                     "room for another file."),
                      MsgButtons::OKCancel,
                      [&](QWidget &box) {
                          wideInk = TitleInk(box);
                          ASSERT_TRUE(PressKeys({QStringLiteral("Escape")}));
                      }),
              MsgResult::Cancel);
    ASSERT_FALSE(wideInk.isNull());
    EXPECT_EQ(shortInk.size(), wideInk.size());
    EXPECT_TRUE(shortInk == wideInk) << "the short box's title differs from the whole title";
}

TEST_F(MessageBoxOnDesktop, ItsCloseButtonAndTheWindowManagersCloseKeyAnswerAsEscapeDoes)
{
    const struct {
        const char *what;
        MsgButtons buttons;
        bool byKey; // alt+F4 instead of a click on the close button
        MsgResult answer;
    } cases[] = {
        {"OK box, close button", MsgButtons::OK, false, MsgResult::OK},
        {"Yes/No box, close button", MsgButtons::YesNo, false, MsgResult::No},
        {"Yes/No/Cancel box, close button", MsgButtons::YesNoCancel, false, MsgResult::Cancel},
        {"OK/Cancel box, alt+F4", MsgButtons::OKCancel, true, MsgResult::Cancel},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(ShowBox(QStringLiteral("Replace the file?"), c.buttons,
                          [&](QWidget &box) {
                              if (c.byKey) {
                                  ASSERT_TRUE(PressKeys({QStringLiteral("alt+F4")}));
                                  return;
                              }
                              QWidget &bar = TitleBarOf(box);
                              ASSERT_TRUE(ClickAt(OnScreen(box, bar, QPoint(bar.width() - bar.height() / 2, bar.height() / 2))));
                          }),
                  c.answer);
    }
}

TEST_F(MessageBoxOnDesktop, DraggingItsTitleBarMovesTheBox)
{
    QPoint before, after;
    ShowBox(QStringLiteral("Help file not found."), MsgButtons::OK, [&](QWidget &box) {
        before = CornerOnScreen(box);
        QWidget &bar = TitleBarOf(box);
        const QPoint grip = OnScreen(box, bar, QPoint(bar.height(), bar.height() / 2));
        auto to = [](QPoint p) {
            return QStringList{QStringLiteral("mousemove"), QString::number(p.x()), QString::number(p.y())};
        };
        ASSERT_TRUE(Xdotool(to(grip)));
        ASSERT_TRUE(Xdotool({QStringLiteral("mousedown"), QStringLiteral("1")}));
        // The press reaches the title bar, which asks the window manager to move the box; the second
        // round trip lets the manager take the pointer before it moves.
        ASSERT_TRUE(RoundTrip());
        ASSERT_TRUE(RoundTrip());
        for (const QPoint step : {QPoint(40, 30), QPoint(80, 60), QPoint(120, 90)}) {
            ASSERT_TRUE(Xdotool(to(grip + step)));
            ASSERT_TRUE(RoundTrip());
        }
        ASSERT_TRUE(Xdotool({QStringLiteral("mouseup"), QStringLiteral("1")}));
        // The window manager has ended the move and given the keyboard back.
        ASSERT_TRUE(RoundTrip());
        WaitUntil([&] { return (after = CornerOnScreen(box)) == before + QPoint(120, 90); });
        ASSERT_TRUE(PressKeys({QStringLiteral("Return")}));
    });
    EXPECT_EQ(after - before, QPoint(120, 90));
}

}  // namespace
