#include "docops/DocumentListDialog.h"

#include "app/ErrorLog.h"
#include "app/GridColumns.h"
#include "app/ProgramState.h"
#include "app/modGeneral.h"
#include "docops/modDocOps.h"
#include "platform/CommonDialog.h"
#include "platform/DataGrid.h"

#include <QApplication>
#include <QCheckBox>
#include <QGroupBox>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QScopedValueRollback>
#include <QVBoxLayout>

#include <algorithm>

namespace folvane {

namespace {

const QString kFileNameTip =
    QStringLiteral("A filename can not contain any of the following character.\\n \\/*:''<>|");

const GridColumns &ColumnModel()
{
    Require(State().objGridColumns != nullptr, ErrNo::ObjectNotSet,
            QStringLiteral("Object variable or With block variable not set"));
    return *State().objGridColumns;
}

}  // namespace

DocumentListDialog::DocumentListDialog(std::string_view unit, int rangeWidth, QWidget *parent)
    : QDialog(parent), unit_(unit), rangeWidth_(rangeWidth)
{
}

DocumentListDialog::~DocumentListDialog() = default;

// ---- opening and closing ------------------------------------------------------------------------

void DocumentListDialog::showEvent(QShowEvent *event)
{
    if (!loaded_)
        Form_Load();
    // Before QDialog places the dialog, so it is centred at the width it opens with.
    if (!widened_) {
        widened_ = true;
        modDocOps::WidenToShowColumns(*this, *vsFilesSetOrder);
    }
    QDialog::showEvent(event);
}

void DocumentListDialog::done(int result)
{
    if (running_)
        closedDuringRun_ = true;
    Form_Unload();
    QDialog::done(result);
}

Settings &DocumentListDialog::Store()
{
    Require(State().objSettings != nullptr, ErrNo::ObjectNotSet,
            QStringLiteral("Object variable or With block variable not set"));
    return *State().objSettings;
}

void DocumentListDialog::LoadRememberedOptions()
{
    const RememberedOptions options = Remembered();
    const Settings &settings = Store();
    options.keepFolder->setChecked((settings.*options.folderKept.read)() != 0);
    if (options.keepFolder->isChecked())
        txtOutputFolder->setText((settings.*options.folder.read)());
    options.openAfterRun->setChecked((settings.*options.openedAfterRun.read)() != 0);
}

void DocumentListDialog::SaveRememberedOptions()
{
    const RememberedOptions options = Remembered();
    Settings &settings = Store();
    (settings.*options.folderKept.write)(options.keepFolder->isChecked() ? 1 : 0);
    if (options.keepFolder->isChecked())
        (settings.*options.folder.write)(txtOutputFolder->text());
    (settings.*options.openedAfterRun.write)(options.openAfterRun->isChecked() ? 1 : 0);
}

// ---- grid ---------------------------------------------------------------------------------------

void DocumentListDialog::InitFiles()
{
    Guarded("InitFiles", unit_, [this] {
        vsFilesSetOrder->setEditableCells([this](int, int col) {
            return State().objGridColumns && (col == ColumnOf(ColumnKey::Selection) || col == RangeCol());
        });
        modDocOps::SetUpDocumentGrid(*vsFilesSetOrder, ColumnModel(), rangeWidth_);
    });
}

void DocumentListDialog::FillGrid()
{
    Guarded("FillGrid", unit_, [this] {
        DataGrid &grid = *vsFilesSetOrder;
        const int name = ColumnOf(ColumnKey::Name), selection = ColumnOf(ColumnKey::Selection),
                  location = ColumnOf(ColumnKey::Location), size = ColumnOf(ColumnKey::Size),
                  type = ColumnOf(ColumnKey::Type), created = ColumnOf(ColumnKey::Created),
                  modified = ColumnOf(ColumnKey::Modified), pages = ColumnOf(ColumnKey::Pages), range = RangeCol();
        for (const clsColSetOrderGrid &record : colSelectedData) {
            const int r = grid.Rows();
            grid.setRows(r + 1);
            grid.setTextMatrix(r, name, record.filename);
            grid.setCell(flexcpChecked, r, selection, GridCheck::Checked);
            grid.setTextMatrix(r, location, record.FileLocation);
            grid.setTextMatrix(r, size, record.FileSize);
            grid.setTextMatrix(r, type, record.FileType);
            grid.setTextMatrix(r, created, record.FileCreDate);
            grid.setTextMatrix(r, modified, record.FileModDate);
            grid.setTextMatrix(r, pages, QString::number(record.PageCount));
            grid.setTextMatrix(r, range, QStringLiteral("0"));
        }
        if (grid.Rows() > 1)
            grid.setRow(1);
    });
}

int DocumentListDialog::RangeCol() const { return vsFilesSetOrder->Cols() - 1; }

bool DocumentListDialog::IsChecked(int row, int selectionCol) const
{
    return vsFilesSetOrder->Cell(flexcpChecked, row, selectionCol).toInt() == GridCheck::Checked;
}

void DocumentListDialog::CopyRangeToCheckedRows(const QString &range)
{
    DataGrid &grid = *vsFilesSetOrder;
    const int selection = ColumnOf(ColumnKey::Selection), rangeCol = RangeCol();
    for (int r = 1; r < grid.Rows(); ++r)
        if (IsChecked(r, selection))
            grid.setTextMatrix(r, rangeCol, range);
}

void DocumentListDialog::OpenCurrentCellTo(int button)
{
    DataGrid &grid = *vsFilesSetOrder;
    const bool editableCell = grid.CellEditable(grid.Row(), grid.Col());
    grid.setEditable(button == 1 && editableCell ? 2 : 0);
}

void DocumentListDialog::FlipSelectedChecks()
{
    DataGrid &grid = *vsFilesSetOrder;
    const GridSelection block = grid.GetSelection();
    if (block.row1 < 0 || block.row2 < 0)
        return;
    const int selection = ColumnOf(ColumnKey::Selection);
    for (int r = block.row1; r <= block.row2; ++r)
        grid.setCell(flexcpChecked, r, selection, IsChecked(r, selection) ? GridCheck::Unchecked : GridCheck::Checked);
}

// ---- names and folders --------------------------------------------------------------------------

void DocumentListDialog::DropFileNameCharacter(QLineEdit &box, int &KeyAscii)
{
    static const QString forbidden = QStringLiteral("|\\/*:?\"<>");
    if (KeyAscii > 0 && forbidden.contains(QChar(static_cast<char16_t>(KeyAscii)))) {
        KeyAscii = 0;
        box.setToolTip(kFileNameTip);
    }
}

QString DocumentListDialog::ShowFolderSelectionDialog()
{
    QString result;
    Guarded("ShowFolderSelectionDialog", unit_, [&] {
        const std::optional<QString> folder =
            CommonDialog::BrowseForFolder({QStringLiteral("Set Folder"), txtOutputFolder->text()}, this);
        result = folder ? modMasterLayout::TrimNull(*folder) : txtOutputFolder->text();
    });
    return result;
}

// ---- the run ------------------------------------------------------------------------------------

QGroupBox *DocumentListDialog::MakeProgressFrame()
{
    Frame3 = new QGroupBox(QStringLiteral("Proccessing"), this);
    ProgressBar1 = new QProgressBar(Frame3);
    // Not 0 to 0, which would show a busy bar before any run.
    ProgressBar1->setRange(0, 1);
    ProgressBar1->setValue(0);
    ProgressBar1->setTextVisible(false);
    (new QVBoxLayout(Frame3))->addWidget(ProgressBar1);
    return Frame3;
}

void DocumentListDialog::StartProgress(int steps)
{
    ProgressBar1->setRange(0, steps);
    ProgressBar1->setValue(0);
}

bool DocumentListDialog::WhileRunning(const std::function<bool()> &run)
{
    const QScopedValueRollback running(running_, true);
    closedDuringRun_ = false;
    return run();
}

DocumentListDialog::RunControls::RunControls(QWidget &dialog, std::initializer_list<QPushButton *> buttons,
                                             Hourglass hourglass)
    : dialog_(dialog), buttons_(buttons)
{
    for (QPushButton *button : buttons_)
        button->setEnabled(false);
    if (hourglass == Hourglass::Everywhere)
        everywhere_.emplace();
    else
        dialog_.setCursor(Qt::WaitCursor);
}

DocumentListDialog::RunControls::~RunControls()
{
    for (QPushButton *button : buttons_)
        button->setEnabled(true);
    if (!everywhere_)
        dialog_.unsetCursor();
}

BusyPointer::BusyPointer() { QApplication::setOverrideCursor(Qt::WaitCursor); }

BusyPointer::~BusyPointer() { QApplication::restoreOverrideCursor(); }

}  // namespace folvane
