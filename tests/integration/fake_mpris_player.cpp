// A music player of the tests' own: "fake_mpris_player NAME STATUS" registers
// org.mpris.MediaPlayer2.NAME on the session bus with that PlaybackStatus, then prints "ready".
// STATUS "silent" makes a hung player: it takes every call and answers none.
#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusVirtualObject>
#include <QObject>
#include <cstdio>

class Player : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.mpris.MediaPlayer2.Player")
    Q_PROPERTY(QString PlaybackStatus MEMBER status)

public:
    QString status;
};

class Silent : public QDBusVirtualObject {
    QString introspect(const QString&) const override { return {}; }
    bool handleMessage(const QDBusMessage&, const QDBusConnection&) override { return true; }
};

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    Player player;
    player.status = QString::fromUtf8(argv[2]);
    Silent silent;
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!(player.status == "silent" ? bus.registerVirtualObject("/org/mpris/MediaPlayer2", &silent)
                                    : bus.registerObject("/org/mpris/MediaPlayer2", &player,
                                                         QDBusConnection::ExportAllProperties)) ||
        !bus.registerService("org.mpris.MediaPlayer2." + QString::fromUtf8(argv[1])))
        return 1;
    std::puts("ready");
    std::fflush(stdout);
    return app.exec();
}

#include "fake_mpris_player.moc"
