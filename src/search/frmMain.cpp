// The main window as a frame: its load sequence, panes, remembered geometry, minimum size, keyboard
// shortcuts and menu actions.

#include "search/frmMain.h"

#include "app/ErrorLog.h"
#include "app/GridColumns.h"
#include "app/ProgramInfo.h"
#include "app/ProgramState.h"
#include "app/Settings.h"
#include "app/Skin.h"
#include "app/cSizeMoveHelper.h"
#include "app/modGeneral.h"
#include "platform/DataGrid.h"
#include "platform/FolderTree.h"
#include "platform/KeyCodes.h"
#include "platform/MsgBox.h"
#include "platform/RegistryStore.h"
#include "platform/Shell.h"
#include "platform/Twips.h"

#include <QAbstractSpinBox>
#include <QApplication>
#include <QGuiApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QDate>
#include <QDateEdit>
#include <QDockWidget>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTime>
#include <QScreen>
#include <QStyle>
#include <QTextEdit>
#include <QTimer>
#include <QWindow>

#include <algorithm>
#include <cmath>
#include <limits>
#include <utility>

#include "search/frmPreferences.h"
#include "search/frmAbout.h"

namespace folvane {

namespace {

constexpr int StateNormal = 0;
constexpr int StateMinimized = 1;
constexpr int StateMaximized = 2;

constexpr int MinimumWidthPx = 700;
constexpr int MinimumHeightPx = 403;

constexpr int PaneActionActivated = 14;

// How long a shown window waits for its frame: 200 looks, 50 ms apart (a loaded desktop can take
// seconds to frame a new window).
constexpr int MaxFramePolls = 200;
constexpr int FramePollMs = 50;

// The Options pane keeps a fixed size of 130 x 100 tracking units. A unit is 1.4 pixels at 96 dpi
// (21 twips): 100 units hold either tab's controls in the 8-point font and, at the 700 x 403
// minimum, still leave the result grid five whole rows.
constexpr int OptionsPaneTrackWidth = 130;
constexpr int OptionsPaneTrackHeight = 100;
constexpr double TwipsPerTrackUnit = 21;

Settings &CurrentSettings()
{
    Settings *settings = State().objSettings.get();
    Require(settings != nullptr, ErrNo::ObjectNotSet, QStringLiteral("Object variable or With block variable not set"));
    return *settings;
}

/// A stored text as the single-precision number the window geometry takes.
float ToSingle(const QString &text)
{
    const std::optional<double> value = modGeneral::TextToNumber(text);
    Require(value.has_value(), ErrNo::TypeMismatch, QStringLiteral("Type mismatch"));
    Require(std::abs(*value) <= std::numeric_limits<float>::max(), ErrNo::Overflow, QStringLiteral("Overflow"));
    return static_cast<float>(*value);
}

std::int32_t ToLong(double value)
{
    const double rounded = modGeneral::RoundHalfEven(value);
    Require(rounded >= std::numeric_limits<std::int32_t>::min() && rounded <= std::numeric_limits<std::int32_t>::max(),
            ErrNo::Overflow, QStringLiteral("Overflow"));
    return static_cast<std::int32_t>(rounded);
}

int WindowStateCode(const QWidget &window)
{
    if (window.isMinimized())
        return StateMinimized;
    if (window.windowState() & (Qt::WindowMaximized | Qt::WindowFullScreen))
        return StateMaximized;
    return StateNormal;
}

void SetWindowStateCode(QWidget &window, int code)
{
    Require(code >= StateNormal && code <= StateMaximized, ErrNo::InvalidProcedureCall,
            QStringLiteral("Invalid property value"));
    Qt::WindowStates state = window.windowState() & ~(Qt::WindowMinimized | Qt::WindowMaximized | Qt::WindowFullScreen);
    if (code == StateMinimized)
        state |= Qt::WindowMinimized;
    else if (code == StateMaximized)
        state |= Qt::WindowMaximized;
    window.setWindowState(state);
}

/// A rectangle in twips as whole pixels on the window's screen.
QRect TwipsToPixels(const QWidget &window, double left, double top, double width, double height)
{
    const double dpiX = window.logicalDpiX();
    const double dpiY = window.logicalDpiY();
    return QRect(Twips::ToPixels(left, dpiX), Twips::ToPixels(top, dpiY), Twips::ToPixels(width, dpiX),
                 Twips::ToPixels(height, dpiY));
}

bool IsWindowShortcut(int KeyCode, int Shift) { return Shift == 2 && (KeyCode == 'A' || KeyCode == 'D'); }

/// A control whose own keys edit text: there Ctrl+A selects the text and Ctrl+D edits it, as in every
/// other text box, instead of checking or unchecking every row of the list.
bool EditsText(const QWidget *widget)
{
    return qobject_cast<const QLineEdit *>(widget) || qobject_cast<const QAbstractSpinBox *>(widget)
           || qobject_cast<const QTextEdit *>(widget) || qobject_cast<const QPlainTextEdit *>(widget);
}

}  // namespace

// ---- set-up -----------------------------------------------------------------------------------

void frmMain::initFrame()
{
    auto *clock = new QTimer(this);
    clock->setInterval(1000);
    connect(clock, &QTimer::timeout, this, &frmMain::UpdateStatusClock);
    clock->start();
    UpdateStatusClock();

    // Key preview: the window sees every key press before the focused control, the grid included.
    // Watching the window's own QWindow sees each press once, however far it then propagates.
    qApp->installEventFilter(this);

    connect(paneOptions, &QDockWidget::dockLocationChanged, this, &frmMain::ApplyOptionsPaneTrackingSize);
    connect(paneOptions, &QDockWidget::topLevelChanged, this, &frmMain::ApplyOptionsPaneTrackingSize);
}

void frmMain::UpdateStatusClock()
{
    const QLocale locale;
    sbPanelDate->setText(locale.toString(QDate::currentDate(), QLocale::ShortFormat));
    sbPanelTime->setText(locale.toString(QTime::currentTime(), QLocale::ShortFormat));
}

// ---- load sequence ----------------------------------------------------------------------------

void frmMain::Form_Load()
{
    Guarded("Form_Load", Unit::frmMain, [&] {
        AttachSizeMove();
        setWindowTitle(ProgramTitle());
        PlaceFromRegistry();
        ApplySkin(this);
        CreatePanes();

        InitGridStyle();
        FillComboBoxes();
        InitFiles();

        optBtnPeriod->setChecked(true);
        optSizeAt->setChecked(true);
        chkSearchByDate->setChecked(false);
        chkSearchByDate_Click();
        chkSearchBySize->setChecked(false);
        chkSearchBySize_Click();

        dtpDateFrom->setDate(QDate::currentDate());
        dtpDateTo->setDate(QDate::currentDate());

        SelectStartFolder();

        if (const QByteArray layout = RegistryStore::PaneLayout(); !layout.isEmpty())
            restoreState(layout);

        if (CurrentSettings().WindowStateFlag() == 1)
            SetWindowState();
    });
}

void frmMain::AttachSizeMove()
{
    m_c = std::make_unique<cSizeMoveHelper>();
    m_c->setNoFullDrag(true);
    // Sizing hands over the rectangle to change in place, so the call must be direct.
    connect(m_c.get(), &cSizeMoveHelper::Sizing, this, &frmMain::m_c_Sizing, Qt::DirectConnection);
    connect(m_c.get(), &cSizeMoveHelper::ExitSizeMove, this, &frmMain::m_c_ExitSizeMove);
    m_c->Attach(this);
}

void frmMain::PlaceFromRegistry()
{
    const QString section = QStringLiteral("Settings");
    auto read = [&](const char *key, double defaultTwips) {
        return ToSingle(RegistryStore::GetSetting(section, QString::fromLatin1(key), QString::number(defaultTwips)));
    };
    const float left = read("MainLeft", 1000);
    const float top = read("MainTop", 1000);
    const float width = read("MainWidth", Twips::FromPixels(MinimumWidthPx, logicalDpiX()));
    const float height = read("MainHeight", Twips::FromPixels(MinimumHeightPx, logicalDpiY()));
    PlaceOuter(TwipsToPixels(*this, left, top, width, height));
}

QMargins frmMain::FrameMargins() const
{
    const QWindow *handle = windowHandle();
    if (!handle || !isVisible())
        return {};
    // While the window manager is still building the frame, its size can lag behind the window's
    // and Qt reads negative margins: those are no frame yet.
    const QMargins frame = handle->frameMargins();
    const bool settled = frame.left() >= 0 && frame.top() >= 0 && frame.right() >= 0 && frame.bottom() >= 0;
    return settled ? frame : QMargins();
}

QRect frmMain::FitToScreen(const QRect &outer) const
{
    // The screen that shows the title bar, else the one a new window opens on.
    const QRect titleBar(outer.left(), outer.top(), outer.width(), std::max(FrameMargins().top(), 1));
    const QList<QScreen *> screens = QGuiApplication::screens();
    const auto shown = std::find_if(screens.begin(), screens.end(), [&](const QScreen *screen) {
        return screen->availableGeometry().intersects(titleBar);
    });
    const QScreen *screen = shown != screens.end() ? *shown : QGuiApplication::primaryScreen();
    if (!screen)
        return outer;
    const QRect area = screen->availableGeometry();
    // The window cannot be smaller than its layout allows: a smaller stored size would grow past the
    // edge it was fitted to, so it is fitted at the size the window will really have.
    const QSize least = minimumSize().expandedTo(minimumSizeHint()).grownBy(FrameMargins());
    QRect fitted(outer.topLeft(), outer.size().expandedTo(least).boundedTo(area.size()));
    fitted.moveLeft(std::clamp(fitted.left(), area.left(), area.right() - fitted.width() + 1));
    fitted.moveTop(std::clamp(fitted.top(), area.top(), area.bottom() - fitted.height() + 1));
    return fitted;
}

void frmMain::PlaceOuter(const QRect &requested)
{
    // A stored rectangle larger than the screen, or partly off it, would open a window no one can
    // take hold of, and one far larger asks the display for a buffer of gigabytes: it is fitted to
    // the screen's available area first.
    const QRect outer = FitToScreen(requested);
    // A window's position is its frame's corner; its size is the inside, so the frame comes off.
    // Until the window manager has framed the window its frame is unknown: the rectangle is placed
    // as if there were none, and again until the frame stands where it was asked to.
    const QMargins frame = FrameMargins();
    move(outer.topLeft());
    resize(std::max(outer.width() - frame.left() - frame.right(), 1),
           std::max(outer.height() - frame.top() - frame.bottom(), 1));
    pendingOuter_ = outer;
}

void frmMain::QueueFramePoll(int ms)
{
    if (framePollQueued_)
        return;
    framePollQueued_ = true;
    QTimer::singleShot(ms, this, &frmMain::PlaceOuterOnceFramed);
}

void frmMain::PlaceOuterOnceFramed()
{
    framePollQueued_ = false;
    if (!pendingOuter_ || !isVisible() || WindowStateCode(*this) != StateNormal)
        return;
    // Qt learns the frame from the window manager without an event of its own, and the window
    // manager may still be placing the window: look again for a while after the window was shown.
    // Without a window manager the frame never comes, and the rectangle already stands.
    const QMargins frame = FrameMargins();
    if (!frame.isNull()) {
        if (geometry().marginsAdded(frame) == *pendingOuter_) {
            pendingOuter_.reset();
            return;
        }
        const QRect outer = *pendingOuter_;
        PlaceOuter(outer);
    }
    if (framePolls_ >= MaxFramePolls) {
        pendingOuter_.reset();
        return;
    }
    ++framePolls_;
    QueueFramePoll(FramePollMs);
}

bool frmMain::TitleBarReachable(const QRect &outer) const
{
    const int frameTop = FrameMargins().top();
    const int titleHeight = frameTop > 0 ? frameTop : style()->pixelMetric(QStyle::PM_TitleBarHeight, nullptr, this);
    const QRect titleBar(outer.left(), outer.top(), outer.width(), std::max(titleHeight, 1));
    const QList<QScreen *> screens = QGuiApplication::screens();
    return std::any_of(screens.begin(), screens.end(),
                       [&](const QScreen *screen) { return screen->availableGeometry().intersects(titleBar); });
}

void frmMain::RestoreOuterTwips(double left, double top, double width, double height)
{
    const QRect outer = TwipsToPixels(*this, left, top, width, height);
    // A rectangle stored on a monitor since unplugged, or absurd values, would put the window where
    // no one can take hold of it: it opens where a first start opens it instead.
    if (TitleBarReachable(outer))
        PlaceOuter(outer);
    else
        PlaceFromRegistry();
}

void frmMain::CreatePanes()
{
    addDockWidget(Qt::LeftDockWidgetArea, paneFolders);
    // The list goes on the right of the folder tree within one dock area: two side areas without a
    // central widget share the width evenly whatever sizes they are given, one area keeps them.
    splitDockWidget(paneFolders, paneSearchList, Qt::Horizontal);
    addDockWidget(Qt::BottomDockWidgetArea, paneOptions);
    addDockWidget(Qt::BottomDockWidgetArea, paneAdvSearch);
    tabifyDockWidget(paneOptions, paneAdvSearch);
    // The search button lives on the Options tab; it is the one to see first.
    paneOptions->raise();
    resizeDocks({paneFolders, paneSearchList}, {200, 600}, Qt::Horizontal);
    ApplyOptionsPaneTrackingSize();
}

void frmMain::SelectStartFolder()
{
    ProgramState &st = State();
    const bool noCmdLineFolder = st.CmdLineFolder.count(QLatin1Char(' ')) == st.CmdLineFolder.size();
    if (noCmdLineFolder) {
        ftvFolder->setSelectedPath(CurrentSettings().StartupFolder());
        return;
    }
    // Selecting the folder runs the first search before it returns; its rows are then checked.
    ftvFolder->setSelectedPath(st.CmdLineFolder);
    CheckCmdLineFiles();
    // The search showed its summary before these rows were checked.
    ShowStatus(getSelectedFileinfo());
    st.CmdLineFolder.clear();
}

void frmMain::CheckCmdLineFiles()
{
    const QStringList &files = State().CmdLineFiles;
    const int nameCol = modGeneral::GetColumnIndexByKey(QStringLiteral("Name"));
    const int selectionCol = modGeneral::GetColumnIndexByKey(QStringLiteral("Selection"));
    QStringList names;
    names.reserve(files.size());
    for (const QString &file : files)
        names << modGeneral::GetFileName(file).toUpper();
    // By name only: the same name found in several folders checks every one of its rows.
    for (int r = 1; r < grdSearchList->Rows(); ++r) {
        const QString rowName = grdSearchList->TextMatrix(r, nameCol).toUpper();
        if (names.contains(rowName))
            grdSearchList->setCell(flexcpChecked, r, selectionCol, GridCheck::Checked);
    }
}

void frmMain::Form_Activate()
{
    ++lActivateCount;
    if (!bFormLoaded && lActivateCount == 2)
        bFormLoaded = true;
}

// ---- window state and rectangle ---------------------------------------------------------------

void frmMain::SetWindowState()
{
    Guarded("SetWindowState", Unit::frmMain, [&] {
        const Settings &s = CurrentSettings();
        const auto left = static_cast<float>(s.LastWindowLeft());
        const auto top = static_cast<float>(s.LastWindowTop());
        const auto width = static_cast<float>(s.LastWindowWidth());
        const auto height = static_cast<float>(s.LastWindowHeight());
        switch (s.WindowStateValue()) {
        case 0:
            RestoreOuterTwips(left, top, width, height);
            SetWindowStateCode(*this, StateMaximized);
            break;
        case 1:
            RestoreOuterTwips(left, top, width, height);
            SetWindowStateCode(*this, StateMinimized);
            break;
        case 2:
            if (left != 0 || top != 0 || width != 0 || height != 0) {
                RestoreOuterTwips(left, top, width, height);
                SetWindowStateCode(*this, s.LastWindowState());
            } else {
                SetWindowStateCode(*this, StateMaximized);
            }
            break;
        default:
            break;
        }
    });
}

void frmMain::RememberWindow()
{
    Settings &s = CurrentSettings();
    const int state = WindowStateCode(*this);
    if (state != StateMinimized)
        s.setLastWindowState(state);
    if (state != StateNormal)
        return;
    // The outer rectangle, frame and title bar included: what a restore places again.
    const QRect outer = isVisible() ? geometry().marginsAdded(FrameMargins()) : frameGeometry();
    const double dpiX = logicalDpiX();
    const double dpiY = logicalDpiY();
    s.setLastWindowLeft(ToLong(Twips::FromPixels(outer.x(), dpiX)));
    s.setLastWindowTop(ToLong(Twips::FromPixels(outer.y(), dpiY)));
    s.setLastWindowWidth(ToLong(Twips::FromPixels(outer.width(), dpiX)));
    s.setLastWindowHeight(ToLong(Twips::FromPixels(outer.height(), dpiY)));
}

void frmMain::ApplyOptionsPaneTrackingSize()
{
    const bool docked = dockWidgetArea(paneOptions) != Qt::NoDockWidgetArea;
    if (!docked && !paneOptions->isFloating())
        return;
    const int width = Twips::ToPixels(OptionsPaneTrackWidth * TwipsPerTrackUnit, logicalDpiX());
    const int height = Twips::ToPixels(OptionsPaneTrackHeight * TwipsPerTrackUnit, logicalDpiY());
    // Docked, the pane spans its side of the window: only its depth is fixed.
    const Qt::DockWidgetArea area = dockWidgetArea(paneOptions);
    const bool floating = paneOptions->isFloating();
    const bool fixWidth = floating || area == Qt::LeftDockWidgetArea || area == Qt::RightDockWidgetArea;
    const bool fixHeight = floating || area == Qt::TopDockWidgetArea || area == Qt::BottomDockWidgetArea;
    paneOptions->setMinimumSize(fixWidth ? width : 0, fixHeight ? height : 0);
    paneOptions->setMaximumSize(fixWidth ? width : QWIDGETSIZE_MAX, fixHeight ? height : QWIDGETSIZE_MAX);
    // The dock area itself would keep whatever depth it had, leaving an empty band under the pane.
    if (!floating && fixHeight)
        resizeDocks({paneOptions}, {height}, Qt::Vertical);
}

void frmMain::Form_Resize()
{
    Guarded("Form_Resize", Unit::frmMain, [&] {
        if (paneOptions)
            ApplyOptionsPaneTrackingSize();
        if (bFormLoaded)
            RememberWindow();
    });
}

void frmMain::m_c_Sizing(std::int32_t &, std::int32_t &, std::int32_t &lWidth, std::int32_t &lHeight)
{
    if (lWidth < MinimumWidthPx)
        lWidth = MinimumWidthPx;
    if (lHeight < MinimumHeightPx)
        lHeight = MinimumHeightPx;
}

void frmMain::m_c_ExitSizeMove()
{
    // Raised from the event loop, where an error would end the program: it is logged instead.
    Guarded("m_c_ExitSizeMove", Unit::frmMain, [&] { RememberWindow(); });
}

void frmMain::Form_Unload()
{
    Guarded("Form_Unload", Unit::frmMain, [&] {
        RememberWindow();
        Settings &s = CurrentSettings();
        if (s.LastGridColWidthFlag() != 1)
            return;
        QStringList widths;
        for (int c = 0; c < grdSearchList->Cols(); ++c)
            widths << QString::number(grdSearchList->ColWidth(c));
        s.setLastGridColWidth(widths.join(QLatin1Char(',')));
    });
}

// ---- events -----------------------------------------------------------------------------------

bool frmMain::event(QEvent *e)
{
    if (e->type() == QEvent::WindowActivate)
        Form_Activate();
    const bool handled = QMainWindow::event(e);
    // The window manager frames the window after it is shown; Qt learns the frame with one of these.
    switch (e->type()) {
    case QEvent::Show:
        framePolls_ = 0;
        [[fallthrough]];
    case QEvent::Move:
    case QEvent::Resize:
    case QEvent::WindowActivate:
    case QEvent::WindowStateChange:
        if (pendingOuter_)
            QueueFramePoll(0);
        break;
    default:
        break;
    }
    return handled;
}

void frmMain::resizeEvent(QResizeEvent *e)
{
    QMainWindow::resizeEvent(e);
    Form_Resize();
}

void frmMain::closeEvent(QCloseEvent *e)
{
    // A close that arrives in one of the search's yields would delete the window under the walk
    // still running on the stack: the walk is cancelled instead, and the window closes after it.
    if (searching_) {
        closeAfterSearch_ = true;
        bCancelSearch = true;
        bCancelLoad = true;
        e->ignore();
        return;
    }
    Form_Unload();
    QMainWindow::closeEvent(e);
}

bool frmMain::eventFilter(QObject *watched, QEvent *e)
{
    if (e->type() == QEvent::KeyPress && windowHandle() && watched == windowHandle()) {
        const auto *key = static_cast<QKeyEvent *>(e);
        const int code = KeyCodes::KeyCode(key->key());
        const int shift = KeyCodes::ShiftState(key->modifiers());
        if (IsWindowShortcut(code, shift) && EditsText(QApplication::focusWidget()))
            return QMainWindow::eventFilter(watched, e);
        Form_KeyDown(code, shift);
        // The two commands own these keys: the grid must not also select all its cells.
        return IsWindowShortcut(code, shift);
    }
    if (e->type() == QEvent::MouseButtonPress) {
        const std::pair<QDockWidget *, int> panes[] = {
            {paneFolders, 1}, {paneOptions, 2}, {paneSearchList, 3}, {paneAdvSearch, 4}};
        for (const auto &[pane, id] : panes) {
            // A press on the title bar activates the pane; presses inside belong to its contents.
            const QPoint at = static_cast<QMouseEvent *>(e)->position().toPoint();
            if (watched == pane && !(pane->widget() && pane->widget()->geometry().contains(at)))
                DockingPaneManager_Action(PaneActionActivated, id);
        }
    }
    return QMainWindow::eventFilter(watched, e);
}

void frmMain::DockingPaneManager_Action(int Action, int paneId)
{
    Guarded("DockingPaneManager_Action", Unit::frmMain, [&] {
        if (Action != PaneActionActivated)
            return;
        if (paneId == 1) {
            // While a search runs the tree is disabled and the focus stays where it is.
            if (cmdSearch->text() == QLatin1String("&Search"))
                ftvFolder->setFocus();
        } else if (paneId == 3) {
            grdSearchList->setFocus();
        }
    });
}

void frmMain::Form_KeyDown(int KeyCode, int Shift)
{
    if (KeyCode == 'A' && Shift == 2)
        mnuCtxSelectAll_Click();
    if (KeyCode == 'D' && Shift == 2)
        mnuCtxDeSelectAll_Click();
}

// ---- menu actions -----------------------------------------------------------------------------

void frmMain::mnupreferances_Click()
{
    Guarded("mnupreferances_Click", Unit::frmMain, [&] {
        modGeneral::LoadGridColumns();
        frmPreferences preferences(this);
        preferences.exec();
        if (preferences.IsPreferanceChange) {
            RefreshGrid();
            cmdSearch_Click();
        }
    });
}

void frmMain::mnuExport_Click() { cmdExport_Click(); }

void frmMain::mnuexit_Click() { close(); }

void frmMain::mnuWebsite_Click()
{
    Guarded("mnuWebsite_Click", Unit::frmMain, [&] {
        const QString address = modMasterLayout::TrimNull(WebsiteAddress());
        Require(Shell::Open(address), ErrNo::Unknown, QStringLiteral("Unable to open ") + address);
    });
}

void frmMain::mnuShowHelp_Click()
{
    const QString helpFile =
        modGeneral::ValidateDir(QCoreApplication::applicationDirPath()) + QStringLiteral("help.chm");
    if (modGeneral::IsFileExist(helpFile))
        modGeneral::ExecuteFile(QStringLiteral("open"), helpFile, QString(), QString(), 1);
    else
        MsgBox(QStringLiteral("Help file not found."), MsgButtons::OK, MsgIcon::Information, ProgramTitle(), this);
}

void frmMain::mnuAbout_Click()
{
    Guarded("mnuAbout_Click", Unit::frmMain_About, [&] {
        frmAbout about(this);
        about.exec();
    });
}

}  // namespace folvane
