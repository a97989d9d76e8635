#include "search/frmAbout.h"

#include "app/ErrorLog.h"
#include "app/ProgramInfo.h"
#include "app/ProgramState.h"
#include "app/modGeneral.h"
#include "platform/Shell.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>
#include <QVBoxLayout>

namespace folvane {

namespace {
QLabel *linkLabel(QWidget *parent)
{
    auto *label = new QLabel(parent);
    label->setCursor(Qt::PointingHandCursor);
    QFont font = label->font();
    font.setUnderline(true);
    label->setFont(font);
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, QColor(0x00, 0x00, 0xCC));
    label->setPalette(palette);
    return label;
}
}  // namespace

frmAbout::frmAbout(QWidget *parent)
    : QDialog(parent),
      lblProductName(new QLabel(this)),
      lblSupportEmail(linkLabel(this)),
      lblWebsite(linkLabel(this)),
      cmdQuit(new QPushButton(QStringLiteral("&OK"), this))
{
    setObjectName(QStringLiteral("frmAbout"));
    QFont title = lblProductName->font();
    title.setPointSizeF(title.pointSizeF() * 1.6);
    title.setBold(true);
    lblProductName->setFont(title);
    cmdQuit->setDefault(true);

    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(cmdQuit);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(lblProductName);
    layout->addSpacing(12);
    layout->addWidget(lblSupportEmail);
    layout->addWidget(lblWebsite);
    layout->addSpacing(12);
    layout->addLayout(buttons);
    setFixedSize(sizeHint().expandedTo(QSize(380, 0)));

    lblSupportEmail->installEventFilter(this);
    lblWebsite->installEventFilter(this);
    connect(cmdQuit, &QPushButton::clicked, this, [this] { cmdQuit_Click(); });

    Form_Load();
}

bool frmAbout::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::MouseButtonRelease &&
        static_cast<QMouseEvent *>(event)->button() == Qt::LeftButton) {
        if (watched == lblSupportEmail) {
            lblSupportEmail_Click();
            return true;
        }
        if (watched == lblWebsite) {
            lblWebsite_Click();
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

void frmAbout::Form_Load()
{
    Guarded("Form_Load", Unit::frmAbout, [&] {
        lblProductName->setText(ProgramTitle());
        setWindowTitle(QStringLiteral("About ") + ProgramTitle());
        lblSupportEmail->setText(QStringLiteral("Support at: ") + SupportEmail());
        lblWebsite->setText(QStringLiteral("Website:") + WebsiteAddress());
    });
}

void frmAbout::cmdQuit_Click()
{
    Guarded("cmdQuit_Click", Unit::frmAbout, [&] { close(); });
}

void frmAbout::lblSupportEmail_Click()
{
    Guarded("lblSupportEmail_Click", Unit::frmAbout, [&] {
        modGeneral::ExecuteFile(QStringLiteral("open"),
                                QStringLiteral("mailto:") + SupportEmail() + QStringLiteral("?subject=") + ProgramTitle(),
                                QString(), QString(), 1);
    });
}

void frmAbout::lblWebsite_Click()
{
    Guarded("lblWebsite_Click", Unit::frmAbout, [&] {
        const QString address = modMasterLayout::TrimNull(WebsiteAddress());
        Require(Shell::Open(address), ErrNo::Unknown, QStringLiteral("Unable to open ") + address);
    });
}

}  // namespace folvane
