#include "FileDrop.h"

#include <QDropEvent>
#include <QMimeData>
#include <QSysInfo>
#include <QUrl>

namespace {

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
