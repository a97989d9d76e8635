#include "platform/CommonDialog.h"

#include "platform/MsgBox.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QPrintDialog>
#include <QPrinter>
#include <QStringList>

#include <utility>

namespace folvane::CommonDialog {

namespace {
SaveAnswerer &answerer()
{
    static SaveAnswerer a;
    return a;
}

OpenAnswerer &openAnswerer()
{
    static OpenAnswerer a;
    return a;
}

PrinterAnswerer &printerAnswerer()
{
    static PrinterAnswerer a;
    return a;
}

FolderAnswerer &folderAnswerer()
{
    static FolderAnswerer a;
    return a;
}

/// The save-file box. With "path must exist" it refuses, with a message, a name whose folder is not
/// there, and stays open: a file saved there would be lost.
class SaveBox : public QFileDialog {
public:
    SaveBox(QWidget *parent, const SaveRequest &request) : QFileDialog(parent, request.title), request_(request)
    {
        setAcceptMode(QFileDialog::AcceptSave);
        setFileMode(QFileDialog::AnyFile);
        setOption(QFileDialog::DontConfirmOverwrite, !request.confirmOverwrite);
        // A desktop's own box closes before the name can be checked, so the check could only reopen
        // it: Qt's box is used everywhere.
        setOption(QFileDialog::DontUseNativeDialog);
    }

    void accept() override
    {
        const QStringList files = selectedFiles();
        if (request_.pathMustExist && !files.isEmpty()) {
            const QFileInfo chosen(files.constFirst());
            // A folder typed as the name is opened by the box itself.
            if (!chosen.isDir() && !QFileInfo(chosen.absolutePath()).isDir()) {
                MsgBox(chosen.absolutePath() + QStringLiteral("\r\nThis folder does not exist. Check the path and try again."),
                       MsgButtons::OK, MsgIcon::Exclamation, windowTitle(), this);
                return;
            }
        }
        QFileDialog::accept();
    }

private:
    SaveRequest request_;
};

/// Shows the box with the filter list; the chosen path, or "" when cancelled.
QString RunFileBox(QFileDialog &box, const QString &filter, int filterIndex)
{
    const QString filters = ToQtFilters(filter);
    box.setNameFilter(filters);
    const QStringList list = filters.split(QStringLiteral(";;"));
    if (filterIndex >= 1 && filterIndex <= list.size())
        box.selectNameFilter(list[filterIndex - 1]);
    if (box.exec() != QDialog::Accepted || box.selectedFiles().isEmpty())
        return {};
    return box.selectedFiles().constFirst();
}
}  // namespace

void SetPrinterAnswerer(PrinterAnswerer a) { printerAnswerer() = std::move(a); }

void SetSaveAnswerer(SaveAnswerer a) { answerer() = std::move(a); }

QString ToQtFilters(const QString &filter)
{
    const QStringList parts = filter.split(QLatin1Char('|'));
    QStringList filters;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        const QString &description = parts[i];
        QString patterns = parts[i + 1];
        patterns.replace(QLatin1Char(';'), QLatin1Char(' '));
        // Qt reads the patterns from the parentheses; a description that already shows them is kept.
        filters << (description.contains(QLatin1Char('(') + patterns + QLatin1Char(')'))
                        ? description
                        : description + QStringLiteral(" (") + patterns + QLatin1Char(')'));
    }
    return filters.join(QStringLiteral(";;"));
}

QString ShowSave(const SaveRequest &request, QWidget *parent)
{
    if (answerer())
        return answerer()(request);

    SaveBox box(parent, request);
    return RunFileBox(box, request.filter, request.filterIndex);
}

void SetOpenAnswerer(OpenAnswerer a) { openAnswerer() = std::move(a); }

QString ShowOpen(const OpenRequest &request, QWidget *parent)
{
    if (openAnswerer())
        return openAnswerer()(request);

    QFileDialog box(parent, request.title);
    box.setAcceptMode(QFileDialog::AcceptOpen);
    box.setFileMode(QFileDialog::ExistingFile);
    return RunFileBox(box, request.filter, request.filterIndex);
}

std::optional<QString> ShowPrinter(QWidget *parent)
{
    if (printerAnswerer())
        return printerAnswerer()();

    QPrinter printer;
    QPrintDialog box(&printer, parent);
    // Only a printer's name reaches the spooler, so printing to a file is not offered.
    box.setOption(QAbstractPrintDialog::PrintToFile, false);
    if (box.exec() != QDialog::Accepted)
        return std::nullopt;
    return printer.printerName();
}

void SetFolderAnswerer(FolderAnswerer a) { folderAnswerer() = std::move(a); }

std::optional<QString> BrowseForFolder(const FolderRequest &request, QWidget *parent)
{
    if (folderAnswerer())
        return folderAnswerer()(request);
    const QString folder = QFileDialog::getExistingDirectory(
        parent, request.title, request.startFolder.isEmpty() ? QDir::homePath() : request.startFolder);
    if (folder.isEmpty())
        return std::nullopt;
    return folder;
}

}  // namespace folvane::CommonDialog
