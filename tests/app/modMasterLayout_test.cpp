#include "app/modMasterLayout.h"

#include "app/FrmVistaErrDlg.h"
#include "app/GridColumns.h"
#include "app/ProgramState.h"
#include "app/Settings.h"
#include "app/frmProgressDialog.h"
#include "platform/DataGrid.h"
#include "platform/PageCounters.h"
#include "platform/FolderTree.h"
#include "search/MainWindowFactory.h"
#include "search/frmMain.h"
#include "support/SmallDisk.h"
#include "support/SpecialFiles.h"
#include "support/TestEnv.h"
#include "support/Unprivileged.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QMainWindow>
#include <QPointer>
#include <QProcess>
#include <QPushButton>
#include <QTimer>

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

using namespace folvane;
using namespace folvane::modMasterLayout;

namespace {


/// Watches the modal windows that start-up opens: records each one and closes the access-rights
/// window with its button, as a user would. The first-run box closes itself.
class ModalWatcher {
public:
    struct Seen {
        QString className;
        QString title;
        QString label;
    };
    ModalWatcher()
    {
        QObject::connect(&timer_, &QTimer::timeout, [this] {
            QWidget *w = QApplication::activeModalWidget();
            if (!w || w == last_)
                return;
            last_ = w;
            if (auto *vista = qobject_cast<FrmVistaErrDlg *>(w)) {
                seen_.push_back({"FrmVistaErrDlg", w->windowTitle(), vista->Label1->text()});
                vista->OKButton->click();
            } else if (auto *box = qobject_cast<frmProgressDialog *>(w)) {
                seen_.push_back({"frmProgressDialog", w->windowTitle(), box->Label1->text()});
            } else {
                seen_.push_back({w->metaObject()->className(), w->windowTitle(), {}});
            }
        });
        timer_.start(2);
    }
    const std::vector<Seen> &seen() const { return seen_; }

private:
    QTimer timer_;
    QWidget *last_ = nullptr;
    std::vector<Seen> seen_;
};

QMainWindow *MainWindow()
{
    for (QWidget *w : QApplication::topLevelWidgets())
        if (auto *m = qobject_cast<QMainWindow *>(w); m && m->isVisible())
            return m;
    return nullptr;
}

const QList<float> kBuiltInWidths{1800, 250, 700, 1800, 1000, 1400, 1400, 1400};

class StartupTest : public ::testing::Test {
protected:
    // The start folder defaults to the home folder, which the main window then searches: keep it small.
    StartupTest() : dataHome("XDG_DATA_HOME", data.path()), home("HOME", data.createFolder("home")) {}

    void SetUp() override
    {
        savedPath = State().StorageFolderPath;
        savedFolder = State().StorageFolder;
        ResetState();
    }
    void TearDown() override
    {
        CloseMainWindows();
        ResetState();
        State().StorageFolderPath = savedPath;
        State().StorageFolder = savedFolder;
    }
    static void CloseMainWindows()
    {
        // Deleting a window deletes its own top-level children (menus, floating panes) with it.
        QList<QPointer<QWidget>> windows;
        for (QWidget *w : QApplication::topLevelWidgets())
            windows << w;
        for (const QPointer<QWidget> &w : windows)
            if (w && qobject_cast<QMainWindow *>(w.data()))
                delete w.data();
    }
    static void ResetState()
    {
        ProgramState &st = State();
        st.objSettings.reset();
        st.objGridColumns.reset();
        st.PdfCounter.reset();
        st.TiffCounter.reset();
        st.CmdLineFolder.clear();
        st.CmdLineFiles.clear();
        st.ColumnWidths.clear();
        st.FilterPatterns[0].clear();
    }

