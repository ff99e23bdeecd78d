#pragma once

#include <QDeadlineTimer>

#include <csignal>
#include <cstdlib>
#include <memory>
#include <poll.h>
#include <pthread.h>
#include <xcb/xcb.h>
#include <xcb/xcbext.h>

namespace vellora::xcb {

// Connects to $DISPLAY and finds the root window of its screen. On failure the connection (if
// any) is closed and nothing is returned. Blocks SIGPIPE on the calling thread, the one that owns
// and writes to the connection: a write to an X server that has just gone then fails, and libxcb
// marks the connection broken for its owner to handle, instead of the signal ending the whole
// process.
inline xcb_connection_t* connectToDisplay(xcb_window_t* root) {
    sigset_t brokenPipe;
    sigemptyset(&brokenPipe);
    sigaddset(&brokenPipe, SIGPIPE);
    pthread_sigmask(SIG_BLOCK, &brokenPipe, nullptr);
    int screenNumber = 0;
    xcb_connection_t* conn = xcb_connect(nullptr, &screenNumber);
    if (!xcb_connection_has_error(conn)) {
        auto it = xcb_setup_roots_iterator(xcb_get_setup(conn));
        for (int n = 0; n < screenNumber && it.rem; ++n)
            xcb_screen_next(&it);
        if (it.rem) {
            *root = it.data->root;
            return conn;
        }
    }
    xcb_disconnect(conn);
    return nullptr;
}

struct FreeDeleter {
    void operator()(void* p) const { std::free(p); }
};
template <class T> using Owned = std::unique_ptr<T, FreeDeleter>;

// Waits for the reply to a request, at most boundMs; nothing on error, time-out or a lost
// connection. Events that arrive meanwhile stay queued for xcb_poll_for_queued_event.
template <class Reply>
Owned<Reply> reply(xcb_connection_t* conn, unsigned int sequence, int boundMs = 1000) {
    xcb_flush(conn);
    const QDeadlineTimer deadline(boundMs);
    for (;;) {
        void* answer = nullptr;
        xcb_generic_error_t* error = nullptr;
        if (xcb_poll_for_reply(conn, sequence, &answer, &error)) {
            std::free(error);
            return Owned<Reply>(static_cast<Reply*>(answer));
        }
        if (xcb_connection_has_error(conn) || deadline.hasExpired()) {
            xcb_discard_reply(conn, sequence);
            return nullptr;
        }
        pollfd p{xcb_get_file_descriptor(conn), POLLIN, 0};
        ::poll(&p, 1, int(deadline.remainingTime()));
    }
}

} // namespace vellora::xcb
