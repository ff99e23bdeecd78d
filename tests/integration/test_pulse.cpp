// The PulseAudio volume control against a real server with a null sink.
#include "base/Diagnostics.h"
#include "core/FlatVolumes.h"
#include "platform/linux/PulseVolumeControl.h"
#include "support/Desktop.h"

#include <QtTest>
#include <csignal>

using namespace vellora;

// The volume read, in percent; -1 for no reading.
static int readPercent(VolumeControl& control) {
    const auto reading = control.readOutputVolume();
    return reading ? reading->percent.value_or(-2) : -1;
}

// Two changes of the default output's volume by another tool, and the control's news of them.
// A signal the same news carries was sent before it, and has arrived by then too.
static bool changeByHand(QSignalSpy& byHand) {
    byHand.clear();
    for (const QString level : {"31%", "32%"})
        if (!desktop::run("pactl", {"set-sink-volume", "@DEFAULT_SINK@", level}))
            return false;
    return QTest::qWaitFor([&] { return !byHand.isEmpty() && byHand.last() == QVariantList{32}; });
}

class TestPulse : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // What another tool left reads back as its loudest channel in whole percents, rounded, not
    // truncated; a level then set scales all channels, keeping the balance; above 100 boosts.
    void readThenSet_data() {
        QTest::addColumn<QString>("before"); // pactl's channel volumes, raw or in percent
        QTest::addColumn<int>("read");
        QTest::addColumn<QList<int>>("after"); // the channels once the loudest is set to its max
        QTest::newRow("silence, to 1") << "0" << 0 << QList<int>{1, 1};
        QTest::newRow("49.9 % rounds up") << "32702" << 50 << QList<int>{67, 67};
        QTest::newRow("12.04 % rounds down") << "7890" << 12 << QList<int>{100, 100};
        QTest::newRow("boosted, to silence") << "130%" << 130 << QList<int>{0, 0};
        QTest::newRow("unbalanced boost") << "60% 120%" << 120 << QList<int>{15, 30};
        QTest::newRow("unbalanced, to a boost") << "15% 30%" << 30 << QList<int>{60, 120};
    }
    void readThenSet() {
        QFETCH(QString, before);
        QFETCH(int, read);
        QFETCH(QList<int>, after);
        QVERIFY(desktop::run("pactl",
                             QStringList{"set-sink-volume", "@DEFAULT_SINK@"} + before.split(' ')));
        PulseVolumeControl control;
        QCOMPARE(readPercent(control), read);
        QVERIFY(control.maxPercent() >= read); // whatever was read can be put back
        control.setOutputVolume(*std::ranges::max_element(after), kCurrentOutput);
        QCOMPARE(desktop::sinkPercents(), after);
    }

    // No server at start, then two restarts: each loss is said and signalled once, calls fail
    // at once meanwhile and never end the program, and the connection comes back by itself.
    // Then a stall: a read answers from what the server last announced, a set waits its bound
    // only, and it is no loss; a control started during it counts the server away until it
    // answers, and then says it is back, so that what was asked meanwhile is done again.
    void serverAwayStalledAndBack() {
        QVERIFY(desktop::session("pulse-stop"));
        DiagnosticCapture out;
        PulseVolumeControl control;
        QSignalSpy changes(&control, &PulseVolumeControl::connectionChanged);
        for (int outage = 1; outage <= 3; ++outage) {
            QVERIFY(outage == 1 || desktop::session("pulse-stop"));
            QTRY_VERIFY_WITH_TIMEOUT(!control.isConnected(), 5000);
            QCOMPARE(readPercent(control), -1);
            control.setOutputVolume(70, kCurrentOutput);
            QVERIFY(desktop::session("pulse-start"));
            QTRY_VERIFY_WITH_TIMEOUT(control.isConnected(), 15000);
            control.setOutputVolume(20 + outage, kCurrentOutput);
            QCOMPARE(readPercent(control), 20 + outage);
            QTRY_COMPARE(changes.size(), 2 * outage);
        }
        QCOMPARE(out.loggedSoFar().size(), 6);
        QCOMPARE(QList<QVariantList>(changes),
                 (QList<QVariantList>{{false}, {true}, {false}, {true}, {false}, {true}}));

        QFile pidFile(qEnvironmentVariable("XDG_RUNTIME_DIR") + "/pulse/pid");
        QVERIFY(pidFile.open(QIODevice::ReadOnly));
        const pid_t server = pidFile.readAll().trimmed().toInt();
        QVERIFY(server > 0 && ::kill(server, SIGSTOP) == 0);
        auto resume = qScopeGuard([server] { ::kill(server, SIGCONT); });
        QCOMPARE(readPercent(control), 23); // known, not asked for
        QVERIFY(!control.setOutputVolume(30, kCurrentOutput));
        PulseVolumeControl late;
        QSignalSpy returns(&late, &VolumeControl::resyncNeeded);
        QVERIFY(!late.isConnected());
        ::kill(server, SIGCONT);
        QTRY_COMPARE(returns.size(), 1);
        QVERIFY(control.setOutputVolume(45, kCurrentOutput));
        QCOMPARE(readPercent(control), 45);
        QCOMPARE(changes.size(), 6);
    }

    // With flat volumes on, the default output's first news tells it, and no later news does:
    // not its volume changing, nor the same output seen again over a new connection after the
    // server's restart. With them off, nothing is told.
    void flatVolumesToldOnce() {
        const bool flat = qEnvironmentVariable("VELLORA_FLAT_VOLUMES") == "yes";
        if (flat && qEnvironmentVariable("VELLORA_AUDIO") != "pulseaudio")
            QSKIP("PipeWire's server has no flat volumes");
        PulseVolumeControl control;
        QSignalSpy found(&control, &VolumeControl::flatVolumesFound);
        QSignalSpy byHand(&control, &VolumeControl::volumeChangedByHand);
        QTRY_VERIFY_WITH_TIMEOUT(control.isConnected(), 5000);
        QVERIFY(changeByHand(byHand));
        QVERIFY(desktop::session("pulse-stop"));
        QTRY_VERIFY_WITH_TIMEOUT(!control.isConnected(), 5000);
        QVERIFY(desktop::session("pulse-start"));
        QTRY_VERIFY_WITH_TIMEOUT(control.isConnected(), 15000);
        QVERIFY(changeByHand(byHand));
        QCOMPARE(found.size(), flat ? 1 : 0);
        if (flat) { // the message stays one line whatever the server calls its output
            QCOMPARE(found[0][0].toString(), "Vellora_Null");
            QVERIFY(
                flatVolumesMessage(found[0][0].toString()).contains("\u201cVellora_Null\u201d"));
            const QString hostile = flatVolumesMessage("Line\nbreak\u2028");
            QVERIFY(!hostile.contains('\n') && !hostile.contains(QChar(0x2028)));
        }
    }
};

QTEST_GUILESS_MAIN(TestPulse)
#include "test_pulse.moc"
