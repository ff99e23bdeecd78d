// A music player of the tests' own on the session bus:
//   fake_mpris_player NAME STATUS   registers org.mpris.MediaPlayer2.NAME with PlaybackStatus
// and prints "ready" once the name is taken.
#include <QCoreApplication>
#include <QDBusConnection>
#include <QObject>
#include <cstdio>

class Player : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.mpris.MediaPlayer2.Player")
    Q_PROPERTY(QString PlaybackStatus READ playbackStatus)

public:
    explicit Player(QString status) : status_(std::move(status)) {}
    QString playbackStatus() const { return status_; }

private:
    QString status_;
};

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    if (argc != 3)
        return 2;
    Player player(QString::fromUtf8(argv[2]));
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.registerObject("/org/mpris/MediaPlayer2", &player,
                            QDBusConnection::ExportAllProperties) ||
        !bus.registerService("org.mpris.MediaPlayer2." + QString::fromUtf8(argv[1])))
        return 1;
    std::puts("ready");
    std::fflush(stdout);
    return app.exec();
}

#include "fake_mpris_player.moc"
