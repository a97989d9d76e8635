#pragma once
// The storage behind DataGrid: every cell of every row, the column properties, and the sort.
//
// Cells are plain structs in one vector per row (no item object per cell), so 100,000 rows cost a few
// megabytes and a sort only moves row handles. Grid coordinates include the fixed header row: grid
// row r is model row r - FixedRows, and row 0 is the header text.

#include <QAbstractTableModel>
#include <QColor>
#include <QHash>
#include <QIcon>
#include <QString>

#include <cstdint>
#include <functional>
#include <vector>

namespace folvane {

/// Column data types the grid distinguishes (the same codes as the column model's).
namespace GridDataType {
inline constexpr int Date = 7;
inline constexpr int String = 8;
inline constexpr int Boolean = 11;
inline constexpr int Decimal = 14;
}  // namespace GridDataType

/// Sort orders as BeforeSort hands them over; None cancels a sort.
namespace GridSort {
inline constexpr int None = 0;
inline constexpr int GenericAscending = 1;
inline constexpr int GenericDescending = 2;
inline constexpr int NumericAscending = 3;
inline constexpr int NumericDescending = 4;
}  // namespace GridSort

/// Check states of a cell; Unset shows no box outside boolean columns and counts as unchecked.
namespace GridCheck {
inline constexpr int Unset = 0;
inline constexpr int Checked = 1;
inline constexpr int Unchecked = 2;
}  // namespace GridCheck

/// Column alignment codes (column, then vertical position).
namespace GridAlign {
inline constexpr int LeftTop = 0;
inline constexpr int LeftCenter = 1;
inline constexpr int LeftBottom = 2;
inline constexpr int CenterTop = 3;
inline constexpr int CenterCenter = 4;
inline constexpr int CenterBottom = 5;
inline constexpr int RightTop = 6;
inline constexpr int RightCenter = 7;
inline constexpr int RightBottom = 8;
inline constexpr int General = 9; ///< numbers right, other text left, centred vertically
}  // namespace GridAlign

class DataGridModel : public QAbstractTableModel {
    Q_OBJECT
public:
    struct Column {
        int dataType = 0;
        QString format;
        int alignment = GridAlign::General;
        bool hidden = false;
        int widthPx = -1;     ///< -1: the view's default width
        int widthTwips = -1;  ///< the twips last set, kept while widthPx still matches it
    };

    explicit DataGridModel(QObject *parent = nullptr);

    // Grid-coordinate access; callers check the bounds.
    int gridRows() const noexcept { return static_cast<int>(rows_.size()); }
    int gridCols() const noexcept { return cols_; }
    int fixedRows() const noexcept { return fixedRows_; }
    int fixedCols() const noexcept { return fixedCols_; }
    void setGridRows(int rows);
    void setGridCols(int cols);
    void setFixedRows(int rows);
    void setFixedCols(int cols);

    const QString &text(int row, int col) const { return rows_[row][col].text; }
    void setText(int row, int col, const QString &text);
    int checked(int row, int col) const { return rows_[row][col].checked; }
    QIcon picture(int row, int col) const;
    QColor foreColor(int row, int col) const { return colorAt(rows_[row][col].fore); }
    QColor backColor(int row, int col) const { return colorAt(rows_[row][col].back); }

    /// Block setters: one change notification for the whole block.
    void setTextBlock(int row1, int col1, int row2, int col2, const QString &text);
    void setCheckedBlock(int row1, int col1, int row2, int col2, int state);
    void setPictureBlock(int row1, int col1, int row2, int col2, const QIcon &picture);
    void setForeColorBlock(int row1, int col1, int row2, int col2, const QColor &color);
    void setBackColorBlock(int row1, int col1, int row2, int col2, const QColor &color);

    Column &column(int col) { return columns_[col]; }
    const Column &column(int col) const { return columns_[col]; }
    /// Refreshes the cells of a column after its data type or alignment changed.
    void columnChanged(int col);

