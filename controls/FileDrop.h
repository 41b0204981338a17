#pragma once

// Files dropped from the file manager onto a window that only reads them: which file a drop names,
// and the action it is accepted with. The main window and the comparison with the router accept
// drops in this one way.

#include <QString>
#include <Qt>

class QDropEvent;
class QMimeData;

/// The action taken for a dropped file that is only read: a copy, else a link, else none.
Qt::DropAction SafeDropAction(Qt::DropActions possible);

/// Accepts a drag or drop of a file that is only read with SafeDropAction, or ignores it when the
/// drag offers neither a copy nor a link. Returns whether it was accepted.
bool AcceptSafely(QDropEvent* event);

/// The path of the first local file in `data`'s `text/uri-list`, without a trailing "/" (a dropped
/// folder is named as the file manager shows it); empty when the drop holds no local file.
QString FirstDroppedFile(const QMimeData* data);
