#pragma once
// The main window. Its handlers are ordinary public methods so tests can drive them without showing
// the window. The class is split by concern:
//   frmMain_designer.cpp  controls, panes, menus and signal wiring (what a form designer would hold)
//   frmMain.cpp           load sequence, window state, panes, menus, keyboard
//   frmMain_search.cpp    the folder walk, the filters, the result rows, the search options
//   frmMain_grid.cpp      the result grid's set-up, sort rules, check toggling, status text
//   frmMain_commands.cpp  the context-menu file and check commands
//   frmMain_handoff.cpp   page counts on demand and the hand-off to the combine and append dialogs
//   frmMain_export.cpp    the export of the checked rows

#include <QHash>
#include <QIcon>
#include <QMainWindow>
#include <QMargins>
#include <QPoint>
#include <QRect>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <set>
#include <utility>
#include <vector>

class QAction;
class QCheckBox;
class QComboBox;
class QDateEdit;
class QDialog;
class QDockWidget;
class QGroupBox;
class QLabel;
class QLineEdit;
class QMenu;
class QPushButton;
class QRadioButton;
class QStatusBar;
class QFileInfo;

namespace folvane {

class DataGrid;
class FolderTree;
class UpDown;
class cSizeMoveHelper;
class frmLoading;

class frmMain : public QMainWindow {
    Q_OBJECT
public:
    explicit frmMain(QWidget *parent = nullptr);
    ~frmMain() override;

    // ---- Controls (created by the designer part) ----
    QDockWidget *paneFolders = nullptr;     // id 1
    QDockWidget *paneOptions = nullptr;     // id 2
    QDockWidget *paneSearchList = nullptr;  // id 3
    QDockWidget *paneAdvSearch = nullptr;   // id 4
    QWidget *ctlPaneFolder = nullptr;
    QWidget *ctlPaneSearch = nullptr;
    QWidget *ctlPaneSearchList = nullptr;
    QWidget *CtlPaneSearchOptions = nullptr;

    FolderTree *ftvFolder = nullptr;
    DataGrid *grdSearchList = nullptr;

    QGroupBox *fraTotal = nullptr;
    QGroupBox *fraCommand = nullptr;
    QGroupBox *fraAdvSearch = nullptr;
    QLabel *lblFilter = nullptr;
    QComboBox *cboFilterPattern = nullptr;
    QCheckBox *chkSearchSubFolder = nullptr;
    QPushButton *cmdSearch = nullptr;
    QPushButton *cmdExport = nullptr;
    QPushButton *cmdCombinePdf = nullptr;
    QPushButton *cmdAppendPDFFile = nullptr;

    QCheckBox *ChkUseAdvOpt = nullptr;
    QCheckBox *chkSearchByDate = nullptr;
    QGroupBox *fraDate = nullptr;
    QComboBox *cboDateRangeType = nullptr;
    QRadioButton *optInPeriod = nullptr;
    QLineEdit *txtInPeriod = nullptr;
    UpDown *updInPeriod = nullptr;
    QComboBox *cboDateInPeriod = nullptr;
    QRadioButton *optBtnPeriod = nullptr;
    QDateEdit *dtpDateFrom = nullptr;
    QLabel *lblDateRangeAnd = nullptr;
    QDateEdit *dtpDateTo = nullptr;
    QCheckBox *chkSearchBySize = nullptr;
    QGroupBox *fraSize = nullptr;
    QRadioButton *optSizeAt = nullptr;
    QComboBox *cboLeastMost = nullptr;
    QLineEdit *txtSizeLeastMost = nullptr;
    UpDown *updSizeLeastMost = nullptr;
    QLabel *lblSizeKB1 = nullptr;
    QRadioButton *optSizeBtn = nullptr;
    QLineEdit *txtSizeFrom = nullptr;
    UpDown *updSizeFrom = nullptr;
    QLabel *lblSizeTo = nullptr;
    QLineEdit *txtSizeTo = nullptr;
    UpDown *updSizeTo = nullptr;
    QLabel *lblSizeKB2 = nullptr;

