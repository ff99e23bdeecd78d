#pragma once

#include <QDBusConnection>
#include <QDBusMessage>
#include <QString>

namespace vellora::sessionbus {

// What the bus daemon answers is waited for this long at most: its own default is 25 s.
constexpr int kQueryBoundMs = 3000;

// The unique name that owns a well-known one on the session bus; empty when none does, or when
// the bus did not answer in time.
inline QString nameOwner(const QString& name, int boundMs = kQueryBoundMs) {
    const QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected())
        return {};
    QDBusMessage ask = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.DBus"), QStringLiteral("/org/freedesktop/DBus"),
        QStringLiteral("org.freedesktop.DBus"), QStringLiteral("GetNameOwner"));
    ask << name;
    const QDBusMessage reply = bus.call(ask, QDBus::Block, boundMs);
    return reply.type() == QDBusMessage::ReplyMessage && !reply.arguments().isEmpty()
               ? reply.arguments().constFirst().toString()
               : QString();
}

} // namespace vellora::sessionbus
