#pragma once

#include <QHash>
#include <QObject>
#include <QPointer>
#include <QString>
#include <functional>
#include <vector>

namespace vellora {

// Named notifications, delivered synchronously on the posting thread, in the order observers
// registered. An observer is dropped when its receiver is destroyed.
class NotificationCenter {
public:
    static NotificationCenter& defaultCenter();

    void addObserver(const QString& name, QObject* receiver, std::function<void()> handler);
    void post(const QString& name);
    // Forgets every observer (tests start from a clean center).
    void reset();

private:
    struct Observer {
        QPointer<QObject> receiver;
        std::function<void()> handler;
    };
    QHash<QString, std::vector<Observer>> observers_;
};

} // namespace vellora
