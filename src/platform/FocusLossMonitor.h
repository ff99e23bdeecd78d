#pragma once

#include "platform/GlobalMouseMonitor.h"

#include <QMetaObject>

namespace vellora {

// Where presses in other applications cannot be seen at all (a Wayland client sees only its
// own), this program losing the keyboard to another application stands in for them.
class FocusLossMonitor : public GlobalMouseMonitor {
    Q_OBJECT

public:
    using GlobalMouseMonitor::GlobalMouseMonitor;
    ~FocusLossMonitor() override { stop(); }

    bool seesPresses() const override { return false; }
    void start() override;
    void stop() override;
    bool isRunning() const override { return bool(watch_); }

private:
    QMetaObject::Connection watch_;
};

} // namespace vellora
