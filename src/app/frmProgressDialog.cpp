#include "app/frmProgressDialog.h"

#include "app/ErrorLog.h"
#include "app/ProgramState.h"
#include "app/Skin.h"

#include <QEvent>
#include <QLabel>
#include <QProgressBar>
#include <QTimer>
#include <QVBoxLayout>

namespace folvane {

frmProgressDialog::frmProgressDialog(QWidget *parent)
    : QDialog(parent), Label1(new QLabel(QStringLiteral("Loading With Default Settings"), this)),
      ProgressBar1(new QProgressBar(this)), Timer1(new QTimer(this))
{
    setWindowFlags(windowFlags() & ~Qt::WindowContextHelpButtonHint);
    setMouseTracking(true);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(Label1);
    layout->addWidget(ProgressBar1);
    Label1->installEventFilter(this);
    ProgressBar1->installEventFilter(this);
    ProgressBar1->setTextVisible(false);

    Timer1->setInterval(10);
    connect(Timer1, &QTimer::timeout, this, &frmProgressDialog::Timer1_Timer);
    Form_Load();
    Timer1->start();
}

void frmProgressDialog::Form_Load()
{
    Guarded("Form_Load", Unit::frmProgressDialog, [&] {
        ApplySkin(this);
        setWindowTitle(ProgramTitle());
        ProgressBar1->setRange(0, 50);
        ProgressBar1->setValue(0);
    });
}

bool frmProgressDialog::BarFull() const { return ProgressBar1->maximum() <= ProgressBar1->value(); }

void frmProgressDialog::Unload()
{
    Timer1->stop();
    done(QDialog::Accepted);
}

void frmProgressDialog::UnloadWhenFull()
{
    if (BarFull())
        Unload();
}

void frmProgressDialog::Timer1_Timer()
{
    Guarded("Timer1_Timer", Unit::frmProgressDialog, [&] {
        if (BarFull()) {
            ProgressBar1->setValue(ProgressBar1->maximum());
            Unload();
        } else {
            ProgressBar1->setValue(ProgressBar1->value() + 1);
        }
    });
}

void frmProgressDialog::Form_MouseDown() { UnloadWhenFull(); }
void frmProgressDialog::Form_MouseMove() { UnloadWhenFull(); }
void frmProgressDialog::Label1_MouseDown() { UnloadWhenFull(); }
void frmProgressDialog::ProgressBar1_MouseEvent() { UnloadWhenFull(); }

void frmProgressDialog::mousePressEvent(QMouseEvent *event)
{
    QDialog::mousePressEvent(event);
    Form_MouseDown();
}

void frmProgressDialog::mouseMoveEvent(QMouseEvent *event)
{
    QDialog::mouseMoveEvent(event);
    Form_MouseMove();
}

bool frmProgressDialog::eventFilter(QObject *watched, QEvent *event)
{
    const QEvent::Type t = event->type();
    if (watched == Label1 && t == QEvent::MouseButtonPress) {
        Label1_MouseDown();
        return true;
    }
    if (watched == ProgressBar1
        && (t == QEvent::MouseButtonPress || t == QEvent::MouseButtonRelease || t == QEvent::MouseMove
            || t == QEvent::MouseButtonDblClick)) {
        ProgressBar1_MouseEvent();
        return true;
    }
    return QDialog::eventFilter(watched, event);
}

}  // namespace folvane
