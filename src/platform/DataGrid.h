#pragma once
// The program's grid: rows of text cells with check boxes, pictures and colours, addressed by row and
// column the way the forms address it (row 0 is the header row, columns by display position).
//
// A thin widget over DataGridModel in a QTableView. Moving a column moves its cells, so a column's
// index is always its display position. Row, column or block arguments outside the grid raise an
// AppError (the callers' Guarded handlers log it), as no handler expects a silent no-op there.

#include "platform/DataGridModel.h"

#include <QWidget>

class QTableView;

namespace folvane {

class DataGridDelegate;

/// What Cell() reads and writes.
enum CellSetting : int {
    flexcpText = 0,      ///< QString
    flexcpPicture = 3,   ///< QIcon; pass the same icon for every cell of a kind, it is stored once
    flexcpChecked = 5,   ///< int: GridCheck::Unset, Checked (1) or Unchecked (2)
    flexcpBackColor = 6, ///< QColor (invalid: the default); also a whole number in 0x00BBGGRR form
    flexcpForeColor = 7, ///< as flexcpBackColor
};

/// The selected block in grid coordinates, first <= last; all -1 when nothing is selected.
struct GridSelection {
    int row1 = -1;
    int col1 = -1;
    int row2 = -1;
    int col2 = -1;
};

class DataGrid : public QWidget {
    Q_OBJECT
public:
    explicit DataGrid(QWidget *parent = nullptr);
    ~DataGrid() override;

    /// Number of rows, header row included. Raising it appends empty rows; with Redraw off an
    /// append costs no view work at all, so a search can add rows one by one.
    int Rows() const;
    void setRows(int rows);
    int Cols() const;
    void setCols(int cols);
    /// 0 (no header) or 1 (row 0 is the header row).
    int FixedRows() const;
    void setFixedRows(int rows);
    /// Leading columns drawn like headers, never selected or edited.
    int FixedCols() const;
    void setFixedCols(int cols);

    QString TextMatrix(int row, int col) const;
    void setTextMatrix(int row, int col, const QString &text);

    QVariant Cell(CellSetting setting, int row, int col) const;
    void setCell(CellSetting setting, int row, int col, const QVariant &value);
    /// Sets every cell of the block with one change notification.
    void setCell(CellSetting setting, int row1, int col1, int row2, int col2, const QVariant &value);

    /// Width in twips (15 per pixel at 96 dpi, scaled by the screen's logical dpi).
    int ColWidth(int col) const;
    void setColWidth(int col, int twips);
    int ColDataType(int col) const;
    void setColDataType(int col, int dataType);
    QString ColFormat(int col) const;
    /// The format a date column's cells are written in; the date sort reads them with it.
    void setColFormat(int col, const QString &format);
    int ColAlignment(int col) const;
    /// A GridAlign code; col -1 sets every column.
    void setColAlignment(int col, int alignment);
    bool ColHidden(int col) const;
    void setColHidden(int col, bool hidden);
    /// Moves the column with its cells, width and properties to display position `position`.
    /// Only a move by the user raises AfterMoveColumn.
    void setColPosition(int col, int position);
    /// Moves a data row to another row position, with every cell property.
    void setRowPosition(int row, int position);

    GridSelection GetSelection() const;
    /// Selects the block from (row1, col1) to (row2, col2) and puts the cursor on (row1, col1).
    void Select(int row1, int col1, int row2, int col2);
    /// Cursor row and column; -1 when there is no cursor cell.
    int Row() const;
    void setRow(int row);
    int Col() const;
    void setCol(int col);
    /// The cell under the mouse at its last press, release or move; row 0 over the header; -1 outside.
    int MouseRow() const noexcept { return mouseRow_; }
    int MouseCol() const noexcept { return mouseCol_; }

