#pragma once
// Up-down buttons bound to a text box: each press steps the whole number in the box by one. The box
// itself still accepts any text.

#include <QWidget>

class QLineEdit;
class QToolButton;

namespace folvane {

class UpDown : public QWidget {
    Q_OBJECT
public:
    explicit UpDown(QWidget *parent = nullptr);
    void setBuddy(QLineEdit *box) { buddy_ = box; }
    QLineEdit *buddy() const { return buddy_; }
    void setRange(long long min, long long max)
    {
        min_ = min;
        max_ = max;
    }
    long long maximum() const { return max_; }
    long long minimum() const { return min_; }
    /// Steps the buddy's number by delta (+1 or -1) within the range.
    void step(int delta);

private:
    QLineEdit *buddy_ = nullptr;
    QToolButton *up_;
    QToolButton *down_;
    long long min_ = 0;
    long long max_ = 9999999;
};

}  // namespace folvane
