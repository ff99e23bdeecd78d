#include "MprisPlayers.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusVariant>

#include <algorithm>

namespace vellora {

namespace {
const QString kPrefix = QStringLiteral("org.mpris.MediaPlayer2.");
const QString kProxy = QStringLiteral("org.mpris.MediaPlayer2.playerctld");
} // namespace

MprisPlayers::MprisPlayers(std::chrono::milliseconds bound) : boundMs_(int(bound.count())) {}

bool MprisPlayers::isAvailable() const {
    return QDBusConnection::sessionBus().isConnected();
}

QStringList MprisPlayers::runningPlayers() {
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected())
        return {};
    const QDBusMessage reply =
        bus.call(QDBusMessage::createMethodCall(QStringLiteral("org.freedesktop.DBus"),
                                                QStringLiteral("/org/freedesktop/DBus"),
                                                QStringLiteral("org.freedesktop.DBus"),
                                                QStringLiteral("ListNames")),
                 QDBus::Block, boundMs_);
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty())
        return {};
    QStringList players;
    for (const QString& name : reply.arguments().constFirst().toStringList()) {
        if (name.startsWith(kPrefix) && name != kProxy &&
            !name.startsWith(kProxy + QLatin1Char('.')))
            players << name;
    }
    std::sort(players.begin(), players.end());
    return players;
}

bool MprisPlayers::isPlaying(const QString& player) {
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected())
        return false;
    QDBusMessage get = QDBusMessage::createMethodCall(
        player, QStringLiteral("/org/mpris/MediaPlayer2"),
        QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("Get"));
    get << QStringLiteral("org.mpris.MediaPlayer2.Player") << QStringLiteral("PlaybackStatus");
    const QDBusMessage reply = bus.call(get, QDBus::Block, boundMs_);
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty())
        return false;
    const QVariant status = reply.arguments().constFirst().value<QDBusVariant>().variant();
    return status.toString() == QLatin1String("Playing");
}

} // namespace vellora
