// The PulseAudio volume control against a real server with a null sink.
#include "core/Diagnostics.h"
#include "platform/linux/PulseVolumeControl.h"
#include "support/Desktop.h"

#include <QSignalSpy>
#include <QtTest>

using namespace vellora;

namespace {

bool pactl(const QStringList& args) {
    return desktop::run("pactl", args).has_value();
}

} // namespace

class TestPulse : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() {
        QVERIFY2(!desktop::sessionDir().isEmpty(), "run inside with-desktop.sh");
    }

    void setThenRead_data() {
        QTest::addColumn<int>("percent");
        QTest::newRow("33") << 33;
        QTest::newRow("0") << 0;
        QTest::newRow("100") << 100;
        QTest::newRow("1") << 1;
        QTest::newRow("67") << 67;
    }
    void setThenRead() {
        QFETCH(int, percent);
        PulseVolumeControl control;
        QVERIFY(control.isConnected());
        control.setOutputVolume(percent);
        QCOMPARE(control.readOutputVolume(), std::optional<QString>(QString::number(percent)));
        QCOMPARE(desktop::sinkPercents(), (QList<int>{percent, percent}));
    }

    // Values between whole percents round to the nearest one.
    void readRoundsOutsideChanges_data() {
        QTest::addColumn<QString>("raw");
        QTest::addColumn<QString>("percent");
        QTest::newRow("42%") << "42%"
                             << "42";
        QTest::newRow("just under 50%") << QString::number(65536 * 499 / 1000) << "50";
        QTest::newRow("just over 12%") << QString::number(65536 * 1204 / 10000) << "12";
    }
    void readRoundsOutsideChanges() {
        QFETCH(QString, raw);
        QFETCH(QString, percent);
        PulseVolumeControl control;
        QVERIFY(pactl({"set-sink-volume", "@DEFAULT_SINK@", raw}));
        QCOMPARE(control.readOutputVolume(), std::optional<QString>(percent));
    }

    void setKeepsTheBalance() {
        PulseVolumeControl control;
        QVERIFY(pactl({"set-sink-volume", "@DEFAULT_SINK@", "80%", "40%"}));
        control.setOutputVolume(40);
        QCOMPARE(desktop::sinkPercents(), (QList<int>{40, 20}));
        QCOMPARE(control.readOutputVolume(), std::optional<QString>("40"));
    }

    void noServerAtStart() {
        const QByteArray server = qgetenv("PULSE_SERVER");
        qputenv("PULSE_SERVER", "unix:/nonexistent/vellora/native");
        DiagnosticCapture out;
        {
            PulseVolumeControl control;
            qputenv("PULSE_SERVER", server);
            QVERIFY(!control.isConnected());
            QCOMPARE(control.readOutputVolume(), std::nullopt);
            control.setOutputVolume(10);
            QTRY_COMPARE(out.lines.size(), 1);
            QVERIFY(out.lines.first().startsWith("audio: no connection"));
        }
        QCOMPARE(desktop::sinkPercents().size(), 2); // the real server was never touched
    }

    void serverRestart() {
        PulseVolumeControl control;
        QSignalSpy changes(&control, &PulseVolumeControl::connectionChanged);
        DiagnosticCapture out;
        control.setOutputVolume(30);

        for (int outage = 1; outage <= 2; ++outage) {
            QVERIFY(desktop::session("pulse-stop"));
            QTRY_VERIFY_WITH_TIMEOUT(!control.isConnected(), 5000);
            // Calls fail at once while the server is away, and never end the program.
            QCOMPARE(control.readOutputVolume(), std::nullopt);
            control.setOutputVolume(70);

            QVERIFY(desktop::session("pulse-start"));
            QTRY_VERIFY_WITH_TIMEOUT(control.isConnected(), 15000);
            control.setOutputVolume(20 + outage);
            QCOMPARE(control.readOutputVolume(),
                     std::optional<QString>(QString::number(20 + outage)));
            QTRY_COMPARE(out.lines.filter("no connection").size(), outage);
        }
        QTRY_COMPARE(out.lines.filter("again").size(), 2);
        // The first report is the connection made at construction.
        QTRY_COMPARE(changes.size(), 5);
        QList<bool> states;
        for (const auto& args : changes)
            states << args.at(0).toBool();
        QCOMPARE(states, (QList<bool>{true, false, true, false, true}));
    }
};

QTEST_GUILESS_MAIN(TestPulse)
#include "test_pulse.moc"
