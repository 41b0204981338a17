#include "modDragDrop.h"

#include "FileDrop.h"

#include <QDragMoveEvent>
#include <QDropEvent>
#include <QWidget>

namespace {

// The module serves one window at a time; this is the filter last installed on one.
QPointer<DropWindowProc> g_installed;

DropWindowProc* filterOf(QWidget* window) {
    return window ? window->findChild<DropWindowProc*>(QString(), Qt::FindDirectChildrenOnly) : nullptr;
}

} // namespace

DropWindowProc::DropWindowProc(QWidget* window, DropHandler gotADrop)
    : QObject(window), m_window(window), m_gotADrop(std::move(gotADrop)) {}

void DropWindowProc::watch(QObject* widget) {
    widget->installEventFilter(this);
    m_watched.append(widget);
}

void DropWindowProc::unwatchAll() {
    for (const QPointer<QObject>& widget : std::as_const(m_watched))
        if (widget)
            widget->removeEventFilter(this);
    m_watched.clear();
}

bool DropWindowProc::carriesFile(const QDropEvent* event) {
    // Each look at a drag's data from another program is a round trip to it: it is looked at once
    // when the drag enters, and the answer kept for its moves and its drop.
    if (event->type() == QEvent::DragEnter || event->mimeData() != m_dragData) {
        m_dragData = event->mimeData();
        m_dragCarriesFile = !FirstDroppedFile(m_dragData).isEmpty();
    }
    return m_dragCarriesFile;
}

bool DropWindowProc::eventFilter(QObject* watched, QEvent* event) {
    switch (event->type()) {
    case QEvent::DragEnter:
    case QEvent::DragMove: {
        auto* drag = static_cast<QDragMoveEvent*>(event);
        if (!carriesFile(drag))
            return false;
        // A file drag belongs to the window wherever it is; a text box under the pointer would
        // otherwise take the path as text.
        AcceptSafely(drag);
        return true;
    }
    case QEvent::Drop: {
        auto* drop = static_cast<QDropEvent*>(event);
        if (!carriesFile(drop))
            return false;
        m_dragData = nullptr;
        if (!AcceptSafely(drop))
            return true;
        HandleDrop(m_gotADrop, drop->mimeData());
        // The window's own handling still sees the drop; a control's would paste the path as text.
        return watched != m_window;
    }
    default:
        return false;
    }
}

const DropWindowProc* PreviousWindowProc() {
    return g_installed.data();
}

void EnableDragDrop(QWidget* window, DropHandler gotADrop) {
    if (!window || filterOf(window))
        return;
    window->setAcceptDrops(true);
    auto* filter = new DropWindowProc(window, std::move(gotADrop));
    filter->watch(window);
    for (QWidget* control : window->findChildren<QWidget*>())
        filter->watch(control);
    g_installed = filter;
}

void DisableDragDrop(QWidget* window) {
    if (!window)
        return;
    window->setAcceptDrops(false);
    DropWindowProc* filter = filterOf(window);
    if (!filter)
        return;
    filter->unwatchAll();
    // Not deleted at once: a drop's message box may still be open, with the filter on the stack.
    filter->setParent(nullptr);
    filter->deleteLater();
    if (g_installed == filter)
        g_installed = nullptr;
}

bool HandleDrop(const DropHandler& gotADrop, const QMimeData* data) {
    const QString path = FirstDroppedFile(data);
    if (!gotADrop || path.isEmpty())
        return false;
    gotADrop(path);
    return true;
}
