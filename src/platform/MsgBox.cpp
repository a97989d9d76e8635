#include "platform/MsgBox.h"

#include "platform/ProgramTitle.h"

#include <QApplication>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPainter>
#include <QStyle>
#include <QStyleOptionTitleBar>
#include <QWindow>

#include <algorithm>
#include <optional>

namespace folvane {

namespace {
MsgBoxAnswerer &answerer()
{
    static MsgBoxAnswerer a;
    return a;
}

/// The box's own title bar: the whole title and a close button, nothing else.
class TitleBar : public QWidget {
public:
    explicit TitleBar(QWidget *box) : QWidget(box)
    {
        setObjectName(QStringLiteral("titleBar"));
        setMouseTracking(true);
    }

    int barHeight() const
    {
        const QStyleOptionTitleBar o = option(rect());
        return std::max(style()->pixelMetric(QStyle::PM_TitleBarHeight, &o, this), fontMetrics().height() + 8);
    }

    /// The narrowest bar that still shows the whole title beside the close button.
    int leastWidth() const
    {
        QFont bold = font();
        bold.setBold(true); // title bars draw their caption in bold
        const int probe = 1000;
        const QStyleOptionTitleBar o = option(QRect(0, 0, probe, barHeight()));
        const int beside = probe - style()->subControlRect(QStyle::CC_TitleBar, &o, QStyle::SC_TitleBarLabel, this).width();
        // Room on both sides of the centred caption, as styles keep some before they elide it.
        return QFontMetrics(bold).horizontalAdvance(window()->windowTitle()) + beside + 2 * barHeight();
    }

protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter painter(this);
        const QStyleOptionTitleBar o = option(rect());
        style()->drawComplexControl(QStyle::CC_TitleBar, &o, &painter, this);
    }
    void mousePressEvent(QMouseEvent *e) override
    {
        if (e->button() != Qt::LeftButton)
            return;
        if (overClose(e->position().toPoint())) {
            closePressed_ = true;
            update();
            return;
        }
        // The toolkit can hold a stale position for a window the window manager gives no frame (it
        // asks where the window is before the window manager has placed it), and a move would start
        // from there and make the box jump. The press tells where the box really is: the pointer on
        // the screen less the pointer in the box.
        QWidget *box = window();
        const QPoint corner = (e->globalPosition() - e->scenePosition()).toPoint();
        box->move(corner);
        QWindow *handle = box->windowHandle();
        if (handle)
            handle->setPosition(corner);
        // The window manager moves the box as it moves a framed window; where it cannot, the box
        // follows the mouse itself.
        if (!handle || !handle->startSystemMove())
            dragFrom_ = e->globalPosition().toPoint() - corner;
    }
    void mouseMoveEvent(QMouseEvent *e) override
    {
        if (dragFrom_) {
            window()->move(e->globalPosition().toPoint() - *dragFrom_);
            return;
        }
        const bool over = overClose(e->position().toPoint());
        if (over != hoverClose_) {
            hoverClose_ = over;
            update();
        }
    }
    void mouseReleaseEvent(QMouseEvent *e) override
    {
        dragFrom_.reset();
        if (!closePressed_)
            return;
        closePressed_ = false;
        update();
        // The box's close answers as its window manager's close would: with its escape button.
        if (overClose(e->position().toPoint()))
            window()->close();
    }
    void leaveEvent(QEvent *) override
    {
        hoverClose_ = false;
        update();
    }

private:
    QStyleOptionTitleBar option(const QRect &bounds) const
    {
        QStyleOptionTitleBar o;
        o.initFrom(this);
        o.rect = bounds;
        o.text = window()->windowTitle();
        // The system-menu flag is what makes styles draw the close button.
        o.titleBarFlags = Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint;
        o.subControls = QStyle::SC_TitleBarLabel | QStyle::SC_TitleBarCloseButton;
        // Styles read the active look from the bar's state word, as for a subwindow's title bar.
        if (window()->isActiveWindow()) {
            o.state |= QStyle::State_Active;
            o.titleBarState = Qt::WindowActive | QStyle::State_Active;
        }
        if (hoverClose_ || closePressed_) {
            o.activeSubControls = QStyle::SC_TitleBarCloseButton;
            o.state |= closePressed_ ? QStyle::State_Sunken : QStyle::State_MouseOver;
        }
        return o;
    }
    bool overClose(QPoint at) const
    {
        const QStyleOptionTitleBar o = option(rect());
        return style()->hitTestComplexControl(QStyle::CC_TitleBar, &o, at, this) == QStyle::SC_TitleBarCloseButton;
    }

