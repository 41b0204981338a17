#include "OrvoSimpleButtonAccessible.h"

#include "GradientPainter.h"
#include "OrvoSimpleButton.h"

#include <QKeySequence>

OrvoSimpleButtonAccessible::OrvoSimpleButtonAccessible(OrvoSimpleButton* button)
    : QAccessibleWidget(button, QAccessible::Button) {}

QAccessibleInterface* OrvoSimpleButtonAccessible::create(const QString& className, QObject* object) {
    if (className == QLatin1String("OrvoSimpleButton"))
        if (auto* button = qobject_cast<OrvoSimpleButton*>(object))
            return new OrvoSimpleButtonAccessible(button);
    return nullptr;
}

OrvoSimpleButton* OrvoSimpleButtonAccessible::button() const {
    return static_cast<OrvoSimpleButton*>(widget());
}

QString OrvoSimpleButtonAccessible::accessKeyText() const {
    const std::optional<QChar> key = AccessKeyOf(button()->Caption());
    if (!key)
        return {};
    return QKeySequence(QKeyCombination(Qt::AltModifier, Qt::Key(key->toUpper().unicode())))
        .toString(QKeySequence::NativeText);
}

QString OrvoSimpleButtonAccessible::text(QAccessible::Text kind) const {
    switch (kind) {
    case QAccessible::Name:
        if (!widget()->accessibleName().isEmpty())
            return widget()->accessibleName();
        return gradient::ShownText(button()->Caption());
    case QAccessible::Accelerator:
        return accessKeyText();
    default:
        return QAccessibleWidget::text(kind);
    }
}

QAccessible::State OrvoSimpleButtonAccessible::state() const {
    QAccessible::State state = QAccessibleWidget::state();
    state.pressed = button()->look() == OrvoSimpleButton::Look::Pressed;
    state.hotTracked = button()->look() == OrvoSimpleButton::Look::Hover;
    return state;
}

QStringList OrvoSimpleButtonAccessible::actionNames() const {
    QStringList names = QAccessibleWidget::actionNames();
    if (button()->isEnabled())
        names.prepend(pressAction());
    return names;
}

void OrvoSimpleButtonAccessible::doAction(const QString& actionName) {
    if (actionName == pressAction() && button()->isEnabled()) {
        emit button()->Click();
        return;
    }
    QAccessibleWidget::doAction(actionName);
}

QStringList OrvoSimpleButtonAccessible::keyBindingsForAction(const QString& actionName) const {
    if (actionName == pressAction()) {
        const QString key = accessKeyText();
        if (!key.isEmpty())
            return {key};
    }
    return QAccessibleWidget::keyBindingsForAction(actionName);
}
