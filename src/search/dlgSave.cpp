#include "search/dlgSave.h"

#include "app/ErrorLog.h"
#include "app/ProgramState.h"
#include "app/Settings.h"
#include "app/modGeneral.h"
#include "platform/FolderTree.h"
#include "platform/MsgBox.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDate>
#include <QDir>
#include <QFileInfo>
#include <QFocusEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <QValidator>
#include <QVBoxLayout>

#include <algorithm>

namespace folvane {

namespace {
dlgSave::ModalRunner &modalRunner()
{
    static dlgSave::ModalRunner runner;
    return runner;
}

/// The separator box's rule: one character, however many UTF-16 units it takes, and never a line
/// break, which ends the list's lines. Of a longer text (a paste) the first character is kept.
class OneCharacterValidator : public QValidator {
public:
    using QValidator::QValidator;
    State validate(QString &input, int &pos) const override
    {
        if (input.isEmpty())
            return Acceptable; // Save says what is missing
        const QChar first = input.at(0);
        qsizetype units = 1;
        if (first.isHighSurrogate() && input.size() > 1 && input.at(1).isLowSurrogate())
            units = 2;
        else if (first.isSurrogate())
            return Invalid;
        if (first == QLatin1Char('\r') || first == QLatin1Char('\n'))
            return Invalid;
        if (input.size() > units) {
            input.truncate(units);
            pos = static_cast<int>(std::min<qsizetype>(pos, units));
        }
        return Acceptable;
    }
};

/// The folder tree's desktop node, which stands for the desktop folder.
QString DesktopNode() { return QStringLiteral("Desktop"); }

Settings &settings()
{
    Require(State().objSettings != nullptr, ErrNo::ObjectNotSet,
            QStringLiteral("Object variable or With block variable not set"));
    return *State().objSettings;
}
}  // namespace

const QString &dlgSave::Cancelled()
{
    static const QString text = QStringLiteral("//Cancelled//");
    return text;
}

void dlgSave::SetModalRunner(ModalRunner runner) { modalRunner() = std::move(runner); }

dlgSave::dlgSave(QWidget *parent)
    : QDialog(parent),
      ftvFolder(new FolderTree(this)),
      Label1(new QLabel(QStringLiteral("File &Name"), this)),
      txtFileName(new QLineEdit(this)),
      Label2(new QLabel(QStringLiteral("File &Type"), this)),
      cboFileType(new QComboBox(this)),
      lblDelimeter(new QLabel(QStringLiteral("Column Se&parator"), this)),
      txtColSaperator(new QLineEdit(this)),
      ChkOpenFile(new QCheckBox(QStringLiteral("&Open Exported file after completion"), this)),
      cmdSave(new QPushButton(QStringLiteral("&Save"), this)),
      cmdCancel(new QPushButton(QStringLiteral("&Cancel"), this))
{
    setObjectName(QStringLiteral("dlgSave"));
    setWindowTitle(QStringLiteral("Export"));
    Label1->setBuddy(txtFileName);
    Label2->setBuddy(cboFileType);
    lblDelimeter->setBuddy(txtColSaperator);
    txtColSaperator->setMaximumWidth(40);
    txtColSaperator->setValidator(new OneCharacterValidator(txtColSaperator));
    cmdSave->setDefault(true);

    auto *fields = new QGridLayout;
    fields->addWidget(Label1, 0, 0);
    fields->addWidget(txtFileName, 0, 1, 1, 2);
    fields->addWidget(Label2, 1, 0);
    fields->addWidget(cboFileType, 1, 1, 1, 2);
    fields->addWidget(lblDelimeter, 2, 0);
    fields->addWidget(txtColSaperator, 2, 1);
    fields->setColumnStretch(2, 1);
    auto *buttons = new QHBoxLayout;
    buttons->addWidget(ChkOpenFile);
    buttons->addStretch();
    buttons->addWidget(cmdSave);
    buttons->addWidget(cmdCancel);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(ftvFolder, 1);
    layout->addLayout(fields);
    layout->addLayout(buttons);
    resize(480, 420);

    txtFileName->installEventFilter(this);
    txtColSaperator->installEventFilter(this);
    connect(cboFileType, qOverload<int>(&QComboBox::currentIndexChanged), this, [this] { cboFileType_Click(); });
    connect(cmdSave, &QPushButton::clicked, this, [this] { cmdSave_Click(); });
    connect(cmdCancel, &QPushButton::clicked, this, [this] { cmdCancel_Click(); });

    Form_Load();
}

void dlgSave::ShowModal()
{
    if (modalRunner())
        modalRunner()(*this);
    else
        exec();
    if (!unloaded_)
        done(QDialog::Rejected);
}

void dlgSave::done(int result)
{
    if (!unloaded_) {
        unloaded_ = true;
        Form_Unload();
    }
    QDialog::done(result);
}

void dlgSave::Form_Load()
{
    Guarded("Form_Load", Unit::dlgSave, [&] {
        unloaded_ = false;
        ColumnSaperator.clear();
        filename.clear();
        const QString location = settings().ExportLocation();
        // Without a folder of its own the dialog starts in the home folder, which stands for the drive
        // root here; so it does when the stored folder is gone, as no file could be written there.
        const bool usable =
            location == DesktopNode() || (QDir::isAbsolutePath(location) && QFileInfo(location).isDir());
        ftvFolder->setSelectedPath(usable ? location : QDir::homePath());
        FillComboBox();
        cboFileType->setCurrentIndex(1);
        ChkOpenFile->setChecked(settings().IsOpenFileAfterExport() == 1);
        txtFileName->setMaxLength(255);
        // One character: two UTF-16 units hold any character, and the validator keeps it to one.
        txtColSaperator->setMaxLength(2);
        txtFileName->setText(QDate::currentDate().toString(QStringLiteral("yyyy_MM_dd")) + QStringLiteral("_Data"));
        txtColSaperator->setText(QStringLiteral(","));
    });
}

void dlgSave::FillComboBox()
{
    Guarded("FillComboBox", Unit::dlgSave, [&] {
        cboFileType->clear();
        cboFileType->addItems({QStringLiteral("Text Document (*.txt)"), QStringLiteral("Excel Worksheet(*.xls)"),
                               QStringLiteral("CSV File (*.csv)"), QStringLiteral("Word Document (*.doc)")});
    });
}

void dlgSave::cboFileType_Click()
{
    const int index = cboFileType->currentIndex();
    const bool shown = index == 0 || index == 3;
    txtColSaperator->setHidden(!shown);
    lblDelimeter->setHidden(!shown);
}

bool dlgSave::separatorShown() const { return !txtColSaperator->isHidden(); }

void dlgSave::txtFileName_KeyPress(int &KeyAscii)
{
    if (IsReservedChar(KeyAscii))
        KeyAscii = 0;
}

bool dlgSave::IsReservedChar(int KeyAscii)
{
    bool result = false;
    Guarded("IsReservedChar", Unit::dlgSave, [&] {
        // "/" is not among them: the name box takes a path, as a file chooser's does.
        switch (KeyAscii) {
        case 124: case 92: case 63: case 62: case 60: case 58: case 42: case 34:
            result = true;
            break;
        default:
            break;
        }
    });
    return result;
}

void dlgSave::txtFileName_GotFocus() { txtFileName->selectAll(); }

void dlgSave::txtColSaperator_GotFocus() { txtColSaperator->selectAll(); }

bool dlgSave::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == txtFileName && event->type() == QEvent::KeyPress) {
        const QString typed = static_cast<QKeyEvent *>(event)->text();
        if (typed.size() == 1) {
            int key = typed.at(0).unicode();
            txtFileName_KeyPress(key);
            if (key == 0)
                return true;
        }
    } else if (event->type() == QEvent::FocusIn) {
        // A mouse press places the cursor after the focus arrives; select once it has.
        if (watched == txtFileName)
            QTimer::singleShot(0, this, [this] { txtFileName_GotFocus(); });
        else if (watched == txtColSaperator)
            QTimer::singleShot(0, this, [this] { txtColSaperator_GotFocus(); });
    }
    return QDialog::eventFilter(watched, event);
}

