#pragma once
// "Append pdf file": adds one PDF (the append file) at the start or the end of each listed document
// and writes every result as a new PDF into one output folder.
//
// The opener fills colSelectedData, shows the dialog modally and releases it after it closes. A run
// ends by closing the dialog. Closing it while a run is yielding (Cancel, the close box, Escape) ends
// the run before its next row: the rows already written stay, no further row is touched, no success
// message is shown and the folder is not opened; rows that had already failed are still reported.

#include "docops/clsColSetOrderGrid.h"

#include <QDialog>
#include <QString>

#include <cstdint>
#include <functional>
#include <memory>

class QCheckBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QRadioButton;

namespace folvane {

class DataGrid;
class TiffPdfCommands;
class frmErrorReportDialog;

class frmAppendPdfFile : public QDialog {
    Q_OBJECT
public:
    explicit frmAppendPdfFile(QWidget *parent = nullptr);
    ~frmAppendPdfFile() override;

    /// The documents to work on; read once, when the dialog loads.
    SetOrderRecords colSelectedData;

    /// Shows the failure report modally; tests replace it to read the report instead. An empty
    /// function restores the real display.
    using ReportPresenter = std::function<void(frmErrorReportDialog &)>;
    static void SetReportPresenter(ReportPresenter presenter);

    // Event handlers. Form_Load runs when the dialog is first shown; Form_Unload on every close.
    void Form_Load();
    void Form_Unload();
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
    /// Whether a run is under way.
    bool Running() const noexcept { return running_; }

    QGroupBox *fraSetOrder;
    DataGrid *vsFilesSetOrder;

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
    QLineEdit *txtOutputFolder;
    QPushButton *cmdBrowseFolder;
    QCheckBox *ChkDefaultPathAppPdf;
    QCheckBox *ChkOpenFolderAppPdf;
    QCheckBox *chkReplacePdfInfoUpdate;

    QGroupBox *Frame3;
    QProgressBar *ProgressBar1;

    QGroupBox *Frame4;
    QPushButton *cmdAppend;
    QPushButton *cmdCancel;

    void done(int result) override;

protected:
    void showEvent(QShowEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    /// Grid position of the Range column, the last one.
    int RangeCol() const;
    void InitFiles();
    void FillGrid();
    bool ValidateRange();
    bool ValidateInput();
    bool CheckGridRangeCol();
    bool ValidateGridRange(const QString &range);
    QString ShowOpenFileDialog(const QString &filter);
    QString ShowFolderSelectionDialog();
    /// Runs every row; false when the dialog was closed before the last one.
    bool RunRows(QString &failures);
    void FilenameKeyPress(QLineEdit *box, int &KeyAscii);
    void WriteRememberedOptions();

    std::int32_t appendFilePageCount_ = 0;
    std::unique_ptr<TiffPdfCommands> commands_;
    bool loaded_ = false;
    bool widened_ = false;
    bool running_ = false;
    bool closedDuringRun_ = false;
};

}  // namespace folvane
