#include "NotificationCenter.h"

namespace vellora {

namespace {
using Notification = void (NotificationCenter::*)();

Notification signalOf(NotificationCenter::Name name) {
    switch (name) {
    case NotificationCenter::Name::Open:
        return &NotificationCenter::open;
    case NotificationCenter::Name::ClosePop:
        return &NotificationCenter::closepop;
    case NotificationCenter::Name::Atu:
        break;
    }
    return &NotificationCenter::atu;
}
} // namespace

void NotificationCenter::addObserver(Name name, QObject* receiver, std::function<void()> handler) {
    connect(this, signalOf(name), receiver, std::move(handler));
}

void NotificationCenter::post(Name name) {
    // An observer a handler adds hears the next posting, not this one.
    (this->*signalOf(name))();
}

} // namespace vellora
