// A stand-in for the file manager in tests under a real X server: a small window that starts a drag
// of the files named on its command line as soon as a mouse button is pressed on it, and reports on
// standard output what the drop target did with them ("drop: copy", "drop: move", "drop: link" or
// "drop: ignore"), then quits a few seconds later. It offers every action, as file managers do.
//   flintor-dragsource FILE...          the drag source, 160 x 80 at (20, 20), titled "Drag source"
//   flintor-dragsource --close WINDOW   asks the X window WINDOW to close, as a window manager's
//                                       close button does (WM_DELETE_WINDOW)
#include <QApplication>
#include <QDrag>
#include <QMimeData>
#include <QMouseEvent>
#include <QTimer>
#include <QUrl>
#include <QWidget>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <xcb/xcb.h>

namespace {

class DragSource : public QWidget {
public:
    explicit DragSource(QList<QUrl> urls) : m_urls(std::move(urls)) {
        setWindowTitle(QStringLiteral("Drag source"));
        setGeometry(20, 20, 160, 80);
        setAutoFillBackground(true);
        QPalette colours = palette();
        colours.setColor(QPalette::Window, QColor(0x40, 0x80, 0x40));
        setPalette(colours);
    }

protected:
    void mousePressEvent(QMouseEvent*) override {
        auto* data = new QMimeData;
        data->setUrls(m_urls);
        auto* drag = new QDrag(this);
        drag->setMimeData(data);
        const Qt::DropAction action =
            drag->exec(Qt::CopyAction | Qt::MoveAction | Qt::LinkAction, Qt::MoveAction);
        const char* name = action == Qt::CopyAction   ? "copy"
                           : action == Qt::MoveAction ? "move"
                           : action == Qt::LinkAction ? "link"
                                                      : "ignore";
        std::printf("drop: %s\n", name);
        std::fflush(stdout);
        // The drag ends at the button's release, before the target has fetched the data; the data
        // must stay on offer until it has.
        QTimer::singleShot(3000, qApp, &QApplication::quit);
    }

private:
    QList<QUrl> m_urls;
};

xcb_atom_t atom(xcb_connection_t* connection, const char* name) {
    const xcb_intern_atom_cookie_t cookie =
        xcb_intern_atom(connection, 0, static_cast<uint16_t>(std::strlen(name)), name);
    xcb_intern_atom_reply_t* reply = xcb_intern_atom_reply(connection, cookie, nullptr);
    const xcb_atom_t value = reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
    std::free(reply);
    return value;
}

int closeWindow(const char* id) {
    xcb_connection_t* connection = xcb_connect(nullptr, nullptr);
    if (xcb_connection_has_error(connection)) {
        std::fprintf(stderr, "flintor-dragsource: cannot open the display\n");
        return 1;
    }
    xcb_client_message_event_t event{};
    event.response_type = XCB_CLIENT_MESSAGE;
    event.format = 32;
    event.window = static_cast<xcb_window_t>(std::strtoul(id, nullptr, 0));
    event.type = atom(connection, "WM_PROTOCOLS");
    event.data.data32[0] = atom(connection, "WM_DELETE_WINDOW");
    event.data.data32[1] = XCB_CURRENT_TIME;
    // Waiting for the server's answer makes sure the request was carried out before this client goes;
    // a request merely flushed before disconnecting was sometimes lost.
    const xcb_void_cookie_t cookie = xcb_send_event_checked(
        connection, 0, event.window, XCB_EVENT_MASK_NO_EVENT, reinterpret_cast<const char*>(&event));
    xcb_generic_error_t* error = xcb_request_check(connection, cookie);
    const int status = error ? 1 : 0;
    std::free(error);
    xcb_disconnect(connection);
    return status;
}

} // namespace

int main(int argc, char** argv) {
    if (argc == 3 && std::strcmp(argv[1], "--close") == 0)
        return closeWindow(argv[2]);
    if (argc < 2) {
        std::fprintf(stderr, "usage: flintor-dragsource FILE...\n       flintor-dragsource --close WINDOW\n");
        return 2;
    }
    QApplication app(argc, argv);
    QList<QUrl> urls;
    for (int i = 1; i < argc; ++i)
        urls.append(QUrl::fromLocalFile(QString::fromLocal8Bit(argv[i])));
    DragSource source(urls);
    source.show();
    return app.exec();
}
