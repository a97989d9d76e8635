#include "platform/CommonDialog.h"

#include <QFileDialog>
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

PrinterAnswerer &printerAnswerer()
{
    static PrinterAnswerer a;
    return a;
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

    QFileDialog box(parent, request.title);
    box.setAcceptMode(QFileDialog::AcceptSave);
    box.setFileMode(QFileDialog::AnyFile);
    box.setOption(QFileDialog::DontConfirmOverwrite, !request.confirmOverwrite);
    const QString filters = ToQtFilters(request.filter);
    box.setNameFilter(filters);
    const QStringList list = filters.split(QStringLiteral(";;"));
    if (request.filterIndex >= 1 && request.filterIndex <= list.size())
        box.selectNameFilter(list[request.filterIndex - 1]);
    if (box.exec() != QDialog::Accepted || box.selectedFiles().isEmpty())
        return {};
    return box.selectedFiles().constFirst();
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

namespace {
FolderAnswerer &folderAnswerer()
{
    static FolderAnswerer a;
    return a;
}
}  // namespace

void SetFolderAnswerer(FolderAnswerer a) { folderAnswerer() = std::move(a); }

std::optional<QString> ShowFolder(const QString &title, QWidget *parent)
{
    if (folderAnswerer())
        return folderAnswerer()(title);
    const QString folder = QFileDialog::getExistingDirectory(parent, title);
    if (folder.isEmpty())
        return std::nullopt;
    return folder;
}

}  // namespace folvane::CommonDialog
