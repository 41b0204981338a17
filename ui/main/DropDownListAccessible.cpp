#include "DropDownListAccessible.h"

#include <QAbstractItemView>
#include <QComboBox>

DropDownListAccessible::DropDownListAccessible(QComboBox* box)
    : QAccessibleWidget(box, QAccessible::ComboBox) {}

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
    return {showMenuAction(), pressAction()};
}

void DropDownListAccessible::doAction(const QString& actionName) {
    if (actionName != showMenuAction() && actionName != pressAction())
        return;
    if (box()->view() && box()->view()->isVisible())
        box()->hidePopup();
    else
        box()->showPopup();
}

QStringList DropDownListAccessible::keyBindingsForAction(const QString&) const {
    return {};
}
