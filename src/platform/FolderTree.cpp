#include "platform/FolderTree.h"

#include <QDir>
#include <QFileIconProvider>
#include <QFileSystemModel>
#include <QHeaderView>
#include <QScopedValueRollback>

namespace folvane {

FolderTree::FolderTree(QWidget *parent) : QTreeView(parent), model_(new QFileSystemModel(this))
{
    // Qt 6 shows no icons without a provider.
    model_->setIconProvider(new QFileIconProvider);
    model_->setFilter(QDir::AllDirs | QDir::NoDotAndDotDot | QDir::Hidden | QDir::Drives);
    model_->setReadOnly(true);
    model_->setRootPath(QDir::rootPath());
    setModel(model_);
    for (int c = 1; c < model_->columnCount(); ++c)
        hideColumn(c);
    header()->hide();
    setSelectionMode(QAbstractItemView::SingleSelection);
    setAnimated(false);
    connect(selectionModel(), &QItemSelectionModel::currentChanged, this,
            [this](const QModelIndex &current, const QModelIndex &) { onCurrentChanged(current); });
    // The model lists folders in the background: a folder chosen before its parent was listed is
    // scrolled to once the listing arrives, so the user sees what was selected.
    connect(model_, &QFileSystemModel::directoryLoaded, this, [this](const QString &loaded) {
        if (!currentIndex().isValid())
            return;
        const QString current = model_->filePath(currentIndex());
        const QString ancestor = loaded.endsWith(QLatin1Char('/')) ? loaded : loaded + QLatin1Char('/');
        if (!current.startsWith(ancestor))
            return;
        scrollTo(currentIndex(), QAbstractItemView::PositionAtCenter);
    });
}

void FolderTree::setSelectedPath(const QString &path)
{
    selectedPath_ = path;
    const QModelIndex index = model_->index(QDir::cleanPath(path));
    const bool changes = index.isValid() && index != currentIndex();
    if (index.isValid()) {
        {
            const QScopedValueRollback setting(settingPath_, true);
            setCurrentIndex(index);
        }
        expand(index);
        scrollTo(index);
    }
    // Choosing the folder that is already selected, or one the tree cannot show, still counts as a
    // selection: the program relies on the event to start its search.
    if (!changes)
        emit FolderSelected();
}

void FolderTree::focusInEvent(QFocusEvent *event)
{
    // Taking the focus without a current folder makes the view pick its first row as current; that
    // is no choice of the user's and must not start a search of it.
    const QScopedValueRollback focusing(focusing_, true);
    QTreeView::focusInEvent(event);
}

void FolderTree::onCurrentChanged(const QModelIndex &current)
{
    if (focusing_)
        return;
    if (!settingPath_)
        selectedPath_ = model_->filePath(current);
    emit FolderSelected();
}

}  // namespace folvane
