#pragma once
// The About box: the program title and two links, to the support address and the web site.

#include <QDialog>

class QLabel;
class QPushButton;

namespace folvane {

class frmAbout : public QDialog {
    Q_OBJECT
public:
    /// Loads the box (Form_Load) at once.
    explicit frmAbout(QWidget *parent = nullptr);

    QLabel *lblProductName;
    QLabel *lblSupportEmail;
    QLabel *lblWebsite;
    QPushButton *cmdQuit;

    void Form_Load();
    void cmdQuit_Click();
    void lblSupportEmail_Click();
    void lblWebsite_Click();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
};

}  // namespace folvane
