#pragma once

#include "platform/GlobalMouseMonitor.h"
#include "platform/qt/FocusLossMonitor.h"

#include <memory>

namespace vellora {

class WorkerThread;

// Presses of buttons 1 to 3 on any master pointer, as XInput2 raw events on the root window
// over a connection of its own. That connection lives on a thread of its own, so the interface
// never waits on the X server; presses inside this program's own windows are left out here.
// Without XInput2, this program losing activation stands in for a press elsewhere; so it does
// while a lost X connection is retried by the common back-off rule.
class X11MouseMonitor : public GlobalMouseMonitor {
    Q_OBJECT

public:
    explicit X11MouseMonitor(QObject* parent = nullptr);
    ~X11MouseMonitor() override;

    bool seesPresses() const override;
    void start() override;
    void stop() override;
    bool isRunning() const override;

    class Watch; // the X connection, on the monitor's own thread

private:
    void report(int button, QPoint at);
    void useStandIn(bool on);

    std::unique_ptr<WorkerThread> thread_;
    std::unique_ptr<Watch> watch_; // made, used and destroyed on thread_
    bool xi2_ = false;             // the server offered XInput2 at start
    bool connected_ = false;       // the watch has the X server now
    bool running_ = false;
    FocusLossMonitor standIn_;
};

} // namespace vellora
