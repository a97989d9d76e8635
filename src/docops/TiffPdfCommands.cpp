#include "docops/TiffPdfCommands.h"

#include "app/ErrorLog.h"
#include "app/ProgramState.h"
#include "app/Settings.h"
#include "app/modGeneral.h"
#include "docops/CombineProgress.h"
#include "platform/PdfEngine.h"

#include <QCoreApplication>

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

void RequireEngine(const PdfEngine::Result &result, std::source_location where = std::source_location::current())
{
    Require(result.ok, ErrNo::EngineFailure, result.reason, where);
}

QString AllPagesUnlessGiven(const QString &range)
{
    return range.isEmpty() ? QStringLiteral("0") : range;
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

}  // namespace folvane