    QString Storage() const { return data.path() + "/Quorrel Technologies/Folvane 1.1"; }
    QString SettingsFile() const { return Storage() + "/Settings/settings.ini"; }
    /// A settings file as an earlier run left it: the defaults with some changes.
    void SaveEarlierRun(const std::function<void(Settings &)> &change)
    {
        QDir().mkpath(Storage());
        State().StorageFolderPath = Storage();
        Settings earlier;
        earlier.LoadDefaultSettings();
        change(earlier);
    }
    static QList<float> Widths()
    {
        QList<float> widths;
        for (const GridColumns::Ptr &c : *State().objGridColumns)
            widths << c->ColumnWidth;
        return widths;
    }
    /// The write check failed: the access-rights window was all start-up showed, and it ended there
    /// without a main window and without having written settings.
    void ExpectTheAccessRightsWindowAndNothingElse(const ModalWatcher &watcher, bool shown)
    {
        EXPECT_FALSE(shown);
        ASSERT_EQ(watcher.seen().size(), 1u);
        EXPECT_EQ(watcher.seen()[0].className, "FrmVistaErrDlg");
        EXPECT_EQ(watcher.seen()[0].title, "Folvane 1.1");
        EXPECT_EQ(watcher.seen()[0].label, "Needed Admin Permission :Cann't run without adminstrator rights in Vista\"");
        EXPECT_EQ(MainWindow(), nullptr);
        EXPECT_FALSE(State().objSettings);
        EXPECT_FALSE(QFile::exists(SettingsFile()));
    }