    /// Moves a column's cells and properties to another position; the columns between shift over.
    void moveColumn(int from, int to);
    /// Moves a data row to another position; the rows between shift over.
    void moveRow(int from, int to);
    /// Stable sort of the data rows by one column; every cell property travels with its row. The sort
    /// is remembered until a change could break it (see sortColumn).
    void sortRows(int col, int order);
    /// The column the rows are sorted by and its GridSort order, or -1 and None once rows were added,
    /// removed or moved, or a cell of that column changed after the sort.
    int sortColumn() const noexcept { return sortCol_; }
    int sortOrder() const noexcept { return sortOrder_; }
    /// First row from `startRow` on whose cell in `col` equals text exactly; -1 when none.
    int findRow(const QString &text, int startRow, int col) const;

    /// 0 none, 1 keyboard, 2 keyboard and mouse.
    int editable() const noexcept { return editable_; }
    void setEditable(int mode);
    /// Which cells (grid row, column) editing may ever change; none set: every cell.
    void setEditableCells(std::function<bool(int row, int col)> rule);
    bool cellEditable(int row, int col) const;
    /// True when a cell shows a check box (a boolean column, or a check state that was set).
    bool hasCheckBox(int row, int col) const;

    /// While suspended the views see no change at all; resuming brings them up to date at once.
    void setSuspended(bool suspended);
    bool suspended() const noexcept { return suspended_; }

    // QAbstractTableModel
    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role) const override;
    bool setData(const QModelIndex &index, const QVariant &value, int role) override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

    /// Leading number of a text, digit grouping ignored ("1,500 KB" is 1500); false when it has none.
    static bool LeadingNumber(const QString &text, double &value);
    /// Date and time of a text written in `format` ("dd/mm/yyyy hh:mm ampm" when empty) as seconds on
    /// one scale; false when the text does not fit the format. Separators may be any non-digits; the
    /// AM and PM words are the default locale's (or the English ones).
    static bool DateKey(const QString &text, const QString &format, std::int64_t &key);

signals:
    /// The whole layout changed behind the views (after a suspended structural change).
    void layoutReset();
    /// sortColumn or sortOrder changed.
    void sortChanged();
    /// Check states in the block changed, by the user or by code; once per block operation.
    void checkStatesChanged(int row1, int col1, int row2, int col2);

private:
    struct Cell {
        QString text;
        std::uint16_t picture = 0; ///< 1-based into pictures_, 0 none
        std::uint16_t fore = 0;    ///< 1-based into colors_, 0 the default
        std::uint16_t back = 0;
        std::uint8_t checked = GridCheck::Unset;
    };
    using Row = std::vector<Cell>;

    QColor colorAt(std::uint16_t index) const;
    std::uint16_t colorIndex(const QColor &color);
    std::uint16_t pictureIndex(const QIcon &picture);
    template <typename Fn> void forBlock(int row1, int col1, int row2, int col2, Fn &&fn);
    /// Tells the views that grid cells in the block changed (header row included).
    void notifyBlock(int row1, int col1, int row2, int col2);
    void notifyAll();
    /// Grid row of a model index.
    int gridRow(const QModelIndex &index) const { return index.row() + fixedRows_; }
    bool validCell(const QModelIndex &index) const;
    /// Forgets the sort when a change in the block of grid cells can have broken it.
    void cellsChanged(int row1, int col1, int row2, int col2);
    void forgetSort();
    Qt::Alignment alignmentOf(int row, int col) const;

    std::vector<Row> rows_;
    std::vector<Column> columns_;
    int cols_ = 0;
    int fixedRows_ = 0;
    int fixedCols_ = 0;
    int editable_ = 0;
    std::function<bool(int row, int col)> editableCells_;
    int sortCol_ = -1;
    int sortOrder_ = 0;

    std::vector<QIcon> pictures_;
    QHash<qint64, std::uint16_t> pictureKeys_;
    std::vector<QColor> colors_;
    QHash<QRgb, std::uint16_t> colorKeys_;

    bool suspended_ = false;
    bool structureChanged_ = false;
    // What the views were last told; they see only these while suspended.
    int viewRows_ = 0;
    int viewCols_ = 0;
};

}  // namespace folvane
