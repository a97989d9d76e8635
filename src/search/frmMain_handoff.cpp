// Page counts on demand, and the hand-off of the checked rows to the combine and append dialogs.

#include "search/frmMain.h"

#include "app/ErrorLog.h"
#include "app/GridColumns.h"
#include "app/ProgramState.h"
#include "app/modGeneral.h"
#include "docops/clsColSetOrderGrid.h"
#include "docops/frmSetOrder_ComPdf.h"
#include "docops/modDocOps.h"
#include "platform/DataGrid.h"
#include "platform/MsgBox.h"
#include "platform/PageCounters.h"

#include "docops/frmAppendPdfFile.h"

#include <limits>

namespace folvane {

namespace {

const QString Damaged = QStringLiteral("Secured or Corrupted");
constexpr std::int32_t CombineAction = 4;

void Tell(const QString &message) { MsgBox(message, MsgButtons::OK, MsgIcon::Information); }

/// The "Pages" text as a count: a number when it spells one, else 0.
std::int32_t PageCountOf(const QString &text)
{
    const std::optional<double> n = modGeneral::TextToNumber(text);
    if (!n)
        return 0;
    const double whole = modGeneral::RoundHalfEven(*n);
    Require(whole >= std::numeric_limits<std::int32_t>::min() && whole <= std::numeric_limits<std::int32_t>::max(),
            ErrNo::Overflow, QStringLiteral("Overflow"));
    return static_cast<std::int32_t>(whole);
}

/// One record per checked row, in the order the rows stand now, appended to records. A checked
/// damaged row shows damagedMessage, drops every record made so far and answers false.
bool CollectCheckedRows(const DataGrid &grid, SetOrderRecords &records, const QString &damagedMessage)
{
    const int selection = ColumnOf(ColumnKey::Selection), pages = ColumnOf(ColumnKey::Pages);
    for (int r = 1; r < grid.Rows(); ++r) {
        if (grid.Cell(flexcpChecked, r, selection).toInt() != GridCheck::Checked)
            continue;
        clsColSetOrderGrid record = modDocOps::RecordOfRow(grid, r);
        record.PageCount = PageCountOf(grid.TextMatrix(r, pages));
        if (grid.TextMatrix(r, pages) == Damaged) {
            Tell(damagedMessage);
            records.clear();
            return false;
        }
        records.push_back(record);
    }
    return true;
}

/// objSetOrderForm names the combine dialog exactly while it is shown, also when showing it fails.
class ShownCombineDialog {
public:
    explicit ShownCombineDialog(frmSetOrder_ComPdf &dialog) { State().objSetOrderForm = &dialog; }
    ~ShownCombineDialog() { State().objSetOrderForm = nullptr; }
    ShownCombineDialog(const ShownCombineDialog &) = delete;
    ShownCombineDialog &operator=(const ShownCombineDialog &) = delete;
};

}  // namespace

int frmMain::ExecDocumentDialog(QDialog &dialog) { return dialog.exec(); }

void frmMain::GetPageCount()
{
    Guarded("GetPageCount", Unit::frmMain, [this] {
        ProgramState &st = State();
        const int pages = ColumnOf(ColumnKey::Pages);
        Require(pages >= 0 && pages < st.ColumnVisible.size(), ErrNo::SubscriptOutOfRange,
                QStringLiteral("Subscript out of range"));
        // A visible "Pages" column means the search has counted every row already.
        if (modGeneral::TextToNumber(st.ColumnVisible[pages]) != 0.0)
            return;
        Require(st.PdfCounter && st.TiffCounter, ErrNo::ObjectNotSet,
                QStringLiteral("Object variable or With block variable not set"));

        DataGrid &grid = *grdSearchList;
        const int selection = ColumnOf(ColumnKey::Selection), name = ColumnOf(ColumnKey::Name),
                  location = ColumnOf(ColumnKey::Location);
        for (int r = 1; r < grid.Rows(); ++r) {
            if (grid.Cell(flexcpChecked, r, selection).toInt() != GridCheck::Checked)
                continue;
            const QString file = grid.TextMatrix(r, name);
            const QString ext = modGeneral::GetFileExt(file).toUpper();
            const QString path = modGeneral::ValidateDir(grid.TextMatrix(r, location)) + file;
            if (ext == QLatin1String("TIF") || ext == QLatin1String("TIFF")) {
                const std::int32_t count = st.TiffCounter->PageCount(path);
                grid.setTextMatrix(r, pages, count < 0 ? Damaged : QString::number(count));
            } else if (ext == QLatin1String("PDF")) {
                const std::int32_t count = st.PdfCounter->PageCount(path);
                grid.setTextMatrix(r, pages, count <= 0 ? Damaged : QString::number(count));
            }
        }
    });
}

void frmMain::cmdCombinePdf_Click()
{
    Guarded("cmdCombinePdf_Click", Unit::frmMain, [this] {
        if (grdSearchList->Rows() < 2) {
            Tell(QStringLiteral("Please select files."));
            return;
        }
        std::int32_t action = CombineAction;
        ShowSetOrderform(action);
    });
}

void frmMain::ShowSetOrderform(std::int32_t &action)
{
    Guarded("ShowSetOrderform", Unit::frmMain, [&] {
        GetPageCount();
        SetOrderRecords records;
        if (!CollectCheckedRows(*grdSearchList, records, QStringLiteral("You have selected damaged or corrupted files.")))
            return;
        if (records.size() < 2) {
            Tell(QStringLiteral("Please select two or more Files."));
            return;
        }
        if (action != CombineAction)
            return;
        frmSetOrder_ComPdf dialog;
        dialog.colSelectedData = std::move(records);
        const ShownCombineDialog shown(dialog);
        ExecDocumentDialog(dialog);
    });
}

void frmMain::cmdAppendPDFFile_Click()
{
    Guarded("cmdAppendPDFFile_Click", Unit::frmMain, [this] {
        if (grdSearchList->Rows() <= 1) {
            Tell(QStringLiteral("Please select files."));
            return;
        }
        frmAppendPdfFile dialog;
        SetOrderRecords &records = dialog.colSelectedData;
        GetPageCount();
        if (!CollectCheckedRows(*grdSearchList, records,
                                QStringLiteral("You have selected damaged or corrupted file(s). Please de-select file(s)")))
            return;
        if (records.empty()) {
            Tell(QStringLiteral("Please Select File."));
            return;
        }
        ExecDocumentDialog(dialog);
    });
}

}  // namespace folvane
