#include "FileList.h"

#include "FolderListing.h"

#include <QMouseEvent>
#include <QPainter>
#include <QStyleOptionFocusRect>
#include <algorithm>

namespace {

// Case-insensitive wildcard match of a whole name: "*" any run of characters, "?" exactly one.
// Iterative with one back-track point, so no pattern can make it take long.
bool wildcardMatch(const QString& name, const QString& wildcard) {
    const QString n = name.toCaseFolded();
    const QString w = wildcard.toCaseFolded();
    qsizetype ni = 0, wi = 0, starW = -1, starN = 0;
    while (ni < n.size()) {
        if (wi < w.size() && (w.at(wi) == QLatin1Char('?') || w.at(wi) == n.at(ni))) {
            ++ni;
            ++wi;
        } else if (wi < w.size() && w.at(wi) == QLatin1Char('*')) {
            starW = wi++;
            starN = ni;
        } else if (starW >= 0) {
            wi = starW + 1;
            ni = ++starN;
        } else {
            return false;
        }
    }
    while (wi < w.size() && w.at(wi) == QLatin1Char('*'))
        ++wi;
    return wi == w.size();
}

} // namespace

FileList::FileList(QWidget* parent) : QListWidget(parent), m_pattern(QString::fromLatin1(kImagePattern)) {
    setSelectionMode(QAbstractItemView::SingleSelection);
    setUniformItemSizes(true);
}

bool FileList::matchesPattern(const QString& name, const QString& pattern) {
    bool anyWildcard = false;
    for (const QString& part : pattern.split(QLatin1Char(';'))) {
        const QString wildcard = part.trimmed();
        if (wildcard.isEmpty())
            continue;
        anyWildcard = true;
        if (wildcard == QLatin1String("*.*") || wildcardMatch(name, wildcard))
            return true;
    }
    // A pattern of blanks and separators alone filters nothing out.
    return !anyWildcard;
}

void FileList::setPath(const QString& folder) {
    m_path = folder;
    fill({});
}

void FileList::setPattern(const QString& pattern) {
    m_pattern = pattern;
    fill(fileName());
}

void FileList::refresh() {
    fill(fileName());
}

void FileList::fill(const QString& keepSelected) {
    QStringList names;
    if (!m_path.isEmpty()) {
        for (const FolderEntry& entry : listFolder(m_path)) {
            if (entry.kind == FolderEntry::Kind::File && matchesPattern(entry.name, m_pattern))
                names.append(entry.name);
        }
    }
    std::sort(names.begin(), names.end(), nameLess);
    setUpdatesEnabled(false);
    clear();
    addItems(names);
    setUpdatesEnabled(true);
    if (!keepSelected.isEmpty()) {
        const qsizetype row = names.indexOf(keepSelected);
        if (row >= 0)
            setSelected(int(row), true);
    }
}

QString FileList::fileName() const {
    const QList<QListWidgetItem*> selected = selectedItems();
    return selected.isEmpty() ? QString() : selected.first()->text();
}

QString FileList::List(int i) const {
    const QListWidgetItem* entry = item(i);
    return entry ? entry->text() : QString();
}

bool FileList::Selected(int i) const {
    const QListWidgetItem* entry = item(i);
    return entry && entry->isSelected();
}

void FileList::setSelected(int i, bool selected) {
    QListWidgetItem* entry = item(i);
    if (!entry)
        return;
    if (selected)
        setCurrentItem(entry, QItemSelectionModel::ClearAndSelect);
    else
        entry->setSelected(false);
}

void FileList::mousePressEvent(QMouseEvent* event) {
    // The right button opens the file menu; it must not change (or clear) the selection the menu's
    // "Copy filename to clipboard" copies.
    if (event->button() == Qt::RightButton) {
        event->accept();
        return;
    }
    QListWidget::mousePressEvent(event);
}

void FileList::mouseReleaseEvent(QMouseEvent* event) {
    QListWidget::mouseReleaseEvent(event);
    emit mouseUp(event->button(), event->modifiers(), viewport()->mapTo(this, event->position().toPoint()));
}

void FileList::paintEvent(QPaintEvent* event) {
    QListWidget::paintEvent(event);
    if (count() > 0 || !hasFocus())
        return;
    // With entries the current one carries the focus frame; a folder without matching files has none.
    QStyleOptionFocusRect frame;
    frame.initFrom(this);
    frame.rect = QRect(0, 0, viewport()->width(), fontMetrics().height() + 2);
    frame.backgroundColor = palette().color(QPalette::Base);
    QPainter painter(viewport());
    style()->drawPrimitive(QStyle::PE_FrameFocusRect, &frame, &painter, this);
}

QSize FileList::sizeHint() const {
    return {400, 120};
}
