#include "platform/DataGrid.h"

#include "platform/AppError.h"
#include "platform/KeyCodes.h"
#include "platform/Twips.h"

#include <QApplication>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QStyleOption>
#include <QStyledItemDelegate>
#include <QTableView>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>

namespace folvane {

namespace {

int ButtonCode(Qt::MouseButton button)
{
    switch (button) {
    case Qt::LeftButton: return 1;
    case Qt::RightButton: return 2;
    case Qt::MiddleButton: return 4;
    default: return 0;
    }
}

QColor ColorFromValue(const QVariant &value)
{
    if (value.typeId() == QMetaType::QColor)
        return value.value<QColor>();
    bool ok = false;
    const qlonglong number = value.toLongLong(&ok);
    if (!ok || number < 0 || number > 0xFFFFFF)
        return {};
    // Colour numbers hold blue in the high byte and red in the low one.
    return QColor(static_cast<int>(number & 0xFF), static_cast<int>((number >> 8) & 0xFF),
                  static_cast<int>((number >> 16) & 0xFF));
}

}  // namespace

/// The header row. The sort arrow is drawn in a strip of its own at the top centre of the sorted
/// section, as the classic list headers draw it: beside the caption it would take the room the
/// column's fixed width keeps for the caption, and clip it.
class DataGridHeader : public QHeaderView {
public:
    explicit DataGridHeader(QWidget *parent) : QHeaderView(Qt::Horizontal, parent) {}

    void setSortArrow(int section, bool descending)
    {
        sortSection_ = section;
        descending_ = descending;
        viewport()->update();
    }
    int sortSection() const noexcept { return sortSection_; }
    /// The rectangle of the arrow in a section's rectangle; above the caption's line.
    static QRect ArrowRect(const QRect &section)
    {
        return QRect(section.center().x() - ArrowWidth / 2, section.top() + 1, ArrowWidth, ArrowHeight);
    }

protected:
    QSize sectionSizeFromContents(int logicalIndex) const override
    {
        QSize size = QHeaderView::sectionSizeFromContents(logicalIndex);
        size.rheight() += ArrowHeight + 2; // the centred caption moves down clear of the strip
        return size;
    }
    void paintSection(QPainter *painter, const QRect &rect, int logicalIndex) const override
    {
        // The style leaves the painter clipped to nothing after a section; the arrow needs its own state.
        painter->save();
        QHeaderView::paintSection(painter, rect, logicalIndex);
        painter->restore();
        if (logicalIndex != sortSection_)
            return;
        // Drawn by hand: the styles draw their header arrow only where they lay it out themselves.
        const QRect r = ArrowRect(rect);
        const QPolygon up({QPoint(r.left(), r.bottom()), QPoint(r.right(), r.bottom()), QPoint(r.center().x(), r.top())});
        const QPolygon down({QPoint(r.left(), r.top()), QPoint(r.right(), r.top()), QPoint(r.center().x(), r.bottom())});
        painter->save();
        painter->setClipRect(rect);
        painter->setRenderHint(QPainter::Antialiasing);
        painter->setPen(Qt::NoPen);
        painter->setBrush(palette().color(QPalette::WindowText));
        painter->drawPolygon(descending_ ? down : up);
        painter->restore();
    }

private:
    static constexpr int ArrowWidth = 9;
    static constexpr int ArrowHeight = 5;
    int sortSection_ = -1;
    bool descending_ = false;
};

/// Draws a check box that is the cell's only content where the column's alignment puts it, and lets
/// the mouse toggle it only when the grid is editable by mouse.
class DataGridDelegate : public QStyledItemDelegate {
public:
    DataGridDelegate(const DataGridModel *model, QObject *parent) : QStyledItemDelegate(parent), model_(model) {}

