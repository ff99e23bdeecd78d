// The whole road: a real activation in the test desktop drives the volume switch, which drives
// the real audio server.
#include "core/AppVolumeTable.h"
#include "core/MusicPlayerCheck.h"
#include "core/VolumeSwitch.h"
#include "platform/Platform.h"
#include "support/TempDefaults.h"
#include "support/Windows.h"

#include <QProcess>
#include <QtTest>

using namespace vellora;

class TestWholeRoad : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() {
        QVERIFY2(!desktop::sessionDir().isEmpty(), "run inside with-desktop.sh");
    }

    void activationDrivesTheSink() {
        Platform platform = createPlatform();
        QVERIFY2(platform.missing.isEmpty(), qPrintable(platform.missing.join(' ')));

        TempDefaults store;
        AppVolumeTable table(*store.defaults);
        table.putEntry("30", "Alpha");
        table.putEntry("80", "Finder");
        MusicPlayerCheck players(*store.defaults, platform.musicPlayers.get());
        VolumeSwitch volumeSwitch(table, *platform.volume, players);
        QObject::connect(platform.activations.get(), &ActivationSource::applicationActivated,
                         [&](const auto& app) { volumeSwitch.setPreviousApplication(app); });

        TestWindows windows;
        const QString beta = windows.start("xterm", {"-class", "Beta"}, "Beta");
        const QString alpha = windows.start("xterm", {"-class", "Alpha"}, "Alpha");
        const QString files = windows.start("xterm", {"-class", "VelloraFiles"}, "VelloraFiles");
        QVERIFY(!alpha.isEmpty() && !beta.isEmpty() && !files.isEmpty());
        QVERIFY(TestWindows::activate(beta));
        QTRY_VERIFY(volumeSwitch.atualApp().has_value());

        QVERIFY(desktop::run("pactl", {"set-sink-volume", "@DEFAULT_SINK@", "55%"}));
        QVERIFY(TestWindows::activate(alpha));
        QTRY_COMPARE(desktop::sinkPercent(), 30);
        QVERIFY(volumeSwitch.mudou());

        // The file manager's windows are the Finder's. Focus passing through no window on
        // the way there sets its level and nothing in between.
        QProcess events;
        events.start("pactl", {"subscribe"});
        QVERIFY(events.waitForStarted());
        QVERIFY(desktop::run("xprop", {"-root", "-f", "_NET_ACTIVE_WINDOW", "32x", "-set",
                                       "_NET_ACTIVE_WINDOW", "0"}));
        QVERIFY(TestWindows::activate(files));
        QTRY_COMPARE(desktop::sinkPercent(), 80);
        QTest::qWait(3 * int(ActivationSource::kSettleDelay.count()));
        events.terminate();
        events.waitForFinished(2000);
        QCOMPARE(QString::fromUtf8(events.readAllStandardOutput()).count("on sink #"), 1);

        // Nothing in front, lastingly: the captured volume returns.
        QVERIFY(desktop::run("xprop", {"-root", "-f", "_NET_ACTIVE_WINDOW", "32x", "-set",
                                       "_NET_ACTIVE_WINDOW", "0"}));
        QTRY_COMPARE(desktop::sinkPercent(), 55);
        QVERIFY(!volumeSwitch.mudou());
    }
};

QTEST_GUILESS_MAIN(TestWholeRoad)
#include "test_whole_road.moc"
