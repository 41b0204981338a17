#pragma once

// Files dropped onto the main window from the file manager. An event filter, installed on the window
// and on every control in it, stands in the way of the window's own event handling: it accepts drags
// that carry local files anywhere on the window, hands the first dropped file to
// frmMain::GotADrop, and passes every other event on untouched.

#include <QObject>
#include <QPointer>

class QDropEvent;
class QMimeData;
class frmMain;

/// The filter that sees the main window's events while drops are accepted (`DropWindowProc`).
class DropWindowProc : public QObject {
    Q_OBJECT

public:
    explicit DropWindowProc(frmMain* window);

    frmMain* window() const { return m_window; }
    /// Puts the filter on `widget` too; controls created after EnableDragDrop are not covered.
    void watch(QObject* widget);
    /// Takes the filter off the window and all its controls.
    void unwatchAll();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    bool carriesFile(const QDropEvent* event);

    frmMain* m_window;
    QList<QPointer<QObject>> m_watched;
    const QMimeData* m_dragData = nullptr; // the drag under way, as last looked at
    bool m_dragCarriesFile = false;
};

/// The filter installed by the last EnableDragDrop, null while none is installed: the value whose
/// presence tells DisableDragDrop there is something to restore (`PreviousWindowProc`).
const DropWindowProc* PreviousWindowProc();

/// The window accepts dropped files: drags carrying local files are accepted over the window and
/// every control in it. A second call for the same window changes nothing.
void EnableDragDrop(frmMain* window);

/// Dropped files are no longer accepted and the window's own event handling is restored. A call
/// without a filter in place restores nothing.
void DisableDragDrop(frmMain* window);

/// The action taken for a dropped file that is only read: a copy, else a link, else none.
Qt::DropAction SafeDropAction(Qt::DropActions possible);

/// Accepts a drag or drop of a file that is only read with SafeDropAction, or ignores it when the
/// drag offers neither a copy nor a link. Returns whether it was accepted.
bool AcceptSafely(QDropEvent* event);

/// The path of the first local file in `data`'s `text/uri-list`, without a trailing "/" (a dropped
/// folder is named as the file manager shows it); empty when the drop holds no local file.
QString FirstDroppedFile(const QMimeData* data);

/// Hands the first local file of a drop to `window`'s GotADrop; a drop without one is ignored.
/// Returns whether a path was handed on.
bool HandleDrop(frmMain* window, const QMimeData* data);
