#pragma once
// "Reporting Errors": framed text blocks in a text box, which the user can save as a rich-text file.

#include <QDialog>
#include <QString>

class QPushButton;
class QTextEdit;

namespace folvane {

class frmErrorReportDialog : public QDialog {
    Q_OBJECT
public:
    explicit frmErrorReportDialog(QWidget *parent = nullptr);

    /// Appends one block: a framed heading, a framed subject, the description between empty lines.
    void AddError(QString Heading, QString Subject, QString Discription);

    /// The report as built, lines ended by CR LF; the text box only shows it.
    QString ReportText() const;

    void cmdSave_Click();
    void cmdCancel_Click();

    QTextEdit *RtxtError;
    QPushButton *cmdSave;
    QPushButton *cmdCancel;

private:
    QString ShowSaveDialog(QString &filter);
    void showReport();

    QString report_;
};

}  // namespace folvane
