#pragma once
// The folder tree: folders only, with icons, a selected-path property and a folder-selected signal.

#include <QString>
#include <QTreeView>

class QFileSystemModel;

namespace folvane {

class FolderTree : public QTreeView {
    Q_OBJECT
public:
    explicit FolderTree(QWidget *parent = nullptr);

    QString SelectedPath() const { return selectedPath_; }
    /// Selects the folder (expanding its parents) and raises FolderSelected before returning, also
    /// when the path is the one already selected or names no existing folder.
    void setSelectedPath(const QString &path);

signals:
    /// The selection changed, by the user or by setSelectedPath.
    void FolderSelected();

protected:
    void focusInEvent(QFocusEvent *event) override;

private:
    void onCurrentChanged(const QModelIndex &current);

    QFileSystemModel *model_;
    QString selectedPath_;
    bool settingPath_ = false;
    bool focusing_ = false;
};

}  // namespace folvane
