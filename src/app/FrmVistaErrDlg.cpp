#include "app/FrmVistaErrDlg.h"

#include "app/ProgramState.h"
#include "app/Skin.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace folvane {

FrmVistaErrDlg::FrmVistaErrDlg(QWidget *parent)
    : QDialog(parent),
      Label1(new QLabel(
          QStringLiteral("Needed Admin Permission :Cann't run without adminstrator rights in Vista\""), this)),
      OKButton(new QPushButton(QStringLiteral("OK"), this))
{
    setWindowFlags(windowFlags() & ~Qt::WindowContextHelpButtonHint);
    Label1->setWordWrap(true);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(Label1);
    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(OKButton);
    layout->addLayout(buttons);
    OKButton->setDefault(true);
    connect(OKButton, &QPushButton::clicked, this, &FrmVistaErrDlg::OKButton_Click);
    Form_Load();
}

void FrmVistaErrDlg::Form_Load()
{
    setWindowTitle(ProgramTitle());
    ApplySkin(this);
}

void FrmVistaErrDlg::OKButton_Click() { accept(); }

}  // namespace folvane
