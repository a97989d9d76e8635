#include "search/MainWindowFactory.h"

#include "app/modGeneral.h"
#include "platform/DataGrid.h"
#include "search/frmMain.h"

#include <QFile>
#include <QTimer>

#include <algorithm>

namespace folvane {

namespace {

// Test hook for the end-to-end test, which cannot reach into the running program otherwise:
// FOLVANE_TEST_REPORT=<path> writes the result rows there once the window has loaded, one a line:
// "1" for a checked row and "0" for any other, its Location and its Name, separated by tabs;
// FOLVANE_TEST_QUIT=1 then closes the window as the user would.
void RunTestHook(frmMain &window)
{
    const QString report = qEnvironmentVariable("FOLVANE_TEST_REPORT");
    if (report.isEmpty())
        return;
    QFile file(report);
    if (file.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        const DataGrid &grid = *window.grdSearchList;
        const int nameCol = modGeneral::GetColumnIndexByKey(QStringLiteral("Name"));
        const int locationCol = modGeneral::GetColumnIndexByKey(QStringLiteral("Location"));
        const int selectionCol = modGeneral::GetColumnIndexByKey(QStringLiteral("Selection"));
        const int lastCol = std::max({nameCol, locationCol, selectionCol});
        for (int r = 1; r < grid.Rows() && lastCol < grid.Cols(); ++r) {
            const bool checked = grid.Cell(flexcpChecked, r, selectionCol).toInt() == GridCheck::Checked;
            const QString line = QString::number(checked ? 1 : 0) + QLatin1Char('\t') + grid.TextMatrix(r, locationCol)
                                 + QLatin1Char('\t') + grid.TextMatrix(r, nameCol) + QLatin1Char('\n');
            file.write(line.toUtf8());
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
