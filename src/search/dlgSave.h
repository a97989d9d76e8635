#pragma once
// "Export": asks for the file the checked list goes to, its type and separator, and whether to open
// it afterwards. The caller reads filename, ColumnSaperator and OpenFile once the dialog has closed.

#include <QDialog>
#include <QString>

#include <functional>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace folvane {

class FolderTree;

class dlgSave : public QDialog {
    Q_OBJECT
public:
    /// Loads the dialog (Form_Load) at once.
    explicit dlgSave(QWidget *parent = nullptr);

    /// What filename holds when the user did not choose a file.
    static const QString &Cancelled();

    /// Runs the dialog modal (or the runner tests installed) and unloads it, however it was closed.
    void ShowModal();
    /// Replaces the modal run (for tests): the runner gets the loaded dialog and drives its handlers.
    /// A runner that leaves it open counts as closing it with the close box. Empty restores exec().
    using ModalRunner = std::function<void(dlgSave &)>;
    static void SetModalRunner(ModalRunner runner);

    QString filename;
    QString ColumnSaperator;
    bool OpenFile = false;

    FolderTree *ftvFolder;
    QLabel *Label1;
    QLineEdit *txtFileName;
    QLabel *Label2;
    QComboBox *cboFileType;
    QLabel *lblDelimeter;
    QLineEdit *txtColSaperator;
    QCheckBox *ChkOpenFile;
    QPushButton *cmdSave;
    QPushButton *cmdCancel;

    void Form_Load();
    void Form_Unload();
    void FillComboBox();
    void cboFileType_Click();
    /// Sets KeyAscii to 0 for a character a file name may not hold; "/" stays, as the name box takes
    /// a path relative to the chosen folder or an absolute one.
    void txtFileName_KeyPress(int &KeyAscii);
    void txtFileName_GotFocus();
    void txtColSaperator_GotFocus();
    void cmdSave_Click();
    void cmdCancel_Click();
    bool Validate();
    bool IsReservedChar(int KeyAscii);
    /// "txt" for "Text Document (*.txt)": the first three of the last four characters.
    QString GetExtensionFromFileType(const QString &fileType);

    /// Closing by any way (buttons, Esc, the close box) unloads the dialog first.
    void done(int result) override;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    bool separatorShown() const;

    bool unloaded_ = false;
};

}  // namespace folvane
