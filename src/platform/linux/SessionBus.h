#pragma once

#include <QDBusConnection>
#include <QDBusMessage>
#include <QString>

namespace vellora::sessionbus {

// What the bus daemon answers is waited for this long at most: its own default is 25 s.
constexpr int kQueryBoundMs = 3000;

namespace detail {
inline QDBusMessage askBus(const QString& method, const QVariantList& arguments, int boundMs) {
    QDBusMessage ask = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.DBus"), QStringLiteral("/org/freedesktop/DBus"),
        QStringLiteral("org.freedesktop.DBus"), method);
    ask.setArguments(arguments);
    const QDBusMessage reply = QDBusConnection::sessionBus().call(ask, QDBus::Block, boundMs);
    return reply.type() == QDBusMessage::ReplyMessage && !reply.arguments().isEmpty()
               ? reply
               : QDBusMessage();
}
} // namespace detail

// The unique name that owns a well-known one on the session bus; empty when none does, or when
// the bus did not answer in time.
inline QString nameOwner(const QString& name, int boundMs = kQueryBoundMs) {
    if (!QDBusConnection::sessionBus().isConnected())
        return {};
    const QDBusMessage reply = detail::askBus(QStringLiteral("GetNameOwner"), {name}, boundMs);
    return reply.arguments().isEmpty() ? QString() : reply.arguments().constFirst().toString();
}

// Takes a well-known name, not queueing for it; false when another owns it or the bus did not
// answer in time.
inline bool requestName(const QString& name, int boundMs = kQueryBoundMs) {
    constexpr uint kDoNotQueue = 4, kPrimaryOwner = 1, kAlreadyOwner = 4;
    const QDBusMessage reply =
        detail::askBus(QStringLiteral("RequestName"), {name, kDoNotQueue}, boundMs);
    const uint outcome = reply.arguments().isEmpty() ? 0 : reply.arguments().constFirst().toUInt();
    return outcome == kPrimaryOwner || outcome == kAlreadyOwner;
}

// Gives a well-known name back, waiting at most the bound for the bus.
inline void releaseName(const QString& name, int boundMs = kQueryBoundMs) {
    detail::askBus(QStringLiteral("ReleaseName"), {name}, boundMs);
}

} // namespace vellora::sessionbus
