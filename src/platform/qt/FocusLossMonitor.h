#pragma once

#include "platform/GlobalMouseMonitor.h"

#include <QElapsedTimer>
#include <QMetaObject>
#include <QTimer>
#include <chrono>

namespace vellora {

// Where presses in other applications cannot be seen at all (a Wayland client sees only its
// own), this program losing the keyboard to another application stands in for them.
class FocusLossMonitor : public GlobalMouseMonitor {
    Q_OBJECT

public:
    // How long this program must stay without the keyboard, after one of its own windows went
    // away, before that counts.
    static constexpr std::chrono::milliseconds kSettleDelay{200};

    explicit FocusLossMonitor(QObject* parent = nullptr);
    ~FocusLossMonitor() override { stop(); }

    bool seesPresses() const override { return false; }
    void start() override;
    void stop() override;
    bool isRunning() const override { return bool(watch_); }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QMetaObject::Connection watch_;
    QTimer settle_;
    QElapsedTimer ownWindowHidden_; // since a window of this program last went away
};

} // namespace vellora
