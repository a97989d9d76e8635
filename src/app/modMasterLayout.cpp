#include "app/modMasterLayout.h"

#include "app/ErrorLog.h"
#include "app/FrmVistaErrDlg.h"
#include "app/GridColumns.h"
#include "app/ProgramState.h"
#include "app/Settings.h"
#include "app/frmProgressDialog.h"
#include "app/modGeneral.h"
#include "platform/MsgBox.h"
#include "platform/OwnFile.h"
#include "platform/PageCounters.h"
#include "platform/PropertyBag.h"

#include <QApplication>
#include <QDir>
#include <QFont>
#include <QMainWindow>

namespace folvane::modMasterLayout {

namespace {

/// The folder part of a path as text: "/docs/a.pdf" gives "/docs", "/a.pdf" gives "/", and a bare
/// name gives "". A trailing separator does not count.
QString ParentFolderName(const QString &path)
{
    qsizetype end = path.size();
    while (end > 1 && path[end - 1] == QLatin1Char('/'))
        --end;
    const qsizetype slash = path.lastIndexOf(QLatin1Char('/'), end - 1);
    if (slash < 0)
        return QString();
    return slash == 0 ? QStringLiteral("/") : path.left(slash);
}

/// The saved widths by position, when there is one for every column. A piece that is not a number
/// would end the start-up at every run: it keeps its built-in width and leaves a line in the log.
/// Other pieces follow the column model's rule: a negative one, or one no column can be as wide as,
/// keeps the built-in width.
void ApplySavedWidths()
{
    ProgramState &st = State();
    st.ColumnWidths = modGeneral::SplitList(st.objSettings->LastGridColWidth());
    GridColumns &model = *st.objGridColumns;
    if (st.ColumnWidths.size() != model.Count())
        return;
    for (int i = 1; i <= model.Count(); ++i) {
        Guarded("Main", Unit::modMasterLayout, [&] {
            const QString &piece = st.ColumnWidths[i - 1];
            Require(modGeneral::TextToNumber(piece).has_value(), ErrNo::TypeMismatch, QStringLiteral("Type mismatch"));
            if (const std::optional<double> width = modGeneral::SavedColumnWidth(piece))
                model.Item(i)->ColumnWidth = static_cast<float>(*width);
        });
    }
}

}  // namespace

QStringList CommandLineFiles(const QStringList &arguments)
{
    const QDir current = QDir::current();
    auto absolute = [&current](const QString &piece) {
        return piece.isEmpty() ? piece : QDir::cleanPath(current.absoluteFilePath(piece));
    };
    QStringList files = arguments;
    if (arguments.size() == 1 && !QFileInfo::exists(absolute(arguments.first())))
        files = arguments.first().split(QLatin1Char('|'), Qt::KeepEmptyParts);
    for (QString &file : files)
        file = absolute(file);
    return files;
}

void UseFormsFont()
{
    // The forms were laid out in twips for an 8-point interface font: the desktop's family at that
    // size keeps the fixed widths and pane sizes holding their captions.
    QFont font = QApplication::font();
    font.setPointSize(8);
    QApplication::setFont(font);
}

int RunProgram(int argc, char **argv, const MainWindowFactory &createMainWindow)
{
    QApplication app(argc, argv);
    UseFormsFont();
    if (!Main(QCoreApplication::arguments().mid(1), createMainWindow))
        return 0;
    return app.exec();
}

bool Main(const QStringList &arguments, const MainWindowFactory &createMainWindow)
{
    bool shown = false;
    Guarded("Main", Unit::modMasterLayout, [&] {
        ProgramState &st = State();
        if (!arguments.isEmpty())
            ValidateCmdLine(CommandLineFiles(arguments));
        if (!InitStorageFolder())
            return;
        st.StorageFolder = modGeneral::ValidateDir(st.StorageFolderPath);

        if (IsWindowsVista() && !TestWriteAccess(st.StorageFolder + QStringLiteral("Testtemp.sys"))) {
            FrmVistaErrDlg dialog;
            dialog.exec();
            return;
        }

        st.objSettings = std::make_unique<Settings>();
        if (!st.objSettings->LoadSettings()) {
            {
                frmProgressDialog firstRun;
                firstRun.exec();
            }
            st.objSettings->LoadDefaultSettings();
        }

        st.objGridColumns = std::make_unique<GridColumns>();
        AddDefaultResultColumns(*st.objGridColumns);
        ApplySavedWidths();

        st.FilterPatterns[0] = QStringLiteral("*.pdf");

        st.PdfCounter = std::make_unique<PdfPageCounter>();
        st.TiffCounter = std::make_unique<TiffPageCounter>();

        createMainWindow()->show();
        shown = true;
    });
    return shown;
}

bool ValidateCmdLine(const QStringList &files)
{
    bool result = false;
    Guarded("ValidateCmdLine", Unit::modMasterLayout, [&] {
        // The files are taken as they stand; the main window matches them against its rows.
        const QString folder = ParentFolderName(files.value(0));
        if (modGeneral::IsFolderExist(folder)) {
            State().CmdLineFolder = folder;
            State().CmdLineFiles = files;
            result = true;
        }
    });
    return result;
}

bool InitStorageFolder()
{
    const QString appData = modGetSpecialFolder::GetSpecialfolder(modGetSpecialFolder::CSIDL_APPDATA);
    // Without a data folder the path would fall back to a folder under "/", which is not the user's
    // to write: that counts as a path that cannot be built.
    if (appData.isEmpty()) {
        MsgBox(QStringLiteral("Unable to get file storage folder path"), MsgButtons::OK, MsgIcon::Critical,
               ProgramTitle());
        return false;
    }
    State().StorageFolderPath = QDir::cleanPath(appData + QLatin1Char('/') + CompanyName() + QLatin1Char('/') + ProgramTitle());
    return CreateFolderPath(State().StorageFolderPath);
}

bool TestWriteAccess(const QString &probePath)
{
    PropertyBag bag;
    bag.WriteProperty(QStringLiteral("ID"), QStringLiteral("test"));
    const QByteArray block = bag.Contents();

    // Only a probe that a killed run left is replaced at the name. A FIFO, device, folder or link
    // there is someone else's and stays as it is; the check then asks the folder for an unnamed file,
    // which is what it is about: whether the storage folder takes new files.
    return OwnFile::WriteProbe(probePath, block).ok;
}

bool IsWindowsVista()
{
    // The write check is worth its cost on every system this port runs on.
    return true;
}

bool CreateFolderPath(const QString &folder) { return MakeFolderPath(folder); }

bool MakeFolderPath(const QString &folder)
{
    // An existing folder counts as made.
    return QDir().mkpath(modGeneral::ValidateDir(folder));
}

}  // namespace folvane::modMasterLayout
