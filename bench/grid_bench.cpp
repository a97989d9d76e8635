// Rows added per second, sorts of 100,000 rows per data type and check toggling on DataGrid, the way
// the search and the result grid use it: Redraw off while rows are added, the grid shown around it.
// Then the main window's status summary and check commands over as many rows.

#include "app/GridColumns.h"
#include "app/ProgramState.h"
#include "app/Settings.h"
#include "platform/DataGrid.h"
#include "platform/FolderTree.h"
#include "search/frmMain.h"

#include <QApplication>
#include <QDockWidget>
#include <QTemporaryDir>
#include <QElapsedTimer>
#include <QLocale>
#include <QPixmap>
#include <QRandomGenerator>

#include <cstdio>
#include <memory>

using namespace folvane;

namespace {

constexpr int RowCount = 100'000;
enum Column { Name, Selection, Location, Size, Type, Created, Modified, Pages, ColumnCount };

struct RowTexts {
    QString name, location, size, type, created, modified, pages;
};

std::vector<RowTexts> MakeTexts()
{
    QRandomGenerator random(42);
    const QLocale locale;
    std::vector<RowTexts> rows(RowCount);
    for (int i = 0; i < RowCount; ++i) {
        RowTexts &r = rows[i];
        r.name = QStringLiteral("report %1.pdf").arg(random.bounded(1'000'000));
        r.location = QStringLiteral("/home/user/documents/folder%1").arg(i % 200);
        r.size = locale.toString(random.bounded(50'000)) + QStringLiteral(" KB");
        r.type = QStringLiteral("pdf document");
        const auto stamp = QStringLiteral("%1/%2/%3 %4:%5 %6")
                               .arg(1 + random.bounded(28), 2, 10, QChar('0'))
                               .arg(1 + random.bounded(12), 2, 10, QChar('0'))
                               .arg(2000 + random.bounded(25))
                               .arg(1 + random.bounded(12), 2, 10, QChar('0'))
                               .arg(random.bounded(60), 2, 10, QChar('0'))
                               .arg(random.bounded(2) ? "PM" : "AM");
        r.created = stamp;
        r.modified = stamp;
        r.pages = random.bounded(20) == 0 ? QStringLiteral("Secured or Corrupted")
                                           : QString::number(1 + random.bounded(500));
    }
    return rows;
}

void SetUpGrid(DataGrid &grid)
{
    grid.setRows(0);
    grid.setCols(ColumnCount);
    grid.setFixedRows(1);
    grid.setRows(1);
    const QLatin1StringView headers[] = {ColumnKey::Name, ColumnKey::Selection, ColumnKey::Location,
                                         ColumnKey::Size, ColumnKey::Type,      ColumnKey::Created,
                                         ColumnKey::Modified, ColumnKey::Pages};
    for (int c = 0; c < ColumnCount; ++c)
        grid.setTextMatrix(0, c, headers[c]);
    // The data types the result grid gives its columns: a numeric sort of a string column is the
    // name sort with numbers in names.
    for (const Column text : {Name, Location, Type})
        grid.setColDataType(text, GridDataType::String);
    grid.setColDataType(Selection, GridDataType::Boolean);
    grid.setColDataType(Size, GridDataType::Decimal);
    grid.setColDataType(Created, GridDataType::Date);
    grid.setColDataType(Modified, GridDataType::Date);
    grid.setColFormat(Created, "dd/mm/yyyy hh:mm ampm");
    grid.setColDataType(Pages, GridDataType::Decimal);
}

void WriteRow(DataGrid &grid, int r, const RowTexts &t, const QIcon &icon)
{
    grid.setTextMatrix(r, Name, t.name);
    grid.setCell(flexcpPicture, r, Name, icon);
    grid.setTextMatrix(r, Location, t.location);
    grid.setTextMatrix(r, Size, t.size);
    grid.setTextMatrix(r, Type, t.type);
    grid.setTextMatrix(r, Created, t.created);
    grid.setTextMatrix(r, Modified, t.modified);
    grid.setTextMatrix(r, Pages, t.pages);
}

/// Milliseconds of fn, the event queue drained afterwards so repaints count.
template <typename Fn> double Timed(Fn &&fn)
{
    QElapsedTimer timer;
    timer.start();
    fn();
    QApplication::processEvents();
    return timer.nsecsElapsed() / 1e6;
}

/// The result grid of a shown main window set up from the default column model, filled like a search.
void BenchMainWindow(const std::vector<RowTexts> &texts, const QIcon &icon)
{
    QTemporaryDir storage;
    ProgramState &st = State();
    st.StorageFolderPath = storage.path();
    st.objSettings = std::make_unique<Settings>();
    st.objSettings->LoadDefaultSettings();
    st.objGridColumns = std::make_unique<GridColumns>();
    AddDefaultResultColumns(*st.objGridColumns);

    frmMain window;
    window.ftvFolder->blockSignals(true); // no search of the home folder
    window.addDockWidget(Qt::RightDockWidgetArea, window.paneSearchList);
    window.resize(1200, 800);
    window.InitFiles();
    window.show();
    QApplication::processEvents();

    DataGrid &results = *window.grdSearchList;
    results.setRedraw(false);
    results.setRows(RowCount + 1);
    for (int i = 0; i < RowCount; ++i) {
        const RowTexts &t = texts[i];
        results.setTextMatrix(i + 1, ColumnOf(ColumnKey::Name), t.name);
        results.setCell(flexcpPicture, i + 1, ColumnOf(ColumnKey::Name), icon);
        results.setTextMatrix(i + 1, ColumnOf(ColumnKey::Pages), t.pages);
        results.setTextMatrix(i + 1, ColumnOf(ColumnKey::Location), t.location);
        results.setTextMatrix(i + 1, ColumnOf(ColumnKey::Size), t.size);
        results.setTextMatrix(i + 1, ColumnOf(ColumnKey::Type), t.type);
        results.setTextMatrix(i + 1, ColumnOf(ColumnKey::Created), t.created);
        results.setTextMatrix(i + 1, ColumnOf(ColumnKey::Modified), t.modified);
    }
    results.setRedraw(true);
    QApplication::processEvents();

    std::printf("main window, %d result rows:\n", RowCount);
    QString summary;
    const double none = Timed([&] { summary = window.getSelectedFileinfo(); });
    std::printf("  getSelectedFileinfo, nothing checked:  %8.1f ms\n", none);
    const double selectAll = Timed([&] { window.mnuCtxSelectAll_Click(); });
    std::printf("  Select All (with its summary):         %8.1f ms\n", selectAll);
    const double all = Timed([&] { summary = window.getSelectedFileinfo(); });
    std::printf("  getSelectedFileinfo, all checked:      %8.1f ms  (%s)\n", all, qPrintable(summary));
    std::printf("  Select All / summary alone:            %8.2f\n", selectAll / all);
    const double invert = Timed([&] { window.mnuCtxInvSelect_Click(); });
    std::printf("  Invert Selection:                      %8.1f ms\n", invert);
    const double deselect = Timed([&] { window.mnuCtxDeSelectAll_Click(); });
    std::printf("  Deselect All:                          %8.1f ms\n", deselect);
    results.Select(1, 0, RowCount, 0);
    const double space = Timed([&] { window.grdSearchList_KeyDown(32, 0); });
    std::printf("  Space on every row:                    %8.1f ms\n", space);

    st.objGridColumns.reset();
    st.objSettings.reset();
}

}  // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const std::vector<RowTexts> texts = MakeTexts();
    QPixmap pixmap(16, 16);
    pixmap.fill(Qt::darkRed);
    const QIcon icon(pixmap);

    DataGrid grid;
    grid.resize(1000, 700);
    grid.show();
    QApplication::processEvents();

    // The search's path: Rows + 1, then the cells, all with Redraw off and the grid hidden.
    SetUpGrid(grid);
    const double oneByOne = Timed([&] {
        grid.setRedraw(false);
        grid.setVisible(false);
        for (int i = 0; i < RowCount; ++i) {
            grid.setRows(grid.Rows() + 1);
            WriteRow(grid, grid.Rows() - 1, texts[i], icon);
        }
        grid.setRedraw(true);
        grid.setVisible(true);
    });
    std::printf("add %d rows one by one (Redraw off): %8.1f ms  %10.0f rows/s\n", RowCount, oneByOne,
                RowCount / (oneByOne / 1000));

    SetUpGrid(grid);
    const double bulk = Timed([&] {
        grid.setRedraw(false);
        grid.setRows(RowCount + 1);
        for (int i = 0; i < RowCount; ++i)
            WriteRow(grid, i + 1, texts[i], icon);
        grid.setRedraw(true);
    });
    std::printf("add %d rows by setting Rows first:   %8.1f ms  %10.0f rows/s\n", RowCount, bulk,
                RowCount / (bulk / 1000));

    SetUpGrid(grid);
    const double redrawOn = Timed([&] {
        for (int i = 0; i < 10'000; ++i) {
            grid.setRows(grid.Rows() + 1);
            WriteRow(grid, grid.Rows() - 1, texts[i], icon);
        }
    });
    std::printf("add 10000 rows one by one, Redraw on: %8.1f ms  %10.0f rows/s\n", redrawOn,
                10'000 / (redrawOn / 1000));

    SetUpGrid(grid);
    grid.setRedraw(false);
    grid.setRows(RowCount + 1);
    for (int i = 0; i < RowCount; ++i)
        WriteRow(grid, i + 1, texts[i], icon);
    grid.setRedraw(true);

    struct SortCase {
        const char *what;
        int col;
        int order;
    } sorts[] = {
        {"string generic (Name)", Name, GridSort::GenericAscending},
        {"string numeric (Name)", Name, GridSort::NumericAscending},
        {"decimal numeric (Size \"1,500 KB\")", Size, GridSort::NumericAscending},
        {"decimal numeric desc (Pages)", Pages, GridSort::NumericDescending},
        {"date (Created Date)", Created, GridSort::GenericAscending},
        {"string generic (Location, few keys)", Location, GridSort::GenericDescending},
        {"boolean (Selection)", Selection, GridSort::GenericAscending},
    };
    for (const SortCase &s : sorts) {
        const double ms = Timed([&] { grid.Sort(s.col, s.order); });
        std::printf("sort %d rows, %-36s %8.1f ms\n", RowCount, s.what, ms);
    }

    // Space on a selection of every row: the result grid reads and flips each row.
    grid.Select(1, 0, RowCount, 0);
    const double selectedSort = Timed([&] { grid.Sort(Pages, GridSort::NumericAscending); });
    std::printf("sort %d rows, every row selected:               %8.1f ms\n", RowCount, selectedSort);
    auto toggleAll = [&] {
        const GridSelection sel = grid.GetSelection();
        for (int r = sel.row1; r <= sel.row2; ++r) {
            const bool checked = grid.Cell(flexcpChecked, r, Selection).toInt() == GridCheck::Checked;
            grid.setCell(flexcpChecked, r, Selection, checked ? GridCheck::Unchecked : GridCheck::Checked);
        }
    };
    const double toggled = Timed(toggleAll);
    std::printf("toggle %d rows one by one, Redraw on:  %8.1f ms\n", RowCount, toggled);
    const double toggledOff = Timed([&] {
        grid.setRedraw(false);
        toggleAll();
        grid.setRedraw(true);
    });
    std::printf("toggle %d rows one by one, Redraw off: %8.1f ms  (ratio on/off %.2f)\n", RowCount, toggledOff,
                toggled / toggledOff);
    const double block = Timed([&] { grid.setCell(flexcpChecked, 1, Selection, RowCount, Selection, GridCheck::Checked); });
    std::printf("check %d rows in one block operation:  %8.1f ms\n", RowCount, block);
    const double find = Timed([&] {
        int found = 0;
        for (int r = grid.FindRow("Secured or Corrupted", 1, Pages); r >= 0;
             r = grid.FindRow("Secured or Corrupted", r + 1, Pages)) {
            grid.setCell(flexcpChecked, r, Selection, GridCheck::Unchecked);
            ++found;
        }
        std::printf("  (%d damaged rows found)\n", found);
    });
    std::printf("uncheck the damaged rows by FindRow:   %8.1f ms\n", find);
    const double clear = Timed([&] { grid.setRows(1); });
    std::printf("clear %d rows (Rows = 1):              %8.1f ms\n", RowCount, clear);

    BenchMainWindow(texts, icon);
    return 0;
}
