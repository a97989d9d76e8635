#pragma once
// "Append pdf file": adds one PDF (the append file) at the start or the end of each listed document
// and writes every result as a new PDF into one output folder.
//
// The opener fills colSelectedData, shows the dialog modally and releases it after it closes. A run
// ends by closing the dialog. Closing it while a run is yielding (Cancel, the close box, Escape) ends
// the run before its next row: the rows already written stay, no further row is touched, no success
// message is shown and the folder is not opened; rows that had already failed are still reported.

#include "docops/DocumentListDialog.h"

#include <QString>

#include <cstdint>
#include <functional>
#include <memory>

class QCheckBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;

namespace folvane {

class TiffPdfCommands;
class frmErrorReportDialog;

class frmAppendPdfFile : public DocumentListDialog {
    Q_OBJECT
public:
    explicit frmAppendPdfFile(QWidget *parent = nullptr);
    ~frmAppendPdfFile() override;

    /// Shows the failure report modally; tests replace it to read the report instead. An empty
    /// function restores the real display.
    using ReportPresenter = std::function<void(frmErrorReportDialog &)>;
    static void SetReportPresenter(ReportPresenter presenter);

    // Event handlers.
    void Form_Load() override;
    void Form_Unload() override;
    void cmdbrowse_Click();
    void cmdAddRange_Click();
    void cmdBrowseFolder_Click();
    void cmdAppend_Click();
    void cmdCancel_Click();
    void optBasename_Click();
    void optmanual_Click();
    /// Key handlers take the typed character code and set it to 0 to drop the key.
    void txtRange_KeyPress(int &KeyAscii);
    void txtmanualfilename_KeyPress(int &KeyAscii);
    void txtseparator_KeyPress(int &KeyAscii);
    void vsFilesSetOrder_MouseDown(int Button, int Shift, float X, float Y);
    void vsFilesSetOrder_KeyDown(int KeyCode, int Shift);

    /// Full path of the new file for grid row `row`, from the name option, the name boxes and the
    /// output folder as they stand now.
    QString OutputFileName(int row) const;
    /// Page count of the append file as last counted; every range check compares with it.
    std::int32_t AppendFilePageCount() const noexcept { return appendFilePageCount_; }

    QGroupBox *fraSetOrder;

    QGroupBox *Frame1;
    QLabel *Label1;
    QLineEdit *txtAppendFile;
    QPushButton *cmdbrowse;
    QLabel *Label2;
    QLineEdit *txtRange;
    QPushButton *cmdAddRange;
    QGroupBox *Frame5;
    QRadioButton *OptAtStart;
    QRadioButton *OptAtEnd;

    QGroupBox *Frame2;
    QRadioButton *optBasename;
    QLabel *lblbasename;
    QRadioButton *optmanual;
    QLineEdit *txtmanualfilename;
    QLabel *Label10;
    QLineEdit *txtseparator;
    QLabel *lblpageno;

    QGroupBox *FraFileopen;
    QPushButton *cmdBrowseFolder;
    QCheckBox *ChkDefaultPathAppPdf;
    QCheckBox *ChkOpenFolderAppPdf;
    QCheckBox *chkReplacePdfInfoUpdate;

    QGroupBox *Frame4;
    QPushButton *cmdAppend;
    QPushButton *cmdCancel;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    RememberedOptions Remembered() const override;

private:
    bool ValidateRange();
    bool ValidateInput();
    bool CheckGridRangeCol();
    bool ValidateGridRange(const QString &range);
    QString ShowOpenFileDialog(const QString &filter);
    /// Runs every row; false when the dialog was closed before the last one.
    bool RunRows(QString &failures);

    std::int32_t appendFilePageCount_ = 0;
    std::unique_ptr<TiffPdfCommands> commands_;
};

}  // namespace folvane
