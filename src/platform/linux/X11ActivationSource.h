#pragma once

#include "platform/ActivationSource.h"

#include <cstdint>
#include <memory>

namespace vellora {

class DesktopEntrySource;

// Activations on an X11 desktop: watches _NET_ACTIVE_WINDOW on the root window over a
// connection of its own, and names the active window's application through the desktop entries.
// An activation costs two round trips to the X server, each bounded; a burst of them is read as
// the window last made active. Losing the X server is said once; the connection is then retried
// with a growing delay. It may run on a thread of its own: its timers and socket notifier are
// its children and move with it.
class X11ActivationSource : public ActivationSource {
    Q_OBJECT

public:
    explicit X11ActivationSource(DesktopEntrySource& entries, QObject* parent = nullptr);
    ~X11ActivationSource() override;

    bool isAvailable() const override;
    QString description() const override { return QStringLiteral("the X server's active window"); }
    QString problem() const override;

private:
    struct Impl;
    void connectToServer();
    void serverLost();
    void drain();
    // changes: how many announcements of a new active window were read at once. A first look
    // reports even a window seen before.
    void activeWindowChanged(int changes, bool firstLook = false);
    void pendingWindowNamed();
    void windowDestroyed(uint32_t window);

    std::unique_ptr<Impl> d;
};

} // namespace vellora
