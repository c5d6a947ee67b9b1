// Measures how long a window's event loop goes without answering, from a second X client and
// without touching the program: every 20 ms it sends the window a _NET_WM_PING, which Qt (and
// every toolkit) answers from its event loop by sending the message back to the root window.
// The figure that counts is the longest time a ping waited for its answer.
//
// usage: window_ping --pid PID [--seconds N] [--every MS]
// Prints one line: pings sent, answered, median and longest wait in ms, and how many waited
// more than 100 ms. Exit status 2 when no window of that process is found within 20 s.

#include <xcb/xcb.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

struct FreeDeleter
{
    void operator()(void *p) const { std::free(p); }
};
template<class T>
using Reply = std::unique_ptr<T, FreeDeleter>;

xcb_atom_t Atom(xcb_connection_t *c, const char *name)
{
    const Reply<xcb_intern_atom_reply_t> reply(
        xcb_intern_atom_reply(c, xcb_intern_atom(c, 0, std::uint16_t(std::strlen(name)), name), nullptr));
    return reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
}

// A top-level window of the process, found by the _NET_WM_PID that Qt sets, and mapped.
xcb_window_t FindWindow(xcb_connection_t *c, xcb_window_t root, std::uint32_t pid)
{
    const xcb_atom_t pidAtom = Atom(c, "_NET_WM_PID");
    const Reply<xcb_query_tree_reply_t> tree(
        xcb_query_tree_reply(c, xcb_query_tree(c, root), nullptr));
    if (!tree)
        return XCB_WINDOW_NONE;
    const xcb_window_t *children = xcb_query_tree_children(tree.get());
    for (int i = 0; i < xcb_query_tree_children_length(tree.get()); ++i) {
        const Reply<xcb_get_property_reply_t> property(xcb_get_property_reply(
            c, xcb_get_property(c, 0, children[i], pidAtom, XCB_ATOM_CARDINAL, 0, 1), nullptr));
        if (!property || xcb_get_property_value_length(property.get()) != 4)
            continue;
        if (*static_cast<std::uint32_t *>(xcb_get_property_value(property.get())) != pid)
            continue;
        const Reply<xcb_get_window_attributes_reply_t> attributes(xcb_get_window_attributes_reply(
            c, xcb_get_window_attributes(c, children[i]), nullptr));
        if (attributes && attributes->map_state == XCB_MAP_STATE_VIEWABLE)
            return children[i];
    }
    return XCB_WINDOW_NONE;
}

} // namespace

int main(int argc, char **argv)
{
    std::uint32_t pid = 0;
    double seconds = 10;
    int everyMs = 20;
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string option = argv[i];
        if (option == "--pid")
            pid = std::uint32_t(std::strtoul(argv[i + 1], nullptr, 10));
        else if (option == "--seconds")
            seconds = std::strtod(argv[i + 1], nullptr);
        else if (option == "--every")
            everyMs = std::atoi(argv[i + 1]);
    }
    if (pid == 0) {
        std::fprintf(stderr, "usage: window_ping --pid PID [--seconds N] [--every MS]\n");
        return 1;
    }
    int screenNumber = 0;
    xcb_connection_t *c = xcb_connect(nullptr, &screenNumber);
    if (xcb_connection_has_error(c)) {
        std::fprintf(stderr, "window_ping: cannot connect to the X display\n");
        return 1;
    }
    xcb_screen_iterator_t it = xcb_setup_roots_iterator(xcb_get_setup(c));
    for (int i = 0; i < screenNumber; ++i)
        xcb_screen_next(&it);
    const xcb_window_t root = it.data->root;

    xcb_window_t window = XCB_WINDOW_NONE;
    for (const auto until = Clock::now() + std::chrono::seconds(20);
         window == XCB_WINDOW_NONE && Clock::now() < until;) {
        window = FindWindow(c, root, pid);
        if (window == XCB_WINDOW_NONE)
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    if (window == XCB_WINDOW_NONE) {
        std::fprintf(stderr, "window_ping: no window of process %u\n", pid);
        return 2;
    }

    // The answers are sent to the root window, with the structure or the substructure masks
    // depending on the toolkit.
    const std::uint32_t mask = XCB_EVENT_MASK_STRUCTURE_NOTIFY | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY;
    xcb_change_window_attributes(c, root, XCB_CW_EVENT_MASK, &mask);
    const xcb_atom_t protocols = Atom(c, "WM_PROTOCOLS");
    const xcb_atom_t ping = Atom(c, "_NET_WM_PING");

    std::map<std::uint32_t, Clock::time_point> pending;
    std::vector<double> waits;
    const Clock::time_point start = Clock::now();
    const Clock::time_point end =
        start + std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(seconds));
    Clock::time_point nextPing = start;
    std::uint32_t stamp = 1;
    int sent = 0;
    while (Clock::now() < end || (!pending.empty() && Clock::now() < end + std::chrono::seconds(10))) {
        const Clock::time_point now = Clock::now();
        if (now >= nextPing && now < end) {
            xcb_client_message_event_t event{};
            event.response_type = XCB_CLIENT_MESSAGE;
            event.format = 32;
            event.window = window;
            event.type = protocols;
            event.data.data32[0] = ping;
            event.data.data32[1] = stamp;
            event.data.data32[2] = window;
            xcb_send_event(c, 0, window, XCB_EVENT_MASK_NO_EVENT,
                           reinterpret_cast<const char *>(&event));
            xcb_flush(c);
            pending[stamp++] = now;
            ++sent;
            nextPing += std::chrono::milliseconds(everyMs);
        }
        while (xcb_generic_event_t *raw = xcb_poll_for_event(c)) {
            const Reply<xcb_generic_event_t> event(raw);
            if ((raw->response_type & 0x7F) != XCB_CLIENT_MESSAGE)
                continue;
            const auto *message = reinterpret_cast<xcb_client_message_event_t *>(raw);
            if (message->type != protocols || message->data.data32[0] != ping)
                continue;
            const auto found = pending.find(message->data.data32[1]);
            if (found == pending.end())
                continue;
            waits.push_back(
                std::chrono::duration<double, std::milli>(Clock::now() - found->second).count());
            pending.erase(found);
        }
        if (xcb_connection_has_error(c))
            break;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    // Pings never answered count with the time they have waited so far.
    for (const auto &[_, when] : pending)
        waits.push_back(std::chrono::duration<double, std::milli>(Clock::now() - when).count());
    std::vector<double> sorted = waits;
    std::sort(sorted.begin(), sorted.end());
    const double median = sorted.empty() ? 0 : sorted[sorted.size() / 2];
    const double longest = sorted.empty() ? 0 : sorted.back();
    const auto slow = std::count_if(sorted.begin(), sorted.end(), [](double w) { return w > 100; });
    std::printf("pings %d answered %zu median %.1f ms longest %.1f ms over100 %ld\n", sent,
                waits.size() - pending.size(), median, longest, long(slow));
    xcb_disconnect(c);
    return 0;
}
