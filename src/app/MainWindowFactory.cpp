#include "app/MainWindowFactory.h"

#include "app/ProgramState.h"
#include "app/Skin.h"

#include <QMainWindow>

namespace folvane {

QMainWindow *CreateMainWindow()
{
    auto *window = new QMainWindow;
    window->setAttribute(Qt::WA_DeleteOnClose);
    window->setWindowTitle(ProgramTitle());
    window->resize(900, 600);
    ApplySkin(window);
    return window;
}

}  // namespace folvane
