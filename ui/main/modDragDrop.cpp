#include "modDragDrop.h"

#include "frmMain.h"

#include <QDragMoveEvent>
#include <QDropEvent>
#include <QMimeData>
#include <QSysInfo>
#include <QUrl>
#include <QWidget>

namespace {

// The module serves one window at a time; this is the filter last installed on one.
QPointer<DropWindowProc> g_installed;

DropWindowProc* filterOf(frmMain* window) {
    return window ? window->findChild<DropWindowProc*>(QString(), Qt::FindDirectChildrenOnly) : nullptr;
}

// A file URL names a file of this machine when it has no host, "localhost" or this machine's name
// (some file managers write their host name into the URLs they offer).
QString localPathOf(const QUrl& url) {
    if (!url.isLocalFile())
        return {};
    const QString host = url.host();
    if (!host.isEmpty() && host.compare(QStringLiteral("localhost"), Qt::CaseInsensitive) != 0 &&
        host.compare(QSysInfo::machineHostName(), Qt::CaseInsensitive) != 0)
        return {};
    QUrl withoutHost = url;
    withoutHost.setHost(QString());
    return withoutHost.toLocalFile();
}

} // namespace

DropWindowProc::DropWindowProc(frmMain* window) : QObject(window), m_window(window) {}

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
        HandleDrop(m_window, drop->mimeData());
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

void EnableDragDrop(frmMain* window) {
    if (!window || filterOf(window))
        return;
    window->setAcceptDrops(true);
    auto* filter = new DropWindowProc(window);
    filter->watch(window);
    for (QWidget* control : window->findChildren<QWidget*>())
        filter->watch(control);
    g_installed = filter;
}

void DisableDragDrop(frmMain* window) {
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

// The window only reads the dropped file. Accepting a move would tell the file manager to delete the
// file once the drop is done, so a copy (or else a link) is taken, and a drag that offers neither
// is refused.
Qt::DropAction SafeDropAction(Qt::DropActions possible) {
    if (possible & Qt::CopyAction)
        return Qt::CopyAction;
    if (possible & Qt::LinkAction)
        return Qt::LinkAction;
    return Qt::IgnoreAction;
}

bool AcceptSafely(QDropEvent* event) {
    const Qt::DropAction action = SafeDropAction(event->possibleActions());
    if (action == Qt::IgnoreAction) {
        event->ignore();
        return false;
    }
    event->setDropAction(action);
    event->accept();
    return true;
}

QString FirstDroppedFile(const QMimeData* data) {
    if (!data || !data->hasUrls())
        return {};
    for (const QUrl& url : data->urls()) {
        QString path = localPathOf(url);
        if (path.isEmpty())
            continue;
        while (path.size() > 1 && path.endsWith(QLatin1Char('/')))
            path.chop(1);
        return path;
    }
    return {};
}

bool HandleDrop(frmMain* window, const QMimeData* data) {
    const QString path = FirstDroppedFile(data);
    if (!window || path.isEmpty())
        return false;
    window->GotADrop(path);
    return true;
}
