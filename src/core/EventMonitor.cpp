#include "EventMonitor.h"

#include "platform/GlobalMouseMonitor.h"

namespace vellora {

EventMonitor::EventMonitor(GlobalMouseMonitor& source, uint64_t mask,
                           std::function<void(const std::optional<MouseEvent>&)> handler)
    : source_(source), mask_(mask), handler_(std::move(handler)) {}

EventMonitor::~EventMonitor() {
    stop();
}

void EventMonitor::start() {
    // One installed monitor at a time: every handler acts only on a shown popover, so a second
    // start has nothing to add.
    if (monitor_)
        return;
    monitor_ = QObject::connect(&source_, &GlobalMouseMonitor::pressed,
                                [this](int button, const QPoint& at) {
                                    if (selected(button))
                                        handler_(MouseEvent{button, at});
                                });
    source_.acquire();
}

void EventMonitor::stop() {
    if (!monitor_)
        return;
    QObject::disconnect(*monitor_);
    monitor_.reset();
    // The source keeps running while another monitor still listens to it.
    source_.release();
}

bool EventMonitor::selected(int button) const {
    switch (button) {
    case 0: // a loss of activation stands for a press of either kind
        return mask_ & (kLeftMouseDown | kRightMouseDown);
    case 1:
        return mask_ & kLeftMouseDown;
    case 3:
        return mask_ & kRightMouseDown;
    default:
        return mask_ & kOtherMouseDown;
    }
}

} // namespace vellora
