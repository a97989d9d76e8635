// What the combine and the append dialogs share, checked on both: the settings store they remember
// their options in is reached for at opening, at the end of a run and at closing, and where start-up
// has made none, each of those logs error 91 under its own procedure and form.

#include "docops/frmAppendPdfFile.h"
#include "docops/frmSetOrder_ComPdf.h"

#include "app/ProgramState.h"
#include "app/Settings.h"
#include "app/frmErrorReportDialog.h"
#include "platform/CommonDialog.h"
#include "platform/DataGrid.h"
#include "platform/PageCounters.h"
#include "support/MainWindowFixture.h"
#include "support/PdfFixtures.h"
#include "support/TestEnv.h"

#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>

#include <gtest/gtest.h>

#include <functional>
#include <memory>

using namespace folvane;
using namespace folvane::test;

namespace {

struct Kind {
    const char *name;
    const char *closingPiece;
    /// A loaded dialog over the documents, ready to run into `out`.
    std::function<std::unique_ptr<DocumentListDialog>(const SetOrderRecords &, const QString &out)> open;
    std::function<void(DocumentListDialog &)> run;
    /// The file a run writes for the first document.
    QString output;
};

class DocumentListDialogTest : public MainWindowFixture {
protected:
    void SetUp() override
    {
        MainWindowFixture::SetUp();
        State().PdfCounter = std::make_unique<PdfPageCounter>();
        frmAppendPdfFile::SetReportPresenter([](frmErrorReportDialog &) {});
    }
    void TearDown() override
    {
        CommonDialog::SetOpenAnswerer([](const CommonDialog::OpenRequest &) { return QString(); });
        State().PdfCounter.reset();
        MainWindowFixture::TearDown();
    }

    SetOrderRecords Records(std::initializer_list<const char *> tags)
    {
        SetOrderRecords records;
        for (const char *tag : tags) {
            MakeTaggedPdf(dir.path(), tag, 1);
            clsColSetOrderGrid r;
            r.filename = QString::fromLatin1(tag) + ".pdf";
            r.FileLocation = dir.path();
            r.PageCount = 1;
            records.push_back(r);
        }
        return records;
    }

    std::vector<Kind> Kinds()
    {
        const QString appendFile = MakeTaggedPdf(dir.path(), "app", 1);
        return {
            {"combine", " of Form frmSetOrder_ComPdf at time",
             [](const SetOrderRecords &records, const QString &out) {
                 auto d = std::make_unique<frmSetOrder_ComPdf>();
                 d->colSelectedData = records;
                 d->Form_Load();
                 d->txtmanualfilename->setText("joined");
                 d->txtOutputFolder->setText(out);
                 return std::unique_ptr<DocumentListDialog>(std::move(d));
             },
             [](DocumentListDialog &d) { static_cast<frmSetOrder_ComPdf &>(d).cmdOk_Click(); }, "joined.pdf"},
            {"append", " of Form frmAppendPdfFile",
             [appendFile](const SetOrderRecords &records, const QString &out) {
                 auto d = std::make_unique<frmAppendPdfFile>();
                 d->colSelectedData = records;
                 d->Form_Load();
                 CommonDialog::SetOpenAnswerer([appendFile](const CommonDialog::OpenRequest &) { return appendFile; });
                 d->cmdbrowse_Click();
                 d->txtOutputFolder->setText(out);
                 return std::unique_ptr<DocumentListDialog>(std::move(d));
             },
             [](DocumentListDialog &d) { static_cast<frmAppendPdfFile &>(d).cmdAppend_Click(); }, "a_1.pdf"},
        };
    }

    TempDir dir;
    ScriptedMsgBox box;
    ShellRecorder shell;
};

TEST_F(DocumentListDialogTest, WithoutASettingsStoreEachPlaceThatReachesForItLogsError91)
{
    const QString out = dir.createFolder("out");
    for (const Kind &kind : Kinds()) {
        SCOPED_TRACE(kind.name);
        ClearErrorLog();
        std::unique_ptr<Settings> store = std::move(State().objSettings);

        std::unique_ptr<DocumentListDialog> dialog = kind.open(Records({"a", "b"}), out);
        EXPECT_EQ(dialog->vsFilesSetOrder->Rows(), 3) << "the grid does not need the store";
        const QString unset = "Error 91 (Object variable or With block variable not set)";
        EXPECT_TRUE(LoggedFor("Form_Load", kind.closingPiece, unset)) << ErrorLogLines().join('\n').toStdString();

        // The run writes its output, then fails where it would remember the options: no message of
        // success, the dialog stays open and usable.
        QSignalSpy finished(dialog.get(), &QDialog::finished);
        kind.run(*dialog);
        EXPECT_TRUE(QFile::exists(out + "/" + kind.output));
        EXPECT_TRUE(LoggedFor(kind.name == std::string("combine") ? "cmdOk_Click" : "cmdAppend_Click",
                              kind.closingPiece, unset))
            << ErrorLogLines().join('\n').toStdString();
        EXPECT_TRUE(box.texts().isEmpty()) << box.texts().join(" | ").toStdString();
        EXPECT_EQ(finished.count(), 0);
        EXPECT_FALSE(dialog->Running());
        for (QPushButton *button : dialog->findChildren<QPushButton *>())
            EXPECT_TRUE(button->isEnabled()) << button->text().toStdString();

        dialog->reject();
        EXPECT_TRUE(LoggedFor("Form_Unload", kind.closingPiece, unset));
        EXPECT_EQ(finished.count(), 1);

        State().objSettings = std::move(store);
        QFile::remove(out + "/" + kind.output);
    }
}

}  // namespace