    void paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const override
    {
        QStyleOptionViewItem opt(option);
        initStyleOption(&opt, index);
        if (!checkOnly(opt)) {
            QStyledItemDelegate::paint(painter, option, index);
            return;
        }
        const QWidget *widget = opt.widget;
        QStyle *style = widget ? widget->style() : QApplication::style();
        QStyleOptionViewItem cell(opt);
        cell.features &= ~QStyleOptionViewItem::HasCheckIndicator;
        style->drawControl(QStyle::CE_ItemViewItem, &cell, painter, widget);
        QStyleOptionViewItem box(opt);
        box.rect = checkRect(opt);
        box.state = (opt.state & ~QStyle::State_HasFocus)
                    | (opt.checkState == Qt::Checked ? QStyle::State_On : QStyle::State_Off);
        style->drawPrimitive(QStyle::PE_IndicatorItemViewItemCheck, &box, painter, widget);
    }

    bool editorEvent(QEvent *event, QAbstractItemModel *model, const QStyleOptionViewItem &option,
                     const QModelIndex &index) override
    {
        const bool mouse = event->type() == QEvent::MouseButtonPress || event->type() == QEvent::MouseButtonRelease
                           || event->type() == QEvent::MouseButtonDblClick;
        if (mouse && model_->editable() < 2)
            return false;
        QStyleOptionViewItem opt(option);
        initStyleOption(&opt, index);
        if (!checkOnly(opt) || !(model->flags(index) & Qt::ItemIsUserCheckable))
            return QStyledItemDelegate::editorEvent(event, model, option, index);
        if (mouse) {
            const auto *me = static_cast<QMouseEvent *>(event);
            // The whole cell is the target: the box is its only content.
            if (me->button() != Qt::LeftButton || !opt.rect.contains(me->position().toPoint()))
                return false;
            if (event->type() == QEvent::MouseButtonPress)
                return false; // let the press select the cell as well
            if (event->type() == QEvent::MouseButtonDblClick)
                return true;
        } else if (event->type() == QEvent::KeyPress) {
            const int key = static_cast<QKeyEvent *>(event)->key();
            if (key != Qt::Key_Space && key != Qt::Key_Select)
                return false;
        } else {
            return false;
        }
        const bool checked = index.data(Qt::CheckStateRole).value<Qt::CheckState>() == Qt::Checked;
        return model->setData(index, checked ? Qt::Unchecked : Qt::Checked, Qt::CheckStateRole);
    }

private:
    static bool checkOnly(const QStyleOptionViewItem &opt)
    {
        return (opt.features & QStyleOptionViewItem::HasCheckIndicator) && opt.text.isEmpty()
               && !(opt.features & QStyleOptionViewItem::HasDecoration);
    }
    static QRect checkRect(const QStyleOptionViewItem &opt)
    {
        const QWidget *widget = opt.widget;
        QStyle *style = widget ? widget->style() : QApplication::style();
        const QSize size(style->pixelMetric(QStyle::PM_IndicatorWidth, &opt, widget),
                         style->pixelMetric(QStyle::PM_IndicatorHeight, &opt, widget));
        // A column just wide enough for the box (the 250-twip "Selection") gives up the margin first.
        const int room = std::max(0, (opt.rect.width() - size.width()) / 2);
        const int margin = std::min(style->pixelMetric(QStyle::PM_FocusFrameHMargin, &opt, widget) + 1, room);
        return QStyle::alignedRect(opt.direction, opt.displayAlignment, size, opt.rect.adjusted(margin, 0, -margin, 0));
    }

