#pragma once

#include <QAccessibleWidget>

class OrvoPartitions;

/// How assistive technology sees the partition map: a graphic named by its accessible name or else
/// its tooltip, described by its accessible description or else the words for every bar in drawing
/// order, so that the ranges reach those who cannot see the bars.
class OrvoPartitionsAccessible : public QAccessibleWidget {
public:
    explicit OrvoPartitionsAccessible(OrvoPartitions* map);

    /// The factory that QAccessible consults for every object it is asked about.
    static QAccessibleInterface* create(const QString& className, QObject* object);

    QString text(QAccessible::Text kind) const override;
};