    test::TempDir data;
    test::ScopedEnv dataHome;
    test::ScopedEnv home;
    QString savedPath, savedFolder;
};

TEST_F(StartupTest, FirstRunShowsTheBoxWritesTheDefaultsAndOpensTheMainWindow)
{
    ModalWatcher watcher;
    test::ScriptedMsgBox boxes;
    ASSERT_TRUE(Main({}, CreateMainWindow));

    ASSERT_EQ(watcher.seen().size(), 1u);
    EXPECT_EQ(watcher.seen()[0].className, "frmProgressDialog");
    EXPECT_EQ(watcher.seen()[0].title, "Folvane 1.1");
    EXPECT_TRUE(boxes.calls().empty());

    const ProgramState &st = State();
    EXPECT_EQ(st.StorageFolderPath, Storage());
    EXPECT_EQ(st.StorageFolder, Storage() + "/");
    EXPECT_TRUE(st.CmdLineFolder.isEmpty());
    EXPECT_TRUE(st.CmdLineFiles.isEmpty());
    Settings written;
    ASSERT_TRUE(written.LoadSettings());
    EXPECT_EQ(written.StartupFolder(), QDir::homePath());
    EXPECT_EQ(st.objSettings->LastGridColWidth(), written.LastGridColWidth());
    // The default width list has eight pieces, so it replaces the built-in widths.
    EXPECT_EQ(Widths(), (QList<float>{1800, 250, 700, 1800, 1000, 1400, 2000, 2000}));
    EXPECT_EQ(st.ColumnWidths.size(), 8);
    EXPECT_EQ(st.FilterPatterns[0], "*.pdf");
    EXPECT_TRUE(st.PdfCounter);
    EXPECT_TRUE(st.TiffCounter);
    ASSERT_NE(MainWindow(), nullptr);
    EXPECT_EQ(MainWindow()->windowTitle(), "Folvane 1.1");
    // Start-up wrote only the settings: the probe file is gone and nothing was logged.
    const QStringList entries = QDir(Storage()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden);
    EXPECT_EQ(entries, QStringList{"Settings"});
}

TEST_F(StartupTest, WithSettingsTheyAreLoadedWithoutTheFirstRunBox)
{
    const QString docs = data.createFolder("docs");
    SaveEarlierRun([&](Settings &s) {
        s.setStartupFolder(docs);
        s.setLastGridColWidth("10,20,30,40,50,60,70,80");
    });
    ModalWatcher watcher;
    ASSERT_TRUE(Main({}, CreateMainWindow));
    EXPECT_TRUE(watcher.seen().empty());
    EXPECT_EQ(State().objSettings->StartupFolder(), docs);
    EXPECT_EQ(Widths(), (QList<float>{10, 20, 30, 40, 50, 60, 70, 80}));
    EXPECT_NE(MainWindow(), nullptr);
    EXPECT_TRUE(test::ErrorLogLines().isEmpty());
}

TEST_F(StartupTest, DamagedSettingsAreLoggedAndReplacedByTheDefaults)
{
    QDir().mkpath(Storage() + "/Settings");
    QFile f(SettingsFile());
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("\x11\x20\x01\x00\xff\xff\xff\x7f\x00\x00\x00\x00 damaged", 20);
    f.close();

    ModalWatcher watcher;
    ASSERT_TRUE(Main({}, CreateMainWindow));
    ASSERT_EQ(watcher.seen().size(), 1u);
    EXPECT_EQ(watcher.seen()[0].className, "frmProgressDialog");
    Settings written;
    ASSERT_TRUE(written.LoadSettings());
    EXPECT_EQ(written.ColumnVisibility(), "1,1,1,1,1,1,1,1");
    const QStringList lines = test::ErrorLogLines();
    ASSERT_EQ(lines.size(), 1);
    EXPECT_TRUE(lines[0].contains("in procedure LoadSettings at Line No. "));
    EXPECT_NE(MainWindow(), nullptr);
}

TEST_F(StartupTest, SavedWidthsApplyByPositionOnlyWhenEveryColumnHasOne)
{
    struct Case {
        const char *widths;
        QList<float> expected;
        int logLines;
    } cases[] = {
        {"1,2,3,4,5,6,7", kBuiltInWidths, 0},
        {"1,2,3,4,5,6,7,8,9", kBuiltInWidths, 0},
        {"", kBuiltInWidths, 0},
        {" 1.5 ,2,3,4,5,6,7,8", {1.5, 2, 3, 4, 5, 6, 7, 8}, 0},
        // A piece that is not a number keeps its built-in width; start-up goes on.
        {"1,2,abc,4,5,,7,8", {1, 2, 700, 4, 5, 1400, 7, 8}, 2},
        // As in the column model: a negative piece, or one no column can be as wide as, keeps it too.
        {"1800,-1,700,1e30,1000,32768,2000,2000", {1800, 250, 700, 1800, 1000, 1400, 2000, 2000}, 0},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.widths);
        CloseMainWindows();
        ResetState();
        QDir(Storage()).removeRecursively();
        SaveEarlierRun([&](Settings &s) { s.setLastGridColWidth(c.widths); });
        ASSERT_TRUE(Main({}, CreateMainWindow));
        EXPECT_EQ(Widths(), c.expected);
        const QStringList lines = test::ErrorLogLines();
        ASSERT_EQ(lines.size(), c.logLines);
        for (const QString &line : lines) {
            EXPECT_TRUE(line.startsWith("Error 13 (Type mismatch) in procedure Main at Line No. "));
            EXPECT_TRUE(line.contains(" of Module modMasterLayout at time- "));
        }
        EXPECT_NE(MainWindow(), nullptr);
    }
}

TEST_F(StartupTest, AStorageFolderThatCannotBeWrittenShowsTheAccessRightsWindowAndEnds)
{
    if (test::RanUnprivileged()) // a read-only folder does not stop root
        return;
    for (const bool fifoAtTheProbe : {false, true}) {
        SCOPED_TRACE(fifoAtTheProbe ? "a FIFO at the probe's name" : "nothing at the probe's name");
        QDir(Storage()).removeRecursively();
        QDir().mkpath(Storage());
        const QString probe = Storage() + "/Testtemp.sys";
        if (fifoAtTheProbe)
            test::Make(test::AtTarget::Fifo, probe);
        const test::NameState before = test::StateOf(probe);
        ASSERT_EQ(::chmod(QFile::encodeName(Storage()).constData(), 0555), 0);
        ModalWatcher watcher;
        const bool shown = Main({}, CreateMainWindow);
        ASSERT_EQ(::chmod(QFile::encodeName(Storage()).constData(), 0755), 0);
        ExpectTheAccessRightsWindowAndNothingElse(watcher, shown);
        EXPECT_EQ(test::StateOf(probe), before);
    }
}

