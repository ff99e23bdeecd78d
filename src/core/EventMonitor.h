#pragma once

#include <QMetaObject>
#include <QPoint>
#include <cstdint>
#include <functional>
#include <optional>

namespace vellora {

class GlobalMouseMonitor;

// One mouse press seen in another application.
struct MouseEvent {
    int button = 0; // 1 left, 2 middle, 3 right; 0 when only a loss of activation was seen
    QPoint globalPos;
};

// Hands mouse presses in other applications to a handler while started. The mask selects
// event types by bit: bit 1 left mouse down, bit 3 right mouse down, bit 25 other mouse down.
class EventMonitor {
public:
    static constexpr uint64_t kLeftMouseDown = 1u << 1;
    static constexpr uint64_t kRightMouseDown = 1u << 3;
    static constexpr uint64_t kOtherMouseDown = 1u << 25;

    EventMonitor(GlobalMouseMonitor& source, uint64_t mask,
                 std::function<void(const std::optional<MouseEvent>&)> handler);
    virtual ~EventMonitor();
    EventMonitor(const EventMonitor&) = delete;
    EventMonitor& operator=(const EventMonitor&) = delete;

    // Installs the monitor; a running monitor keeps the one it has.
    virtual void start();
    // Removes the monitor; nothing when stopped.
    virtual void stop();
    bool isRunning() const { return bool(monitor_); }

    uint64_t mask() const { return mask_; }

private:
    bool selected(int button) const;

    GlobalMouseMonitor& source_;
    std::optional<QMetaObject::Connection> monitor_;
    uint64_t mask_;
    std::function<void(const std::optional<MouseEvent>&)> handler_;
};

} // namespace vellora
