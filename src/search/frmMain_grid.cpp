// The result grid: its columns set up from the column model, moved columns remembered, the sort
// rules, Space and mouse handling of the check boxes, and the summary of the checked rows.

#include "search/frmMain.h"

#include "app/ErrorLog.h"
#include "app/GridColumns.h"
#include "app/ProgramState.h"
#include "app/Settings.h"
#include "app/modGeneral.h"
#include "platform/DataGrid.h"

#include <QLabel>
#include <QMenu>
#include <QTableView>

#include <limits>

namespace folvane {

namespace {

const QString DateFormat = QStringLiteral("dd/mm/yyyy hh:mm ampm");

GridColumns &ColumnModel()
{
    Require(State().objGridColumns && State().objSettings, ErrNo::ObjectNotSet,
            QStringLiteral("Object variable or With block variable not set"));
    return *State().objGridColumns;
}

/// Gives the grid's column the model's width, unless it is no width the grid can take.
void SetColumnWidth(DataGrid &grid, int col, float width)
{
    if (const std::optional<int> twips = modGeneral::ColumnTwips(width))
        grid.setColWidth(col, *twips);
}

/// Entry i of a saved width list as the width it gives its column, if any (a negative entry, or one
/// that is no width, keeps the column's width); a missing or non-numeric entry is an error, as the
/// model must not take a width that was never stored.
std::optional<double> WidthEntry(const QStringList &widths, int i)
{
    Require(i >= 0 && i < widths.size(), ErrNo::SubscriptOutOfRange, QStringLiteral("Subscript out of range"));
    Require(modGeneral::TextToNumber(widths[i]).has_value(), ErrNo::TypeMismatch, QStringLiteral("Type mismatch"));
    return modGeneral::SavedColumnWidth(widths[i]);
}

/// Gives the model's records, in collection order, the widths of a saved list.
void ApplyModelWidths(GridColumns &model, const QStringList &widths)
{
    for (int k = 1; k <= model.Count(); ++k)
        if (const std::optional<double> width = WidthEntry(widths, k - 1))
            model.Item(k)->ColumnWidth = static_cast<float>(*width);
}

/// The list with entry `from` moved to slot `to`, the other entries keeping their order; the same
/// move the grid made with its columns.
QStringList MovedEntries(const QStringList &old, int from, int to)
{
    QStringList moved(old.size());
    auto slot = [&moved](int index) -> QString & {
        Require(index >= 0 && index < moved.size(), ErrNo::SubscriptOutOfRange,
                QStringLiteral("Subscript out of range"));
        return moved[index];
    };
    int j = 0;
    for (int i = 0; i < old.size(); ++i) {
        if (i == from) {
            slot(to) = old[i];
            continue;
        }
        if (j == to)
            ++j;
        slot(j) = old[i];
        ++j;
    }
    return moved;
}

/// Hides every column whose visibility entry is not "1". Entries past the last column are ignored
/// and columns past the list keep their state.
void ApplyColumnVisibility(DataGrid &grid)
{
    ProgramState &st = State();
    st.ColumnVisible = modGeneral::SplitList(st.objSettings->ColumnVisibility());
    const int n = std::min(static_cast<int>(st.ColumnVisible.size()), grid.Cols());
    for (int i = 0; i < n; ++i)
        grid.setColHidden(i, st.ColumnVisible[i] != QLatin1String("1"));
}

/// The format or alignment a column's data type asks for.
void ApplyColumnType(DataGrid &grid, int col, std::int32_t dataType)
{
    if (dataType == ColType::Date)
        grid.setColFormat(col, DateFormat);
    else if (dataType == ColType::Decimal)
        grid.setColAlignment(col, GridAlign::RightCenter);
}

/// Key of the model's column at a display position; empty when none is there.
QString KeyAt(const GridColumns &model, int col)
{
    for (const GridColumns::Ptr &column : model)
        if (column->ColumnIndex == col)
            return column->ColumnKey;
    return {};
}

}  // namespace

void frmMain::InitGridStyle()
{
    // Nothing here can fail; the look does not change any behaviour of the grid.
    grdSearchList->view()->setAlternatingRowColors(true);
}

void frmMain::InitFiles()
{
    Guarded("InitFiles", Unit::frmMain, [this] {
        modGeneral::LoadGridColumns();
        const GridColumns &model = ColumnModel();
        DataGrid &grid = *grdSearchList;
        grid.setEditable(0);
        grid.setFixedRows(1);
        grid.setFixedCols(0);
        grid.setRows(1);
        grid.setCols(model.Count());
        grid.setColAlignment(-1, GridAlign::LeftCenter);
        for (const GridColumns::Ptr &column : model) {
            grid.setTextMatrix(0, column->ColumnIndex, column->ColumnName);
            SetColumnWidth(grid, column->ColumnIndex, column->ColumnWidth);
            grid.setColDataType(column->ColumnIndex, column->ColumnDatatype);
            ApplyColumnType(grid, column->ColumnIndex, column->ColumnDatatype);
        }
        grid.setExplorerBar(2);
        ApplyColumnVisibility(grid);
    });
}

void frmMain::RefreshGrid()
{
    Guarded("RefreshGrid", Unit::frmMain, [this] {
        modGeneral::LoadGridColumns();
        GridColumns &model = ColumnModel();
        ProgramState &st = State();
        st.ColumnWidths = modGeneral::SplitList(st.objSettings->LastGridColWidth());
        st.ColumnOrder = modGeneral::SplitList(st.objSettings->ColumnReOrder());
        ApplyModelWidths(model, st.ColumnWidths);

        DataGrid &grid = *grdSearchList;
        // The model is walked in display order, so a column already placed stays where it is.
        for (const GridColumns::Ptr &column : model) {
            int found = -1;
            for (int i = 0; i < grid.Cols() && found < 0; ++i)
                if (grid.TextMatrix(0, i) == column->ColumnName)
                    found = i;
            if (found < 0)
                continue;
            grid.setColPosition(found, column->ColumnIndex);
            SetColumnWidth(grid, column->ColumnIndex, column->ColumnWidth);
            ApplyColumnType(grid, column->ColumnIndex, column->ColumnDatatype);
        }
        ApplyColumnVisibility(grid);
    });
}

void frmMain::grdSearchList_AfterMoveColumn(std::int32_t Col, std::int32_t &Position)
{
    Guarded("grdSearchList_AfterMoveColumn", Unit::frmMain, [&] {
        if (Col == Position)
            return;
        GridColumns &model = ColumnModel();
        ProgramState &st = State();
        Settings &settings = *st.objSettings;
        const DataGrid &grid = *grdSearchList;

        QStringList headers;
        for (int c = 0; c < grid.Cols(); ++c)
            headers << grid.TextMatrix(0, c);
        settings.setColumnReOrder(headers.join(QLatin1Char(',')));

        const QStringList widths = MovedEntries(modGeneral::SplitList(settings.LastGridColWidth()), Col, Position);
        settings.setLastGridColWidth(widths.join(QLatin1Char(',')));
        st.ColumnWidths = modGeneral::SplitList(settings.LastGridColWidth());
        ApplyModelWidths(model, st.ColumnWidths);

        const QStringList visible = MovedEntries(modGeneral::SplitList(settings.ColumnVisibility()), Col, Position);
        settings.setColumnVisibility(visible.join(QLatin1Char(',')));
        st.ColumnVisible = modGeneral::SplitList(settings.ColumnVisibility());

        modGeneral::LoadGridColumns();
    });
}

void frmMain::grdSearchList_BeforeSort(std::int32_t Col, std::int16_t &Order)
{
    Guarded("grdSearchList_BeforeSort", Unit::frmMain, [&] {
        const QString key = KeyAt(ColumnModel(), Col);
        const bool numeric = Order == GridSort::NumericAscending || Order == GridSort::NumericDescending;
        const bool generic = Order == GridSort::GenericAscending || Order == GridSort::GenericDescending;
        if (key == ColumnKey::Name) {
            if (State().objSettings->SortbyNumeric() != 0) {
                if (!numeric)
                    Order = GridSort::NumericAscending;
            } else if (!generic) {
                Order = GridSort::GenericAscending;
            }
        } else if (key == ColumnKey::Pages || key == ColumnKey::Size) {
            if (!numeric)
                Order = GridSort::NumericAscending;
        }
    });
}

void frmMain::grdSearchList_KeyDown(std::int16_t KeyCode, std::int16_t)
{
    Guarded("grdSearchList_KeyDown", Unit::frmMain, [&] {
        if (KeyCode != 32)
            return;
        const GridSelection selection = grdSearchList->GetSelection();
        if (selection.row1 < 0 || selection.row2 < 0)
            return;
        ToggleCheckRows(selection.row1, selection.row2);
        ShowStatus(getSelectedFileinfo());
    });
}

void frmMain::grdSearchList_MouseDown(std::int16_t Button, std::int16_t, float X, float Y)
{
    Guarded("grdSearchList_MouseDown", Unit::frmMain, [&] {
        DataGrid &grid = *grdSearchList;
        // Only the check boxes may change under the mouse; no cell text is ever edited.
        const bool checkBox = grid.CellEditable(grid.Row(), grid.Col());
        grid.setEditable(Button == 1 && checkBox ? 2 : 0);
        if (Button == 2 && grid.MouseRow() >= 1 && grid.MouseCol() >= 0 && PopupMenu)
            PopupMenu(mnuCtxMenu, grid.mapToGlobal(QPointF(X, Y)).toPoint());
    });
}

void frmMain::grdSearchList_MouseUp(std::int16_t, std::int16_t, float, float)
{
    ShowStatus(getSelectedFileinfo());
}

QString frmMain::getSelectedFileinfo()
{
    QString result;
    const std::uint64_t changes = checkChanges_;
    Guarded("getSelectedFileinfo", Unit::frmMain, [&] {
        const DataGrid &grid = *grdSearchList;
        const int selection = ColumnOf(ColumnKey::Selection);
        const int name = ColumnOf(ColumnKey::Name);
        const int pages = ColumnOf(ColumnKey::Pages);
        qint64 count = 0;
        qint64 total = 0;
        for (int r = 1; r < grid.Rows(); ++r) {
            if (grid.Cell(flexcpChecked, r, selection).toInt() != GridCheck::Checked)
                continue;
            ++count;
            const QString file = grid.TextMatrix(r, name);
            const qsizetype dot = file.lastIndexOf(QLatin1Char('.'));
            if (dot < 0 || file.mid(dot).toLower() != QLatin1String(".pdf"))
                continue;
            if (const std::optional<double> n = modGeneral::TextToNumber(grid.TextMatrix(r, pages))) {
                const double whole = modGeneral::RoundHalfEven(*n);
                Require(whole >= std::numeric_limits<std::int32_t>::min()
                            && whole <= std::numeric_limits<std::int32_t>::max(),
                        ErrNo::Overflow, QStringLiteral("Overflow"));
                total += static_cast<qint64>(whole);
            }
        }
        result = QString::number(count) + QStringLiteral(" file selected; Total Page count of PDF Files: ")
                 + QString::number(total);
        statusCounted_ = changes;
    });
    return result;
}

void frmMain::ShowStatus(const QString &text)
{
    sbPanelStatus->setText(text.isEmpty() ? QStringLiteral("Status") : text);
}

void frmMain::wireGridEvents()
{
    PopupMenu = [](QMenu *menu, const QPoint &globalPos) { menu->popup(globalPos); };
    // The check boxes are the only cells a user may change; no cell text is ever edited.
    grdSearchList->setEditableCells([](int, int col) {
        return State().objGridColumns && col == ColumnOf(ColumnKey::Selection);
    });
    // However a check state changed (a key, a click, a command), the summary follows, once per turn
    // of the event loop: a command that sets thousands of rows one by one costs one count.
    connect(grdSearchList, &DataGrid::CheckStatesChanged, this, [this] {
        ++checkChanges_;
        if (statusQueued_)
            return;
        statusQueued_ = true;
        QMetaObject::invokeMethod(
            this,
            [this] {
                statusQueued_ = false;
                if (statusCounted_ != checkChanges_)
                    ShowStatus(getSelectedFileinfo());
            },
            Qt::QueuedConnection);
    });
    connect(grdSearchList, &DataGrid::AfterMoveColumn, this, [this](int col, int position) {
        std::int32_t moved = position;
        grdSearchList_AfterMoveColumn(col, moved);
    });
    connect(grdSearchList, &DataGrid::BeforeSort, this, [this](int col, int &order) {
        auto sortOrder = static_cast<std::int16_t>(order);
        grdSearchList_BeforeSort(col, sortOrder);
        order = sortOrder;
    });
    connect(grdSearchList, &DataGrid::KeyDown, this, [this](int &keyCode, int shift) {
        grdSearchList_KeyDown(static_cast<std::int16_t>(keyCode), static_cast<std::int16_t>(shift));
        // The handler has toggled the selected rows; the table must not toggle the current cell again.
        if (keyCode == 32)
            keyCode = 0;
    });
    connect(grdSearchList, &DataGrid::MouseDown, this, [this](int button, int shift, float x, float y) {
        grdSearchList_MouseDown(static_cast<std::int16_t>(button), static_cast<std::int16_t>(shift), x, y);
    });
    // The grid raises MouseUp before the table has handled the release, and a clicked check box only
    // flips then; queued, the summary counts the click it follows.
    connect(
        grdSearchList, &DataGrid::MouseUp, this,
        [this](int button, int shift, float x, float y) {
            grdSearchList_MouseUp(static_cast<std::int16_t>(button), static_cast<std::int16_t>(shift), x, y);
        },
        Qt::QueuedConnection);
}

}  // namespace folvane