TEST_F(StartupTest, AFullDiskShowsTheAccessRightsWindowAndEnds)
{
    if (test::RanOnSmallDisk(256 << 10))
        return;
    const QString disk = test::SmallDisk();
    const test::ScopedEnv onTheDisk("XDG_DATA_HOME", disk);
    const QString storage = disk + "/Quorrel Technologies/Folvane 1.1";
    ASSERT_TRUE(QDir().mkpath(storage));
    test::FillDisk(disk);
    ModalWatcher watcher;
    const bool shown = Main({}, CreateMainWindow);
    ExpectTheAccessRightsWindowAndNothingElse(watcher, shown);
    EXPECT_EQ(test::FolderEntries(storage), QStringList{});
}

TEST_F(StartupTest, AStorageFolderThatCannotBeCreatedEndsSilently)
{
    const QString file = data.createFile("not-a-folder", "x");
    test::ScopedEnv blocked("XDG_DATA_HOME", file);
    test::ScriptedMsgBox boxes;
    ModalWatcher watcher;
    EXPECT_FALSE(Main({}, CreateMainWindow));
    EXPECT_TRUE(boxes.calls().empty());
    EXPECT_TRUE(watcher.seen().empty());
    EXPECT_EQ(MainWindow(), nullptr);
    EXPECT_FALSE(State().objSettings);
}

TEST_F(StartupTest, WithoutADataFolderThePathCannotBeBuilt)
{
    test::ScopedEnv noData("XDG_DATA_HOME", std::nullopt);
    test::ScopedEnv noHome("HOME", std::nullopt);
    test::ScriptedMsgBox boxes;
    EXPECT_FALSE(Main({}, CreateMainWindow));
    ASSERT_EQ(boxes.calls().size(), 1u);
    EXPECT_EQ(boxes.calls()[0].text, "Unable to get file storage folder path");
    EXPECT_EQ(boxes.calls()[0].icon, MsgIcon::Critical);
    EXPECT_EQ(boxes.calls()[0].buttons, MsgButtons::OK);
    EXPECT_EQ(boxes.calls()[0].title, "Folvane 1.1");
    EXPECT_EQ(MainWindow(), nullptr);
    EXPECT_FALSE(State().objSettings);
}

TEST_F(StartupTest, SavedWidthsThatAreNoWidthsLeaveTheGridWholeWithItsCheckBoxes)
{
    SaveEarlierRun([](Settings &s) { s.setLastGridColWidth("-1,1e30,700,1800,1000,1400,2000,2000"); });
    ASSERT_TRUE(Main({}, CreateMainWindow));
    auto *window = qobject_cast<frmMain *>(MainWindow());
    ASSERT_NE(window, nullptr);
    const DataGrid &grid = *window->grdSearchList;
    ASSERT_EQ(grid.Cols(), 8);
    const struct {
        const char *caption;
        int width;
        int type;
    } columns[] = {
        {"Name", 1800, GridDataType::String},          {"Selection", 250, GridDataType::Boolean},
        {"Pages", 700, GridDataType::Decimal},         {"Location", 1800, GridDataType::String},
        {"Size (In KB)", 1000, GridDataType::Decimal}, {"Type", 1400, GridDataType::String},
        {"Created Date", 2000, GridDataType::Date},    {"Modified Date", 2000, GridDataType::Date},
    };
    for (int c = 0; c < 8; ++c) {
        SCOPED_TRACE(columns[c].caption);
        EXPECT_EQ(grid.TextMatrix(0, c), columns[c].caption);
        EXPECT_EQ(grid.ColWidth(c), columns[c].width);
        EXPECT_EQ(grid.ColDataType(c), columns[c].type) << "the check boxes are in their column";
    }
    EXPECT_TRUE(test::ErrorLogLines().isEmpty());
}

