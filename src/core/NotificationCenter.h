#pragma once

#include <QObject>
#include <functional>

namespace vellora {

// The notifications the shell, the list and About send each other, each a signal under the name
// it is known by. Delivered at once, on the posting thread, in the order observers registered;
// an observer is dropped when its receiver is destroyed.
class NotificationCenter : public QObject {
    Q_OBJECT

public:
    enum class Name { Open, ClosePop, Atu };

    // Runs handler whenever name is posted, while receiver lives.
    void addObserver(Name name, QObject* receiver, std::function<void()> handler);
    void post(Name name);

Q_SIGNALS:
    void open();     // "open": show the main popover
    void closepop(); // "closepop": close the main popover
    void atu();      // "atu": refresh the list
};

namespace notification {
inline constexpr auto kOpen = NotificationCenter::Name::Open;
inline constexpr auto kClosePop = NotificationCenter::Name::ClosePop;
inline constexpr auto kAtu = NotificationCenter::Name::Atu;
} // namespace notification

} // namespace vellora
