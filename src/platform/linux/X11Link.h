#pragma once

#include "ApplicationResolver.h"

#include <QString>
#include <cstdint>
#include <memory>
#include <optional>

namespace vellora {

// One connection to the X server for watching windows. Questions that do not depend on one
// another are sent together and their answers collected after: reading the active window is one
// round trip, everything that names a window one more. Each batch of answers is waited for at
// most a second; a window that vanished reads as nothing, never as an error.
class X11Link {
public:
    struct Event {
        uint32_t window = 0;
        bool activeWindowChanged = false;   // _NET_ACTIVE_WINDOW changed on the root window
        bool namingPropertyChanged = false; // WM_CLASS or an application id changed on window
        bool destroyed = false;             // window was destroyed
    };

    // A connection to $DISPLAY, or nothing when there is no X server or it does not answer.
    static std::unique_ptr<X11Link> open();
    ~X11Link();
    X11Link(const X11Link&) = delete;
    X11Link& operator=(const X11Link&) = delete;

    int fd() const;
    bool hasError() const;

    void watchRoot();
    // Watches a window for its destruction and, with properties, for changes of its naming.
    // Like unwatch, it is sent with the next question, or by flush.
    void watch(uint32_t window, bool properties);
    void unwatch(uint32_t window);
    // Sends what is still waiting to be sent.
    void flush();

    // The next event of interest; readSocket also takes what the server has sent meanwhile.
    std::optional<Event> nextEvent(bool readSocket);

    // The active window (0 for none), or nothing when it cannot be read.
    std::optional<uint32_t> activeWindow();
    // What the window says of itself: WM_CLASS (empty texts when unset), the application ids,
    // and its process (_NET_WM_PID, else the X resource extension's; 0 when unknown). The
    // process facts of /proc are left to the caller. Nothing when the window is gone.
    std::optional<WindowFacts> describe(uint32_t window);

private:
    struct Impl;
    explicit X11Link(std::unique_ptr<Impl> impl);
    std::unique_ptr<Impl> d;
};

} // namespace vellora
