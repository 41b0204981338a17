#pragma once

#include <QAccessibleWidget>
#include <memory>

class QComboBox;

/// How assistive technology sees a selection-only drop-down list: a combo box whose name is its
/// accessible name and whose value and text are the selected text, with the pop-up list as its one
/// child, in which the chosen item is the selected one.
///
/// Qt names a combo box on Linux by its selected text and leaves the caption to a label beside it;
/// the window's drive list has no such label, so a screen reader would hear only "/". Without an
/// accessible name the list is named by its selected text, as Qt names it. A named list must still
/// say what it holds: screen readers read a combo box's choice from the selected item of its list
/// or from the box's text, and a new choice is announced as a change of that text.
class DropDownListAccessible : public QAccessibleWidget, public QAccessibleTextInterface {
public:
    explicit DropDownListAccessible(QComboBox* box);
    ~DropDownListAccessible() override;

    /// Installs the factory, once; lists created before it keep Qt's own interface.
    static void install();
    /// The factory that QAccessible consults for every object it is asked about.
    static QAccessibleInterface* create(const QString& className, QObject* object);

    void* interface_cast(QAccessible::InterfaceType type) override;
    int childCount() const override;
    QAccessibleInterface* child(int index) const override;
    int indexOfChild(const QAccessibleInterface* child) const override;
    QAccessibleInterface* childAt(int x, int y) const override;
    QString text(QAccessible::Text kind) const override;
    QAccessible::State state() const override;
    QStringList actionNames() const override;
    void doAction(const QString& actionName) override;
    QStringList keyBindingsForAction(const QString& actionName) const override;

    // The selected text, read-only, with no caret and no selection of its own.
    QString text(int startOffset, int endOffset) const override;
    int characterCount() const override;
    QRect characterRect(int offset) const override;
    int offsetAtPoint(const QPoint& point) const override;
    QString attributes(int offset, int* startOffset, int* endOffset) const override;
    void selection(int selectionIndex, int* startOffset, int* endOffset) const override;
    int selectionCount() const override;
    void addSelection(int startOffset, int endOffset) override;
    void removeSelection(int selectionIndex) override;
    void setSelection(int selectionIndex, int startOffset, int endOffset) override;
    int cursorPosition() const override;
    void setCursorPosition(int position) override;
    void scrollToSubstring(int startIndex, int endIndex) override;

private:
    class ChoiceMirror;

    QComboBox* box() const;
    /// Where the character at `offset` is drawn, in the box's coordinates; empty outside the text.
    QRect glyphRect(int offset) const;

    std::unique_ptr<ChoiceMirror> m_mirror;
};
