#include "docops/modDocOps.h"

#include "app/GridColumns.h"
#include "app/ProgramState.h"
#include "app/modGeneral.h"
#include "platform/DataGrid.h"
#include "platform/DataGridModel.h"

#include <QApplication>
#include <QKeyEvent>
#include <QPushButton>
#include <QHeaderView>
#include <QLayout>
#include <QScreen>
#include <QScrollBar>
#include <QStyle>
#include <QTableView>
#include <QWindow>

#include <algorithm>

namespace folvane::modDocOps {

bool IsDigitOrBackspace(int keyAscii) { return (keyAscii >= 48 && keyAscii <= 57) || keyAscii == 8; }

clsColSetOrderGrid RecordOfRow(const DataGrid &grid, int row)
{
    auto text = [&](QLatin1StringView key) { return grid.TextMatrix(row, ColumnOf(key)); };
    clsColSetOrderGrid record;
    record.filename = text(ColumnKey::Name);
    record.FileLocation = text(ColumnKey::Location);
    record.FileSize = text(ColumnKey::Size);
    record.FileType = text(ColumnKey::Type);
    record.FileCreDate = text(ColumnKey::Created);
    record.FileModDate = text(ColumnKey::Modified);
    return record;
}

void SetUpDocumentGrid(DataGrid &grid, const GridColumns &model, int rangeWidth)
{
    static const QString dateFormat = QStringLiteral("dd/mm/yyyy hh:mm ampm");
    grid.setEditable(0);
    grid.setFixedRows(1);
    grid.setFixedCols(0);
    grid.setRows(1);
    grid.setCols(model.Count() + 1);
    grid.setColAlignment(-1, GridAlign::LeftCenter);

    // Entries past the model's columns are ignored, so the "Range" column is always shown.
    const QStringList &visible = State().ColumnVisible;
    for (int i = 0; i < std::min<int>(visible.size(), model.Count()); ++i)
        grid.setColHidden(i, visible[i] != QLatin1String("1"));

    for (const GridColumns::Ptr &column : model) {
        const int col = column->ColumnIndex;
        grid.setTextMatrix(0, col, column->ColumnName);
        if (const std::optional<int> twips = modGeneral::ColumnTwips(column->ColumnWidth))
            grid.setColWidth(col, *twips);
        grid.setColDataType(col, column->ColumnDatatype);
        if (column->ColumnDatatype == ColType::Date)
            grid.setColFormat(col, dateFormat);
        else if (column->ColumnDatatype == ColType::Decimal)
            grid.setColAlignment(col, GridAlign::RightCenter);
        const QString &key = column->ColumnKey;
        if (key == ColumnKey::Type || key == ColumnKey::Size || key == ColumnKey::Modified)
            grid.setColHidden(col, true);
    }

    const int range = model.Count();
    grid.setTextMatrix(0, range, ColumnKey::Range);
    grid.setColWidth(range, rangeWidth);
    grid.setColDataType(range, ColType::Decimal);
    grid.setColHidden(range, false);
}

namespace {

/// Width the window manager's frame adds to a window: read off a framed window of the program,
/// since a window about to open has none yet. The platform window's margins are asked, as a
/// widget's own copy of them can lag behind the window manager.
int FrameWidthGuess(const QWidget &window)
{
    auto frameWidth = [](const QWidget *w) {
        const QWindow *handle = w && w->isVisible() ? w->windowHandle() : nullptr;
        return handle ? handle->frameMargins().left() + handle->frameMargins().right() : 0;
    };
    if (const int owner = frameWidth(window.parentWidget() ? window.parentWidget()->window() : nullptr))
        return owner;
    for (const QWidget *w : QApplication::topLevelWidgets())
        if (w != &window)
            if (const int width = frameWidth(w))
                return width;
    return 0;
}

}  // namespace

void WidenToShowColumns(QWidget &dialog, const DataGrid &grid)
{
    if (QLayout *layout = dialog.layout())
        layout->activate();
    const QTableView &view = *grid.view();
    const QHeaderView &header = *view.horizontalHeader();
    int lastShown = -1;
    for (int visual = header.count() - 1; visual >= 0 && lastShown < 0; --visual)
        if (!header.isSectionHidden(header.logicalIndex(visual)))
            lastShown = header.logicalIndex(visual);

    int content = 2 * view.frameWidth();
    for (int col = 0; col < header.count(); ++col) {
        if (header.isSectionHidden(col))
            continue;
        // A stretched section's size is what it fills now, not what it needs.
        const bool stretched = col == lastShown && header.stretchLastSection();
        content += stretched ? header.sectionSizeHint(col) : header.sectionSize(col);
    }
    if (!view.verticalHeader()->isHidden())
        content += view.verticalHeader()->sizeHint().width();
    const int rowsRoom = view.height() - 2 * view.frameWidth() - header.sizeHint().height();
    if (view.verticalScrollBarPolicy() != Qt::ScrollBarAlwaysOff && view.verticalHeader()->length() > rowsRoom)
        content += view.style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, &view);

    const int wanted = dialog.width() + content - view.width();
    if (wanted <= dialog.width())
        return;
    const QScreen *screen = dialog.screen() ? dialog.screen() : QGuiApplication::primaryScreen();
    const int room = screen ? screen->availableGeometry().width() - FrameWidthGuess(dialog) : wanted;
    const int width = std::max(dialog.width(), std::min(wanted, room));
    dialog.resize(width, dialog.height());
}

namespace {

/// Enter on a focused button presses it: without the dialog's default-button handling Qt would let
/// the key go by.
class EnterPressesFocusedButton : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::KeyPress) {
            const int key = static_cast<QKeyEvent *>(event)->key();
            auto *button = qobject_cast<QPushButton *>(watched);
            if ((key == Qt::Key_Return || key == Qt::Key_Enter) && button && button->hasFocus() &&
                button->isEnabled()) {
                button->animateClick();
                return true;
            }
        }
        return QObject::eventFilter(watched, event);
    }
};

}  // namespace

void UseNoDefaultButton(QWidget &dialog)
{
    auto *filter = new EnterPressesFocusedButton(&dialog);
    for (QPushButton *button : dialog.findChildren<QPushButton *>()) {
        button->setAutoDefault(false);
        button->setDefault(false);
        button->installEventFilter(filter);
    }
}

}  // namespace folvane::modDocOps
