#pragma once
// What the combine and the append dialogs share: a grid of the documents the main window hands
// over, each row with its check box and "Range" cell; the width they open with; the three options
// they remember in the settings store; and a run, shown on a progress bar, that closing the dialog
// ends. Each dialog builds its own controls, in its own order, and keeps its own handlers.

#include "app/Settings.h"
#include "docops/clsColSetOrderGrid.h"

#include <QDialog>
#include <QString>

#include <functional>
#include <initializer_list>
#include <optional>
#include <string_view>
#include <vector>

class QCheckBox;
class QGroupBox;
class QLineEdit;
class QProgressBar;
class QPushButton;

namespace folvane {

class DataGrid;

/// The hourglass over the whole program for as long as it lives, so every way out of a handler
/// restores the pointer.
class BusyPointer {
public:
    BusyPointer();
    ~BusyPointer();
    BusyPointer(const BusyPointer &) = delete;
    BusyPointer &operator=(const BusyPointer &) = delete;
};

class DocumentListDialog : public QDialog {
    Q_OBJECT
public:
    ~DocumentListDialog() override;

    /// The documents to list, in this order; set by the opener before the dialog is shown and read
    /// once, when it loads.
    SetOrderRecords colSelectedData;

    /// Runs once, when the dialog is first shown; tests that do not show it call it themselves.
    virtual void Form_Load() = 0;
    /// Runs whenever the dialog closes, in any way.
    virtual void Form_Unload() = 0;

    /// Whether a run is under way.
    bool Running() const noexcept { return running_; }

    /// Every close, also Escape and the window's close button, passes here.
    void done(int result) override;

    // Controls both dialogs have; each dialog makes them where its layout puts them.
    DataGrid *vsFilesSetOrder = nullptr;
    QLineEdit *txtOutputFolder = nullptr;
    QGroupBox *Frame3 = nullptr;
    QProgressBar *ProgressBar1 = nullptr;

protected:
    /// `unit` is the closing piece of the dialog's error lines; `rangeWidth` the twips of the
    /// "Range" column.
    DocumentListDialog(std::string_view unit, int rangeWidth, QWidget *parent);

    /// A property of the settings store, by its accessors.
    template <class T>
    struct Stored {
        const T &(Settings::*read)() const noexcept;
        void (Settings::*write)(const T &);
    };
    /// The options a dialog remembers: whether the output folder is kept, the folder (the text of
    /// txtOutputFolder), and whether the result is opened after a run.
    struct RememberedOptions {
        QCheckBox *keepFolder;
        Stored<Byte> folderKept;
        Stored<QString> folder;
        QCheckBox *openAfterRun;
        Stored<Byte> openedAfterRun;
    };
    virtual RememberedOptions Remembered() const = 0;

    /// The settings store; error 91 when start-up has made none.
    static Settings &Store();
    /// The check boxes and the folder box take the remembered options.
    void LoadRememberedOptions();
    /// The remembered options take the check boxes and the folder box; a folder that is not to be
    /// kept leaves the remembered one as it is.
    void SaveRememberedOptions();

    /// The "Proccessing" frame with ProgressBar1, empty until a run starts.
    QGroupBox *MakeProgressFrame();
    /// The bar at 0 of `steps`.
    void StartProgress(int steps);

    /// Sets the grid up from the column model, the "Range" column last; only a "Selection" check box
    /// and a "Range" cell take edits, as a typed name would name another file.
    void InitFiles();
    /// One row per record of colSelectedData, checked, with the range "0"; the cursor on row 1.
    void FillGrid();
    /// Grid position of the "Range" column, the grid's last.
    int RangeCol() const;
    bool IsChecked(int row, int selectionCol) const;
    /// The text into the "Range" cell of every checked row.
    void CopyRangeToCheckedRows(const QString &range);
    /// After a press of `button` in the grid, only its editable cells take edits, and only after the
    /// left button.
    void OpenCurrentCellTo(int button);
    /// Space flips the check box of every row of the selected block, each row by itself.
    void FlipSelectedChecks();

    /// Drops a character no file name may hold, and says so in the box's tooltip.
    static void DropFileNameCharacter(QLineEdit &box, int &KeyAscii);
    /// A folder chosen in the folder browser, or the folder box's text when none was chosen.
    QString ShowFolderSelectionDialog();

    /// Runs `run` as the dialog's run: a close meanwhile makes ClosedDuringRun() true.
    bool WhileRunning(const std::function<bool()> &run);
    bool ClosedDuringRun() const noexcept { return closedDuringRun_; }

    /// For the length of a run: the buttons that would start or reorder another run disabled, and
    /// the hourglass over the dialog, or over the whole program.
    class RunControls {
    public:
        enum class Hourglass { OverDialog, Everywhere };
        RunControls(QWidget &dialog, std::initializer_list<QPushButton *> buttons, Hourglass hourglass);
        ~RunControls();
        RunControls(const RunControls &) = delete;
        RunControls &operator=(const RunControls &) = delete;

    private:
        QWidget &dialog_;
        std::vector<QPushButton *> buttons_;
        std::optional<BusyPointer> everywhere_;
    };

    void showEvent(QShowEvent *event) override;

    /// Set by each Form_Load, so that showing a dialog already loaded does not load it again.
    bool loaded_ = false;

private:
    std::string_view unit_;
    int rangeWidth_;
    bool widened_ = false;
    bool running_ = false;
    bool closedDuringRun_ = false;
};

}  // namespace folvane