    const DataGridModel *model_;
};

DataGrid::DataGrid(QWidget *parent) : QWidget(parent)
{
    model_ = new DataGridModel(this);
    view_ = new QTableView(this);
    delegate_ = new DataGridDelegate(model_, view_);
    view_->setHorizontalHeader(new DataGridHeader(view_));
    view_->setModel(model_);
    view_->setItemDelegate(delegate_);
    view_->setSelectionMode(QAbstractItemView::ContiguousSelection);
    view_->setSelectionBehavior(QAbstractItemView::SelectItems);
    view_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    view_->setWordWrap(false);
    view_->setCornerButtonEnabled(false);
    view_->setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
    view_->viewport()->setMouseTracking(true);
    // Uniform row heights keep a view of 100,000 rows cheap.
    QHeaderView *rows = view_->verticalHeader();
    rows->hide();
    rows->setSectionResizeMode(QHeaderView::Fixed);
    rows->setDefaultSectionSize(view_->fontMetrics().height() + 6);
    // Header clicks are ours to interpret (sort, not select the column), so the header stays
    // non-clickable and eventFilter() recognises the click.
    QHeaderView *header = view_->horizontalHeader();
    header->setSectionsClickable(false);
    header->setHighlightSections(false);
    header->setSortIndicatorShown(false);
    header->setStretchLastSection(false);
    header->hide(); // until FixedRows makes row 0 the header row
    header->setMinimumSectionSize(0); // narrow columns such as a 250-twip "Range" keep their width
    header->viewport()->setMouseTracking(true);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(view_);
    setFocusProxy(view_);

    view_->installEventFilter(this);
    view_->viewport()->installEventFilter(this);
    header->viewport()->installEventFilter(this);

    connect(header, &QHeaderView::sectionMoved, this, &DataGrid::sectionMovedByUser);
    connect(header, &QHeaderView::sectionResized, this, [this](int logical, int, int size) {
        if (applying_ || logical >= model_->gridCols() || size <= 0 || model_->column(logical).hidden)
            return;
        headerChangedSincePress_ = true;
        model_->column(logical).widthPx = size;
    });
    connect(model_, &DataGridModel::layoutReset, this, [this] {
        applyColumns(0, model_->gridCols() - 1);
        updateSortIndicator();
    });
    connect(model_, &DataGridModel::sortChanged, this, &DataGrid::updateSortIndicator);
    connect(model_, &DataGridModel::checkStatesChanged, this, &DataGrid::CheckStatesChanged);
    // A click may open a cell to editing; moving the cursor by keyboard to a cell that takes no edits
    // closes the grid to editing, so no key reaches a cell the click did not open.
    connect(view_->selectionModel(), &QItemSelectionModel::currentChanged, this,
            [this](const QModelIndex &current, const QModelIndex &previous) {
                auto editableAt = [this](const QModelIndex &index) {
                    return index.isValid() && model_->cellEditable(index.row() + model_->fixedRows(), index.column());
                };
                if (endEditingOnLeave_ && model_->editable() != 0 && editableAt(previous) && !editableAt(current))
                    setEditable(0);
            });
    connect(model_, &QAbstractItemModel::columnsInserted, this,
            [this](const QModelIndex &, int first, int last) { applyColumns(first, last); });
}

DataGrid::~DataGrid() = default;

// ---- checks and conversions --------------------------------------------------------------------

void DataGrid::checkRow(int row) const
{
    if (row < 0 || row >= model_->gridRows())
        throw AppError(ErrNo::SubscriptOutOfRange, QStringLiteral("Invalid Row value"));
}

void DataGrid::checkCol(int col) const
{
    if (col < 0 || col >= model_->gridCols())
        throw AppError(ErrNo::SubscriptOutOfRange, QStringLiteral("Invalid Column value"));
}

void DataGrid::checkBlock(int row1, int col1, int row2, int col2) const
{
    checkRow(row1);
    checkRow(row2);
    checkCol(col1);
    checkCol(col2);
}

int DataGrid::twipsToPixels(int twips) const
{
    return Twips::ToPixels(twips, logicalDpiX());
}

int DataGrid::pixelsToTwips(int pixels) const
{
    return static_cast<int>(std::lround(Twips::FromPixels(pixels, logicalDpiX())));
}

QModelIndex DataGrid::viewIndex(int row, int col) const
{
    return model_->index(row - model_->fixedRows(), col);
}

// ---- shape -------------------------------------------------------------------------------------

int DataGrid::Rows() const { return model_->gridRows(); }

void DataGrid::setRows(int rows)
{
    if (rows < 0)
        throw AppError(ErrNo::InvalidProcedureCall, QStringLiteral("Invalid Row value"));
    model_->setGridRows(rows);
}

int DataGrid::Cols() const { return model_->gridCols(); }

void DataGrid::setCols(int cols)
{
    if (cols < 0)
        throw AppError(ErrNo::InvalidProcedureCall, QStringLiteral("Invalid Column value"));
    model_->setGridCols(cols);
}

int DataGrid::FixedRows() const { return model_->fixedRows(); }

void DataGrid::setFixedRows(int rows)
{
    if (rows < 0 || rows > 1)
        throw AppError(ErrNo::InvalidProcedureCall, QStringLiteral("Invalid FixedRows value"));
    model_->setFixedRows(rows);
    view_->horizontalHeader()->setVisible(rows > 0);
}

int DataGrid::FixedCols() const { return model_->fixedCols(); }

void DataGrid::setFixedCols(int cols)
{
    if (cols < 0 || cols > model_->gridCols())
        throw AppError(ErrNo::InvalidProcedureCall, QStringLiteral("Invalid FixedCols value"));
    model_->setFixedCols(cols);
}

// ---- cells -------------------------------------------------------------------------------------

QString DataGrid::TextMatrix(int row, int col) const
{
    checkRow(row);
    checkCol(col);
    return model_->text(row, col);
}

void DataGrid::setTextMatrix(int row, int col, const QString &text)
{
    checkRow(row);
    checkCol(col);
    model_->setText(row, col, text);
}

QVariant DataGrid::Cell(CellSetting setting, int row, int col) const
{
    checkRow(row);
    checkCol(col);
    switch (setting) {
    case flexcpText: return model_->text(row, col);
    case flexcpPicture: return model_->picture(row, col);
    case flexcpChecked: return model_->checked(row, col);
    case flexcpBackColor: return model_->backColor(row, col);
    case flexcpForeColor: return model_->foreColor(row, col);
    }
    throw AppError(ErrNo::InvalidProcedureCall, QStringLiteral("Invalid Cell setting"));
}

void DataGrid::setCell(CellSetting setting, int row, int col, const QVariant &value)
{
    setCell(setting, row, col, row, col, value);
}

void DataGrid::setCell(CellSetting setting, int row1, int col1, int row2, int col2, const QVariant &value)
{
    checkBlock(row1, col1, row2, col2);
    if (row1 > row2)
        std::swap(row1, row2);
    if (col1 > col2)
        std::swap(col1, col2);
    switch (setting) {
    case flexcpText:
        model_->setTextBlock(row1, col1, row2, col2, value.toString());
        return;
    case flexcpPicture:
        model_->setPictureBlock(row1, col1, row2, col2, value.value<QIcon>());
        return;
    case flexcpChecked: {
        bool ok = false;
        const int state = value.toInt(&ok);
        if (!ok || state < GridCheck::Unset || state > GridCheck::Unchecked)
            throw AppError(ErrNo::InvalidProcedureCall, QStringLiteral("Invalid check state"));
        model_->setCheckedBlock(row1, col1, row2, col2, state);
        return;
    }
    case flexcpBackColor:
        model_->setBackColorBlock(row1, col1, row2, col2, ColorFromValue(value));
        return;
    case flexcpForeColor:
        model_->setForeColorBlock(row1, col1, row2, col2, ColorFromValue(value));
        return;
    }
    throw AppError(ErrNo::InvalidProcedureCall, QStringLiteral("Invalid Cell setting"));
}

// ---- columns -----------------------------------------------------------------------------------

int DataGrid::ColWidth(int col) const
{
    checkCol(col);
    const DataGridModel::Column &column = model_->column(col);
    if (column.widthPx < 0)
        return pixelsToTwips(view_->horizontalHeader()->defaultSectionSize());
    // The twips set last come back unchanged until the user resizes the column.
    if (column.widthTwips >= 0 && twipsToPixels(column.widthTwips) == column.widthPx)
        return column.widthTwips;
    return pixelsToTwips(column.widthPx);
}

void DataGrid::setColWidth(int col, int twips)
{
    checkCol(col);
    if (twips < 0)
        throw AppError(ErrNo::InvalidProcedureCall, QStringLiteral("Invalid column width"));
    DataGridModel::Column &column = model_->column(col);
    column.widthTwips = twips;
    column.widthPx = twipsToPixels(twips);
    applyColumns(col, col);
}

int DataGrid::ColDataType(int col) const
{
    checkCol(col);
    return model_->column(col).dataType;
}

void DataGrid::setColDataType(int col, int dataType)
{
    checkCol(col);
    model_->column(col).dataType = dataType;
    model_->columnChanged(col);
}

QString DataGrid::ColFormat(int col) const
{
    checkCol(col);
    return model_->column(col).format;
}

void DataGrid::setColFormat(int col, const QString &format)
{
    checkCol(col);
    model_->column(col).format = format;
}

int DataGrid::ColAlignment(int col) const
{
    checkCol(col);
    return model_->column(col).alignment;
}

void DataGrid::setColAlignment(int col, int alignment)
{
    if (alignment < GridAlign::LeftTop || alignment > GridAlign::General)
        throw AppError(ErrNo::InvalidProcedureCall, QStringLiteral("Invalid alignment"));
    if (col == -1) {
        for (int c = 0; c < model_->gridCols(); ++c) {
            model_->column(c).alignment = alignment;
            model_->columnChanged(c);
        }
        return;
    }
    checkCol(col);
    model_->column(col).alignment = alignment;
    model_->columnChanged(col);
}

bool DataGrid::ColHidden(int col) const
{
    checkCol(col);
    return model_->column(col).hidden;
}

void DataGrid::setColHidden(int col, bool hidden)
{
    checkCol(col);
    model_->column(col).hidden = hidden;
    applyColumns(col, col);
}

void DataGrid::applyColumns(int first, int last)
{
    QHeaderView *header = view_->horizontalHeader();
    applying_ = true;
    for (int c = std::max(first, 0); c <= last && c < model_->gridCols() && c < header->count(); ++c) {
        const DataGridModel::Column &column = model_->column(c);
        header->setSectionHidden(c, column.hidden);
        if (!column.hidden)
            header->resizeSection(c, column.widthPx >= 0 ? column.widthPx : header->defaultSectionSize());
    }
    applying_ = false;
}

void DataGrid::setColPosition(int col, int position)
{
    checkCol(col);
    checkCol(position);
    if (col == position)
        return;
    model_->moveColumn(col, position);
    applyColumns(std::min(col, position), std::max(col, position));
}

void DataGrid::setRowPosition(int row, int position)
{
    checkRow(row);
    checkRow(position);
    if (row < model_->fixedRows() || position < model_->fixedRows())
        throw AppError(ErrNo::InvalidProcedureCall, QStringLiteral("Invalid Row value"));
    model_->moveRow(row, position);
}

void DataGrid::sectionMovedByUser(int, int oldVisual, int newVisual)
{
    if (applying_)
        return;
    // The header keeps logical and visual order equal: the cells move instead of the section.
    QHeaderView *header = view_->horizontalHeader();
    applying_ = true;
    header->moveSection(newVisual, oldVisual);
    applying_ = false;
    headerChangedSincePress_ = true;
    const int fixed = model_->fixedCols();
    if (oldVisual < fixed || newVisual < fixed)
        return;
    setColPosition(oldVisual, newVisual);
    emit AfterMoveColumn(oldVisual, newVisual);
}

// ---- selection and cursor ----------------------------------------------------------------------

GridSelection DataGrid::GetSelection() const
{
    GridSelection result;
    const QItemSelection selection = view_->selectionModel()->selection();
    if (selection.isEmpty())
        return result;
    int top = INT_MAX, left = INT_MAX, bottom = -1, right = -1;
    for (const QItemSelectionRange &range : selection) {
        top = std::min(top, range.top());
        left = std::min(left, range.left());
        bottom = std::max(bottom, range.bottom());
        right = std::max(right, range.right());
    }
    const int fixed = model_->fixedRows();
    return {top + fixed, left, bottom + fixed, right};
}

void DataGrid::Select(int row1, int col1, int row2, int col2)
{
    checkBlock(row1, col1, row2, col2);
    const int fixed = model_->fixedRows();
    if (std::min(row1, row2) < fixed)
        throw AppError(ErrNo::InvalidProcedureCall, QStringLiteral("Invalid Row value"));
    QItemSelectionModel *selection = view_->selectionModel();
    selection->setCurrentIndex(viewIndex(row1, col1), QItemSelectionModel::NoUpdate);
    selection->select(QItemSelection(viewIndex(row1, col1), viewIndex(row2, col2)),
                      QItemSelectionModel::ClearAndSelect);
}

int DataGrid::Row() const
{
    const QModelIndex current = view_->currentIndex();
    return current.isValid() ? current.row() + model_->fixedRows() : -1;
}

void DataGrid::setRow(int row)
{
    const int col = std::max(Col(), model_->fixedCols());
    checkCol(col);
    Select(row, col, row, col);
}

int DataGrid::Col() const
{
    const QModelIndex current = view_->currentIndex();
    return current.isValid() ? current.column() : -1;
}

void DataGrid::setCol(int col)
{
    const int row = std::max(Row(), model_->fixedRows());
    Select(row, col, row, col);
}

// ---- modes -------------------------------------------------------------------------------------

int DataGrid::Editable() const { return model_->editable(); }

void DataGrid::setEditable(int mode)
{
    if (mode < 0 || mode > 2)
        throw AppError(ErrNo::InvalidProcedureCall, QStringLiteral("Invalid Editable value"));
    model_->setEditable(mode);
    QAbstractItemView::EditTriggers triggers = QAbstractItemView::NoEditTriggers;
    if (mode >= 1)
        triggers |= QAbstractItemView::EditKeyPressed | QAbstractItemView::AnyKeyPressed;
    if (mode == 2)
        triggers |= QAbstractItemView::DoubleClicked | QAbstractItemView::SelectedClicked;
    view_->setEditTriggers(triggers);
}

void DataGrid::setEditableCells(std::function<bool(int row, int col)> rule, bool endOnLeave)
{
    endEditingOnLeave_ = endOnLeave;
    model_->setEditableCells(std::move(rule));
}

bool DataGrid::CellEditable(int row, int col) const
{
    return row >= 0 && row < model_->gridRows() && col >= 0 && col < model_->gridCols()
           && model_->cellEditable(row, col);
}

void DataGrid::setExplorerBar(int mode)
{
    explorerBar_ = mode;
    view_->horizontalHeader()->setSectionsMovable((mode & 2) != 0);
}

void DataGrid::setRedraw(bool redraw)
{
    if (redraw == redraw_)
        return;
    redraw_ = redraw;
    if (!redraw) {
        view_->setUpdatesEnabled(false);
        model_->setSuspended(true);
    } else {
        model_->setSuspended(false);
        view_->setUpdatesEnabled(true);
    }
}

// ---- sorting -----------------------------------------------------------------------------------

void DataGrid::Sort(int col, int order)
{
    checkCol(col);
    if (order < GridSort::GenericAscending || order > GridSort::NumericDescending)
        return;
    model_->sortRows(col, order);
}

int DataGrid::FindRow(const QString &text, int startRow, int col) const
{
    checkCol(col);
    return model_->findRow(text, startRow, col);
}

void DataGrid::updateSortIndicator()
{
    auto *header = static_cast<DataGridHeader *>(view_->horizontalHeader());
    const int order = model_->sortOrder();
    const bool descending = order == GridSort::GenericDescending || order == GridSort::NumericDescending;
    header->setSortArrow(model_->sortColumn(), descending);
}

void DataGrid::headerClicked(int col)
{
    // A second click on the sorted column reverses it within the same family (generic or numeric).
    int order = GridSort::GenericAscending;
    if (col == model_->sortColumn()) {
        static constexpr int reversed[] = {GridSort::GenericAscending, GridSort::GenericDescending,
                                           GridSort::GenericAscending, GridSort::NumericDescending,
                                           GridSort::NumericAscending};
        order = reversed[model_->sortOrder()];
    }
    emit BeforeSort(col, order);
    Sort(col, order);
}

// ---- input -------------------------------------------------------------------------------------

bool DataGrid::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == view_ && event->type() == QEvent::KeyPress) {
        auto *key = static_cast<QKeyEvent *>(event);
        int code = KeyCodes::KeyCode(key->key());
        if (code == 0)
            return false;
        emit KeyDown(code, KeyCodes::ShiftState(key->modifiers()));
        return code == 0;
    }
    if (watched == view_->viewport())
        return filterViewMouse(event);
    if (watched == view_->horizontalHeader()->viewport())
        return filterHeaderMouse(event);
    return QWidget::eventFilter(watched, event);
}

