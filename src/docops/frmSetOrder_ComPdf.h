#pragma once
// "Set Order": the modal dialog in which the user orders, ranges and names the documents handed
// over by the main window and combines them into one new PDF.

#include "docops/CombineProgress.h"
#include "docops/TiffPdfCommands.h"
#include "docops/clsColSetOrderGrid.h"

#include <QDialog>
#include <QString>

#include <cstdint>

class QCheckBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;

namespace folvane {

class DataGrid;

class frmSetOrder_ComPdf : public QDialog, public CombineProgress {
    Q_OBJECT
public:
    explicit frmSetOrder_ComPdf(QWidget *parent = nullptr);
    ~frmSetOrder_ComPdf() override;

    /// The documents to show, in this order; set by the opener before the dialog is shown.
    SetOrderRecords colSelectedData;

    // ---- Controls ----
    QGroupBox *fraSetOrder = nullptr;
    QGroupBox *Frame1 = nullptr;
    QGroupBox *Frame3 = nullptr;
    QGroupBox *Frame2 = nullptr;
    DataGrid *vsFilesSetOrder = nullptr;
    QPushButton *cmdUp = nullptr;
    QPushButton *cmdDown = nullptr;
    QLabel *Label3 = nullptr;
    QLineEdit *txtRange = nullptr;
    QPushButton *cmdAddRange = nullptr;
    QLabel *Label1 = nullptr;
    QLineEdit *txtmanualfilename = nullptr;
    QLabel *Label2 = nullptr;
    QLineEdit *txtOutputFolder = nullptr;
    QPushButton *cmdbrowse = nullptr;
    QCheckBox *ChkOpenFileAftCombPDF = nullptr;
    QCheckBox *ChkDefaultPathCombPDF = nullptr;
    QProgressBar *ProgressBar1 = nullptr;
    QPushButton *cmdOk = nullptr;
    QPushButton *cmdCancel = nullptr;

    // ---- Procedures ----
    /// Runs once, when the dialog is first shown; tests that do not show it call it themselves.
    void Form_Load();
    void InitFiles();
    void FillGrid();
    /// Sets KeyAscii to 0 to drop the typed character.
    void txtRange_KeyPress(std::int16_t &KeyAscii);
    void cmdAddRange_Click();
    bool ValidateRange();
    void txtmanualfilename_KeyPress(std::int16_t &KeyAscii);
    void cmdbrowse_Click();
    QString ShowFolderSelectionDialog();
    void cmdUp_Click();
    void cmdDown_Click();
    void vsFilesSetOrder_MouseDown(std::int16_t Button, std::int16_t Shift, float X, float Y);
    void vsFilesSetOrder_KeyDown(std::int16_t KeyCode, std::int16_t Shift);
    bool ValidateInput();
    void cmdOk_Click();
    void cmdCancel_Click();
    /// Runs whenever the dialog closes, in any way; a run under way is ended without output.
    void Form_Unload();

    /// The output file the name and folder boxes give now.
    QString OutputPath() const;

    // CombineProgress
    void SetProgressValue(std::int32_t value) override;

    /// Every close, also Escape and the window's close button, passes here.
    void done(int result) override;

protected:
    void showEvent(QShowEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void buildControls();
    void wireControls();
    /// Drops or passes one typed character of a filtered box.
    bool filterKeyPress(QLineEdit *box, QEvent *event);

    TiffPdfCommands commands_;
    bool loaded_ = false;
    bool widened_ = false;
    bool running_ = false;
    bool closedDuringRun_ = false;
};

}  // namespace folvane
