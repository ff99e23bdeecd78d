#pragma once

#include <QHash>
#include <QObject>
#include <QPointer>
#include <QString>
#include <functional>
#include <vector>

namespace vellora {

// The names of the notifications the shell and the list post to each other.
namespace notification {
inline const QString kOpen = QStringLiteral("open");         // show the main popover
inline const QString kClosePop = QStringLiteral("closepop"); // close the main popover
inline const QString kAtu = QStringLiteral("atu");           // refresh the list
} // namespace notification

// Named notifications, delivered synchronously on the posting thread, in the order observers
// registered. An observer is dropped when its receiver is destroyed.
class NotificationCenter {
public:
    void addObserver(const QString& name, QObject* receiver, std::function<void()> handler);
    void post(const QString& name);

private:
    struct Observer {
        QPointer<QObject> receiver;
        std::function<void()> handler;
    };
    QHash<QString, std::vector<Observer>> observers_;
};

} // namespace vellora
