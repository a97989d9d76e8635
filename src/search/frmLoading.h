#pragma once
// The busy box the folder search shows while it walks a folder: a turning hourglass and the count of
// files found so far. It has no buttons and no title bar, and only the program closes it: Escape and
// a close asked for through the window manager are refused.

#include "app/cAniCursor.h"

#include <QDialog>

class QLabel;
class QTimer;

namespace folvane {

class frmLoading : public QDialog {
    Q_OBJECT
public:
    explicit frmLoading(QWidget *owner = nullptr);

    /// Shows "Please wait.Loading...files (n)", centred in the status panel.
    void UpdateStatus(std::int32_t n);
    /// Advances the hourglass one frame and redraws it over the previous one.
    void Timer1_Timer();

    const cAniCursor &AniCursor() const { return cursor_; }

    QLabel *pnlStatus;
    QTimer *Timer1;

    /// Where the hourglass is drawn, in pixels.
    static constexpr QPoint CursorOrigin{16, 16};

    /// Escape does nothing: only the program closes the box.
    void reject() override;

protected:
    void paintEvent(QPaintEvent *event) override;
    /// Refuses a close asked for from outside (the window manager's close, Alt+F4); the search
    /// ends the box itself.
    void closeEvent(QCloseEvent *event) override;

private:
    cAniCursor cursor_;
    /// Runs for a short while after the panel was last painted; counts that come sooner are only
    /// put into the text, which is painted when it runs out.
    QTimer *statusPaint_;
};

}  // namespace folvane
