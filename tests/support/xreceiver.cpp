// A second X client for the close-notification tests: it owns a top-level window, prints the
// window id, and reports every client message that window receives.
//
//   xreceiver [FILE]
// prints "window <id>" once the window exists, then for each client message
// "message <type name> <format> <d0> <d1> <d2> <d3> <d4> file <size of FILE or -1>"
// and "done <count>" after the given wait (XRECEIVER_WAIT_MS, default 3000) or on stdin EOF.

#include <xcb/xcb.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <poll.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

static std::string atomName(xcb_connection_t *c, xcb_atom_t atom)
{
    auto *reply = xcb_get_atom_name_reply(c, xcb_get_atom_name(c, atom), nullptr);
    if (!reply)
        return "?";
    std::string name(xcb_get_atom_name_name(reply), xcb_get_atom_name_name_length(reply));
    std::free(reply);
    return name;
}

int main(int argc, char **argv)
{
    const char *file = argc > 1 ? argv[1] : nullptr;
    const char *waitText = std::getenv("XRECEIVER_WAIT_MS");
    const int waitMs = waitText ? std::atoi(waitText) : 3000;
    xcb_connection_t *c = xcb_connect(nullptr, nullptr);
    if (xcb_connection_has_error(c)) {
        std::fprintf(stderr, "cannot connect\n");
        return 2;
    }
    xcb_screen_t *screen = xcb_setup_roots_iterator(xcb_get_setup(c)).data;
    const xcb_window_t window = xcb_generate_id(c);
    xcb_create_window(c, XCB_COPY_FROM_PARENT, window, screen->root, 0, 0, 10, 10, 0,
                      XCB_WINDOW_CLASS_INPUT_OUTPUT, screen->root_visual, 0, nullptr);
    xcb_map_window(c, window);
    std::free(xcb_get_input_focus_reply(c, xcb_get_input_focus(c), nullptr)); // round trip
    std::printf("window %u\n", window);
    std::fflush(stdout);

    int count = 0;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(waitMs);
    bool stopping = false;
    for (;;) {
        if (stopping) // the round trip makes every event sent before it readable below
            std::free(xcb_get_input_focus_reply(c, xcb_get_input_focus(c), nullptr));
        while (xcb_generic_event_t *event = xcb_poll_for_event(c)) {
            if ((event->response_type & 0x7F) == XCB_CLIENT_MESSAGE) {
                auto *m = reinterpret_cast<xcb_client_message_event_t *>(event);
                struct stat st
                {
                };
                const long long size = file && ::stat(file, &st) == 0 ? st.st_size : -1;
                std::printf("message %s %u %u %u %u %u %u file %lld\n",
                            atomName(c, m->type).c_str(), m->format, m->data.data32[0],
                            m->data.data32[1], m->data.data32[2], m->data.data32[3],
                            m->data.data32[4], size);
                std::fflush(stdout);
                ++count;
            }
            std::free(event);
        }
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                              deadline - std::chrono::steady_clock::now())
                              .count();
        if (stopping || left <= 0 || xcb_connection_has_error(c))
            break;
        pollfd fds[2] = {{xcb_get_file_descriptor(c), POLLIN, 0}, {0, POLLIN, 0}};
        if (::poll(fds, 2, int(left)) > 0 && (fds[1].revents & (POLLIN | POLLHUP))) {
            char b;
            stopping = ::read(0, &b, 1) <= 0;
        }
    }
    std::printf("done %d\n", count);
    xcb_disconnect(c);
    return 0;
}
