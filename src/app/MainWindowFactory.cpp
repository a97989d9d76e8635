#include "app/MainWindowFactory.h"

#include "app/modGeneral.h"
#include "platform/DataGrid.h"
#include "search/frmMain.h"

#include <QFile>
#include <QTimer>

namespace folvane {

namespace {

// Test hook for the end-to-end test, which cannot reach into the running program otherwise:
// FOLVANE_TEST_REPORT=<path> writes the names of the checked rows there, one a line, once the window
// has loaded; FOLVANE_TEST_QUIT=1 then closes the window as the user would.
void RunTestHook(frmMain &window)
{
    const QString report = qEnvironmentVariable("FOLVANE_TEST_REPORT");
    if (report.isEmpty())
        return;
    QFile file(report);
    if (file.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        const DataGrid &grid = *window.grdSearchList;
        const int nameCol = modGeneral::GetColumnIndexByKey(QStringLiteral("Name"));
        const int selectionCol = modGeneral::GetColumnIndexByKey(QStringLiteral("Selection"));
        for (int r = 1; r < grid.Rows() && nameCol < grid.Cols() && selectionCol < grid.Cols(); ++r) {
            if (grid.Cell(flexcpChecked, r, selectionCol).toInt() == GridCheck::Checked)
                file.write(grid.TextMatrix(r, nameCol).toUtf8() + '\n');
        }
    }
    if (qEnvironmentVariable("FOLVANE_TEST_QUIT") == QLatin1String("1"))
        QTimer::singleShot(0, &window, &QWidget::close);
}

}  // namespace

QMainWindow *CreateMainWindow()
{
    auto *window = new frmMain;
    window->setAttribute(Qt::WA_DeleteOnClose);
    window->Form_Load();
    window->show();
    RunTestHook(*window);
    return window;
}

}  // namespace folvane
