#pragma once
// The one modal message box of the program. Tests install an answerer so no box ever blocks them.

#include <QString>

#include <functional>

class QWidget;

namespace folvane {

enum class MsgButtons { OK, OKCancel, YesNo, YesNoCancel };
enum class MsgIcon { None, Information, Question, Exclamation, Critical };
enum class MsgResult { OK, Cancel, Yes, No };

struct MsgBoxCall {
    QString text;
    QString title;
    MsgButtons buttons;
    MsgIcon icon;
};

/// Shows the box and waits for the answer. The title defaults to the program title.
MsgResult MsgBox(const QString &text, MsgButtons buttons = MsgButtons::OK, MsgIcon icon = MsgIcon::Information,
                 const QString &title = QString(), QWidget *parent = nullptr);

/// Replaces the real box (for tests); an empty function restores it.
using MsgBoxAnswerer = std::function<MsgResult(const MsgBoxCall &)>;
void SetMsgBoxAnswerer(MsgBoxAnswerer answerer);

}  // namespace folvane
