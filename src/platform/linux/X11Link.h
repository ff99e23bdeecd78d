#pragma once

#include <QString>
#include <cstdint>
#include <memory>
#include <optional>
#include <utility>

namespace vellora {

// One connection to the X server for watching windows. Every reply is waited for at most a
// second; a window that vanished reads as nothing, never as an error.
class X11Link {
public:
    enum TextAtom { GtkApplicationId, KdeDesktopFile };

    struct Event {
        uint32_t window = 0;
        bool activeWindowChanged = false;   // _NET_ACTIVE_WINDOW changed on the root window
        bool namingPropertyChanged = false; // WM_CLASS or an application id changed on window
        bool destroyed = false;             // window was destroyed
    };

    // A connection to $DISPLAY, or nothing when there is no X server.
    static std::unique_ptr<X11Link> open();
    ~X11Link();
    X11Link(const X11Link&) = delete;
    X11Link& operator=(const X11Link&) = delete;

    int fd() const;
    bool hasError() const;

    void watchRoot();
    // Watches a window for its destruction and, with properties, for changes of its naming.
    void watch(uint32_t window, bool properties);
    void unwatch(uint32_t window);

    // The next event of interest; readSocket also takes what the server has sent meanwhile.
    std::optional<Event> nextEvent(bool readSocket);

    // The active window (0 for none), or nothing when it cannot be read.
    std::optional<uint32_t> activeWindow();
    // WM_CLASS (instance, class): empty texts when unset, nothing when the window is gone.
    std::optional<std::pair<QString, QString>> wmClass(uint32_t window);
    std::optional<QString> textProperty(uint32_t window, TextAtom atom);
    // The window's process: _NET_WM_PID, else the X resource extension; 0 when unknown.
    qint64 windowPid(uint32_t window);

private:
    struct Impl;
    explicit X11Link(std::unique_ptr<Impl> impl);
    std::unique_ptr<Impl> d;
};

} // namespace vellora
