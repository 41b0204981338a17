#include "DirList.h"

#include "DriveList.h"
#include "FolderListing.h"
#include "LocalNames.h"

#include <QDir>
#include <QFileInfo>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QStyle>
#include <algorithm>

namespace {

constexpr int PathRole = Qt::UserRole;

QString normalisedFolder(const QString& folder) {
    QString absolute = folder.startsWith(QLatin1Char('/')) ? folder : joinPath(QDir::currentPath(), folder);
    absolute = QDir::cleanPath(absolute);
    return absolute.isEmpty() ? QStringLiteral("/") : absolute;
}

} // namespace

DirList::DirList(QWidget* parent) : QTreeWidget(parent) {
    setHeaderHidden(true);
    setColumnCount(1);
    setRootIsDecorated(false);
    setItemsExpandable(false);
    setExpandsOnDoubleClick(false);
    setUniformRowHeights(true);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setIndentation(12);
    // Opening rebuilds the items, so it waits until the view has finished with the double-click.
    connect(this, &QTreeWidget::itemDoubleClicked, this, [this](QTreeWidgetItem* item) {
        const QString target = item->data(0, PathRole).toString();
        QMetaObject::invokeMethod(
            this, [this, target] { setPath(target); }, Qt::QueuedConnection);
    });
}

bool DirList::setPath(const QString& folder) {
    if (folder.isEmpty())
        return false;
    const QString target = normalisedFolder(folder);
    if (!isOpenableFolder(target))
        return false;
    const bool changed = target != m_path;
    m_path = target;
    fill();
    if (changed)
        emit pathChanged();
    return true;
}

void DirList::refresh() {
    if (!m_path.isEmpty() && isOpenableFolder(m_path))
        fill();
}

void DirList::fill() {
    clear();
    const QString root = DriveList::volumeRootOf(m_path);
    // The chain of folders from the volume root (or "/" when the volume is unknown) down to m_path.
    QStringList chain;
    for (QString p = m_path;;) {
        chain.prepend(p);
        if (p == root || p == QLatin1String("/"))
            break;
        const qsizetype slash = p.lastIndexOf(QLatin1Char('/'));
        p = slash <= 0 ? QStringLiteral("/") : p.left(slash);
    }
    // The icon theme is searched once for the list's life, not at every folder change.
    if (m_openIcon.isNull()) {
        m_openIcon = style()->standardIcon(QStyle::SP_DirOpenIcon);
        m_closedIcon = style()->standardIcon(QStyle::SP_DirClosedIcon);
    }
    QTreeWidgetItem* parentItem = nullptr;
    for (const QString& p : chain) {
        const QString name = parentItem ? p.mid(p.lastIndexOf(QLatin1Char('/')) + 1) : p;
        auto* item = parentItem ? new QTreeWidgetItem(parentItem) : new QTreeWidgetItem(this);
        item->setText(0, name);
        item->setIcon(0, m_openIcon);
        item->setData(0, PathRole, p);
        item->setToolTip(0, p);
        parentItem = item;
    }
    QStringList subfolders;
    for (const FolderEntry& entry : listFolder(m_path)) {
        if (entry.kind == FolderEntry::Kind::Folder)
            subfolders.append(entry.name);
    }
    std::sort(subfolders.begin(), subfolders.end(), nameLess);
    for (const QString& name : subfolders) {
        auto* item = new QTreeWidgetItem(parentItem);
        item->setText(0, name);
        item->setIcon(0, m_closedIcon);
        item->setData(0, PathRole, joinPath(m_path, name));
    }
    expandAll();
    setCurrentItem(parentItem);
}

void DirList::openItem(QTreeWidgetItem* item) {
    if (!item)
        return;
    // A folder that cannot be opened (removed meanwhile, no permission) leaves the list as it was.
    setPath(item->data(0, PathRole).toString());
}

QString DirList::entryPath(int row) const {
    int index = 0;
    for (QTreeWidgetItemIterator it(const_cast<DirList*>(this)); *it; ++it, ++index) {
        if (index == row)
            return (*it)->data(0, PathRole).toString();
    }
    return {};
}

int DirList::entryCount() const {
    int count = 0;
    for (QTreeWidgetItemIterator it(const_cast<DirList*>(this)); *it; ++it)
        ++count;
    return count;
}

void DirList::mouseReleaseEvent(QMouseEvent* event) {
    QTreeWidget::mouseReleaseEvent(event);
    emit mouseUp(event->button(), event->modifiers(), viewport()->mapTo(this, event->position().toPoint()));
}

void DirList::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        openItem(currentItem());
        event->accept();
        return;
    }
    QTreeWidget::keyPressEvent(event);
}

QSize DirList::sizeHint() const {
    return {400, 120};
}
