#include "NotificationCenter.h"

namespace vellora {

void NotificationCenter::addObserver(const QString& name, QObject* receiver,
                                     std::function<void()> handler) {
    observers_[name].push_back({receiver, std::move(handler)});
}

void NotificationCenter::post(const QString& name) {
    auto it = observers_.find(name);
    if (it == observers_.end())
        return;
    // Handlers may add observers: walk a copy.
    const std::vector<Observer> current = *it;
    for (const Observer& o : current) {
        if (o.receiver)
            o.handler();
    }
    auto& list = observers_[name];
    std::erase_if(list, [](const Observer& o) { return o.receiver.isNull(); });
}

} // namespace vellora