void DataGrid::raiseMouse(QEvent *event)
{
    auto *mouse = static_cast<QMouseEvent *>(event);
    const QPointF at = mapFromGlobal(mouse->globalPosition());
    const int shift = KeyCodes::ShiftState(mouse->modifiers());
    const auto x = static_cast<float>(at.x());
    const auto y = static_cast<float>(at.y());
    if (event->type() == QEvent::MouseButtonRelease)
        emit MouseUp(ButtonCode(mouse->button()), shift, x, y);
    else
        emit MouseDown(ButtonCode(mouse->button()), shift, x, y);
}

bool DataGrid::filterViewMouse(QEvent *event)
{
    const QEvent::Type type = event->type();
    if (type != QEvent::MouseButtonPress && type != QEvent::MouseButtonRelease && type != QEvent::MouseMove
        && type != QEvent::MouseButtonDblClick)
        return false;
    auto *mouse = static_cast<QMouseEvent *>(event);
    const QModelIndex index = view_->indexAt(mouse->position().toPoint());
    const bool inside = index.isValid() && index.row() + model_->fixedRows() < model_->gridRows();
    mouseRow_ = inside ? index.row() + model_->fixedRows() : -1;
    mouseCol_ = inside ? index.column() : -1;
    if (type == QEvent::MouseMove)
        return false;
    if (type != QEvent::MouseButtonRelease && inside && index.column() >= model_->fixedCols()) {
        // Handlers of MouseDown read Row and Col as the pressed cell; the selection follows in the
        // default handling.
        view_->selectionModel()->setCurrentIndex(index, QItemSelectionModel::NoUpdate);
    }
    raiseMouse(event);
    return false;
}

