// The PulseAudio volume control against a real server with a null sink.
#include "core/AppVolumeTable.h"
#include "core/Diagnostics.h"
#include "core/MusicPlayerCheck.h"
#include "core/VolumeSwitch.h"
#include "platform/linux/PulseVolumeControl.h"
#include "support/Desktop.h"
#include "support/TempDefaults.h"

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
        for (int percent : {0, 1, 67, 100, 120})
            QTest::newRow(qPrintable(QString::number(percent))) << percent;
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
    void readRoundsOutsideChanges() {
        PulseVolumeControl control;
        QVERIFY(pactl({"set-sink-volume", "@DEFAULT_SINK@", QString::number(65536 * 499 / 1000)}));
        QCOMPARE(control.readOutputVolume(), std::optional<QString>("50"));
        QVERIFY(
            pactl({"set-sink-volume", "@DEFAULT_SINK@", QString::number(65536 * 1204 / 10000)}));
        QCOMPARE(control.readOutputVolume(), std::optional<QString>("12"));
    }

    // A boosted, unbalanced volume set by another tool survives a configured application: the
    // switch sets its level and then puts back 120 % and 60 %.
    void switchRestoresABoostedVolume() {
        QVERIFY(pactl({"set-sink-volume", "@DEFAULT_SINK@", "120%", "60%"}));
        PulseVolumeControl control;
        TempDefaults store;
        AppVolumeTable table(*store.defaults);
        table.putEntry("30", "Alpha");
        MusicPlayerCheck check(*store.defaults, nullptr);
        VolumeSwitch volumeSwitch(table, control, check);
        volumeSwitch.setPreviousApplication(RunningApplication{QStringLiteral("Alpha"), {}, 1});
        QCOMPARE(desktop::sinkPercents(), (QList<int>{30, 15}));
        volumeSwitch.setPreviousApplication(RunningApplication{QStringLiteral("Beta"), {}, 2});
        QCOMPARE(desktop::sinkPercents(), (QList<int>{120, 60}));
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
        QCOMPARE(QList<QVariantList>(changes),
                 (QList<QVariantList>{{true}, {false}, {true}, {false}, {true}}));
    }
};

QTEST_GUILESS_MAIN(TestPulse)
#include "test_pulse.moc"
