#pragma once
// "Set Order": the modal dialog in which the user orders, ranges and names the documents handed
// over by the main window and combines them into one new PDF.

#include "docops/CombineProgress.h"
#include "docops/DocumentListDialog.h"
#include "docops/TiffPdfCommands.h"

#include <QString>

#include <cstdint>

class QCheckBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace folvane {

class frmSetOrder_ComPdf : public DocumentListDialog, public CombineProgress {
    Q_OBJECT
public:
    explicit frmSetOrder_ComPdf(QWidget *parent = nullptr);
    ~frmSetOrder_ComPdf() override;

    // ---- Controls ----
    QGroupBox *fraSetOrder = nullptr;
    QGroupBox *Frame1 = nullptr;
    QGroupBox *Frame2 = nullptr;
    QPushButton *cmdUp = nullptr;
    QPushButton *cmdDown = nullptr;
    QLabel *Label3 = nullptr;
    QLineEdit *txtRange = nullptr;
    QPushButton *cmdAddRange = nullptr;
    QLabel *Label1 = nullptr;
    QLineEdit *txtmanualfilename = nullptr;
    QLabel *Label2 = nullptr;
    QPushButton *cmdbrowse = nullptr;
    QCheckBox *ChkOpenFileAftCombPDF = nullptr;
    QCheckBox *ChkDefaultPathCombPDF = nullptr;
    QPushButton *cmdOk = nullptr;
    QPushButton *cmdCancel = nullptr;

    // ---- Procedures ----
    void Form_Load() override;
    /// Sets KeyAscii to 0 to drop the typed character.
    void txtRange_KeyPress(std::int16_t &KeyAscii);
    void cmdAddRange_Click();
    bool ValidateRange();
    void txtmanualfilename_KeyPress(std::int16_t &KeyAscii);
    void cmdbrowse_Click();
    void cmdUp_Click();
    void cmdDown_Click();
    void vsFilesSetOrder_MouseDown(std::int16_t Button, std::int16_t Shift, float X, float Y);
    void vsFilesSetOrder_KeyDown(std::int16_t KeyCode, std::int16_t Shift);
    bool ValidateInput();
    void cmdOk_Click();
    void cmdCancel_Click();
    /// A run under way is ended without output.
    void Form_Unload() override;

    /// The output file the name and folder boxes give now.
    QString OutputPath() const;

    // CombineProgress
    void SetProgressValue(std::int32_t value) override;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    RememberedOptions Remembered() const override;

private:
    void buildControls();
    void wireControls();
    /// Drops or passes one typed character of a filtered box.
    bool filterKeyPress(QLineEdit *box, QEvent *event);

    TiffPdfCommands commands_;
};

}  // namespace folvane
