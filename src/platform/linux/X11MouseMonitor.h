#pragma once

#include "platform/GlobalMouseMonitor.h"

#include <memory>

namespace vellora {

// Presses of buttons 1 to 3 on any master pointer, as XInput2 raw events on the root window
// over a connection of its own. Presses inside this program's own windows are left out.
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

private:
    struct Impl;
    void watchConnection();
    void serverLost();
    void reconnect();
    void useStandIn(bool on);
    void drain(bool readSocket);
    void report(int button);

    std::unique_ptr<Impl> d;
};

} // namespace vellora