    QStatusBar *sbStatusBar = nullptr;
    QLabel *sbPanelStatus = nullptr;
    QLabel *sbPanelDate = nullptr;
    QLabel *sbPanelTime = nullptr;

    QMenu *mnuEdit = nullptr;
    QAction *mnupreferances = nullptr;
    QAction *mnuExport = nullptr;
    QAction *mnuexit = nullptr;
    QMenu *mnuhelp = nullptr;
    QAction *mnuWebsite = nullptr;
    QAction *mnuShowHelp = nullptr;
    QAction *mnuAbout = nullptr;

    QMenu *mnuCtxMenu = nullptr;
    QAction *mnuCtxOpen = nullptr;
    QAction *mnuCtxOpenFolder = nullptr;
    QAction *mnuCtxPrintFile = nullptr;
    QAction *mnuCtxSelectAll = nullptr;
    QAction *mnuCtxInvSelect = nullptr;
    QAction *mnuCtxDeSelectAll = nullptr;
    QAction *mnuCtxCheckSelection = nullptr;
    QAction *mnuCtxUnCheckSelection = nullptr;
    QAction *mnuCtxCheckInvertSelection = nullptr;

    // ---- Search state ----
    bool bCancelSearch = false;
    bool bCancelLoad = false;
    QStringList arrDateRangeType;
    QStringList arrPeriodUnit;
    QStringList arrLeastMost;
    /// One small icon per lower-cased type name, kept for the whole run.
    QHash<QString, QIcon> imlFile;

    // ---- Window state ----
    std::int32_t lActivateCount = 0;
    bool bFormLoaded = false;

    // ---- Load sequence, window frame, menus, keyboard (frmMain.cpp) ----
    void Form_Load();
    void Form_Activate();
    void Form_Resize();
    void Form_Unload();
    void Form_KeyDown(int KeyCode, int Shift);
    void m_c_Sizing(std::int32_t &lLeft, std::int32_t &lTop, std::int32_t &lWidth, std::int32_t &lHeight);
    void m_c_ExitSizeMove();
    void mnupreferances_Click();
    void mnuExport_Click();
    void mnuexit_Click();
    void mnuWebsite_Click();
    void mnuShowHelp_Click();
    void mnuAbout_Click();

    // ---- Search (frmMain_search.cpp) ----
    void MainLoadFiles(QString &folder, bool clearFirst);
    void EnableSearchControls(bool enabled);
    void LoadFiles(const QString &folder, bool clearFirst);
    void GenerateFilterPatternArray(const QString &entry, QStringList &patterns);
    bool IsFileMatchWithFilterPattern(const QString &name, const QStringList &patterns);
    bool IsFileMatchWithAdvOptions(const QFileInfo &file);
    bool GetFileFindData(const QString &fullPath, QFileInfo &record);
    void AddFileItem(const QString &folder, const QFileInfo &record);
    static std::int32_t RoundUp(double x);
    static QString GetExtension(const QString &path);
    void FillComboBoxes();
    void chkSearchByDate_Click();
    void chkSearchBySize_Click();
    void cmdSearch_Click();
    void cboFilterPattern_Click();
    void ftvFolder_FolderSelected();

    // ---- Result grid (frmMain_grid.cpp) ----
    void InitGridStyle();
    void InitFiles();
    void RefreshGrid();
    void grdSearchList_AfterMoveColumn(std::int32_t Col, std::int32_t &Position);
    void grdSearchList_BeforeSort(std::int32_t Col, std::int16_t &Order);
    void grdSearchList_KeyDown(std::int16_t KeyCode, std::int16_t Shift);
    void grdSearchList_MouseDown(std::int16_t Button, std::int16_t Shift, float X, float Y);
    void grdSearchList_MouseUp(std::int16_t Button, std::int16_t Shift, float X, float Y);
    QString getSelectedFileinfo();
    void ShowStatus(const QString &text);
    /// Pops the menu up at a global position without waiting for a choice. Tests replace it to see
    /// the request without a menu on screen.
    std::function<void(QMenu *menu, const QPoint &globalPos)> PopupMenu;