TEST_F(StartupTest, ARunTimeErrorInMainIsLoggedAndEndsWithoutAWindow)
{
    // A file where the "Settings" folder belongs: the settings load cannot make its folder.
    QDir().mkpath(Storage());
    data.createFile("Quorrel Technologies/Folvane 1.1/Settings", "x");
    ModalWatcher watcher;
    EXPECT_FALSE(Main({}, CreateMainWindow));
    EXPECT_TRUE(watcher.seen().empty());
    EXPECT_EQ(MainWindow(), nullptr);
    const QStringList lines = test::ErrorLogLines();
    ASSERT_EQ(lines.size(), 1);
    EXPECT_TRUE(lines[0].startsWith("Error 76 (Path not found: ")) << lines[0].toStdString();
    EXPECT_TRUE(lines[0].contains(") in procedure Main at Line No. "));
    EXPECT_TRUE(lines[0].contains(" of Module modMasterLayout at time- "));
}

TEST_F(StartupTest, TheCommandLineNamesTheStartFolderAndTheFiles)
{
    const QString docs = data.createFolder("docs");
    ASSERT_TRUE(Main({docs + "/a.pdf|" + docs + "/b c.pdf"}, CreateMainWindow));
    // The main window has searched that folder and used the folder up.
    auto *window = qobject_cast<frmMain *>(MainWindow());
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(window->ftvFolder->SelectedPath(), docs);
    EXPECT_TRUE(State().CmdLineFolder.isEmpty());
    EXPECT_EQ(State().CmdLineFiles, (QStringList{docs + "/a.pdf", docs + "/b c.pdf"}));
}