QString dlgSave::GetExtensionFromFileType(const QString &fileType) { return fileType.right(4).left(3); }

bool dlgSave::Validate()
{
    bool result = false;
    Guarded("Validate", Unit::dlgSave, [&] {
        // A path that ends in "/" names a folder, not the file.
        if (txtFileName->text().isEmpty() || txtFileName->text().endsWith(QLatin1Char('/'))) {
            MsgBox(QStringLiteral("Please specify file name."), MsgButtons::OK, MsgIcon::Information, {}, this);
            return;
        }
        if (separatorShown() && txtColSaperator->text().isEmpty()) {
            MsgBox(QStringLiteral("Please enter column saperator."), MsgButtons::OK, MsgIcon::Information, {}, this);
            return;
        }
        result = true;
    });
    return result;
}

void dlgSave::cmdSave_Click()
{
    Guarded("cmdSave_Click", Unit::dlgSave, [&] {
        if (!Validate())
            return;
        const QString extension = GetExtensionFromFileType(cboFileType->currentText());
        QString name = txtFileName->text();
        if (name.contains(QLatin1Char('.')) && name.right(4) == QLatin1Char('.') + extension)
            name.chop(4);
        QString folder = ftvFolder->SelectedPath();
        if (folder == DesktopNode())
            folder = modGetSpecialFolder::GetSpecialfolder(modGetSpecialFolder::CSIDL_DESKTOP);
        // A relative path in the name box goes under the chosen folder; an absolute one stands alone.
        const QString path =
            QDir::cleanPath(QDir::isAbsolutePath(name) ? name : modGeneral::ValidateDir(folder) + name);
        filename = path + QLatin1Char('.') + extension;
        if (separatorShown())
            ColumnSaperator = txtColSaperator->text();
        done(QDialog::Accepted);
    });
}

void dlgSave::cmdCancel_Click()
{
    Guarded("cmdCancel_Click", Unit::dlgSave, [&] {
        filename = Cancelled();
        done(QDialog::Rejected);
    });
}

void dlgSave::Form_Unload()
{
    Guarded("Form_Unload", Unit::dlgSave, [&] {
        if (filename.isEmpty())
            filename = Cancelled();
        OpenFile = ChkOpenFile->isChecked();
        settings().setIsOpenFileAfterExport(ChkOpenFile->isChecked() ? 1 : 0);
    });
}

}  // namespace folvane
