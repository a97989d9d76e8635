#include "docops/frmSetOrder_ComPdf.h"

#include "app/ErrorLog.h"
#include "app/GridColumns.h"
#include "app/ProgramState.h"
#include "app/Settings.h"
#include "app/modGeneral.h"
#include "docops/modDocOps.h"
#include "platform/DataGrid.h"
#include "platform/KeyCodes.h"
#include "platform/MsgBox.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTableView>
#include <QVBoxLayout>

#include <cmath>
#include <limits>

namespace folvane {

namespace {

constexpr int RangeWidthTwips = 750;

/// A whole number as a 32-bit value; a text that is no number, or too large, is an error.
std::int32_t ToLong(const QString &text)
{
    const std::optional<double> n = modGeneral::TextToNumber(text);
    Require(n.has_value(), ErrNo::TypeMismatch, QStringLiteral("Type mismatch"));
    const double whole = modGeneral::RoundHalfEven(*n);
    Require(whole >= std::numeric_limits<std::int32_t>::min() && whole <= std::numeric_limits<std::int32_t>::max(),
            ErrNo::Overflow, QStringLiteral("Overflow"));
    return static_cast<std::int32_t>(whole);
}

Byte StateOf(const QCheckBox *box) { return box->isChecked() ? 1 : 0; }

}  // namespace

frmSetOrder_ComPdf::frmSetOrder_ComPdf(QWidget *parent)
    : DocumentListDialog(Unit::frmSetOrder_ComPdf, RangeWidthTwips, parent)
{
    buildControls();
    wireControls();
}

frmSetOrder_ComPdf::~frmSetOrder_ComPdf() = default;

void frmSetOrder_ComPdf::buildControls()
{
    setWindowTitle(QStringLiteral("Set Order"));

    fraSetOrder = new QGroupBox(QStringLiteral("1 Files"), this);
    vsFilesSetOrder = new DataGrid(fraSetOrder);
    // Whole rows, so the order moves and Space always work on a block of rows.
    vsFilesSetOrder->view()->setSelectionBehavior(QAbstractItemView::SelectRows);
    cmdUp = new QPushButton(QStringLiteral("&Up"), fraSetOrder);
    cmdDown = new QPushButton(QStringLiteral("Do&wn"), fraSetOrder);
    Label3 = new QLabel(QStringLiteral("Combine by &range. The range format can be in the style 3,5,7-9,10 ( 0 "
                                       "means all pages from file)"),
                        fraSetOrder);
    Label3->setWordWrap(true);
    txtRange = new QLineEdit(fraSetOrder);
    Label3->setBuddy(txtRange);
    cmdAddRange = new QPushButton(QStringLiteral("A&dd"), fraSetOrder);

    auto *moves = new QVBoxLayout;
    moves->addWidget(cmdUp);
    moves->addWidget(cmdDown);
    moves->addStretch();
    auto *rangeRow = new QHBoxLayout;
    rangeRow->addWidget(txtRange, 1);
    rangeRow->addWidget(cmdAddRange);
    auto *files = new QGridLayout(fraSetOrder);
    files->addWidget(vsFilesSetOrder, 0, 0);
    files->addLayout(moves, 0, 1);
    files->addWidget(Label3, 1, 0, 1, 2);
    files->addLayout(rangeRow, 2, 0, 1, 2);
    files->setRowStretch(0, 1);

    Frame1 = new QGroupBox(QStringLiteral("2 Output"), this);
    Label1 = new QLabel(QStringLiteral("File &name"), Frame1);
    txtmanualfilename = new QLineEdit(Frame1);
    Label1->setBuddy(txtmanualfilename);
    Label2 = new QLabel(QStringLiteral("Output &path"), Frame1);
    txtOutputFolder = new QLineEdit(Frame1);
    Label2->setBuddy(txtOutputFolder);
    cmdbrowse = new QPushButton(QStringLiteral("..."), Frame1);
    cmdbrowse->setMaximumWidth(cmdbrowse->fontMetrics().horizontalAdvance(QStringLiteral("....")) + 16);
    ChkOpenFileAftCombPDF = new QCheckBox(QStringLiteral("&Open merged file after combining"), Frame1);
    ChkDefaultPathCombPDF = new QCheckBox(QStringLiteral("Set default output &folder name "), Frame1);
    auto *output = new QGridLayout(Frame1);
    output->addWidget(Label1, 0, 0);
    output->addWidget(txtmanualfilename, 0, 1, 1, 2);
    output->addWidget(Label2, 1, 0);
    output->addWidget(txtOutputFolder, 1, 1);
    output->addWidget(cmdbrowse, 1, 2);
    output->addWidget(ChkOpenFileAftCombPDF, 2, 1, 1, 2);
    output->addWidget(ChkDefaultPathCombPDF, 3, 1, 1, 2);
    output->setColumnStretch(1, 1);

    MakeProgressFrame();

    Frame2 = new QGroupBox(this);
    cmdOk = new QPushButton(QStringLiteral("Co&mbine"), Frame2);
    cmdCancel = new QPushButton(QStringLiteral("&Cancel"), Frame2);
    auto *commands = new QHBoxLayout(Frame2);
    commands->addStretch();
    commands->addWidget(cmdOk);
    commands->addWidget(cmdCancel);

    // Enter in a box must not press a button the user did not choose.
    modDocOps::UseNoDefaultButton(*this);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(fraSetOrder, 1);
    layout->addWidget(Frame1);
    layout->addWidget(Frame3);
    layout->addWidget(Frame2);
    resize(680, 520);
}

void frmSetOrder_ComPdf::wireControls()
{
    connect(cmdUp, &QPushButton::clicked, this, [this] { cmdUp_Click(); });
    connect(cmdDown, &QPushButton::clicked, this, [this] { cmdDown_Click(); });
    connect(cmdAddRange, &QPushButton::clicked, this, [this] { cmdAddRange_Click(); });
    connect(cmdbrowse, &QPushButton::clicked, this, [this] { cmdbrowse_Click(); });
    connect(cmdOk, &QPushButton::clicked, this, [this] { cmdOk_Click(); });
    connect(cmdCancel, &QPushButton::clicked, this, [this] { cmdCancel_Click(); });
    txtRange->installEventFilter(this);
    txtmanualfilename->installEventFilter(this);

    connect(vsFilesSetOrder, &DataGrid::MouseDown, this, [this](int button, int shift, float x, float y) {
        vsFilesSetOrder_MouseDown(static_cast<std::int16_t>(button), static_cast<std::int16_t>(shift), x, y);
    });
    connect(vsFilesSetOrder, &DataGrid::KeyDown, this, [this](int &keyCode, int shift) {
        vsFilesSetOrder_KeyDown(static_cast<std::int16_t>(keyCode), static_cast<std::int16_t>(shift));
        // The handler has flipped the block; the table must not flip the current cell again.
        if (keyCode == 32)
            keyCode = 0;
    });
}

// ---- opening -----------------------------------------------------------------------------------

void frmSetOrder_ComPdf::Form_Load()
{
    loaded_ = true;
    Guarded("Form_Load", Unit::frmSetOrder_ComPdf, [this] {
        InitFiles();
        FillGrid();
        LoadRememberedOptions();
    });
}

DocumentListDialog::RememberedOptions frmSetOrder_ComPdf::Remembered() const
{
    return {ChkDefaultPathCombPDF,
            {&Settings::IsDefaultPathCombPDF, &Settings::setIsDefaultPathCombPDF},
            {&Settings::DefaultPathCombPDF, &Settings::setDefaultPathCombPDF},
            ChkOpenFileAftCombPDF,
            {&Settings::IsOpenFileAftCombPDF, &Settings::setIsOpenFileAftCombPDF}};
}

// ---- range box ---------------------------------------------------------------------------------

void frmSetOrder_ComPdf::txtRange_KeyPress(std::int16_t &KeyAscii)
{
    if (!modDocOps::IsDigitOrBackspace(KeyAscii) && KeyAscii != 44 && KeyAscii != 45)
        KeyAscii = 0;
}

void frmSetOrder_ComPdf::cmdAddRange_Click()
{
    Guarded("cmdAddRange_Click", Unit::frmSetOrder_ComPdf, [this] {
        if (ValidateRange())
            CopyRangeToCheckedRows(txtRange->text());
    });
}

bool frmSetOrder_ComPdf::ValidateRange()
{
    bool result = false;
    Guarded("ValidateRange", Unit::frmSetOrder_ComPdf, [&] {
        const QString text = txtRange->text();
        auto refuse = [this](const QString &message) {
            MsgBox(message, MsgButtons::OK, MsgIcon::Information, QString(), this);
            txtRange->setFocus();
        };
        for (const QString &item : modGeneral::SplitList(text)) {
            if (!item.contains(QLatin1Char('-')))
                continue;
            const QStringList parts = item.split(QLatin1Char('-'));
            if (parts.size() > 2) {
                refuse(QStringLiteral("Invalid output Range"));
                return;
            }
            if (parts[0].isEmpty() || parts[1].isEmpty()) {
                refuse(QStringLiteral("Invalid output range."));
                return;
            }
            if (ToLong(parts[0]) > ToLong(parts[1])) {
                refuse(QStringLiteral("Invalid output range."));
                // The first place the item's text stands, which may lie inside a longer item.
                txtRange->setSelection(static_cast<int>(text.indexOf(item)), static_cast<int>(item.size()));
                return;
            }
        }
        result = true;
    });
    return result;
}

// ---- output name and folder --------------------------------------------------------------------

void frmSetOrder_ComPdf::txtmanualfilename_KeyPress(std::int16_t &KeyAscii)
{
    int code = KeyAscii;
    DropFileNameCharacter(*txtmanualfilename, code);
    KeyAscii = static_cast<std::int16_t>(code);
}

void frmSetOrder_ComPdf::cmdbrowse_Click() { txtOutputFolder->setText(ShowFolderSelectionDialog()); }

QString frmSetOrder_ComPdf::OutputPath() const
{
    QString name = txtmanualfilename->text();
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    if (dot >= 0)
        name.truncate(dot);
    return modGeneral::ValidateDir(txtOutputFolder->text()) + name + QStringLiteral(".pdf");
}

bool frmSetOrder_ComPdf::ValidateInput()
{
    bool result = false;
    Guarded("ValidateInput", Unit::frmSetOrder_ComPdf, [&] {
        auto tell = [this](const QString &message) {
            MsgBox(message, MsgButtons::OK, MsgIcon::Information, QString(), this);
        };
        if (txtmanualfilename->text().isEmpty()) {
            tell(QStringLiteral("Please provide valid file name."));
            return;
        }
        const QString folder = txtOutputFolder->text();
        const QString path = OutputPath();
        // An empty folder box names no folder at all: the path would point at the file-system root.
        if (!folder.isEmpty() && modGeneral::IsFileExist(path)) {
            result = MsgBox(path + QStringLiteral(" Already exists. Do you Wants to Replace it?"), MsgButtons::YesNo,
                            MsgIcon::None, ProgramTitle(), this)
                     == MsgResult::Yes;
            return;
        }
        if (folder.isEmpty()) {
            tell(QStringLiteral("Invalid Output Folder Path"));
            return;
        }
        if (!modGeneral::IsFolderExist(folder)) {
            tell(QStringLiteral("Please enter Valid folder Name"));
            return;
        }
        result = true;
    });
    return result;
}

// ---- order moves and grid input ----------------------------------------------------------------

void frmSetOrder_ComPdf::cmdUp_Click()
{
    Guarded("cmdUp_Click", Unit::frmSetOrder_ComPdf, [this] {
        DataGrid &grid = *vsFilesSetOrder;
        const GridSelection block = grid.GetSelection();
        if (block.row1 <= 1)
            return;
        for (int r = block.row1; r <= block.row2; ++r)
            grid.setRowPosition(r, r - 1);
        grid.Select(block.row1 - 1, block.col1, block.row2 - 1, block.col2);
    });
}

void frmSetOrder_ComPdf::cmdDown_Click()
{
    Guarded("cmdDown_Click", Unit::frmSetOrder_ComPdf, [this] {
        DataGrid &grid = *vsFilesSetOrder;
        const GridSelection block = grid.GetSelection();
        if (block.row1 < 1 || block.row2 >= grid.Rows() - 1)
            return;
        for (int r = block.row2; r >= block.row1; --r)
            grid.setRowPosition(r, r + 1);
        grid.Select(block.row1 + 1, block.col1, block.row2 + 1, block.col2);
    });
}

void frmSetOrder_ComPdf::vsFilesSetOrder_MouseDown(std::int16_t Button, std::int16_t, float, float)
{
    Guarded("vsFilesSetOrder_MouseDown", Unit::frmSetOrder_ComPdf, [&] { OpenCurrentCellTo(Button); });
}

void frmSetOrder_ComPdf::vsFilesSetOrder_KeyDown(std::int16_t KeyCode, std::int16_t)
{
    Guarded("vsFilesSetOrder_KeyDown", Unit::frmSetOrder_ComPdf, [&] {
        if (KeyCode == 32)
            FlipSelectedChecks();
    });
}

// ---- the run -----------------------------------------------------------------------------------

void frmSetOrder_ComPdf::SetProgressValue(std::int32_t value) { ProgressBar1->setValue(value); }

void frmSetOrder_ComPdf::cmdOk_Click()
{
    Guarded("cmdOk_Click", Unit::frmSetOrder_ComPdf, [this] {
        DataGrid &grid = *vsFilesSetOrder;
        const int selection = ColumnOf(ColumnKey::Selection);
        bool anyChecked = false;
        for (int r = 1; r < grid.Rows() && !anyChecked; ++r)
            anyChecked = IsChecked(r, selection);
        if (!anyChecked) {
            MsgBox(QStringLiteral("Please select files."), MsgButtons::OK, MsgIcon::Information, QString(), this);
            return;
        }
        if (!ValidateInput())
            return;
        {
            const RunControls controls(*this, {cmdOk, cmdUp, cmdDown}, RunControls::Hourglass::OverDialog);
            const int pages = ColumnOf(ColumnKey::Pages), range = RangeCol();
            // Each run hands over exactly the rows checked now, not those of an earlier attempt.
            commands_.colOrderedData.clear();
            for (int r = 1; r < grid.Rows(); ++r) {
                if (!IsChecked(r, selection))
                    continue;
                clsColSetOrderGrid record = modDocOps::RecordOfRow(grid, r);
                record.PageCount = ToLong(grid.TextMatrix(r, pages));
                record.Range = grid.TextMatrix(r, range).replace(QLatin1Char(','), QLatin1Char(';'));
                commands_.colOrderedData.push_back(record);
            }
            const QString path = OutputPath();
            commands_.FileNameToSave = path;
            StartProgress(static_cast<int>(commands_.colOrderedData.size()));

            const bool combined = WhileRunning([this] {
                commands_.SetProgress(this);
                const bool written = commands_.CombineOrderPdf();
                commands_.SetProgress(nullptr);
                return written;
            });
            // Closed during the run: the run has stopped without output and the close has already
            // written the remembered options; nothing is left to report.
            if (ClosedDuringRun())
                return;

            Settings &settings = Store();
            if (combined) {
                MsgBox(QStringLiteral("Successfully combined pdf files."), MsgButtons::OK, MsgIcon::Information,
                       QString(), this);
                settings.setIsOpenFileAftCombPDF(StateOf(ChkOpenFileAftCombPDF));
                if (ChkOpenFileAftCombPDF->isChecked() && modGeneral::IsFileExist(path))
                    modGeneral::ExecuteFile(QStringLiteral("Open"), path, QString(), QString(), 1);
            } else {
                MsgBox(QStringLiteral("Error: in combining files"), MsgButtons::OK, MsgIcon::Information, QString(),
                       this);
            }
            settings.setIsDefaultPathCombPDF(StateOf(ChkDefaultPathCombPDF));
            settings.setDefaultPathCombPDF(ChkDefaultPathCombPDF->isChecked() ? txtOutputFolder->text() : QString());
        }
        accept();
    });
}

void frmSetOrder_ComPdf::cmdCancel_Click() { reject(); }

void frmSetOrder_ComPdf::Form_Unload()
{
    if (Running()) {
        // The run looks for its receiver after every document and stops there; this dialog stays
        // alive until the run has returned to cmdOk_Click.
        commands_.SetProgress(nullptr);
        commands_.CancelRun();
    }
    Guarded("Form_Unload", Unit::frmSetOrder_ComPdf, [this] { SaveRememberedOptions(); });
}

// ---- typed characters --------------------------------------------------------------------------

bool frmSetOrder_ComPdf::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::KeyPress && (watched == txtRange || watched == txtmanualfilename))
        return filterKeyPress(static_cast<QLineEdit *>(watched), event);
    return QDialog::eventFilter(watched, event);
}

bool frmSetOrder_ComPdf::filterKeyPress(QLineEdit *box, QEvent *event)
{
    const std::optional<int> typed = KeyCodes::TypedCharacter(*static_cast<QKeyEvent *>(event));
    if (!typed)
        return false;
    auto code = static_cast<std::int16_t>(*typed);
    if (box == txtRange)
        txtRange_KeyPress(code);
    else
        txtmanualfilename_KeyPress(code);
    return code == 0;
}

}  // namespace folvane
