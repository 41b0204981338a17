#pragma once

#include <QAccessibleWidget>

class OrvoSimpleButton;

/// How assistive technology sees the gradient button: a push button named by its caption without
/// the "&" marks, whose press action clicks it.
class OrvoSimpleButtonAccessible : public QAccessibleWidget {
public:
    explicit OrvoSimpleButtonAccessible(OrvoSimpleButton* button);

    /// The factory that QAccessible consults for every object it is asked about.
    static QAccessibleInterface* create(const QString& className, QObject* object);

    QString text(QAccessible::Text kind) const override;
    QAccessible::State state() const override;
    QStringList actionNames() const override;
    void doAction(const QString& actionName) override;
    QStringList keyBindingsForAction(const QString& actionName) const override;

private:
    OrvoSimpleButton* button() const;
    QString accessKeyText() const;
};