    bool hoverClose_ = false;
    bool closePressed_ = false;
    std::optional<QPoint> dragFrom_;
};

/// The message box without the window manager's frame: window managers (openbox among them) put
/// minimize and maximize buttons on any title bar of theirs, whatever a window asks for, and cut a
/// title that does not fit a narrow box. The box draws its own bar and is as wide as the title needs.
class MessageWindow : public QMessageBox {
public:
    explicit MessageWindow(QWidget *parent) : QMessageBox(parent), bar_(new TitleBar(this))
    {
        setWindowFlags(Qt::Dialog | Qt::FramelessWindowHint);
        setContentsMargins(Border, Border + bar_->barHeight(), Border, Border);
    }

protected:
    void showEvent(QShowEvent *e) override
    {
        QMessageBox::showEvent(e); // sizes the box for its text and buttons
        const int least = bar_->leastWidth() + 2 * Border;
        if (width() < least) {
            const int grow = least - width();
            setFixedWidth(least);
            move(x() - grow / 2, y());
        }
    }
    void resizeEvent(QResizeEvent *e) override
    {
        QMessageBox::resizeEvent(e);
        bar_->setGeometry(Border, Border, width() - 2 * Border, bar_->barHeight());
    }
    void paintEvent(QPaintEvent *e) override
    {
        QMessageBox::paintEvent(e);
        QPainter painter(this);
        painter.setPen(palette().color(QPalette::Dark));
        painter.drawRect(rect().adjusted(0, 0, -1, -1));
    }
    void changeEvent(QEvent *e) override
    {
        QMessageBox::changeEvent(e);
        if (e->type() == QEvent::ActivationChange)
            bar_->update();
    }

private:
    static constexpr int Border = 1;
    TitleBar *bar_;
};

}  // namespace

void SetMsgBoxAnswerer(MsgBoxAnswerer a) { answerer() = std::move(a); }

MsgResult MsgBox(const QString &text, MsgButtons buttons, MsgIcon icon, const QString &title, QWidget *parent)
{
    const MsgBoxCall call{text, title.isEmpty() ? ProgramTitle() : title, buttons, icon};
    if (answerer())
        return answerer()(call);

    MessageWindow box(parent ? parent : QApplication::activeWindow());
    box.setWindowTitle(call.title);
    box.setText(call.text);
    switch (icon) {
    case MsgIcon::None: box.setIcon(QMessageBox::NoIcon); break;
    case MsgIcon::Information: box.setIcon(QMessageBox::Information); break;
    case MsgIcon::Question: box.setIcon(QMessageBox::Question); break;
    case MsgIcon::Exclamation: box.setIcon(QMessageBox::Warning); break;
    case MsgIcon::Critical: box.setIcon(QMessageBox::Critical); break;
    }
    switch (buttons) {
    case MsgButtons::OK: box.setStandardButtons(QMessageBox::Ok); break;
    case MsgButtons::OKCancel: box.setStandardButtons(QMessageBox::Ok | QMessageBox::Cancel); break;
    case MsgButtons::YesNo: box.setStandardButtons(QMessageBox::Yes | QMessageBox::No); break;
    case MsgButtons::YesNoCancel:
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
        break;
    }
    switch (box.exec()) {
    case QMessageBox::Yes: return MsgResult::Yes;
    case QMessageBox::No: return MsgResult::No;
    case QMessageBox::Cancel: return MsgResult::Cancel;
    default: return MsgResult::OK;
    }
}

}  // namespace folvane
