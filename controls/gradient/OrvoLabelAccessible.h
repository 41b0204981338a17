#pragma once

#include <QAccessibleWidget>

class OrvoLabel;

/// How assistive technology sees the gradient label: static text named by its caption without the
/// "&" marks, as a QLabel with the same caption would be.
class OrvoLabelAccessible : public QAccessibleWidget {
public:
    explicit OrvoLabelAccessible(OrvoLabel* label);

    /// The factory that QAccessible consults for every object it is asked about.
    static QAccessibleInterface* create(const QString& className, QObject* object);

    QString text(QAccessible::Text kind) const override;
};
