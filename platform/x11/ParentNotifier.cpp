#include "platform/x11/ParentNotifier.h"

#include <QGuiApplication>
#include <cstdlib>
#include <memory>
#include <vector>
#include <xcb/xcb.h>

namespace {

struct FreeDeleter
{
    void operator()(void *p) const { std::free(p); }
};
template<class T>
using XcbReply = std::unique_ptr<T, FreeDeleter>;

xcb_atom_t InternAtom(xcb_connection_t *connection)
{
    static const char name[] = "WM_VIEWER_CLOSED";
    const auto cookie = xcb_intern_atom(connection, 0, sizeof name - 1, name);
    const XcbReply<xcb_intern_atom_reply_t> reply(
        xcb_intern_atom_reply(connection, cookie, nullptr));
    return reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
}

std::vector<xcb_window_t> TopLevelWindows(xcb_connection_t *connection)
{
    std::vector<xcb_window_t> windows;
    for (auto it = xcb_setup_roots_iterator(xcb_get_setup(connection)); it.rem;
         xcb_screen_next(&it)) {
        const auto cookie = xcb_query_tree(connection, it.data->root);
        const XcbReply<xcb_query_tree_reply_t> tree(
            xcb_query_tree_reply(connection, cookie, nullptr));
        if (!tree)
            continue;
        const xcb_window_t *children = xcb_query_tree_children(tree.get());
        windows.insert(windows.end(), children,
                       children + xcb_query_tree_children_length(tree.get()));
    }
    return windows;
}

struct ConnectionCloser
{
    void operator()(xcb_connection_t *connection) const { xcb_disconnect(connection); }
};
using OwnConnection = std::unique_ptr<xcb_connection_t, ConnectionCloser>;

// Qt's own connection when Qt runs on X11; otherwise (Wayland, offscreen) one of our own to the
// display the parent's window lives on, if there is one: the parent's id is an X11 window id.
xcb_connection_t *X11Connection(OwnConnection &own)
{
    auto *x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    if (x11 && x11->connection())
        return x11->connection();
    const char *display = std::getenv("DISPLAY");
    if (!display || !*display)
        return nullptr;
    own.reset(xcb_connect(display, nullptr));
    if (xcb_connection_has_error(own.get()))
        return nullptr;
    return own.get();
}

} // namespace

void NotifyParentWindow(std::uint32_t window)
{
    if (window == 0)
        return;
    OwnConnection own;
    xcb_connection_t *connection = X11Connection(own);
    if (!connection)
        return;
    const xcb_atom_t type = InternAtom(connection);
    if (type == XCB_ATOM_NONE)
        return;

    const std::vector<xcb_window_t> targets =
        window == BroadcastWindow ? TopLevelWindows(connection) : std::vector<xcb_window_t>{window};
    for (const xcb_window_t target : targets) {
        xcb_client_message_event_t event{};
        event.response_type = XCB_CLIENT_MESSAGE;
        event.format = 32;
        event.window = target;
        event.type = type;
        event.data.data32[0] = WM_VIEWER_CLOSED;
        // Checked, so that a window that does not exist comes back as an error reply that we
        // drop here instead of an asynchronous error reaching Qt's event handling; the check is
        // also the round trip that makes the send synchronous with the X server.
        const auto cookie = xcb_send_event_checked(connection, 0, target, XCB_EVENT_MASK_NO_EVENT,
                                                   reinterpret_cast<const char *>(&event));
        std::free(xcb_request_check(connection, cookie));
    }
}
