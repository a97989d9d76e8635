#include "search/frmLoading.h"

#include "app/ProgramState.h"

#include <QCloseEvent>
#include <QLabel>
#include <QPainter>
#include <QTimer>

namespace folvane {

frmLoading::frmLoading(QWidget *owner)
    // No title bar: window managers (openbox among them) put their own close and minimize buttons on
    // any title bar, whatever the window asks for, and the box has no buttons.
    : QDialog(owner, Qt::Dialog | Qt::FramelessWindowHint),
      pnlStatus(new QLabel(this)),
      Timer1(new QTimer(this)),
      statusPaint_(new QTimer(this))
{
    setWindowTitle(ProgramTitle());
    setModal(false);
    setFixedSize(330, 64);
    const int left = CursorOrigin.x() + cAniCursor::DefaultCursorSize + 8;
    pnlStatus->setGeometry(left, 12, width() - left - 12, height() - 24);
    pnlStatus->setAlignment(Qt::AlignCenter);
    pnlStatus->setFrameShape(QFrame::StyledPanel);
    pnlStatus->setFrameShadow(QFrame::Sunken);

    Timer1->setInterval(100);
    connect(Timer1, &QTimer::timeout, this, &frmLoading::Timer1_Timer);
    Timer1->start();

    statusPaint_->setSingleShot(true);
    statusPaint_->setInterval(40);
    connect(statusPaint_, &QTimer::timeout, this, [this] { pnlStatus->setUpdatesEnabled(true); });

    cursor_.LoadFromResource();
    UpdateStatus(0);
}

void frmLoading::UpdateStatus(std::int32_t n)
{
    // The search reports every file, thousands a second, and a screen shows a few dozen frames: the
    // text always holds the latest count, while the panel is painted at most once a tick of
    // statusPaint_ (painting every count cost about a fifth of a search's time).
    if (statusPaint_->isActive())
        pnlStatus->setUpdatesEnabled(false);
    else
        statusPaint_->start();
    pnlStatus->setText(QStringLiteral("Please wait.Loading...files (") + QString::number(n) + QLatin1Char(')'));
}

void frmLoading::Timer1_Timer()
{
    cursor_.Step();
    update(QRect(CursorOrigin, QSize(cAniCursor::DefaultCursorSize, cAniCursor::DefaultCursorSize)));
}

void frmLoading::reject() {}

void frmLoading::closeEvent(QCloseEvent *event)
{
    // QDialog's own handling would go through reject(), which refuses every close.
    event->setAccepted(!event->spontaneous());
}

void frmLoading::paintEvent(QPaintEvent *)
{
    // Qt paints only inside paint events, so a tick asks for this repaint; drawing over the form's own
    // background covers the previous frame just as an uncovered window is redrawn.
    QPainter p(this);
    // Without a frame of the window manager's, the box's edge is its own.
    p.setPen(palette().color(QPalette::Shadow));
    p.drawRect(rect().adjusted(0, 0, -1, -1));
    cursor_.Draw(p, CursorOrigin.x(), CursorOrigin.y(), 0, 0, palette().color(backgroundRole()));
}

}  // namespace folvane
