#pragma once

// Files dropped onto the main window from the file manager. An event filter, installed on the window
// and on every control in it, stands in the way of the window's own event handling: it accepts drags
// that carry local files anywhere on the window, hands the first dropped file to the window's
// handler (frmMain::GotADrop), and passes every other event on untouched.

#include <QObject>
#include <QPointer>
#include <functional>

class QDropEvent;
class QMimeData;
class QWidget;

/// What the window does with the first file of a drop (frmMain::GotADrop).
using DropHandler = std::function<void(const QString& path)>;

/// The filter that sees the main window's events while drops are accepted (`DropWindowProc`).
class DropWindowProc : public QObject {
    Q_OBJECT

public:
    DropWindowProc(QWidget* window, DropHandler gotADrop);

    QWidget* window() const { return m_window; }
    /// Puts the filter on `widget` too; controls created after EnableDragDrop are not covered.
    void watch(QObject* widget);
    /// Takes the filter off the window and all its controls.
    void unwatchAll();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    bool carriesFile(const QDropEvent* event);

    QWidget* m_window;
    DropHandler m_gotADrop;
    QList<QPointer<QObject>> m_watched;
    const QMimeData* m_dragData = nullptr; // the drag under way, as last looked at
    bool m_dragCarriesFile = false;
};

/// The filter installed by the last EnableDragDrop, null while none is installed: the value whose
/// presence tells DisableDragDrop there is something to restore (`PreviousWindowProc`).
const DropWindowProc* PreviousWindowProc();

/// The window accepts dropped files: drags carrying local files are accepted over the window and
/// every control in it, and the first file of a drop goes to `gotADrop`. A second call for the same
/// window changes nothing.
void EnableDragDrop(QWidget* window, DropHandler gotADrop);

/// Dropped files are no longer accepted and the window's own event handling is restored. A call
/// without a filter in place restores nothing.
void DisableDragDrop(QWidget* window);

/// Hands the first local file of a drop to `gotADrop`; a drop without one is ignored.
/// Returns whether a path was handed on.
bool HandleDrop(const DropHandler& gotADrop, const QMimeData* data);
