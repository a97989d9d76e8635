#pragma once
// "Set Preferences": the result-grid columns, the start-up folder, the default window state and the
// PDF passwords. The controls hold a copy of the store; only Save (and Set Default) write it.

#include <QDialog>
#include <QString>
#include <QStringList>

#include <cstdint>

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTabWidget;

namespace folvane {

class DataGrid;

class frmPreferences : public QDialog {
    Q_OBJECT
public:
    /// Loads the dialog (Form_Load) at once from the program's settings and column model.
    explicit frmPreferences(QWidget *parent = nullptr);
    ~frmPreferences() override;

    /// True once Save or Set Default has written the store; the opener then rebuilds its grid.
    bool IsPreferanceChange = false;

    QTabWidget *tabPreferences;
    QPushButton *cmdSetDefault;
    QPushButton *cmdOk;
    QPushButton *cmdCancel;

    QGroupBox *fraColumnSettings;
    DataGrid *vsColumnSettings;
    QPushButton *cmdSelectAll;
    QPushButton *cmdDeselectAll;
    QPushButton *cmdInvertSelection;
    QCheckBox *chkLastGridColWidth;
    QCheckBox *chkSortbyNumeric;

    QGroupBox *fraProgram;
    QLabel *lblStartupFolder;
    QLineEdit *txtStartUpFolder;
    QPushButton *cmdStartupFolder;
    QGroupBox *fraWindowState;
    QCheckBox *chkDefaultWindowState;
    QComboBox *cmbDefaultWindowState;
    QGroupBox *Frame1;
    QLabel *Label2;
    QLineEdit *txtOwnerPass;
    QLabel *Label1;
    QLineEdit *txtUserpass;

    void Form_Load();
    void FillComboBox();
    void LoadPreferenceControls();
    void InitColumnSettings();
    QString ShowFolderSelectionDialog();
    void chkDefaultWindowState_Click();
    void vsColumnSettings_MouseDown(std::int16_t Button, std::int16_t Shift, float X, float Y);
    void cmdSelectAll_Click();
    void cmdDeselectAll_Click();
    void cmdInvertSelection_Click();
    void cmdStartupFolder_Click();
    void cmdOk_Click();
    void cmdSetDefault_Click();
    void cmdCancel_Click();

private:
    /// Puts back the last width of a row whose typed width is not one the grid can take.
    void widthEdited(int row);

    QStringList acceptedWidths_; ///< per data row, from row 1
    bool filling_ = false;
};

}  // namespace folvane
