#include "DropDownListAccessible.h"

#include <QAbstractItemView>
#include <QComboBox>
#include <QFontMetrics>
#include <QItemSelectionModel>
#include <QStyle>
#include <QStyleOptionComboBox>
#include <QTimer>
#include <algorithm>

/// Keeps what assistive technology reads of a list in step with its choice, from the moment it
/// first asks. Qt marks the chosen item of the pop-up list only as the list opens, and leaves the
/// mark where the pointer or the arrow keys left it when the list closes without a new choice. A
/// new choice is announced as a change of the box's text once the list has settled: the drive list
/// empties and fills again each time it opens.
class DropDownListAccessible::ChoiceMirror : public QObject {
public:
    explicit ChoiceMirror(QComboBox* box) : m_box(box), m_announced(box->currentText()) {
        connect(box, &QComboBox::currentIndexChanged, this, &ChoiceMirror::markChoice);
        connect(box, &QComboBox::currentTextChanged, this, [this] {
            if (!m_announcing.isActive())
                m_announcing.start();
        });
        m_announcing.setSingleShot(true);
        m_announcing.setInterval(0);
        connect(&m_announcing, &QTimer::timeout, this, &ChoiceMirror::announce);
        if (box->view())
            box->view()->installEventFilter(this);
        markChoice();
    }

    // The list may be closing because the box is being destroyed: the mark waits for the next turn
    // of the event loop, which the mirror of a destroyed box, gone with its interface, never sees.
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Hide)
            QMetaObject::invokeMethod(this, &ChoiceMirror::markChoice, Qt::QueuedConnection);
        return false;
    }

private:
    void markChoice() {
        QAbstractItemView* list = m_box->view();
        if (!list || !list->selectionModel())
            return;
        const QModelIndex chosen =
            m_box->model()->index(m_box->currentIndex(), m_box->modelColumn(), m_box->rootModelIndex());
        // A closed list has no current item: an item that claimed the focus there would draw a
        // screen reader's attention away from the box.
        if (list->isVisible()) {
            list->selectionModel()->setCurrentIndex(chosen, QItemSelectionModel::ClearAndSelect);
        } else {
            list->selectionModel()->clearCurrentIndex();
            list->selectionModel()->select(chosen, QItemSelectionModel::ClearAndSelect);
        }
    }

    void announce() {
        const QString shown = m_box->currentText();
        if (shown == m_announced)
            return;
        QAccessibleTextUpdateEvent change(m_box, 0, m_announced, shown);
        m_announced = shown;
        QAccessible::updateAccessibility(&change);
    }

    QComboBox* m_box;
    QString m_announced;
    QTimer m_announcing;
};

DropDownListAccessible::DropDownListAccessible(QComboBox* box)
    : QAccessibleWidget(box, QAccessible::ComboBox), m_mirror(std::make_unique<ChoiceMirror>(box)) {}

DropDownListAccessible::~DropDownListAccessible() = default;

void DropDownListAccessible::install() {
    static const bool installed = [] {
        QAccessible::installFactory(&DropDownListAccessible::create);
        return true;
    }();
    Q_UNUSED(installed);
}

QAccessibleInterface* DropDownListAccessible::create(const QString& className, QObject* object) {
    if (className == QLatin1String("QComboBox"))
        if (auto* box = qobject_cast<QComboBox*>(object); box && !box->isEditable())
            return new DropDownListAccessible(box);
    return nullptr;
}

QComboBox* DropDownListAccessible::box() const {
    return static_cast<QComboBox*>(widget());
}

void* DropDownListAccessible::interface_cast(QAccessible::InterfaceType type) {
    if (type == QAccessible::TextInterface)
        return static_cast<QAccessibleTextInterface*>(this);
    return QAccessibleWidget::interface_cast(type);
}

int DropDownListAccessible::childCount() const {
    return box()->view() ? 1 : 0;
}

QAccessibleInterface* DropDownListAccessible::child(int index) const {
    return index == 0 && box()->view() ? QAccessible::queryAccessibleInterface(box()->view()) : nullptr;
}

int DropDownListAccessible::indexOfChild(const QAccessibleInterface* child) const {
    return child && box()->view() && child->object() == box()->view() ? 0 : -1;
}

// The pop-up list is a window of its own: a point on the screen is never inside the box's child.
QAccessibleInterface* DropDownListAccessible::childAt(int, int) const {
    return nullptr;
}

