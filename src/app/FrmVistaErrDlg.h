#pragma once
// The access-rights window: start-up shows it modal when the storage folder cannot be written, and
// the program ends once it is closed.

#include <QDialog>

class QLabel;
class QPushButton;

namespace folvane {

class FrmVistaErrDlg : public QDialog {
    Q_OBJECT
public:
    explicit FrmVistaErrDlg(QWidget *parent = nullptr);

    QLabel *Label1;
    QPushButton *OKButton;

    void Form_Load();
    void OKButton_Click();
};

}  // namespace folvane
