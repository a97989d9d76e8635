#pragma once
// The first-run box "Loading With Default Settings": a bar that runs from 0 to 50 on a 10 ms timer
// and closes the box when full. Start-up shows it modal before it writes the default settings.

#include <QDialog>

class QLabel;
class QProgressBar;
class QTimer;

namespace folvane {

class frmProgressDialog : public QDialog {
    Q_OBJECT
public:
    explicit frmProgressDialog(QWidget *parent = nullptr);

    QLabel *Label1;
    QProgressBar *ProgressBar1;
    QTimer *Timer1;

    void Form_Load();
    /// Adds 1 to the bar; once the bar is full, the next tick closes the box.
    void Timer1_Timer();
    // The mouse closes the box only once the bar is full.
    void Form_MouseDown();
    void Form_MouseMove();
    void Label1_MouseDown();
    void ProgressBar1_MouseEvent();

protected:
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    bool BarFull() const;
    void Unload();
    void UnloadWhenFull();
};

}  // namespace folvane
