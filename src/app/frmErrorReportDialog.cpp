#include "app/frmErrorReportDialog.h"

#include "app/ErrorLog.h"
#include "platform/CommonDialog.h"
#include "platform/RtfWriter.h"

#include <QHBoxLayout>
#include <QPushButton>
#include <QTextEdit>
#include <QVBoxLayout>

#include <utility>

namespace folvane {

namespace {
const QString kCrLf = QStringLiteral("\r\n");
}

frmErrorReportDialog::frmErrorReportDialog(QWidget *parent)
    : QDialog(parent),
      RtxtError(new QTextEdit(this)),
      cmdSave(new QPushButton(QStringLiteral("&Save"), this)),
      cmdCancel(new QPushButton(QStringLiteral("&Cancel"), this))
{
    setWindowTitle(QStringLiteral("Reporting Errors"));
    RtxtError->setReadOnly(true);
    RtxtError->setLineWrapMode(QTextEdit::NoWrap);
    RtxtError->setAcceptRichText(false);

    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(cmdSave);
    buttons->addWidget(cmdCancel);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(RtxtError);
    layout->addLayout(buttons);
    resize(560, 360);

    connect(cmdSave, &QPushButton::clicked, this, &frmErrorReportDialog::cmdSave_Click);
    connect(cmdCancel, &QPushButton::clicked, this, &frmErrorReportDialog::cmdCancel_Click);
}

QString frmErrorReportDialog::ReportText() const { return report_; }

void frmErrorReportDialog::showReport()
{
    // The text box keeps paragraphs, not line ends, and makes its own of some characters: it only
    // shows the report, which is kept and saved as it was built.
    QString paragraphs = report_;
    paragraphs.replace(kCrLf, QStringLiteral("\n"));
    paragraphs.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    RtxtError->setPlainText(paragraphs);
}

void frmErrorReportDialog::AddError(QString Heading, QString Subject, QString Discription)
{
    Guarded("AddError", Unit::frmErrorReportDialog, [&] {
        const QString equals(51, QLatin1Char('='));
        const QString hyphens(51, QLatin1Char('-'));
        QString text = report_;
        for (const QString &line : {equals, Heading, equals, hyphens, Subject, hyphens})
            text += line + kCrLf;
        text += kCrLf + Discription + kCrLf + kCrLf;
        report_ = std::move(text);
        showReport();
    });
}

void frmErrorReportDialog::cmdSave_Click()
{
    Guarded("cmdSave_Click", Unit::frmErrorReportDialog, [&] {
        QString filter = QStringLiteral("Rich Text Files (*.rtf)|*.rtf");
        const QString path = ShowSaveDialog(filter);
        if (path.isEmpty())
            return;
        const Outcome saved = RtfWriter::Save(path, ReportText());
        Require(saved.ok, ErrNo::PathFileAccessError, saved.reason);
    });
}

void frmErrorReportDialog::cmdCancel_Click() { close(); }

QString frmErrorReportDialog::ShowSaveDialog(QString &filter)
{
    CommonDialog::SaveRequest request;
    request.title = QStringLiteral("Save File");
    request.filter = filter;
    request.filterIndex = 1;
    request.confirmOverwrite = true;
    request.pathMustExist = true;
    return CommonDialog::ShowSave(request, this);
}

}  // namespace folvane
