#include "docops/frmAppendPdfFile.h"

#include "app/ErrorLog.h"
#include "app/GridColumns.h"
#include "app/ProgramState.h"
#include "app/Settings.h"
#include "app/frmErrorReportDialog.h"
#include "app/modGeneral.h"
#include "docops/TiffPdfCommands.h"
#include "docops/modDocOps.h"
#include "platform/CommonDialog.h"
#include "platform/DataGrid.h"
#include "platform/KeyCodes.h"
#include "platform/MsgBox.h"
#include "platform/PageCounters.h"

#include <QApplication>
#include <QCheckBox>
#include <QFileInfo>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QScopeGuard>
#include <QTableView>
#include <QVBoxLayout>

#include <cmath>
#include <set>
#include <utility>

namespace folvane {

namespace {

const QString kCrLf = QStringLiteral("\r\n");
constexpr int RangeWidthTwips = 250;

frmAppendPdfFile::ReportPresenter &reportPresenter()
{
    static frmAppendPdfFile::ReportPresenter presenter;
    return presenter;
}

void Inform(const QString &text) { MsgBox(text, MsgButtons::OK, MsgIcon::Information, ProgramTitle()); }

PdfPageCounter &PdfCounter()
{
    Require(State().PdfCounter != nullptr, ErrNo::ObjectNotSet,
            QStringLiteral("Object variable or With block variable not set"));
    return *State().PdfCounter;
}

bool IsPdfExtension(const QString &path)
{
    return !path.isEmpty() && modGeneral::GetFileExt(path).compare(QLatin1String("pdf"), Qt::CaseInsensitive) == 0;
}

/// The text up to, not including, its last "."; the whole text when it has none.
QString UpToLastDot(const QString &text)
{
    const qsizetype dot = text.lastIndexOf(QLatin1Char('.'));
    return dot < 0 ? text : text.left(dot);
}

/// The number a range part spells; a part that spells none is a type mismatch, as in a conversion.
double PartNumber(const QString &part)
{
    const std::optional<double> number = modGeneral::TextToNumber(part);
    Require(number.has_value(), ErrNo::TypeMismatch, QStringLiteral("Type mismatch"));
    return *number;
}

QStringList RangeParts(const QString &range)
{
    return range.isEmpty() ? QStringList() : range.split(QLatin1Char('-'));
}

/// The character code a key press types, or -1 for a key that types none (arrows, Delete, Tab)
/// and for a shortcut, so Ctrl+V still pastes.
int KeyAsciiOf(const QKeyEvent &event)
{
    const Qt::KeyboardModifiers shortcut = Qt::ControlModifier | Qt::MetaModifier | Qt::AltModifier;
    if (event.key() != Qt::Key_Backspace && (event.modifiers() & shortcut))
        return -1;
    return KeyCodes::TypedCharacter(event).value_or(-1);
}

}  // namespace

frmAppendPdfFile::frmAppendPdfFile(QWidget *parent)
    : DocumentListDialog(Unit::frmAppendPdfFile, RangeWidthTwips, parent)
{
    setWindowTitle(QStringLiteral("Append pdf file"));

    fraSetOrder = new QGroupBox(QStringLiteral("1 Selected files"), this);
    vsFilesSetOrder = new DataGrid(fraSetOrder);
    (new QVBoxLayout(fraSetOrder))->addWidget(vsFilesSetOrder);

    Frame1 = new QGroupBox(QStringLiteral("2 File to Append "), this);
    Label1 = new QLabel(QStringLiteral("Select &file to append:"), Frame1);
    txtAppendFile = new QLineEdit(Frame1);
    cmdbrowse = new QPushButton(QStringLiteral("..."), Frame1);
    Label2 = new QLabel(QStringLiteral("Add &range"), Frame1);
    txtRange = new QLineEdit(Frame1);
    cmdAddRange = new QPushButton(QStringLiteral("A&dd"), Frame1);
    Frame5 = new QGroupBox(QStringLiteral("Append or Add"), Frame1);
    OptAtStart = new QRadioButton(QStringLiteral("At &Start of file"), Frame5);
    OptAtEnd = new QRadioButton(QStringLiteral("At &end of file"), Frame5);
    Label1->setBuddy(txtAppendFile);
    Label2->setBuddy(txtRange);
    cmdbrowse->setFixedWidth(32);
    auto *where = new QHBoxLayout(Frame5);
    where->addWidget(OptAtStart);
    where->addWidget(OptAtEnd);
    where->addStretch();
    auto *appendLayout = new QGridLayout(Frame1);
    appendLayout->addWidget(Label1, 0, 0);
    appendLayout->addWidget(txtAppendFile, 0, 1);
    appendLayout->addWidget(cmdbrowse, 0, 2);
    appendLayout->addWidget(Label2, 1, 0);
    appendLayout->addWidget(txtRange, 1, 1);
    appendLayout->addWidget(cmdAddRange, 1, 2);
    appendLayout->addWidget(Frame5, 2, 0, 1, 3);

    Frame2 = new QGroupBox(QStringLiteral("3 File Name Pattern"), this);
    optBasename = new QRadioButton(Frame2);
    lblbasename = new QLabel(QStringLiteral("&Basename"), Frame2);
    optmanual = new QRadioButton(Frame2);
    txtmanualfilename = new QLineEdit(Frame2);
    Label10 = new QLabel(QStringLiteral("+ Se&parator"), Frame2);
    txtseparator = new QLineEdit(Frame2);
    lblpageno = new QLabel(QStringLiteral("+ Pageno"), Frame2);
    lblbasename->setBuddy(optBasename);
    Label10->setBuddy(txtseparator);
    txtmanualfilename->setMinimumWidth(120);
    txtseparator->setMaximumWidth(48);
    auto *nameLayout = new QGridLayout(Frame2);
    nameLayout->addWidget(optBasename, 0, 0);
    nameLayout->addWidget(lblbasename, 0, 1, 1, 4);
    nameLayout->addWidget(optmanual, 1, 0);
    nameLayout->addWidget(txtmanualfilename, 1, 1);
    nameLayout->addWidget(Label10, 1, 2);
    nameLayout->addWidget(txtseparator, 1, 3);
    nameLayout->addWidget(lblpageno, 1, 4);
    nameLayout->setColumnStretch(1, 1);
    nameLayout->setRowStretch(2, 1);

    FraFileopen = new QGroupBox(QStringLiteral("4 O&utput"), this);
    txtOutputFolder = new QLineEdit(FraFileopen);
    cmdBrowseFolder = new QPushButton(QStringLiteral("..."), FraFileopen);
    ChkDefaultPathAppPdf = new QCheckBox(QStringLiteral("Set defa&ult output folder name "), FraFileopen);
    ChkOpenFolderAppPdf = new QCheckBox(QStringLiteral("&Open folder after appending"), FraFileopen);
    chkReplacePdfInfoUpdate = new QCheckBox(QStringLiteral("Replace e&xisting file"), FraFileopen);
    cmdBrowseFolder->setFixedWidth(32);
    auto *outputLayout = new QGridLayout(FraFileopen);
    outputLayout->addWidget(txtOutputFolder, 0, 0, 1, 3);
    outputLayout->addWidget(cmdBrowseFolder, 0, 3);
    outputLayout->addWidget(ChkDefaultPathAppPdf, 1, 0);
    outputLayout->addWidget(ChkOpenFolderAppPdf, 1, 1);
    outputLayout->addWidget(chkReplacePdfInfoUpdate, 1, 2);

    MakeProgressFrame();

    Frame4 = new QGroupBox(this);
    cmdAppend = new QPushButton(QStringLiteral("&Append"), Frame4);
    cmdCancel = new QPushButton(QStringLiteral("&Cancel"), Frame4);
    auto *buttons = new QHBoxLayout(Frame4);
    buttons->addStretch();
    buttons->addWidget(cmdAppend);
    buttons->addWidget(cmdCancel);

    auto *options = new QHBoxLayout;
    options->addWidget(Frame1, 3);
    options->addWidget(Frame2, 2);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(fraSetOrder, 1);
    layout->addLayout(options);
    layout->addWidget(FraFileopen);
    layout->addWidget(Frame3);
    layout->addWidget(Frame4);
    resize(780, 600);

    // The Range column is narrow by its set-up; it takes the width the other columns leave.
    vsFilesSetOrder->view()->horizontalHeader()->setStretchLastSection(true);

    for (QLineEdit *box : {txtRange, txtmanualfilename, txtseparator})
        box->installEventFilter(this);
    // Enter in a box must not press a button the user did not choose.
    modDocOps::UseNoDefaultButton(*this);

    connect(cmdbrowse, &QPushButton::clicked, this, &frmAppendPdfFile::cmdbrowse_Click);
    connect(cmdAddRange, &QPushButton::clicked, this, &frmAppendPdfFile::cmdAddRange_Click);
    connect(cmdBrowseFolder, &QPushButton::clicked, this, &frmAppendPdfFile::cmdBrowseFolder_Click);
    connect(cmdAppend, &QPushButton::clicked, this, &frmAppendPdfFile::cmdAppend_Click);
    connect(cmdCancel, &QPushButton::clicked, this, &frmAppendPdfFile::cmdCancel_Click);
    connect(optBasename, &QRadioButton::clicked, this, &frmAppendPdfFile::optBasename_Click);
    connect(optmanual, &QRadioButton::clicked, this, &frmAppendPdfFile::optmanual_Click);
    connect(vsFilesSetOrder, &DataGrid::MouseDown, this, &frmAppendPdfFile::vsFilesSetOrder_MouseDown);
    connect(vsFilesSetOrder, &DataGrid::KeyDown, this, [this](int &keyCode, int shift) {
        vsFilesSetOrder_KeyDown(keyCode, shift);
        // The handler has toggled the selected rows; the table must not toggle the current cell again.
        if (keyCode == 32)
            keyCode = 0;
    });
}

frmAppendPdfFile::~frmAppendPdfFile() = default;

void frmAppendPdfFile::SetReportPresenter(ReportPresenter presenter) { reportPresenter() = std::move(presenter); }

bool frmAppendPdfFile::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::KeyPress) {
        const int code = KeyAsciiOf(*static_cast<QKeyEvent *>(event));
        if (code >= 0) {
            int keyAscii = code;
            if (watched == txtRange)
                txtRange_KeyPress(keyAscii);
            else if (watched == txtmanualfilename)
                txtmanualfilename_KeyPress(keyAscii);
            else if (watched == txtseparator)
                txtseparator_KeyPress(keyAscii);
            if (keyAscii == 0)
                return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

// ---- opening and closing ------------------------------------------------------------------------

void frmAppendPdfFile::Form_Load()
{
    loaded_ = true;
    Guarded("Form_Load", Unit::frmAppendPdfFile, [this] {
        InitFiles();
        FillGrid();
        optBasename->setChecked(true);
        optBasename_Click();
        OptAtEnd->setChecked(true);
        LoadRememberedOptions();
    });
}

void frmAppendPdfFile::Form_Unload()
{
    Guarded("Form_Unload", Unit::frmAppendPdfFile, [this] { SaveRememberedOptions(); });
}

DocumentListDialog::RememberedOptions frmAppendPdfFile::Remembered() const
{
    return {ChkDefaultPathAppPdf,
            {&Settings::IsDefaultPathAppPDf, &Settings::setIsDefaultPathAppPDf},
            {&Settings::DefaultPathAppPDf, &Settings::setDefaultPathAppPDf},
            ChkOpenFolderAppPdf,
            {&Settings::IsOpenFolderAppPDf, &Settings::setIsOpenFolderAppPDf}};
}

void frmAppendPdfFile::cmdCancel_Click() { done(QDialog::Rejected); }

// ---- grid ---------------------------------------------------------------------------------------

void frmAppendPdfFile::vsFilesSetOrder_MouseDown(int Button, int, float, float)
{
    Guarded("vsFilesSetOrder_MouseDown", Unit::frmAppendPdfFile, [&] { OpenCurrentCellTo(Button); });
}

void frmAppendPdfFile::vsFilesSetOrder_KeyDown(int KeyCode, int)
{
    Guarded("vsFilesSetOrder_KeyDown", Unit::frmAppendPdfFile, [&] {
        if (KeyCode == 32)
            FlipSelectedChecks();
    });
}

// ---- append file, range and Add -----------------------------------------------------------------

QString frmAppendPdfFile::ShowOpenFileDialog(const QString &filter)
{
    CommonDialog::OpenRequest request;
    request.title = QStringLiteral("Open File");
    request.filter = filter;
    request.filterIndex = 1;
    const QString chosen = CommonDialog::ShowOpen(request, this);
    return chosen.isEmpty() ? txtAppendFile->text() : chosen;
}

void frmAppendPdfFile::cmdbrowse_Click()
{
    Guarded("cmdBrowse_Click", Unit::frmAppendPdfFile, [this] {
        txtAppendFile->setText(ShowOpenFileDialog(QStringLiteral("PDF Files (*.pdf)|*.pdf")));
        const QString path = txtAppendFile->text();
        if (path.isEmpty() || !modGeneral::IsFileExist(path))
            return;
        if (!IsPdfExtension(path)) {
            Inform(QStringLiteral("Invalid file type."));
            txtAppendFile->clear();
            return;
        }
        const BusyPointer busy;
        appendFilePageCount_ = PdfCounter().PageCount(path);
        if (appendFilePageCount_ < 1) {
            Inform(QStringLiteral("file is corrupted or no page found."));
            txtAppendFile->clear();
        }
    });
}

void frmAppendPdfFile::txtRange_KeyPress(int &KeyAscii)
{
    if (!modDocOps::IsDigitOrBackspace(KeyAscii) && KeyAscii != 45)
        KeyAscii = 0;
}

void frmAppendPdfFile::cmdAddRange_Click()
{
    Guarded("cmdAddRange_Click", Unit::frmAppendPdfFile, [this] {
        if (ValidateRange())
            CopyRangeToCheckedRows(txtRange->text());
    });
}

bool frmAppendPdfFile::ValidateRange()
{
    bool result = false;
    Guarded("ValidateRange", Unit::frmAppendPdfFile, [&] {
        const QString path = txtAppendFile->text();
        if (path.isEmpty() || !modGeneral::IsFileExist(path)) {
            Inform(QStringLiteral("Specified file not exists or invalid filename."));
            txtAppendFile->setFocus();
            return;
        }
        const QStringList parts = RangeParts(txtRange->text());
        if (appendFilePageCount_ < 1) {
            appendFilePageCount_ = PdfCounter().PageCount(path);
            if (appendFilePageCount_ < 1) {
                txtAppendFile->setFocus();
                return;
            }
        }
        if (parts.size() > 2) {
            Inform(QStringLiteral("Invalid range"));
            return;
        }
        for (const QString &part : parts) {
            if (part.isEmpty() || PartNumber(part) > appendFilePageCount_) {
                Inform(QStringLiteral("Invalid range"));
                return;
            }
        }
        result = true;
    });
    return result;
}

bool frmAppendPdfFile::ValidateGridRange(const QString &range)
{
    bool result = false;
    Guarded("ValidateGridRange", Unit::frmAppendPdfFile, [&] {
        const QStringList parts = RangeParts(range);
        if (appendFilePageCount_ < 1 || parts.size() > 2)
            return;
        for (const QString &part : parts)
            if (PartNumber(part) > appendFilePageCount_)
                return;
        result = true;
    });
    return result;
}

bool frmAppendPdfFile::CheckGridRangeCol()
{
    bool result = false;
    Guarded("CheckGridRangeCol", Unit::frmAppendPdfFile, [&] {
        DataGrid &grid = *vsFilesSetOrder;
        const int rangeCol = RangeCol();
        const int nameCol = ColumnOf(ColumnKey::Name);
        bool valid = true;
        for (int r = 1; r < grid.Rows(); ++r) {
            if (!ValidateGridRange(grid.TextMatrix(r, rangeCol))) {
                grid.setCell(flexcpForeColor, r, rangeCol, QStringLiteral("255"));
                valid = false;
            } else {
                grid.setCell(flexcpForeColor, r, rangeCol, grid.Cell(flexcpForeColor, r, nameCol));
            }
        }
        if (!valid)
            Inform(QStringLiteral("Invalid range entered."));
        result = valid;
    });
    return result;
}

// ---- names and output folder --------------------------------------------------------------------

void frmAppendPdfFile::optBasename_Click()
{
    txtmanualfilename->setEnabled(false);
    txtseparator->setEnabled(false);
}

void frmAppendPdfFile::optmanual_Click()
{
    txtmanualfilename->setEnabled(true);
    txtseparator->setEnabled(true);
}

void frmAppendPdfFile::txtmanualfilename_KeyPress(int &KeyAscii)
{
    DropFileNameCharacter(*txtmanualfilename, KeyAscii);
}

void frmAppendPdfFile::txtseparator_KeyPress(int &KeyAscii) { DropFileNameCharacter(*txtseparator, KeyAscii); }

QString frmAppendPdfFile::OutputFileName(int row) const
{
    const QString folder = modGeneral::ValidateDir(txtOutputFolder->text());
    const QString number = QString::number(row);
    if (optBasename->isChecked())
        return folder + UpToLastDot(vsFilesSetOrder->TextMatrix(row, ColumnOf(ColumnKey::Name))) + QLatin1Char('_')
               + number + QStringLiteral(".pdf");
    return folder + UpToLastDot(txtmanualfilename->text()) + txtseparator->text() + number + QStringLiteral(".pdf");
}

void frmAppendPdfFile::cmdBrowseFolder_Click() { txtOutputFolder->setText(ShowFolderSelectionDialog()); }

// ---- the run ------------------------------------------------------------------------------------

bool frmAppendPdfFile::ValidateInput()
{
    bool result = false;
    Guarded("ValidateInput", Unit::frmAppendPdfFile, [&] {
        const QString path = txtAppendFile->text();
        if (!IsPdfExtension(path)) {
            Inform(QStringLiteral("Specifiled file formate is not valid."));
            txtAppendFile->setFocus();
            return;
        }
        if (!modGeneral::IsFileExist(path)) {
            Inform(QStringLiteral("Specified file not exists or invalid filename."));
            txtAppendFile->setFocus();
            return;
        }
        if (txtOutputFolder->text().isEmpty()) {
            Inform(QStringLiteral("Invalid Output Folder Path"));
            txtOutputFolder->setFocus();
            return;
        }
        if (!modGeneral::IsFolderExist(txtOutputFolder->text())) {
            Inform(QStringLiteral("Please enter Valid folder Name"));
            txtOutputFolder->setFocus();
            return;
        }
        result = true;
    });
    return result;
}

void frmAppendPdfFile::cmdAppend_Click()
{
    Guarded("cmdAppend_Click", Unit::frmAppendPdfFile, [this] {
        if (!ValidateInput() || !CheckGridRangeCol())
            return;
        bool finished = false;
        {
            const RunControls controls(*this, {cmdAppend}, RunControls::Hourglass::Everywhere);
            // The bar is empty again after every run, also after one that fails.
            const auto emptyBar = qScopeGuard([this] { ProgressBar1->setValue(0); });
            StartProgress(vsFilesSetOrder->Rows() - 1);

            QString failures;
            finished = WhileRunning([&] { return RunRows(failures); });
            if (finished)
                SaveRememberedOptions();
            if (!failures.isEmpty()) {
                auto report = std::make_unique<frmErrorReportDialog>();
                report->AddError(QStringLiteral("Folvane Error"),
                                 QStringLiteral("Following file(s) couldn't combined"), failures);
                if (reportPresenter())
                    reportPresenter()(*report);
                else
                    report->exec();
            } else if (finished) {
                Inform(QStringLiteral("Successfully appended file."));
            }
            if (finished && ChkOpenFolderAppPdf->isChecked())
                modGeneral::ExecuteFile(QStringLiteral("Explore"), txtOutputFolder->text(), QString(), QString(), 1);
        }
        if (finished)
            done(QDialog::Accepted);
    });
}

bool frmAppendPdfFile::RunRows(QString &failures)
{
    DataGrid &grid = *vsFilesSetOrder;
    const int lastRow = grid.Rows() - 1;
    auto sourceOf = [&grid](int row) {
        return modGeneral::ValidateDir(grid.TextMatrix(row, ColumnOf(ColumnKey::Location)))
               + grid.TextMatrix(row, ColumnOf(ColumnKey::Name));
    };
    // Every file the run reads; a new file may never take the place of one of them.
    std::set<QString> inputs;
    for (int row = 1; row <= lastRow; ++row)
        inputs.insert(QFileInfo(sourceOf(row)).canonicalFilePath());
    inputs.erase(QString());

    for (int i = 1; i <= lastRow; ++i) {
        QCoreApplication::processEvents();
        if (ClosedDuringRun())
            return false;
        const QString source = sourceOf(i);
        const QString output = OutputFileName(i);
        const QString appendPath = txtAppendFile->text();
        const QString existing = QFileInfo(output).canonicalFilePath();
        if (!existing.isEmpty()
            && (inputs.count(existing) != 0 || existing == QFileInfo(source).canonicalFilePath()
                || existing == QFileInfo(appendPath).canonicalFilePath())) {
            LogError(FormatErrorLine(ErrNo::FileAlreadyExists,
                                     output + QStringLiteral(" is read by this run and was not replaced"),
                                     "cmdAppend_Click", __LINE__, Unit::frmAppendPdfFile));
            failures += source + kCrLf;
            ProgressBar1->setValue(ProgressBar1->value() + 1);
            continue;
        }
        if (!chkReplacePdfInfoUpdate->isChecked() && modGeneral::IsFileExist(output)
            && MsgBox(output + QStringLiteral(" Already exists. Do you Wants to Replace it?"), MsgButtons::YesNo,
                      MsgIcon::None, ProgramTitle())
                   == MsgResult::No) {
            ProgressBar1->setValue(ProgressBar1->value() + 1);
            continue;
        }
        QString range = grid.TextMatrix(i, RangeCol());
        if (const std::optional<double> number = modGeneral::TextToNumber(range); number && std::floor(*number) < 1)
            range.clear();
        if (!commands_)
            commands_ = std::make_unique<TiffPdfCommands>();
        const bool merged =
            OptAtEnd->isChecked()
                ? commands_->AppendPdfFile(source, appendPath, range, output)
                : commands_->AppendPdfFile(appendPath, source, range, output,
                                           TiffPdfCommands::RangeGoesTo::FirstDocument);
        if (!merged)
            failures += source + kCrLf;
        ProgressBar1->setValue(ProgressBar1->value() + 1);
    }
    return true;
}

}  // namespace folvane
