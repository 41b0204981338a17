#pragma once

#include <QAccessibleWidget>

class QComboBox;

/// How assistive technology sees a selection-only drop-down list: a combo box whose name is its
/// accessible name and whose value is the selected text, with the pop-up list as its one child.
///
/// Qt names a combo box on Linux by its selected text and leaves the caption to a label beside it;
/// the window's drive list has no such label, so a screen reader would hear only "/". Without an
/// accessible name the list is named by its selected text, as Qt names it.
class DropDownListAccessible : public QAccessibleWidget {
public:
    explicit DropDownListAccessible(QComboBox* box);

    /// Installs the factory, once; lists created before it keep Qt's own interface.
    static void install();
    /// The factory that QAccessible consults for every object it is asked about.
    static QAccessibleInterface* create(const QString& className, QObject* object);

    int childCount() const override;
    QAccessibleInterface* child(int index) const override;
    int indexOfChild(const QAccessibleInterface* child) const override;
    QAccessibleInterface* childAt(int x, int y) const override;
    QString text(QAccessible::Text kind) const override;
    QAccessible::State state() const override;
    QStringList actionNames() const override;
    void doAction(const QString& actionName) override;
    QStringList keyBindingsForAction(const QString& actionName) const override;

private:
    QComboBox* box() const;
};
