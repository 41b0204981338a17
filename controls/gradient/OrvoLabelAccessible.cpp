#include "OrvoLabelAccessible.h"

#include "GradientPainter.h"
#include "OrvoLabel.h"

OrvoLabelAccessible::OrvoLabelAccessible(OrvoLabel* label)
    : QAccessibleWidget(label, QAccessible::StaticText) {}

QAccessibleInterface* OrvoLabelAccessible::create(const QString& className, QObject* object) {
    if (className == QLatin1String("OrvoLabel"))
        if (auto* label = qobject_cast<OrvoLabel*>(object))
            return new OrvoLabelAccessible(label);
    return nullptr;
}

QString OrvoLabelAccessible::text(QAccessible::Text kind) const {
    if (kind == QAccessible::Name) {
        if (!widget()->accessibleName().isEmpty())
            return widget()->accessibleName();
        return gradient::ShownText(static_cast<const OrvoLabel*>(widget())->Caption());
    }
    return QAccessibleWidget::text(kind);
}
