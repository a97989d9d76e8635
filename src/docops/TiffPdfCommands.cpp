#include "docops/TiffPdfCommands.h"

#include "app/ErrorLog.h"
#include "app/ProgramState.h"
#include "app/Settings.h"
#include "app/modGeneral.h"
#include "docops/CombineProgress.h"
#include "platform/AtomicOutput.h"
#include "platform/AutomationComponent.h"
#include "platform/PdfMerge.h"
#include "platform/PdfSplit.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>

#include <limits>
#include <memory>
#include <source_location>

namespace folvane {

namespace {

/// Encrypted inputs open with the passwords the page counter uses during a search, so a row that
/// showed a page count can be merged.
PdfEngine::Passwords PreferencePasswords()
{
    const auto &settings = State().objSettings;
    if (!settings)
        return {};
    return {settings->PrefeOwnerPassword(), settings->PrefeUserPassword()};
}

void RequireEngine(const Outcome &result, std::source_location where = std::source_location::current())
{
    Require(result.ok, ErrNo::EngineFailure, result.reason, where);
}

QString AllPagesUnlessGiven(const QString &range)
{
    return range.isEmpty() ? QStringLiteral("0") : range;
}

void Yield() { QCoreApplication::processEvents(); }

QVariant Int16(std::int16_t value) { return QVariant::fromValue(value); }
QVariant Int32(std::int32_t value) { return QVariant::fromValue(value); }

/// A new component object; an error when none has that identifier.
std::unique_ptr<AutomationComponent> Create(const char *progId,
                                            std::source_location where = std::source_location::current())
{
    std::unique_ptr<AutomationComponent> component = CreateComponent(QString::fromLatin1(progId));
    Require(component != nullptr, ErrNo::CannotCreateObject,
            QStringLiteral("Cannot create the component %1").arg(QLatin1String(progId)), where);
    return component;
}

/// The method's answer; its error becomes ours.
QVariant Call(AutomationComponent &component, const char *method, const QVariantList &args,
              std::source_location where = std::source_location::current())
{
    CallResult r = component.Invoke(QString::fromLatin1(method), args);
    if (!r)
        throw AppError(r.error, r.reason, where);
    return *std::move(r);
}

/// The source's file name (spaces trimmed, folder removed).
QString SourceName(const QString &path) { return modGeneral::GetFileName(modGeneral::TrimSpaces(path)); }

/// The name up to (not including) its last "."; a name without one is an error.
QString CutBeforeLastDot(const QString &name, std::source_location where = std::source_location::current())
{
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    Require(dot >= 0, ErrNo::InvalidProcedureCall,
            QStringLiteral("Invalid procedure call or argument: \"%1\" has no extension").arg(name), where);
    return name.left(dot);
}

/// The name up to and with its last "."; empty for a name without one.
QString CutAfterLastDot(const QString &name)
{
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    return dot < 0 ? QString() : name.left(dot + 1);
}

/// Creates the one folder when nothing of that name exists; its parent must exist.
void CreateFolderWhenMissing(const QString &folder, std::source_location where = std::source_location::current())
{
    if (modGeneral::IsFolderExist(folder))
        return;
    const Outcome created = CreateOneFolder(folder);
    Require(created.ok, ErrNo::PathNotFound, created.reason, where);
}

/// "<folder>/<name.>" for the TIFF commands that work in a folder named after their source.
QString FolderNamedAfter(const QString &outputFolder, const QString &source)
{
    return modGeneral::ValidateDir(outputFolder) + CutAfterLastDot(SourceName(source));
}

}  // namespace

bool TiffPdfCommands::CombineOrderPdf()
{
    if (FileNameToSave.isEmpty())
        return false;
    FileProccessed = 0;
    cancelRequested_ = false;
    bool result = false;
    Guarded("CombineOrderPdf", Unit::TiffPdfCommands, [&] {
        PdfEngine::PdfMerge merge(FileNameToSave, PreferencePasswords());
        RequireEngine(merge.Opened());
        // By index: the yield below lets the dialog run, and nothing it does may invalidate the walk.
        for (std::size_t i = 0; i < colOrderedData.size(); ++i) {
            const clsColSetOrderGrid record = colOrderedData[i];
            RequireEngine(merge.Add(modGeneral::ValidateDir(record.FileLocation) + record.filename,
                                    AllPagesUnlessGiven(record.Range)));
            QCoreApplication::processEvents();
            ++FileProccessed;
            if (progress_)
                progress_->SetProgressValue(FileProccessed);
            if (cancelRequested_)
                return;  // the merge is discarded: no output
        }
        RequireEngine(merge.Close());
        result = true;
    });
    return result;
}

bool TiffPdfCommands::AppendPdfFile(QString SrcFilename, QString AppendFilename, QString Range,
                                    QString SrcTarFilename, RangeGoesTo rangeGoesTo)
{
    bool result = false;
    Guarded("AppendPdfFile", Unit::TiffPdfCommands, [&] {
        const QString range = AllPagesUnlessGiven(Range);
        const bool firstTakesRange = rangeGoesTo == RangeGoesTo::FirstDocument;
        PdfEngine::PdfMerge merge(SrcTarFilename, PreferencePasswords());
        RequireEngine(merge.Opened());
        RequireEngine(merge.Add(SrcFilename, firstTakesRange ? range : QStringLiteral("0")));
        RequireEngine(merge.Add(AppendFilename, firstTakesRange ? QStringLiteral("0") : range));
        RequireEngine(merge.Close());
        result = true;
    });
    return result;
}

QVariant TiffPdfCommands::ConvertPDFToImage(QString strPDF, QString strImage, std::int32_t param)
{
    if (strPDF.isEmpty() || strImage.isEmpty())
        return QVariant(false);
    bool result = false;
    Guarded("ConvertPDFToImage", Unit::TiffPdfCommands, [&] {
        const auto converter = Create("TiffPdf.Converter");
        Yield();
        Call(*converter, "PDFToImage", {strPDF, strImage, Int16(100), Int16(100), Int16(0), Int32(param), Int16(0)});
        result = true;
    });
    return QVariant(result);
}

bool TiffPdfCommands::ConverImageToTiff(QString strInputImage, QString strOutputImage, std::int32_t nTiffEncoding)
{
    if (strInputImage.isEmpty() || strOutputImage.isEmpty())
        return false;
    bool result = false;
    Guarded("ConverImageToTiff", Unit::TiffPdfCommands, [&] {
        const auto converter = Create("TiffPdf.Converter");
        Yield();
        Call(*converter, "ConvertImageToTiff", {strInputImage, strOutputImage, Int32(nTiffEncoding)});
        result = true;
    });
    return result;
}

bool TiffPdfCommands::UpdatePdfMetaData(QString SrcFile, QString Password, QString Keys_values, QString OutputFilename)
{
    bool result = false;
    Guarded("UpdatePdfMetaData", Unit::TiffPdfCommands, [&] {
        const auto stamper = Create("PdfInfo.Stamper.1");
        if (Keys_values.isEmpty())
            return;
        Call(*stamper, "UpdatePDFInfo", {SrcFile, Password, Keys_values, OutputFilename});
        result = true;
    });
    return result;
}

std::int16_t TiffPdfCommands::GetNoOfPagesFromPDF(QString filename, const QString &)
{
    std::int16_t result = -1;
    Guarded("GetNoOfPagesFromPDF", Unit::TiffPdfCommands, [&] {
        const auto counter = Create("PdfPages.Counter.1");
        bool ok = false;
        const int pages = Call(*counter, "GetNumberOfPages", {filename, QString()}).toInt(&ok);
        Require(ok, ErrNo::TypeMismatch, QStringLiteral("Type mismatch: the page count is not a number"));
        Require(pages >= std::numeric_limits<std::int16_t>::min() && pages <= std::numeric_limits<std::int16_t>::max(),
                ErrNo::Overflow, QStringLiteral("Overflow: %1 pages").arg(pages));
        result = static_cast<std::int16_t>(pages);
    });
    return result;
}

QString TiffPdfCommands::GetPdfMetaData(QString filename, QString Password)
{
    QString result = QStringLiteral("False");
    Guarded("GetPdfMetaData", Unit::TiffPdfCommands, [&] {
        const auto stamper = Create("PdfInfo.Stamper.1");
        result = Call(*stamper, "UpdatePDFInfo", {filename, Password}).toString();
    });
    return result;
}

bool TiffPdfCommands::AppendFileTiffFile(QString SrcFile, QString AppendFromtiff, std::int16_t insertAtpageno)
{
    if (SrcFile.isEmpty() || AppendFromtiff.isEmpty() || insertAtpageno < 0)
        return false;
    bool result = false;
    Guarded("AppendFileTiffFile", Unit::TiffPdfCommands, [&] {
        const auto editor = Create("TiffPages.Editor.1");
        result = Call(*editor, "AddTIFFPages", {SrcFile, Int16(insertAtpageno), AppendFromtiff}).toBool();
        Yield();
    });
    return result;
}

bool TiffPdfCommands::DeleteTiffPage(QString SrcFile, std::int16_t DeletePageno)
{
    bool result = false;
    Guarded("DeleteTiffPage", Unit::TiffPdfCommands, [&] {
        const auto editor = Create("TiffPages.Editor.1");
        result = Call(*editor, "DeleteTIFFPages", {SrcFile, Int16(DeletePageno)}).toBool();
    });
    return result;
}

bool TiffPdfCommands::Convert_EachTiffToPDFx(const QString &OutputPath)
{
    if (OutputPath.isEmpty())
        return false;
    bool result = false;
    Guarded("Convert_EachTiffToPDFx", Unit::TiffPdfCommands, [&] {
        FileProccessed = 0;
        const auto converter = Create("TiffPdf.Converter");
        // By index: the yield below lets other code run, and nothing it does may invalidate the walk.
        for (std::size_t i = 0; i < colOrderedData.size(); ++i) {
            const clsColSetOrderGrid record = colOrderedData[i];
            const QString source = modGeneral::ValidateDir(record.FileLocation) + record.filename;
            const qsizetype dot = record.filename.indexOf(QLatin1Char('.'));
            Require(dot >= 0, ErrNo::InvalidProcedureCall,
                    QStringLiteral("Invalid procedure call or argument: \"%1\" has no extension").arg(record.filename));
            const QString output = modGeneral::ValidateDir(OutputPath) + record.filename.left(dot) + QStringLiteral(".Pdf");
            Yield();
            Call(*converter, "ConvertTiffToPDF", {source, output});
            ++FileProccessed;
        }
        result = true;
    });
    return result;
}

bool TiffPdfCommands::Convert_EachTiffToPDFbyOne(QString SrcFilePath, QString OutputPath)
{
    if (SrcFilePath.isEmpty() || OutputPath.isEmpty())
        return false;
    bool result = false;
    Guarded("Convert_EachTiffToPDFbyOne", Unit::TiffPdfCommands, [&] {
        const auto converter = Create("TiffPdf.Converter");
        Yield();
        Call(*converter, "ConvertTiffToPDF", {SrcFilePath, OutputPath});
        result = true;
    });
    return result;
}

bool TiffPdfCommands::CombineOrderTiff()
{
    FileProccessed = 0;
    if (FileNameToSave.isEmpty())
        return false;
    // The storage folder is the program's own writable place (the program's folder may not be).
    const QString folder = State().StorageFolderPath;
    const QString first = modGeneral::ValidateDir(folder) + QStringLiteral("test_merge_split1.tif");
    const QString second = modGeneral::ValidateDir(folder) + QStringLiteral("test_merge_split2.tif");
    auto removeTemporaries = [&] {
        QFile::remove(first);
        QFile::remove(second);
    };
    bool result = false;
    const bool ran = Guarded("CombineOrderTiff", Unit::TiffPdfCommands, [&] {
        Require(!folder.isEmpty(), ErrNo::PathNotFound, QStringLiteral("the storage folder is not set"));
        // A stopped run's temporary file must never become this run's output.
        removeTemporaries();
        const auto editor = Create("TiffPages.Editor.1");
        QString firstPath;
        for (std::size_t i = 0; i < colOrderedData.size(); ++i) {
            const clsColSetOrderGrid record = colOrderedData[i];
            const QString path = modGeneral::ValidateDir(record.FileLocation) + record.filename;
            Yield();
            bool merged = true;
            if (i == 0) {
                firstPath = path;
            } else if (i == 1) {
                merged = Call(*editor, "MergeTIFF", {firstPath, path, second}).toBool();
            } else if (i % 2 == 0) {
                merged = Call(*editor, "MergeTIFF", {second, path, first}).toBool();
                QFile::remove(second);
            } else {
                merged = Call(*editor, "MergeTIFF", {first, path, second}).toBool();
                QFile::remove(first);
            }
            Require(merged, ErrNo::ComponentFailure, QStringLiteral("%1 could not be merged").arg(path));
            ++FileProccessed;
            if (progress_)
                progress_->SetProgressValue(FileProccessed);
        }
        const QString merged = FileExists(second) ? second : FileExists(first) ? first : QString();
        if (!merged.isEmpty()) {
            const Outcome copied = CopyFileAtomically(merged, FileNameToSave);
            Require(copied.ok, ErrNo::PathFileAccessError, copied.reason);
            QFile::remove(merged);
        }
        if (progress_)
            progress_->SetProgressValue(0);
        result = true;
    });
    // A failed run writes no output, not even the part merged so far, and leaves no temporary file.
    if (!ran)
        removeTemporaries();
    return result;
}

bool TiffPdfCommands::FileExists(QString sFIle) const noexcept
{
    try {
        return !sFIle.isEmpty() && QFileInfo(sFIle).isFile();
    } catch (...) {
        return false;
    }
}

bool TiffPdfCommands::SplitPDFFiles(QString SourceFilePath, QString Range, QString OutputFolder, QString filename)
{
    bool result = false;
    Guarded("SplitPDFFiles", Unit::TiffPdfCommands, [&] {
        const QString name = CutBeforeLastDot(SourceName(SourceFilePath));
        const QString folder = modGeneral::ValidateDir(OutputFolder) + name;
        CreateFolderWhenMissing(folder);
        const QString outputBase = modGeneral::ValidateDir(folder) + filename;
        PdfEngine::PdfSplit split(SourceFilePath, PreferencePasswords());
        RequireEngine(split.Opened());
        Yield();
        RequireEngine(split.Run(Range, outputBase));
        result = true;
    });
    return result;
}

bool TiffPdfCommands::SplitTiffFiles(QString SourceFilePath, const std::int16_t &PageNo, QString OutputFolder,
                                     QString filename)
{
    bool result = false;
    Guarded("SplitTiffFiles", Unit::TiffPdfCommands, [&] {
        QString folder = FolderNamedAfter(OutputFolder, SourceFilePath);
        CreateFolderWhenMissing(folder);
        folder = modGeneral::ValidateDir(folder);
        const auto editor = Create("TiffPages.Editor.1");
        Yield();
        result = Call(*editor, "SplitTIFF",
                      {SourceFilePath, Int16(PageNo), folder + filename + QStringLiteral("1.tif"),
                       folder + filename + QStringLiteral("2.tif")})
                     .toBool();
        Yield();
    });
    return result;
}

bool TiffPdfCommands::ExtractTIFFpagesbyRange(QString strInputTIFF, const std::int16_t &iStartPage,
                                              const std::int16_t &iEndPage, QString StrOutputDir)
{
    bool result = false;
    Guarded("ExtractTIFFpagesbyRange", Unit::TiffPdfCommands, [&] {
        const QString folder = FolderNamedAfter(StrOutputDir, strInputTIFF);
        CreateFolderWhenMissing(folder);
        const auto editor = Create("TiffPages.Editor.1");
        Yield();
        result = Call(*editor, "ExtractPages", {strInputTIFF, Int16(iStartPage), Int16(iEndPage), folder}).toBool();
        Yield();
    });
    return result;
}

bool TiffPdfCommands::ExtractAllTIFFpages(const QString &SourceFilePath, const QString &OutputFolder)
{
    bool result = false;
    Guarded("ExtractAllTIFFpages", Unit::TiffPdfCommands, [&] {
        const QString folder = FolderNamedAfter(OutputFolder, SourceFilePath);
        CreateFolderWhenMissing(folder);
        const auto editor = Create("TiffPages.Editor.1");
        Yield();
        result = Call(*editor, "ExtractAllTIFFpages", {SourceFilePath, folder}).toBool();
        Yield();
    });
    return result;
}

}  // namespace folvane
