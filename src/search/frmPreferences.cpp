#include "search/frmPreferences.h"

#include "app/ErrorLog.h"
#include "app/GridColumns.h"
#include "app/ProgramState.h"
#include "app/Settings.h"
#include "app/modGeneral.h"
#include "platform/CommonDialog.h"
#include "platform/DataGrid.h"

#include <QAbstractItemModel>
#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTableView>
#include <QVBoxLayout>

#include <limits>

namespace folvane {

namespace {
constexpr int kColSr = 0;
constexpr int kColName = 1;
constexpr int kColVisible = 2;
constexpr int kColWidth = 3;

/// A typed width as whole twips: a number is rounded (halves to the even neighbour) and taken when the
/// result is a width the grid can have, 0 to 32767; anything else leaves the old width (empty here).
std::optional<QString> AcceptedWidth(const QString &text)
{
    const std::optional<double> n = modGeneral::TextToNumber(text);
    if (!n)
        return std::nullopt;
    // Rounded first, so -0.4 is 0 twips like 0.4, and 32767.4 is 32767.
    const double whole = modGeneral::RoundHalfEven(*n);
    if (whole < 0 || whole > std::numeric_limits<std::int16_t>::max())
        return std::nullopt;
    return QString::number(static_cast<int>(whole));
}

QLineEdit *textBox(QWidget *parent)
{
    auto *box = new QLineEdit(parent);
    box->setMaxLength(1000);
    return box;
}
}  // namespace

frmPreferences::frmPreferences(QWidget *parent)
    : QDialog(parent),
      tabPreferences(new QTabWidget(this)),
      cmdSetDefault(new QPushButton(QStringLiteral("Set De&fault"), this)),
      cmdOk(new QPushButton(QStringLiteral("&Save"), this)),
      cmdCancel(new QPushButton(QStringLiteral("&Cancel"), this))
{
    setObjectName(QStringLiteral("frmPreferences"));
    setWindowTitle(QStringLiteral("Set Preferences"));

    // Tab "Grid".
    auto *gridTab = new QWidget;
    fraColumnSettings = new QGroupBox(QStringLiteral("Column Settings"), gridTab);
    vsColumnSettings = new DataGrid(fraColumnSettings);
    vsColumnSettings->setObjectName(QStringLiteral("vsColumnSettings"));
    cmdSelectAll = new QPushButton(QStringLiteral("Select A&ll"), fraColumnSettings);
    cmdDeselectAll = new QPushButton(QStringLiteral("&Deselect All"), fraColumnSettings);
    cmdInvertSelection = new QPushButton(QStringLiteral("&Invert Selection"), fraColumnSettings);
    chkLastGridColWidth = new QCheckBox(QStringLiteral("Apply last columns widt&h"), fraColumnSettings);
    chkSortbyNumeric = new QCheckBox(QStringLiteral("Allow &numeric sorting in filename"), fraColumnSettings);
    auto *columnButtons = new QVBoxLayout;
    columnButtons->addWidget(cmdSelectAll);
    columnButtons->addWidget(cmdDeselectAll);
    columnButtons->addWidget(cmdInvertSelection);
    columnButtons->addStretch();
    auto *columnLayout = new QGridLayout(fraColumnSettings);
    columnLayout->addWidget(vsColumnSettings, 0, 0);
    columnLayout->addLayout(columnButtons, 0, 1);
    columnLayout->addWidget(chkLastGridColWidth, 1, 0, 1, 2);
    columnLayout->addWidget(chkSortbyNumeric, 2, 0, 1, 2);
    auto *gridTabLayout = new QVBoxLayout(gridTab);
    gridTabLayout->addWidget(fraColumnSettings);
    tabPreferences->addTab(gridTab, QStringLiteral("Grid"));

    // Tab "General".
    auto *generalTab = new QWidget;
    fraProgram = new QGroupBox(QStringLiteral("General Settings"), generalTab);
    lblStartupFolder = new QLabel(QStringLiteral("Sta&rtup Folder"), fraProgram);
    txtStartUpFolder = textBox(fraProgram);
    cmdStartupFolder = new QPushButton(QStringLiteral("..."), fraProgram);
    cmdStartupFolder->setMaximumWidth(32);
    lblStartupFolder->setBuddy(txtStartUpFolder);
    auto *programLayout = new QHBoxLayout(fraProgram);
    programLayout->addWidget(lblStartupFolder);
    programLayout->addWidget(txtStartUpFolder, 1);
    programLayout->addWidget(cmdStartupFolder);

    fraWindowState = new QGroupBox(QStringLiteral("Window State"), generalTab);
    chkDefaultWindowState = new QCheckBox(QStringLiteral("Default &Window State"), fraWindowState);
    cmbDefaultWindowState = new QComboBox(fraWindowState);
    auto *windowLayout = new QHBoxLayout(fraWindowState);
    windowLayout->addWidget(chkDefaultWindowState);
    windowLayout->addWidget(cmbDefaultWindowState, 1);

    Frame1 = new QGroupBox(QStringLiteral("PDF Security"), generalTab);
    Label2 = new QLabel(QStringLiteral("&Owner Password:"), Frame1);
    txtOwnerPass = textBox(Frame1);
    Label1 = new QLabel(QStringLiteral("&User Password:"), Frame1);
    txtUserpass = textBox(Frame1);
    Label2->setBuddy(txtOwnerPass);
    Label1->setBuddy(txtUserpass);
    auto *securityLayout = new QGridLayout(Frame1);
    securityLayout->addWidget(Label2, 0, 0);
    securityLayout->addWidget(txtOwnerPass, 0, 1);
    securityLayout->addWidget(Label1, 1, 0);
    securityLayout->addWidget(txtUserpass, 1, 1);

    auto *generalLayout = new QVBoxLayout(generalTab);
    generalLayout->addWidget(fraProgram);
    generalLayout->addWidget(fraWindowState);
    generalLayout->addWidget(Frame1);
    generalLayout->addStretch();
    tabPreferences->addTab(generalTab, QStringLiteral("General"));

    cmdOk->setDefault(true);
    auto *buttons = new QHBoxLayout;
    buttons->addWidget(cmdSetDefault);
    buttons->addStretch();
    buttons->addWidget(cmdOk);
    buttons->addWidget(cmdCancel);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(tabPreferences);
    layout->addLayout(buttons);
    resize(520, 400);

    connect(cmdSetDefault, &QPushButton::clicked, this, [this] { cmdSetDefault_Click(); });
    connect(cmdOk, &QPushButton::clicked, this, [this] { cmdOk_Click(); });
    connect(cmdCancel, &QPushButton::clicked, this, [this] { cmdCancel_Click(); });
    connect(cmdSelectAll, &QPushButton::clicked, this, [this] { cmdSelectAll_Click(); });
    connect(cmdDeselectAll, &QPushButton::clicked, this, [this] { cmdDeselectAll_Click(); });
    connect(cmdInvertSelection, &QPushButton::clicked, this, [this] { cmdInvertSelection_Click(); });
    connect(cmdStartupFolder, &QPushButton::clicked, this, [this] { cmdStartupFolder_Click(); });
    connect(chkDefaultWindowState, &QCheckBox::toggled, this, [this] { chkDefaultWindowState_Click(); });
    connect(vsColumnSettings, &DataGrid::MouseDown, this,
            [this](int button, int shift, float x, float y) {
                vsColumnSettings_MouseDown(static_cast<std::int16_t>(button), static_cast<std::int16_t>(shift), x, y);
            });
    // The rows follow the column model's order and name its columns: only a row's check box and its
    // width take edits. Keyboard editing lasts while the cursor crosses the names, since the dialog
    // opens with it on until the first mouse press.
    vsColumnSettings->setEditableCells([](int, int col) { return col == kColVisible || col == kColWidth; },
                                       false);
    connect(vsColumnSettings->view()->model(), &QAbstractItemModel::dataChanged, this, [this] {
        if (filling_)
            return;
        for (int r = 1; r < vsColumnSettings->Rows(); ++r)
            widthEdited(r);
    });

    Form_Load();
}

frmPreferences::~frmPreferences()
{
    // An open cell editor commits while the children go, after this object's members are gone.
    vsColumnSettings->view()->model()->disconnect(this);
}

void frmPreferences::Form_Load()
{
    FillComboBox();
    IsPreferanceChange = false;
    LoadPreferenceControls();
    InitColumnSettings();
}

void frmPreferences::FillComboBox()
{
    Guarded("FillComboBox", Unit::frmPreferences, [&] {
        cmbDefaultWindowState->clear();
        cmbDefaultWindowState->addItems(
            {QStringLiteral("Maximum"), QStringLiteral("Minimum"), QStringLiteral("Last Remembered Size")});
        cmbDefaultWindowState->setCurrentIndex(0);
    });
}

void frmPreferences::LoadPreferenceControls()
{
    const Settings &s = *State().objSettings;
    chkDefaultWindowState->setChecked(s.WindowStateFlag() == 1);
    chkDefaultWindowState_Click();
    // A value no entry has (only a damaged store holds one) leaves the list where it is.
    if (s.WindowStateValue() < cmbDefaultWindowState->count())
        cmbDefaultWindowState->setCurrentIndex(s.WindowStateValue());
    chkLastGridColWidth->setChecked(s.LastGridColWidthFlag() == 1);
    chkSortbyNumeric->setChecked(s.SortbyNumeric() == 1);
    txtStartUpFolder->setText(s.StartupFolder());
    txtOwnerPass->setText(s.PrefeOwnerPassword());
    txtUserpass->setText(s.PrefeUserPassword());
    tabPreferences->setCurrentIndex(0);
}

void frmPreferences::chkDefaultWindowState_Click()
{
    Guarded("chkDefaultWindowState_Click", Unit::frmPreferences, [&] {
        const bool on = chkDefaultWindowState->isChecked();
        cmbDefaultWindowState->setEnabled(on);
        const QColor back = on ? QColor(0xFF, 0xFF, 0xFF) : QColor(0xE0, 0xE0, 0xE0);
        QPalette palette = cmbDefaultWindowState->palette();
        for (const QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
            palette.setColor(group, QPalette::Base, back);
            palette.setColor(group, QPalette::Button, back);
        }
        cmbDefaultWindowState->setPalette(palette);
    });
}

void frmPreferences::InitColumnSettings()
{
    filling_ = true;
    acceptedWidths_.clear();
    Guarded("InitColumnSettings", Unit::frmPreferences, [&] {
        DataGrid &g = *vsColumnSettings;
        // The grid checks fixed counts against its size, so the size comes first.
        g.setCols(4);
        g.setRows(1);
        g.setFixedCols(1);
        g.setFixedRows(1);
        g.setEditable(1);
        g.setColDataType(kColVisible, GridDataType::Boolean);
        g.setColAlignment(kColVisible, GridAlign::CenterCenter);
        g.setColAlignment(kColSr, GridAlign::CenterCenter);
        const struct {
            int col;
            int width;
            const char *header;
        } columns[] = {{kColSr, 500, "Sr#"}, {kColName, 1500, "Column Name"}, {kColVisible, 700, "Visible"},
                       {kColWidth, 700, "WIDTH"}};
        for (const auto &c : columns) {
            g.setColWidth(c.col, c.width);
            g.setTextMatrix(0, c.col, QString::fromLatin1(c.header));
        }

        ProgramState &st = State();
        st.ColumnWidths = modGeneral::SplitList(st.objSettings->LastGridColWidth());
        st.ColumnVisible = modGeneral::SplitList(st.objSettings->ColumnVisibility());
        st.ColumnOrder = modGeneral::SplitList(st.objSettings->ColumnReOrder());

        GridColumns &model = *st.objGridColumns;
        for (int i = 1; i <= model.Count(); ++i) {
            Require(i - 1 < st.ColumnWidths.size(), ErrNo::SubscriptOutOfRange, QStringLiteral("Subscript out of range"));
            Require(modGeneral::TextToNumber(st.ColumnWidths[i - 1]).has_value(), ErrNo::TypeMismatch,
                    QStringLiteral("Type mismatch"));
            // A width no column can have keeps the column's own, as the grid keeps it.
            if (const std::optional<double> width = modGeneral::SavedColumnWidth(st.ColumnWidths[i - 1]))
                model.Item(i)->ColumnWidth = static_cast<float>(*width);
        }

        int r = 0;
        for (const GridColumns::Ptr &column : model) {
            ++r;
            g.setRows(r + 1);
            const QString width = QString::number(static_cast<double>(column->ColumnWidth), 'g', 10);
            g.setTextMatrix(r, kColSr, QString::number(r));
            g.setTextMatrix(r, kColName, column->ColumnKey);
            g.setTextMatrix(r, kColWidth, width);
            acceptedWidths_ << width;
            if (st.ColumnVisible.size() >= 2) {
                Require(r - 1 < st.ColumnVisible.size(), ErrNo::SubscriptOutOfRange,
                        QStringLiteral("Subscript out of range"));
                g.setCell(flexcpChecked, r, kColVisible,
                          st.ColumnVisible[r - 1] == QLatin1String("1") ? GridCheck::Checked : GridCheck::Unchecked);
            }
        }
    });
    filling_ = false;
}

void frmPreferences::widthEdited(int row)
{
    if (row - 1 >= acceptedWidths_.size())
        return;
    const QString typed = vsColumnSettings->TextMatrix(row, kColWidth);
    if (typed == acceptedWidths_[row - 1])
        return;
    // The stored list is read back at every start: only a whole number of twips may go into it.
    const std::optional<QString> width = AcceptedWidth(typed);
    if (width)
        acceptedWidths_[row - 1] = *width;
    filling_ = true;
    vsColumnSettings->setTextMatrix(row, kColWidth, acceptedWidths_[row - 1]);
    filling_ = false;
}

void frmPreferences::vsColumnSettings_MouseDown(std::int16_t Button, std::int16_t, float, float)
{
    Guarded("vsColumnSettings_MouseDown", Unit::frmPreferences, [&] {
        vsColumnSettings->setEditable(Button == 1 && vsColumnSettings->Col() == kColVisible ? 2 : 0);
    });
}

void frmPreferences::cmdSelectAll_Click()
{
    DataGrid &g = *vsColumnSettings;
    if (g.Rows() > 1)
        g.setCell(flexcpChecked, 1, kColVisible, g.Rows() - 1, kColVisible, GridCheck::Checked);
}

void frmPreferences::cmdDeselectAll_Click()
{
    DataGrid &g = *vsColumnSettings;
    if (g.Rows() > 1)
        g.setCell(flexcpChecked, 1, kColVisible, g.Rows() - 1, kColVisible, GridCheck::Unchecked);
}

void frmPreferences::cmdInvertSelection_Click()
{
    Guarded("cmdInvertSelection_Click", Unit::frmPreferences, [&] {
        DataGrid &g = *vsColumnSettings;
        for (int r = 1; r < g.Rows(); ++r) {
            const bool checked = g.Cell(flexcpChecked, r, kColVisible).toInt() == GridCheck::Checked;
            g.setCell(flexcpChecked, r, kColVisible, checked ? GridCheck::Unchecked : GridCheck::Checked);
        }
    });
}

void frmPreferences::cmdStartupFolder_Click() { txtStartUpFolder->setText(ShowFolderSelectionDialog()); }

QString frmPreferences::ShowFolderSelectionDialog()
{
    QString result;
    Guarded("ShowFolderSelectionDialog", Unit::frmPreferences, [&] {
        const std::optional<QString> chosen =
            CommonDialog::BrowseForFolder({QStringLiteral("Set Folder"), QString()}, this);
        result = chosen ? modMasterLayout::TrimNull(*chosen) : txtStartUpFolder->text();
    });
    return result;
}

void frmPreferences::cmdOk_Click()
{
    Guarded("cmdOk_Click", Unit::frmPreferences, [&] {
        const DataGrid &g = *vsColumnSettings;
        const int rows = g.Rows();
        QString visibility, order, widths;
        for (int r = 1; r < rows; ++r) {
            visibility += g.Cell(flexcpChecked, r, kColVisible).toInt() == GridCheck::Checked ? QStringLiteral("1,")
                                                                                               : QStringLiteral("0,");
            order += g.TextMatrix(r, kColName) + QLatin1Char(',');
            widths += g.TextMatrix(r, kColWidth) + QLatin1Char(',');
        }
        // A grid left without rows (its build failed) must not wipe the stored column lists.
        Require(rows > 1, ErrNo::InvalidProcedureCall, QStringLiteral("Invalid procedure call or argument"));
        visibility.chop(1);
        order.chop(1);
        widths.chop(1);

        ProgramState &st = State();
        Settings &s = *st.objSettings;
        s.setColumnVisibility(visibility);
        s.setColumnReOrder(order);
        s.setLastGridColWidth(widths);
        st.ColumnVisible = modGeneral::SplitList(s.ColumnVisibility());
        st.ColumnOrder = modGeneral::SplitList(s.ColumnReOrder());
        st.ColumnWidths = modGeneral::SplitList(s.LastGridColWidth());

        s.setStartupFolder(txtStartUpFolder->text());
        if (chkDefaultWindowState->isChecked()) {
            s.setWindowStateFlag(1);
            s.setWindowStateValue(static_cast<Byte>(cmbDefaultWindowState->currentIndex()));
        } else {
            s.setWindowStateFlag(0);
            s.setWindowStateValue(0);
        }
        s.setPrefeOwnerPassword(txtOwnerPass->text());
        s.setPrefeUserPassword(txtUserpass->text());
        s.setLastGridColWidthFlag(chkLastGridColWidth->isChecked() ? 1 : 0);
        s.setSortbyNumeric(chkSortbyNumeric->isChecked() ? 1 : 0);

        IsPreferanceChange = true;
        accept();
    });
}

void frmPreferences::cmdSetDefault_Click()
{
    Settings &s = *State().objSettings;
    s.LoadDefaultSettings();
    s.LoadSettings();
    // The store now holds the default order: the model takes it, so each row's default width and
    // visibility, applied by position, go with the column they belong to, and Save keeps that order.
    // The opener re-applies the model to its grid, as the flag below tells it to.
    modGeneral::LoadGridColumns();
    LoadPreferenceControls();
    InitColumnSettings();
    IsPreferanceChange = true;
}

void frmPreferences::cmdCancel_Click() { reject(); }

}  // namespace folvane