TEST_F(StartupTest, TheArgumentsNameFilesWhoseFirstFolderIsTheStartFolder)
{
    const QString base = data.path();
    const QString docs = data.createFolder("docs");
    data.createFile("docs/a.pdf", "x");
    data.createFile("docs/x|report.pdf", "x");
    const QString current = QDir::currentPath();
    ASSERT_TRUE(QDir::setCurrent(base));
    struct Case {
        const char *what;
        QStringList arguments;
        bool result;
        QString folder;
        QStringList files;
    } cases[] = {
        {"one argument holding a list", {docs + "/a.pdf|" + docs + "/b.pdf"}, true, docs, {docs + "/a.pdf", docs + "/b.pdf"}},
        {"a space is part of the name", {docs + "/a b.pdf"}, true, docs, {docs + "/a b.pdf"}},
        {"a relative path", {"docs/a.pdf"}, true, docs, {docs + "/a.pdf"}},
        {"a bare name is in the current folder", {"a.pdf"}, true, base, {base + "/a.pdf"}},
        {"relative pieces of a list", {"docs/a.pdf|./docs/../docs/b.pdf"}, true, docs, {docs + "/a.pdf", docs + "/b.pdf"}},
        {"separate arguments are never split", {"docs/x|report.pdf", "docs/a.pdf"}, true, docs,
         {docs + "/x|report.pdf", docs + "/a.pdf"}},
        {"one argument naming an existing file", {"docs/x|report.pdf"}, true, docs, {docs + "/x|report.pdf"}},
        {"one argument naming no file is a list", {"docs/y|report.pdf"}, true, docs, {docs + "/y", base + "/report.pdf"}},
        {"empty pieces stay empty", {docs + "/a.pdf||"}, true, docs, {docs + "/a.pdf", "", ""}},
        {"a file in the root", {"/a.pdf"}, true, "/", {"/a.pdf"}},
        {"quotes are part of the path", {"\"" + docs + "/a.pdf\""}, false, "", {}},
        {"a folder that is not there", {docs + "/missing/a.pdf"}, false, "", {}},
        {"an empty first piece", {"|" + docs + "/a.pdf"}, false, "", {}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        ResetState();
        EXPECT_EQ(ValidateCmdLine(CommandLineFiles(c.arguments)), c.result);
        EXPECT_EQ(State().CmdLineFolder, c.folder);
        EXPECT_EQ(State().CmdLineFiles, c.files);
    }
    QDir::setCurrent(current);
}

TEST_F(StartupTest, WriteCheckAndFolderCreation)
{
    using test::AtTarget;
    EXPECT_TRUE(IsWindowsVista());
    const auto make = [](AtTarget kind) { return [kind](const QString &probe) { test::Make(kind, probe); }; };
    struct Case {
        const char *what;
        std::function<void(const QString &)> make;
        bool ours; // the probe's own name: written there and removed
    };
    std::vector<Case> cases{
        {"nothing", make(AtTarget::Nothing), true},
        {"a probe a killed run left", make(AtTarget::File), true},
        {"a hard link to a file",
         [](const QString &probe) {
             test::Make(AtTarget::File, test::ElsewhereOf(probe));
             ASSERT_EQ(::link(QFile::encodeName(test::ElsewhereOf(probe)).constData(), QFile::encodeName(probe).constData()), 0);
         },
         true},
    };
    // Someone else's: left as it is, and the folder is asked for an unnamed file instead.
    cases.push_back({test::Describe(AtTarget::LinkToFile), make(AtTarget::LinkToFile), false});
    for (const AtTarget kind : test::LeftAlone())
        cases.push_back({test::Describe(kind), make(kind), false});
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        test::TempDir dir;
        const QString probe = dir.filePath("Testtemp.sys");
        c.make(probe);
        const test::NameState before = test::StateOf(probe);
        const test::NameState elsewhere = test::StateOf(test::ElsewhereOf(probe));
        // Read only where a regular file stands: the test must not wait on a FIFO itself.
        const auto bytesElsewhere = [&probe] {
            return S_ISREG(test::StateOf(test::ElsewhereOf(probe)).mode) ? test::FileBytes(test::ElsewhereOf(probe)) : QByteArray();
        };
        const QByteArray elsewhereBytes = bytesElsewhere();
        QStringList entries = test::FolderEntries(dir.path());
        if (c.ours)
            entries.removeAll("Testtemp.sys");

        EXPECT_TRUE(TestWriteAccess(probe));
        EXPECT_EQ(test::StateOf(probe), c.ours ? test::NameState() : before);
        EXPECT_EQ(test::StateOf(test::ElsewhereOf(probe)), elsewhere);
        EXPECT_EQ(bytesElsewhere(), elsewhereBytes);
        EXPECT_EQ(test::FolderEntries(dir.path()), entries);
    }
    EXPECT_FALSE(TestWriteAccess(data.filePath("no/such/folder/Testtemp.sys")));

    EXPECT_TRUE(CreateFolderPath(data.filePath("a/b/c")));
    EXPECT_TRUE(QDir(data.filePath("a/b/c")).exists());
    EXPECT_TRUE(CreateFolderPath(data.filePath("a/b/c/")));
    data.createFile("file", "x");
    EXPECT_FALSE(CreateFolderPath(data.filePath("file/sub")));
}

// The real program, as a user starts it.
class ProgramTest : public ::testing::Test {
protected:
    QProcessEnvironment Environment(const QString &dataHome) const
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("XDG_DATA_HOME", dataHome);
        env.insert("QT_QPA_PLATFORM", "offscreen");
        return env;
    }
};

TEST_F(ProgramTest, FirstRunWritesTheSettingsAndKeepsRunningWithItsWindow)
{
    test::TempDir data;
    QProcess program;
    program.setProcessEnvironment(Environment(data.path()));
    program.start(FOLVANE_EXE, {data.path() + "/a.pdf"});
    ASSERT_TRUE(program.waitForStarted());
    const QString settings = data.path() + "/Quorrel Technologies/Folvane 1.1/Settings/settings.ini";
    QElapsedTimer clock;
    clock.start();
    while (!QFile::exists(settings) && clock.elapsed() < 30000)
        program.waitForFinished(50);
    EXPECT_TRUE(QFile::exists(settings));
    // The event loop goes on while the main window lives.
    EXPECT_FALSE(program.waitForFinished(500));
    EXPECT_EQ(program.state(), QProcess::Running);
    program.kill();
    program.waitForFinished();
}

