// The main window's controls, panes and menus with their captions and initial states, and the wiring
// of their signals to the handlers.

#include "search/frmMain.h"

#include "app/cSizeMoveHelper.h"
#include "platform/DataGrid.h"
#include "platform/FolderTree.h"
#include "platform/UpDown.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QDate>
#include <QDateEdit>
#include <QDockWidget>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QRadioButton>
#include <QShortcut>
#include <QStatusBar>
#include <QVBoxLayout>

#include <utility>

namespace folvane {

namespace {
QLineEdit *numberBox(QWidget *parent, const char *name)
{
    auto *box = new QLineEdit(QStringLiteral("999"), parent);
    box->setObjectName(QString::fromLatin1(name));
    box->setMaximumWidth(80);
    return box;
}

UpDown *upDownFor(QLineEdit *box, QWidget *parent, const char *name)
{
    auto *updown = new UpDown(parent);
    updown->setObjectName(QString::fromLatin1(name));
    updown->setBuddy(box);
    updown->setRange(0, 9999999);
    return updown;
}

QDockWidget *makePane(QMainWindow *window, const QString &title, const char *name, QWidget *container)
{
    auto *pane = new QDockWidget(title, window);
    pane->setObjectName(QString::fromLatin1(name));
    pane->setFeatures(QDockWidget::DockWidgetMovable | QDockWidget::DockWidgetFloatable);
    pane->setWidget(container);
    return pane;
}
}  // namespace

frmMain::frmMain(QWidget *parent) : QMainWindow(parent)
{
    buildControls();
    wireControls();
    initFrame();
}

frmMain::~frmMain() = default;

void frmMain::buildControls()
{
    setObjectName(QStringLiteral("frmMain"));

    // Pane 1: the folder tree.
    ctlPaneFolder = new QWidget;
    ftvFolder = new FolderTree(ctlPaneFolder);
    ftvFolder->setObjectName(QStringLiteral("ftvFolder"));
    auto *folderLayout = new QVBoxLayout(ctlPaneFolder);
    folderLayout->setContentsMargins(0, 0, 0, 0);
    folderLayout->addWidget(ftvFolder);

    // Pane 3: the result grid.
    ctlPaneSearchList = new QWidget;
    grdSearchList = new DataGrid(ctlPaneSearchList);
    grdSearchList->setObjectName(QStringLiteral("grdSearchList"));
    auto *listLayout = new QVBoxLayout(ctlPaneSearchList);
    listLayout->setContentsMargins(0, 0, 0, 0);
    listLayout->addWidget(grdSearchList);

    // Pane 2: pattern list, subfolder box and the command buttons.
    ctlPaneSearch = new QWidget;
    fraTotal = new QGroupBox(ctlPaneSearch);
    lblFilter = new QLabel(QStringLiteral("F&ilter"), fraTotal);
    cboFilterPattern = new QComboBox(fraTotal);
    cboFilterPattern->setObjectName(QStringLiteral("cboFilterPattern"));
    lblFilter->setBuddy(cboFilterPattern);
    // The pattern list and its label are never shown: the program's only pattern is "*.pdf".
    lblFilter->setVisible(false);
    cboFilterPattern->setVisible(false);
    chkSearchSubFolder = new QCheckBox(QStringLiteral("Include S&ubfolder"), fraTotal);
    cmdSearch = new QPushButton(QStringLiteral("&Search"), fraTotal);
    cmdSearch->setObjectName(QStringLiteral("cmdSearch"));
    cmdExport = new QPushButton(QStringLiteral("Exp&ort"), fraTotal);
    cmdExport->setObjectName(QStringLiteral("cmdExport"));
    ChkUseAdvOpt = new QCheckBox(QStringLiteral("Use advance search options"), fraTotal);
    auto *totalLayout = new QGridLayout(fraTotal);
    totalLayout->addWidget(lblFilter, 0, 0);
    totalLayout->addWidget(cboFilterPattern, 0, 1);
    totalLayout->addWidget(chkSearchSubFolder, 1, 0, 1, 2);
    totalLayout->addWidget(ChkUseAdvOpt, 2, 0, 1, 2);
    totalLayout->addWidget(cmdSearch, 3, 0);
    totalLayout->addWidget(cmdExport, 3, 1);

    fraCommand = new QGroupBox(ctlPaneSearch);
    cmdCombinePdf = new QPushButton(QStringLiteral("Co&mbine"), fraCommand);
    cmdCombinePdf->setObjectName(QStringLiteral("cmdCombinePdf"));
    cmdAppendPDFFile = new QPushButton(QStringLiteral("&Append pdf file"), fraCommand);
    cmdAppendPDFFile->setObjectName(QStringLiteral("cmdAppendPDFFile"));
    auto *commandLayout = new QHBoxLayout(fraCommand);
    commandLayout->addWidget(cmdCombinePdf);
    commandLayout->addWidget(cmdAppendPDFFile);
    commandLayout->setAlignment(Qt::AlignTop); // the frame fills the pane's height; its buttons stay on top

    auto *searchLayout = new QVBoxLayout(ctlPaneSearch);
    searchLayout->setContentsMargins(2, 2, 2, 2);
    searchLayout->setSpacing(2);
    searchLayout->addWidget(fraTotal);
    searchLayout->addWidget(fraCommand, 1);

    // Pane 4: date and size filters.
    CtlPaneSearchOptions = new QWidget;
    fraAdvSearch = new QGroupBox(CtlPaneSearchOptions);

    chkSearchByDate = new QCheckBox(QStringLiteral("&Date"), fraAdvSearch);
    fraDate = new QGroupBox(fraAdvSearch);
    cboDateRangeType = new QComboBox(fraDate);
    optInPeriod = new QRadioButton(QStringLiteral("in the last"), fraDate);
    txtInPeriod = numberBox(fraDate, "txtInPeriod");
    updInPeriod = upDownFor(txtInPeriod, fraDate, "updInPeriod");
    cboDateInPeriod = new QComboBox(fraDate);
    optBtnPeriod = new QRadioButton(QStringLiteral("between"), fraDate);
    dtpDateFrom = new QDateEdit(QDate::currentDate(), fraDate);
    dtpDateFrom->setCalendarPopup(true);
    lblDateRangeAnd = new QLabel(QStringLiteral("and"), fraDate);
    dtpDateTo = new QDateEdit(QDate::currentDate(), fraDate);
    dtpDateTo->setCalendarPopup(true);
    auto *dateLayout = new QGridLayout(fraDate);
    dateLayout->addWidget(cboDateRangeType, 0, 0, 1, 5);
    dateLayout->addWidget(optInPeriod, 1, 0);
    dateLayout->addWidget(txtInPeriod, 1, 1);
    dateLayout->addWidget(updInPeriod, 1, 2);
    dateLayout->addWidget(cboDateInPeriod, 1, 3, 1, 2);
    dateLayout->addWidget(optBtnPeriod, 2, 0);
    dateLayout->addWidget(dtpDateFrom, 2, 1, 1, 2);
    dateLayout->addWidget(lblDateRangeAnd, 2, 3);
    dateLayout->addWidget(dtpDateTo, 2, 4);

    chkSearchBySize = new QCheckBox(QStringLiteral("Si&ze"), fraAdvSearch);
    fraSize = new QGroupBox(fraAdvSearch);
    optSizeAt = new QRadioButton(QStringLiteral("at"), fraSize);
    cboLeastMost = new QComboBox(fraSize);
    txtSizeLeastMost = numberBox(fraSize, "txtSizeLeastMost");
    updSizeLeastMost = upDownFor(txtSizeLeastMost, fraSize, "updSizeLeastMost");
    lblSizeKB1 = new QLabel(QStringLiteral("KB"), fraSize);
    optSizeBtn = new QRadioButton(QStringLiteral("between"), fraSize);
    txtSizeFrom = numberBox(fraSize, "txtSizeFrom");
    updSizeFrom = upDownFor(txtSizeFrom, fraSize, "updSizeFrom");
    lblSizeTo = new QLabel(QStringLiteral("to"), fraSize);
    txtSizeTo = numberBox(fraSize, "txtSizeTo");
    updSizeTo = upDownFor(txtSizeTo, fraSize, "updSizeTo");
    lblSizeKB2 = new QLabel(QStringLiteral("KB"), fraSize);
    auto *sizeLayout = new QGridLayout(fraSize);
    sizeLayout->addWidget(optSizeAt, 0, 0);
    sizeLayout->addWidget(cboLeastMost, 0, 1);
    sizeLayout->addWidget(txtSizeLeastMost, 0, 2);
    sizeLayout->addWidget(updSizeLeastMost, 0, 3);
    sizeLayout->addWidget(lblSizeKB1, 0, 4);
    sizeLayout->addWidget(optSizeBtn, 1, 0);
    sizeLayout->addWidget(txtSizeFrom, 1, 1);
    sizeLayout->addWidget(updSizeFrom, 1, 2);
    sizeLayout->addWidget(lblSizeTo, 1, 3);
    sizeLayout->addWidget(txtSizeTo, 1, 4);
    sizeLayout->addWidget(updSizeTo, 1, 5);
    sizeLayout->addWidget(lblSizeKB2, 1, 6);

    optBtnPeriod->setChecked(true);
    optSizeAt->setChecked(true);

    // Date and size side by side keep the tab shallow, so the fixed-depth pane leaves the grid room.
    dateLayout->setColumnStretch(5, 1);
    sizeLayout->setColumnStretch(7, 1);
    auto *advLayout = new QGridLayout(fraAdvSearch);
    advLayout->addWidget(chkSearchByDate, 0, 0);
    advLayout->addWidget(fraDate, 1, 0);
    advLayout->addWidget(chkSearchBySize, 0, 1);
    advLayout->addWidget(fraSize, 1, 1);
    advLayout->setRowStretch(2, 1);
    auto *optionsLayout = new QVBoxLayout(CtlPaneSearchOptions);
    optionsLayout->setContentsMargins(2, 2, 2, 2);
    optionsLayout->addWidget(fraAdvSearch);
    // The pane has a fixed depth that leaves the result grid its rows: the frames keep their
    // contents close.
    for (QLayout *layout : {static_cast<QLayout *>(totalLayout), static_cast<QLayout *>(commandLayout),
                            static_cast<QLayout *>(dateLayout), static_cast<QLayout *>(sizeLayout),
                            static_cast<QLayout *>(advLayout)}) {
        layout->setContentsMargins(6, 2, 6, 2);
        layout->setSpacing(2);
    }

    paneFolders = makePane(this, QStringLiteral("Folders"), "paneFolders", ctlPaneFolder);
    paneSearchList = makePane(this, QStringLiteral("Search List"), "paneSearchList", ctlPaneSearchList);
    paneOptions = makePane(this, QStringLiteral("Options"), "paneOptions", ctlPaneSearch);
    paneAdvSearch = makePane(this, QStringLiteral("Advance Search Options"), "paneAdvSearch", CtlPaneSearchOptions);

    // Status bar: the status text, the date and the time.
    sbStatusBar = new QStatusBar(this);
    sbPanelStatus = new QLabel(QStringLiteral("Status"), sbStatusBar);
    sbPanelDate = new QLabel(sbStatusBar);
    sbPanelDate->setObjectName(QStringLiteral("sbPanelDate"));
    sbPanelTime = new QLabel(sbStatusBar);
    sbPanelTime->setObjectName(QStringLiteral("sbPanelTime"));
    sbStatusBar->addWidget(sbPanelStatus, 1);
    sbStatusBar->addPermanentWidget(sbPanelDate);
    sbStatusBar->addPermanentWidget(sbPanelTime);
    setStatusBar(sbStatusBar);

    // Menus.
    mnuEdit = menuBar()->addMenu(QStringLiteral("&Edit"));
    mnupreferances = mnuEdit->addAction(QStringLiteral("&Preferances Ctr+P"));
    mnuExport = mnuEdit->addAction(QStringLiteral("&Export Ctr+E"));
    mnuEdit->addSeparator();
    mnuexit = mnuEdit->addAction(QStringLiteral("E&xit Ctl+X"));
    mnuhelp = menuBar()->addMenu(QStringLiteral("&Help"));
    mnuWebsite = mnuhelp->addAction(QStringLiteral("Visit Our &website Ctr+W"));
    mnuShowHelp = mnuhelp->addAction(QStringLiteral("&Help Ctr+H"));
    mnuhelp->addSeparator();
    mnuAbout = mnuhelp->addAction(QStringLiteral("&About..."));
    // The captions carry the key text themselves, and a menu of the menu bar always adds an
    // action's own shortcut beside its text. The keys are the window's, each triggering its item.
    const std::pair<QAction *, QKeySequence> accelerators[] = {
        {mnupreferances, QKeySequence(Qt::CTRL | Qt::Key_P)}, {mnuExport, QKeySequence(Qt::CTRL | Qt::Key_E)},
        {mnuexit, QKeySequence(Qt::CTRL | Qt::Key_X)},        {mnuWebsite, QKeySequence(Qt::CTRL | Qt::Key_W)},
        {mnuShowHelp, QKeySequence(Qt::CTRL | Qt::Key_H)},
    };
    for (const auto &[action, keys] : accelerators) {
        auto *shortcut = new QShortcut(keys, this);
        connect(shortcut, &QShortcut::activated, action, &QAction::trigger);
    }

    // The result grid's context menu; never part of the menu bar.
    mnuCtxMenu = new QMenu(QStringLiteral("Context Menu"), this);
    mnuCtxOpen = mnuCtxMenu->addAction(QStringLiteral("Open"));
    mnuCtxOpenFolder = mnuCtxMenu->addAction(QStringLiteral("Show Contaning Folder"));
    mnuCtxPrintFile = mnuCtxMenu->addAction(QStringLiteral("Print"));
    mnuCtxMenu->addSeparator();
    mnuCtxSelectAll = mnuCtxMenu->addAction(QStringLiteral("Select All Ctr+A"));
    mnuCtxInvSelect = mnuCtxMenu->addAction(QStringLiteral("Invert Selection"));
    mnuCtxDeSelectAll = mnuCtxMenu->addAction(QStringLiteral("Deselect All Ctr+D"));
    mnuCtxMenu->addSeparator();
    mnuCtxCheckSelection = mnuCtxMenu->addAction(QStringLiteral("Check Selection"));
    mnuCtxUnCheckSelection = mnuCtxMenu->addAction(QStringLiteral("UnCheck Selection"));
    mnuCtxCheckInvertSelection = mnuCtxMenu->addAction(QStringLiteral("Invert Check Selection"));
}

void frmMain::wireControls()
{
    connect(cmdSearch, &QPushButton::clicked, this, [this] { cmdSearch_Click(); });
    // The list is never shown: its click is the program selecting an entry, so it follows the index.
    connect(cboFilterPattern, &QComboBox::currentIndexChanged, this, [this](int index) {
        if (index >= 0)
            cboFilterPattern_Click();
    });
    connect(ftvFolder, &FolderTree::FolderSelected, this, [this] {
        // The search disables the tree while it runs, and Qt then hands the focus on: a folder
        // chosen with the arrow keys gives the keyboard back to the tree once it is enabled again.
        const bool treeHadFocus = focusWidget() == ftvFolder;
        ftvFolder_FolderSelected();
        if (treeHadFocus && ftvFolder->isEnabled())
            ftvFolder->setFocus();
    });
    connect(chkSearchByDate, &QCheckBox::clicked, this, [this] { chkSearchByDate_Click(); });
    connect(chkSearchBySize, &QCheckBox::clicked, this, [this] { chkSearchBySize_Click(); });
    connect(cmdExport, &QPushButton::clicked, this, [this] { cmdExport_Click(); });
    connect(cmdCombinePdf, &QPushButton::clicked, this, [this] { cmdCombinePdf_Click(); });
    connect(cmdAppendPDFFile, &QPushButton::clicked, this, [this] { cmdAppendPDFFile_Click(); });

    connect(mnupreferances, &QAction::triggered, this, [this] { mnupreferances_Click(); });
    connect(mnuExport, &QAction::triggered, this, [this] { mnuExport_Click(); });
    connect(mnuexit, &QAction::triggered, this, [this] { mnuexit_Click(); });
    connect(mnuWebsite, &QAction::triggered, this, [this] { mnuWebsite_Click(); });
    connect(mnuShowHelp, &QAction::triggered, this, [this] { mnuShowHelp_Click(); });
    connect(mnuAbout, &QAction::triggered, this, [this] { mnuAbout_Click(); });

    connect(mnuCtxOpen, &QAction::triggered, this, [this] { mnuCtxOpen_Click(); });
    connect(mnuCtxOpenFolder, &QAction::triggered, this, [this] { mnuCtxOpenFolder_Click(); });
    connect(mnuCtxPrintFile, &QAction::triggered, this, [this] { mnuCtxPrintFile_Click(); });
    connect(mnuCtxSelectAll, &QAction::triggered, this, [this] { mnuCtxSelectAll_Click(); });
    connect(mnuCtxInvSelect, &QAction::triggered, this, [this] { mnuCtxInvSelect_Click(); });
    connect(mnuCtxDeSelectAll, &QAction::triggered, this, [this] { mnuCtxDeSelectAll_Click(); });
    connect(mnuCtxCheckSelection, &QAction::triggered, this, [this] { mnuCtxCheckSelection_Click(); });
    connect(mnuCtxUnCheckSelection, &QAction::triggered, this, [this] { mnuCtxUnCheckSelection_Click(); });
    connect(mnuCtxCheckInvertSelection, &QAction::triggered, this, [this] { mnuCtxCheckInvertSelection_Click(); });

    wireGridEvents();
}

}  // namespace folvane