bool DataGrid::filterHeaderMouse(QEvent *event)
{
    const QEvent::Type type = event->type();
    if (type != QEvent::MouseButtonPress && type != QEvent::MouseButtonRelease && type != QEvent::MouseMove
        && type != QEvent::MouseButtonDblClick)
        return false;
    auto *mouse = static_cast<QMouseEvent *>(event);
    QHeaderView *header = view_->horizontalHeader();
    const QPoint pos = mouse->position().toPoint();
    const int col = header->logicalIndexAt(pos);
    mouseRow_ = col >= 0 && model_->fixedRows() > 0 ? 0 : -1;
    mouseCol_ = mouseRow_ == 0 ? col : -1;
    if (type == QEvent::MouseMove)
        return false;
    raiseMouse(event);
    if (type == QEvent::MouseButtonPress && mouse->button() == Qt::LeftButton) {
        // A press on a section's edge starts a resize, never a sort.
        const int margin = header->style()->pixelMetric(QStyle::PM_HeaderGripMargin, nullptr, header);
        const int left = col >= 0 ? header->sectionViewportPosition(col) : 0;
        const bool onEdge = col < 0 || pos.x() - left < margin || left + header->sectionSize(col) - pos.x() <= margin;
        headerPressCol_ = onEdge ? -1 : col;
        headerPressPos_ = pos;
        headerChangedSincePress_ = false;
    } else if (type == QEvent::MouseButtonRelease && mouse->button() == Qt::LeftButton) {
        const bool click = headerPressCol_ >= 0 && col == headerPressCol_ && !headerChangedSincePress_
                           && (pos - headerPressPos_).manhattanLength() < QApplication::startDragDistance();
        headerPressCol_ = -1;
        if (click && (explorerBar_ & 1) && col >= model_->fixedCols())
            headerClicked(col);
    }
    return false;
}

}  // namespace folvane
