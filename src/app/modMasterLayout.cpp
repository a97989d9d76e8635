#include "app/modMasterLayout.h"

#include "app/ProgramState.h"

#include <QApplication>
#include <QMainWindow>

namespace folvane::modMasterLayout {

QString CommandLineText(const QStringList &arguments) { return arguments.join(QLatin1Char('|')); }

int RunProgram(int argc, char **argv)
{
    QApplication app(argc, argv);
    QMainWindow window;
    window.setWindowTitle(ProgramTitle());
    window.resize(900, 600);
    window.show();
    return app.exec();
}

}  // namespace folvane::modMasterLayout
