#include "OrvoPartitionsAccessible.h"

#include "OrvoPartitions.h"

OrvoPartitionsAccessible::OrvoPartitionsAccessible(OrvoPartitions* map)
    : QAccessibleWidget(map, QAccessible::Graphic) {}

QAccessibleInterface* OrvoPartitionsAccessible::create(const QString& className, QObject* object) {
    if (className == QLatin1String("OrvoPartitions"))
        if (auto* map = qobject_cast<OrvoPartitions*>(object))
            return new OrvoPartitionsAccessible(map);
    return nullptr;
}

QString OrvoPartitionsAccessible::text(QAccessible::Text kind) const {
    const QWidget* map = widget();
    switch (kind) {
    case QAccessible::Name:
        return map->accessibleName().isEmpty() ? map->toolTip() : map->accessibleName();
    case QAccessible::Description:
        if (!map->accessibleDescription().isEmpty())
            return map->accessibleDescription();
        return static_cast<const OrvoPartitions*>(map)->barsDescription();
    default:
        return QAccessibleWidget::text(kind);
    }
}
