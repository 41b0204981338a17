#pragma once

#include <QIcon>
#include <QPoint>
#include <QString>
#include <QTreeWidget>

/// The folder list (`Dir1`): the open folder shown as the chain of its ancestors from the volume
/// root down to it, followed by its subfolders, each level indented one step.
///
/// `Path` is the open folder's full path, without a trailing "/" unless it is a volume root.
/// Double-click or Enter on an entry opens it. Right-button and other button releases are passed on
/// as mouseUp(), mirroring `Dir1_MouseUp(button, shift, x, y)`, so the window can pop up its menu.
/// The list starts empty, with no folder open, until the browser opens one.
class DirList : public QTreeWidget {
    Q_OBJECT
    Q_PROPERTY(QString Path READ path WRITE setPath NOTIFY pathChanged)

public:
    explicit DirList(QWidget* parent = nullptr);

    QString path() const { return m_path; }
    /// Opens `folder` (relative paths are taken from the process's current folder). A path that is
    /// not an existing folder that can be listed is refused: the list stays as it was, no signal,
    /// false returned. Opening the folder already open reads it again but emits nothing.
    bool setPath(const QString& folder);
    /// Reads the open folder again (subfolders added or removed meanwhile).
    void refresh();

    /// Full path of the entry at `row` of the shown list (ancestors first), empty past the end.
    QString entryPath(int row) const;
    /// Number of entries shown: the ancestor chain plus the subfolders.
    int entryCount() const;

    QSize sizeHint() const override;

signals:
    /// The open folder changed (`Dir1_Change`).
    void pathChanged();
    /// A mouse button was released over the list, at `pos` in the list's coordinates.
    void mouseUp(Qt::MouseButton button, Qt::KeyboardModifiers modifiers, QPoint pos);

protected:
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void fill();
    void openItem(QTreeWidgetItem* item);
    QString m_path;
    QIcon m_openIcon; // looked up at the first fill
    QIcon m_closedIcon;
};