TEST_F(ProgramTest, SpecialFilesAtItsOwnNamesNeitherHoldItUpNorAreChanged)
{
    using test::AtTarget;
    struct Case {
        const char *name;
        const char *file; // under the storage folder
        AtTarget kind;
    };
    const Case cases[] = {
        {"settings.ini a FIFO", "Settings/settings.ini", AtTarget::Fifo},
        {"settings.ini a dangling link", "Settings/settings.ini", AtTarget::DanglingLink},
        {"settings.ini a link to a FIFO", "Settings/settings.ini", AtTarget::LinkToFifo},
        {"Errors.Log a FIFO", "Errors.Log", AtTarget::Fifo},
        {"Errors.Log a dangling link", "Errors.Log", AtTarget::DanglingLink},
        {"Errors.Log a link to a FIFO", "Errors.Log", AtTarget::LinkToFifo},
    };
    struct Run {
        const Case *c;
        test::TempDir data;
        QString path;
        QString report;
        test::NameState before;
        test::NameState elsewhere;
        QStringList entries; // of the folder that holds the name
        QProcess program;
    };
    // All at once: each waits for its first-run box.
    std::vector<std::unique_ptr<Run>> runs;
    for (const Case &c : cases) {
        auto run = std::make_unique<Run>();
        run->c = &c;
        const QString storage = run->data.path() + "/Quorrel Technologies/Folvane 1.1";
        ASSERT_TRUE(QDir().mkpath(storage + "/Settings"));
        run->path = storage + "/" + c.file;
        test::Make(c.kind, run->path);
        // A damaged settings file is logged at every start, so the log is written to.
        if (QFileInfo(run->path).fileName() == "Errors.Log")
            run->data.createFile("Quorrel Technologies/Folvane 1.1/Settings/settings.ini", "damaged");
        run->report = run->data.filePath("report.txt");
        run->before = test::StateOf(run->path);
        run->elsewhere = test::StateOf(test::ElsewhereOf(run->path));
        run->entries = test::FolderEntries(QFileInfo(run->path).path());

        QProcessEnvironment env = Environment(run->data.path());
        env.insert("HOME", run->data.createFolder("home"));
        env.insert("XDG_CONFIG_HOME", run->data.filePath("config"));
        env.insert("FOLVANE_TEST_REPORT", run->report); // written once the main window is up
        env.insert("FOLVANE_TEST_QUIT", "1");           // then the window closes itself
        run->program.setProcessEnvironment(env);
        run->program.start(FOLVANE_EXE, {});
        runs.push_back(std::move(run));
    }
    QElapsedTimer clock;
    clock.start();
    for (const auto &run : runs) {
        SCOPED_TRACE(run->c->name);
        const bool finished = run->program.waitForFinished(int(std::max<qint64>(60000 - clock.elapsed(), 1000)));
        if (!finished) {
            run->program.kill();
            run->program.waitForFinished();
        }
        EXPECT_TRUE(finished) << "the program did not come up and close within a minute";
        EXPECT_EQ(run->program.exitStatus(), QProcess::NormalExit);
        EXPECT_TRUE(QFile::exists(run->report)) << "the main window never came up";
        EXPECT_EQ(test::StateOf(run->path), run->before) << "what stood at the name was changed";
        EXPECT_EQ(test::StateOf(test::ElsewhereOf(run->path)), run->elsewhere) << "a file was made where the link leads";
        EXPECT_EQ(test::FolderEntries(QFileInfo(run->path).path()), run->entries);
    }
}

TEST_F(ProgramTest, WithoutAStorageFolderTheProgramEndsAtOnce)
{
    test::TempDir data;
    const QString file = data.createFile("blocked", "x");
    QProcess program;
    program.setProcessEnvironment(Environment(file));
    program.start(FOLVANE_EXE, {});
    ASSERT_TRUE(program.waitForFinished(30000));
    EXPECT_EQ(program.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(program.exitCode(), 0);
}

}  // namespace