QString DropDownListAccessible::text(QAccessible::Text kind) const {
    switch (kind) {
    case QAccessible::Name:
        return box()->accessibleName().isEmpty() ? box()->currentText() : box()->accessibleName();
    case QAccessible::Value:
        return box()->currentText();
    default:
        return QAccessibleWidget::text(kind);
    }
}

QAccessible::State DropDownListAccessible::state() const {
    QAccessible::State state = QAccessibleWidget::state();
    state.expandable = true;
    state.expanded = box()->view() && box()->view()->isVisible();
    return state;
}

QStringList DropDownListAccessible::actionNames() const {
    return QStringList{showMenuAction(), pressAction()} + QAccessibleWidget::actionNames();
}

void DropDownListAccessible::doAction(const QString& actionName) {
    if (actionName != showMenuAction() && actionName != pressAction())
        return QAccessibleWidget::doAction(actionName);
    if (box()->view() && box()->view()->isVisible())
        box()->hidePopup();
    else
        box()->showPopup();
}

QStringList DropDownListAccessible::keyBindingsForAction(const QString&) const {
    return {};
}

QString DropDownListAccessible::text(int startOffset, int endOffset) const {
    const QString shown = box()->currentText();
    const qsizetype start = std::clamp<qsizetype>(startOffset, 0, shown.size());
    const qsizetype end =
        endOffset < 0 ? shown.size() : std::clamp<qsizetype>(endOffset, start, shown.size());
    return shown.mid(start, end - start);
}

int DropDownListAccessible::characterCount() const {
    return int(box()->currentText().size());
}

// Drawn as QCommonStyle draws a box's label: after the item's icon, one pixel into the edit field,
// on the side the layout starts from.
QRect DropDownListAccessible::glyphRect(int offset) const {
    const QString shown = box()->currentText();
    if (offset < 0 || offset >= shown.size())
        return {};
    QStyleOptionComboBox option;
    option.initFrom(box());
    option.editable = false;
    option.frame = box()->hasFrame();
    option.currentText = shown;
    option.currentIcon = box()->itemIcon(box()->currentIndex());
    option.iconSize = box()->iconSize();
    QRect field =
        box()->style()->subControlRect(QStyle::CC_ComboBox, &option, QStyle::SC_ComboBoxEditField, box());
    if (!option.currentIcon.isNull())
        field.adjust(option.direction == Qt::RightToLeft ? 0 : option.iconSize.width() + 4, 0,
                     option.direction == Qt::RightToLeft ? -option.iconSize.width() - 4 : 0, 0);
    field.adjust(1, 0, -1, 0);
    const QFontMetrics metrics(box()->font());
    const int start = option.direction == Qt::RightToLeft
                          ? field.right() + 1 - metrics.horizontalAdvance(shown)
                          : field.left();
    return {start + metrics.horizontalAdvance(shown.left(offset)),
            field.top() + (field.height() - metrics.height()) / 2,
            metrics.horizontalAdvance(shown.mid(offset, 1)), metrics.height()};
}

QRect DropDownListAccessible::characterRect(int offset) const {
    const QRect glyph = glyphRect(offset);
    return glyph.isNull() ? glyph : glyph.translated(box()->mapToGlobal(QPoint(0, 0)));
}

int DropDownListAccessible::offsetAtPoint(const QPoint& point) const {
    const QPoint local = box()->mapFromGlobal(point);
    for (int offset = 0; offset < characterCount(); ++offset)
        if (glyphRect(offset).contains(local))
            return offset;
    return -1;
}

QString DropDownListAccessible::attributes(int, int* startOffset, int* endOffset) const {
    *startOffset = 0;
    *endOffset = characterCount();
    return {};
}

void DropDownListAccessible::selection(int, int* startOffset, int* endOffset) const {
    *startOffset = *endOffset = 0;
}

int DropDownListAccessible::selectionCount() const {
    return 0;
}

void DropDownListAccessible::addSelection(int, int) {}

void DropDownListAccessible::removeSelection(int) {}

void DropDownListAccessible::setSelection(int, int, int) {}

int DropDownListAccessible::cursorPosition() const {
    return 0;
}

void DropDownListAccessible::setCursorPosition(int) {}

void DropDownListAccessible::scrollToSubstring(int, int) {}
