#pragma once

#include <QObject>
#include <QPoint>

namespace vellora {

// Mouse presses delivered to other applications, seen from outside them.
class GlobalMouseMonitor : public QObject {
    Q_OBJECT

public:
    using QObject::QObject;
    ~GlobalMouseMonitor() override = default;

    // Whether presses themselves are seen (otherwise losing activation stands in for them).
    virtual bool seesPresses() const = 0;
    // Starts reporting presses; starting a running monitor changes nothing.
    virtual void start() = 0;
    // Stops reporting presses; stopping a stopped monitor changes nothing.
    virtual void stop() = 0;
    virtual bool isRunning() const = 0;

    // Shared use: the first user starts the monitor, the last one to leave stops it.
    void acquire() {
        if (users_++ == 0)
            start();
    }
    void release() {
        if (users_ > 0 && --users_ == 0)
            stop();
    }

Q_SIGNALS:
    // A press outside this program's windows: button 1 left, 2 middle, 3 right; 0 when the
    // press is only known because this program lost activation.
    void pressed(int button, const QPoint& globalPos);
    // A button let go, anywhere, while the monitor runs (only where presses are seen).
    void released(int button);

private:
    int users_ = 0;
};

} // namespace vellora
