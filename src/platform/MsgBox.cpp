#include "platform/MsgBox.h"

#include "app/ProgramState.h"

#include <QApplication>
#include <QMessageBox>

namespace folvane {

namespace {
MsgBoxAnswerer &answerer()
{
    static MsgBoxAnswerer a;
    return a;
}
}  // namespace

void SetMsgBoxAnswerer(MsgBoxAnswerer a) { answerer() = std::move(a); }

MsgResult MsgBox(const QString &text, MsgButtons buttons, MsgIcon icon, const QString &title, QWidget *parent)
{
    const MsgBoxCall call{text, title.isEmpty() ? ProgramTitle() : title, buttons, icon};
    if (answerer())
        return answerer()(call);

    QMessageBox box(parent ? parent : QApplication::activeWindow());
    box.setWindowTitle(call.title);
    box.setText(call.text);
    switch (icon) {
    case MsgIcon::None: box.setIcon(QMessageBox::NoIcon); break;
    case MsgIcon::Information: box.setIcon(QMessageBox::Information); break;
    case MsgIcon::Question: box.setIcon(QMessageBox::Question); break;
    case MsgIcon::Exclamation: box.setIcon(QMessageBox::Warning); break;
    case MsgIcon::Critical: box.setIcon(QMessageBox::Critical); break;
    }
    switch (buttons) {
    case MsgButtons::OK: box.setStandardButtons(QMessageBox::Ok); break;
    case MsgButtons::OKCancel: box.setStandardButtons(QMessageBox::Ok | QMessageBox::Cancel); break;
    case MsgButtons::YesNo: box.setStandardButtons(QMessageBox::Yes | QMessageBox::No); break;
    case MsgButtons::YesNoCancel:
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
        break;
    }
    switch (box.exec()) {
    case QMessageBox::Yes: return MsgResult::Yes;
    case QMessageBox::No: return MsgResult::No;
    case QMessageBox::Cancel: return MsgResult::Cancel;
    default: return MsgResult::OK;
    }
}

}  // namespace folvane