    /// 0 nothing editable, 1 by keyboard, 2 by keyboard and mouse. A cell that shows a check box is
    /// edited by toggling it; other cells by typing. Only cells that CellEditable allows are edited.
    int Editable() const;
    void setEditable(int mode);
    /// The cells (grid row, column) editing may ever change, whatever Editable says; when the cursor
    /// moves from such a cell to one outside the rule, Editable becomes 0 unless endOnLeave is false
    /// (a grid whose editing is meant to last, as a keyboard-edited list of settings). Without a rule
    /// every cell outside the fixed rows and columns may be edited. The rule is asked often: keep it cheap.
    void setEditableCells(std::function<bool(int row, int col)> rule, bool endOnLeave = true);
    /// False for a header or fixed cell, and for a cell outside the grid (Row and Col with no cursor).
    bool CellEditable(int row, int col) const;
    /// Bit 1: a header click sorts (after BeforeSort); bit 2: headers can be dragged to move columns.
    int ExplorerBar() const noexcept { return explorerBar_; }
    void setExplorerBar(int mode);
    /// Off: no repaint and no view bookkeeping until it is switched on again.
    bool Redraw() const noexcept { return redraw_; }
    void setRedraw(bool redraw);
    bool Visible() const { return !isHidden(); }

    /// Sorts the data rows by one column (GridSort order); check states, pictures and colours stay
    /// with their rows. Texts compare in the user's language without regard to case. Generic: whole
    /// numbers numerically before other texts. Numeric: in a string column, every run of digits
    /// compares as a number ("file 2" before "file 10"); in other columns by the leading number,
    /// texts without one after every number. Date columns sort by the date and time their text holds,
    /// boolean columns by check state. The header shows the sort until rows are added, removed or
    /// moved, or a cell of the column changes.
    void Sort(int col, int order);
    /// First row from startRow on whose text in col is exactly text; -1 when none.
    int FindRow(const QString &text, int startRow, int col) const;

    /// The table itself, for synthetic input in tests.
    QTableView *view() const noexcept { return view_; }

signals:
    /// The user dragged the column at display position col to position.
    void AfterMoveColumn(int col, int position);
    /// Before a header click sorts col; set order to another GridSort order, or GridSort::None to cancel.
    void BeforeSort(int col, int &order);
    /// Raised before the grid handles the key; set keyCode to 0 to consume it. Key codes are the
    /// classic ones (32 Space, 65 A, 37-40 arrows); shift: 1 Shift, 2 Ctrl, 4 Alt.
    void KeyDown(int &keyCode, int shift);
    /// button: 1 left, 2 right, 4 middle; x and y in pixels of this widget. MouseRow, MouseCol, Row
    /// and Col already name the pressed cell.
    void MouseDown(int button, int shift, float x, float y);
    void MouseUp(int button, int shift, float x, float y);
    /// Check states of the block changed, by the user or by code; once per block operation.
    void CheckStatesChanged(int row1, int col1, int row2, int col2);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void checkRow(int row) const;
    void checkCol(int col) const;
    void checkBlock(int row1, int col1, int row2, int col2) const;
    int twipsToPixels(int twips) const;
    int pixelsToTwips(int pixels) const;
    /// Pushes width and visibility of columns [first, last] to the header.
    void applyColumns(int first, int last);
    void updateSortIndicator();
    QModelIndex viewIndex(int row, int col) const;
    void headerClicked(int col);
    void sectionMovedByUser(int logical, int oldVisual, int newVisual);
    bool filterViewMouse(QEvent *event);
    bool filterHeaderMouse(QEvent *event);
    void raiseMouse(QEvent *event);

    DataGridModel *model_ = nullptr;
    QTableView *view_ = nullptr;
    DataGridDelegate *delegate_ = nullptr;
    int mouseRow_ = -1;
    int mouseCol_ = -1;
    int explorerBar_ = 0;
    bool redraw_ = true;
    bool applying_ = false; ///< the header changes come from us, not the user
    // A header press that may become a sort click.
    int headerPressCol_ = -1;
    QPoint headerPressPos_;
    bool headerChangedSincePress_ = false;
    bool endEditingOnLeave_ = true;
};

}  // namespace folvane