    // ---- Check and file commands (frmMain_commands.cpp) ----
    void mnuCtxOpen_Click();
    void mnuCtxOpenFolder_Click();
    void mnuCtxPrintFile_Click();
    void mnuCtxSelectAll_Click();
    void mnuCtxInvSelect_Click();
    void mnuCtxDeSelectAll_Click();
    void mnuCtxCheckSelection_Click();
    void mnuCtxUnCheckSelection_Click();
    void mnuCtxCheckInvertSelection_Click();
    void CheckAllRows();
    void UncheckDamagedRows();
    void UncheckAllRows();
    void mnuInvSelect_Click();

    // ---- Hand-off to the document dialogs (frmMain_handoff.cpp) ----
    void cmdCombinePdf_Click();
    void cmdAppendPDFFile_Click();
    void GetPageCount();
    void ShowSetOrderform(std::int32_t &action);

    // ---- Export (frmMain_export.cpp) ----
    void cmdExport_Click();

private:
    void buildControls();  // designer part
    void wireControls();   // designer part
    void wireGridEvents(); // frmMain_grid.cpp: connects the grid's events to the handlers

    frmLoading *loading_ = nullptr;
    std::unique_ptr<cSizeMoveHelper> m_c;
    /// An outer rectangle placed before the frame was known, in pixels: placed again once it is.
    std::optional<QRect> pendingOuter_;
    int framePolls_ = 0;
    /// A look at the frame is already queued: events that come meanwhile add none of their own.
    bool framePollQueued_ = false;
    void QueueFramePoll(int ms);

    // -- result grid and check commands --
    /// Flips rows first to last: a checked row becomes unchecked, any other checked.
    void ToggleCheckRows(int firstRow, int lastRow);
    /// Check-state changes of the grid so far, and how many of them the last summary counted: a
    /// queued refresh of the status is skipped when a command has already shown the latest summary.
    std::uint64_t checkChanges_ = 0;
    std::uint64_t statusCounted_ = 0;
    bool statusQueued_ = false;

    // -- export internals --
    /// Writes the grid's checked rows to the file the export dialog names; false when nothing was written.
    bool ExportGrid(DataGrid &grid);

    // -- search internals --
    /// Device and inode of each folder the current search has entered; it enters none twice.
    std::set<std::pair<std::uint64_t, std::uint64_t>> visitedFolders_;
    /// True while MainLoadFiles runs: the walk and its yields are on the stack.
    bool searching_ = false;
    /// The window was asked to close during a search; it closes once the search has returned.
    bool closeAfterSearch_ = false;

    // -- window frame internals (frmMain.cpp) --
    friend struct frmMainFrameAccess; // lets the tests run single load steps
    void initFrame();                 // from the constructor: status clock, key preview, pane events
    bool event(QEvent *e) override;
    bool eventFilter(QObject *watched, QEvent *e) override;
    void resizeEvent(QResizeEvent *e) override;
    void closeEvent(QCloseEvent *e) override;
    void UpdateStatusClock();
    void AttachSizeMove();
    void PlaceFromRegistry();
    /// The window's frame as Qt knows it; none before the window manager has framed the window.
    QMargins FrameMargins() const;
    /// Puts the frame's corner at the rectangle's corner and gives the window its outer size.
    void PlaceOuter(const QRect &outer);
    void PlaceOuterOnceFramed();
    bool TitleBarReachable(const QRect &outer) const;
    /// A stored outer rectangle in twips, or the first-start placement when no screen shows its title bar.
    void RestoreOuterTwips(double left, double top, double width, double height);
    void CreatePanes();
    void SelectStartFolder();
    void CheckCmdLineFiles();
    void SetWindowState();
    void RememberWindow();
    void ApplyOptionsPaneTrackingSize();
    void DockingPaneManager_Action(int Action, int paneId);

    // -- hand-off to the document dialogs --
    /// Shows a document dialog modal, with no owner window, and answers its result. Tests override it
    /// to look at the dialog and its records instead of waiting for a user.
    virtual int ExecDocumentDialog(QDialog &dialog);
};

}  // namespace folvane
