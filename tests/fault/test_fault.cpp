// The real program against faults of the world around it: the audio server lost, back, or
// stalled, the default output changing under a level, a music player that never answers. Runs
// once on PulseAudio and once on PipeWire's PulseAudio server (VELLORA_AUDIO).
#include "support/Program.h"
#include "support/Windows.h"

#include <QDir>
#include <QSettings>
#include <QtTest>
#include <csignal>

class TestFault : public QObject, ProgramDriver {
    Q_OBJECT

    TestWindows windows;
    // How long a switch may take to reach the server: generous, since these tests run beside
    // the whole suite on a loaded machine (an assertion on speed is the benchmarks' business).
    static constexpr int kBound = 10000;
    const QByteArray kSettings = "[General]\nitunes=true\n"
                                 "Apps=, 30/*/*/*/*/Alpha, 80/*/*/*/*/Gamma Writer\n"
                                 "[OutputLevels]\nheadphones=, 45/*/*/*/*/Alpha\n";
    QString alpha, beta, gamma; // at 30, without a level, at 80

    static bool pactl(const QString& a) { return desktop::run("pactl", a.split(' ')).has_value(); }
    // A null sink of the test's own. One that has played takes volumes while idle, as a device
    // does; PipeWire 1.4 drops a volume set on one that never ran (node.always-process).
    static auto nullSink(const QString& name, bool hasPlayed = true) { // its module, if made
        QStringList a{"load-module", "module-null-sink", "sink_name=" + name};
        if (hasPlayed)
            a << "sink_properties=node.always-process=true";
        return desktop::run("pactl", a);
    }
    static bool activate(const QString& window) { return TestWindows::activate(window); }
    qsizetype outages() { return lines().filter("no connection").size(); }
    static bool programOnServer() {
        return desktop::run("pactl", {"list", "clients"}).value_or("").contains("Vellora");
    }
    // Stops the audio server, once the program is on it, and waits until the program saw it go.
    bool stopServerSeen() {
        const qsizetype told = outages();
        return QTest::qWaitFor(programOnServer, 10000) && desktop::session("pulse-stop") &&
               QTest::qWaitFor([&] { return outages() > told; }, 10000);
    }
    // The process serving the audio socket, from the session's pids file; 0 while there is none.
    static pid_t server() {
        const QStringList awk{"$1 == \"pulse\" { print $2 }", desktop::sessionDir() + "/pids"};
        return pid_t(desktop::run("awk", awk).value_or("0").toInt());
    }
    // An application without a level in front and the sink at this volume, set again until no
    // restore still on its way overwrites it.
    bool baseline(int percent) {
        return activate(beta) && QTest::qWaitFor([&] {
                   pactl(QString("set-sink-volume @DEFAULT_SINK@ %1%").arg(percent));
                   QTest::qWait(300);
                   return desktop::sinkPercent() == percent;
               });
    }

    // Cases that failed about one run in eight on PipeWire's server (its connection made at a
    // restart kept saying there was no default output): run often enough not to pass by luck.
    static void repeatedOnPipeWire() {
        QTest::addColumn<int>("run");
        const int runs = qEnvironmentVariable("VELLORA_AUDIO") == "pipewire" ? 4 : 1;
        for (int run = 1; run <= runs; ++run)
            QTest::addRow("run %d", run) << run;
    }

private Q_SLOTS:
    void initTestCase() {
        QVERIFY2(!desktop::sessionDir().isEmpty(), "run inside with-desktop.sh");
        // What the program says of its audio and its settings, shown when a case fails.
        qputenv("QT_LOGGING_RULES", "vellora.audio.debug=true\nvellora.settings.debug=true");
        QVERIFY(startWith(kSettings));
        const auto xterm = [&](QString c) { return windows.start("xterm", {"-class", c}, c); };
        gamma = xterm("gamma"), beta = xterm("Beta"), alpha = xterm("Alpha");
        QVERIFY(!alpha.isEmpty() && !beta.isEmpty() && !gamma.isEmpty());
    }
    void cleanup() { // a stalled server goes on, a stopped one starts again; the program lives
        if (QTest::currentTestFailed()) // what the program said last, to tell why
            qInfo().noquote() << "program:"
                              << lines().mid(qMax(0, lines().size() - 60)).join(" | ");
        if (const pid_t pid = server())
            ::kill(pid, SIGCONT);
        else
            QVERIFY(desktop::session("pulse-start"));
        QCOMPARE(vellora.state(), QProcess::Running);
    }

    // Headphones become the default output while a level is in force: the speakers get their
    // own volume back, the headphones take Alpha's level for them, and a restore gives them back
    // their own. Unplugged and plugged in again, they keep that level.
    void defaultOutputChanges() {
        QVERIFY(baseline(50));
        const auto back = qScopeGuard([] { pactl("set-default-sink vellora_null"); });
        QVERIFY(nullSink("speakers"));
        const auto module = nullSink("headphones");
        QVERIFY(module && pactl("set-default-sink speakers") &&
                pactl("set-sink-volume speakers 80%") && pactl("set-sink-volume headphones 60%") &&
                activate(alpha));
        QTRY_COMPARE_WITH_TIMEOUT(desktop::sinkPercent("speakers"), 30, kBound);
        QVERIFY(pactl("set-default-sink headphones"));
        QTRY_COMPARE_WITH_TIMEOUT(desktop::sinkPercent("headphones"), 45, kBound);
        QTRY_COMPARE_WITH_TIMEOUT(desktop::sinkPercent("speakers"), 80, kBound);
        QVERIFY(activate(beta));
        QTRY_COMPARE_WITH_TIMEOUT(desktop::sinkPercent("headphones"), 60, kBound);
        QTest::qWait(500); // nothing later writes the speakers' volume onto them
        QCOMPARE(desktop::sinkPercents("headphones"), QList<int>({60, 60}));
        QCOMPARE(desktop::sinkPercent("speakers"), 80);
        QVERIFY(pactl("unload-module " + module->trimmed()) && nullSink("headphones") &&
                pactl("set-default-sink headphones") && activate(alpha));
        QTRY_COMPARE_WITH_TIMEOUT(desktop::sinkPercent("headphones"), 45, kBound);
    }

    // An output that has never played (a device nothing used since it appeared): PipeWire 1.4
    // shows it at 100 % and holds back every volume set on it until it first runs, then takes the
    // last one. The level in force is what is heard once it plays.
    void outputThatNeverPlayed() {
        QVERIFY(baseline(100));
        const auto back = qScopeGuard([] { pactl("set-default-sink vellora_null"); });
        QVERIFY(nullSink("asleep", false) && pactl("set-default-sink asleep") && activate(alpha));
        // Shown at once by most servers; PipeWire 1.4 shows nothing, so give the set its time.
        (void)QTest::qWaitFor([] { return desktop::sinkPercent("asleep") == 30; }, 1500);
        QTemporaryFile silence; // a second of it, in pacat's default format
        QVERIFY(silence.open() && silence.write(QByteArray(44100 * 2 * 2, '\0')) > 0 &&
                silence.flush());
        QVERIFY(desktop::run("pacat", {"--raw", "--device=asleep", silence.fileName()}));
        QTRY_COMPARE_WITH_TIMEOUT(desktop::sinkPercent("asleep"), 30, kBound);
        QVERIFY(activate(beta));
        QTRY_COMPARE_WITH_TIMEOUT(desktop::sinkPercent("asleep"), 100, kBound);
    }

    // A switch made while the audio server is away takes effect once it is back, on the output
    // then in front; the one the restart took (a dock) no longer holds the level. How long it
    // stays away decides where in the server's start the program's next attempt falls: before
    // it has any output, before the session's output is the default, or after.
    void switchWhileAway_data() {
        QTest::addColumn<int>("away");
        for (int ms : {0, 150, 500, 1000})
            QTest::addRow("away %d ms", ms) << ms;
    }
    void switchWhileAway() {
        QFETCH(int, away);
        QVERIFY(baseline(100));
        QVERIFY(nullSink("dock") && pactl("set-default-sink dock") && activate(gamma));
        QTRY_COMPARE_WITH_TIMEOUT(desktop::sinkPercent("dock"), 80, kBound);
        QVERIFY(desktop::session("pulse-stop"));
        QVERIFY(activate(alpha));
        QTest::qWait(away);
        QVERIFY(desktop::session("pulse-start"));
        QTRY_COMPARE_WITH_TIMEOUT(desktop::sinkPercent(), 30, 10000);
        QVERIFY(activate(beta));
        QTRY_COMPARE_WITH_TIMEOUT(desktop::sinkPercent(), 100, kBound);
    }

    // The server comes back with no output at first, as PipeWire's does until its session
    // manager names the default: a switch made while it was away lands once an output appears.
    void noOutputAtReturn_data() { repeatedOnPipeWire(); }
    void noOutputAtReturn() {
        QVERIFY(baseline(100));
        QVERIFY(stopServerSeen());
        QVERIFY(activate(alpha));
        QVERIFY(desktop::session("pulse-start-bare"));
        QTRY_VERIFY_WITH_TIMEOUT(programOnServer(), 10000);
        QVERIFY(nullSink("late"));
        QTRY_VERIFY(pactl("set-default-sink late")); // once the new sink is listed
        QTRY_COMPARE_WITH_TIMEOUT(desktop::sinkPercent("late"), 30, kBound);
        QVERIFY(desktop::session("pulse-stop") && desktop::session("pulse-start"));
    }

    // The server comes back with a stand-in output first (PipeWire's, until its session manager
    // brings the outputs back), then the output the level was on, showing that level as the
    // session manager restores it, and the stand-in goes: the volume from before is still the
    // user's, not the level.
    void outputBackAfterStandIn_data() { repeatedOnPipeWire(); }
    void outputBackAfterStandIn() {
        QVERIFY(baseline(55) && activate(alpha));
        QTRY_COMPARE_WITH_TIMEOUT(desktop::sinkPercent(), 30, kBound);
        QVERIFY(stopServerSeen());
        QVERIFY(activate(gamma));
        QVERIFY(desktop::session("pulse-start-bare"));
        const auto standIn =
            desktop::run("pactl", {"load-module", "module-null-sink", "sink_name=stand_in",
                                   "sink_properties=node.always-process=true"});
        QVERIFY(standIn);
        QTRY_VERIFY(pactl("set-default-sink stand_in")); // once the new sink is listed
        QTRY_COMPARE_WITH_TIMEOUT(desktop::sinkPercent("stand_in"), 80, kBound);
        QVERIFY(nullSink("vellora_null") && pactl("set-sink-volume vellora_null 30%") &&
                pactl("unload-module " + standIn->trimmed()));
        QTRY_COMPARE_WITH_TIMEOUT(desktop::sinkPercent("vellora_null"), 80, kBound);
        QVERIFY(activate(beta));
        QTRY_COMPARE_WITH_TIMEOUT(desktop::sinkPercent("vellora_null"), 55, kBound);
    }

    // The server dies in a run of switches and comes back (the sink was at 100 %, as a restarted
    // PulseAudio starts it): switching goes on, the outage is told once, and no level sticks.
    void serverDiesMidRun() {
        QVERIFY(baseline(100));
        const qsizetype told = outages();
        QVERIFY(activate(alpha));
        QTRY_COMPARE_WITH_TIMEOUT(desktop::sinkPercent(), 30, kBound);
        QVERIFY(desktop::session("pulse-stop"));
        for (const QString& window : {beta, gamma, alpha, beta})
            QVERIFY(activate(window));
        QVERIFY(desktop::session("pulse-start"));
        QTRY_VERIFY_WITH_TIMEOUT(programOnServer(), 10000);
        QVERIFY(activate(gamma));
        QTRY_COMPARE_WITH_TIMEOUT(desktop::sinkPercent(), 80, kBound);
        QVERIFY(activate(beta));
        QTRY_COMPARE_WITH_TIMEOUT(desktop::sinkPercent(), 100, kBound);
        QTRY_VERIFY2(outages() - told == 1, qPrintable(lines().join('|')));
    }

    // Quitting while a level is in force puts the volume from before back on its output, and
    // says so; a stalled server does not hold the quit beyond the bound of one request.
    void quitPutsTheVolumeBack_data() {
        QTest::addColumn<bool>("stalled");
        QTest::newRow("server answers") << false;
        QTest::newRow("server stalled") << true;
    }
    void quitPutsTheVolumeBack() {
        QFETCH(bool, stalled);
        if (stalled && qEnvironmentVariable("VELLORA_AUDIO") != "pulseaudio")
            QSKIP("PulseAudio only");
        QVERIFY(baseline(55) && activate(alpha));
        QTRY_COMPARE_WITH_TIMEOUT(desktop::sinkPercent(), 30, kBound);
        const pid_t pid = server();
        QVERIFY(!stalled || ::kill(pid, SIGSTOP) == 0);
        vellora.terminate();
        const bool ended = vellora.waitForFinished(5000);
        QVERIFY(!stalled || ::kill(pid, SIGCONT) == 0);
        QVERIFY2(ended, "the quit waited on a stalled server");
        const QStringList said = lines().filter("quit: the volume from before, 55 %");
        QCOMPARE(said.size(), 1);
        QCOMPARE(said[0].contains("could not"), stalled);
        if (!stalled)
            QCOMPARE(desktop::sinkPercent(), 55);
        QVERIFY(startWith(kSettings)); // the program lives on for the next test
    }

    // A music player that never answers, with the player rule on, does not hold up the switch.
    void playerNeverAnswers() {
        QVERIFY(baseline(50));
        QProcess player;
        player.start(FAKE_PLAYER, {"vellora_hung", "silent"});
        const auto end = qScopeGuard([&] { player.kill(), player.waitForFinished(2000); });
        QVERIFY(player.waitForReadyRead(10000) && player.readAll().startsWith("ready"));
        QVERIFY(activate(gamma));
        QTRY_COMPARE_WITH_TIMEOUT(desktop::sinkPercent(), 80, kBound);
    }

    // The server stalls (stopped, not dead) while applications come to the front: the list
    // opens and searches at once all the same, and once it goes on the volume is the front one's,
    // in force: an application without a level gets the volume from before back.
    void stalledServer() {
        if (qEnvironmentVariable("VELLORA_AUDIO") != "pulseaudio")
            QSKIP("PulseAudio only");
        QVERIFY(baseline(50));
        const pid_t pid = server();
        QVERIFY(pid > 0 && ::kill(pid, SIGSTOP) == 0);
        QVERIFY(activate(alpha) && activate(beta) && activate(gamma));
        const QPoint tray = middleOf("search --classname ^panel$");
        QVERIFY(click(tray));
        QTRY_VERIFY_WITH_TIMEOUT(shown(kList, "getactivewindow"), 2000);
        QVERIFY(xdo("type --delay 30 Beta\r"));
        QTRY_VERIFY_WITH_TIMEOUT(shown(kEditor), 2000);
        QTest::qWait(800); // a second click sooner is a double click, which does not toggle
        QVERIFY(click(tray));
        QTRY_VERIFY_WITH_TIMEOUT(!shown(kList) && !shown(kEditor), 2000);
        QVERIFY(::kill(pid, SIGCONT) == 0);
        QTRY_COMPARE_WITH_TIMEOUT(desktop::sinkPercent(), 80, 10000);
        QVERIFY(activate(beta));
        QTRY_COMPARE_WITH_TIMEOUT(desktop::sinkPercent(), 50, kBound);
    }

    // With the option on, a volume set by hand that stays becomes the level of the application
    // in front, the last of a flood; the program's own sets are not learnt, a change back to
    // what it set is. (Last: it changes the levels.)
    void learnsVolumesSetByHand() {
        QVERIFY(baseline(50));
        QSettings(qEnvironmentVariable("XDG_CONFIG_HOME") + "/Vellora/Vellora.conf",
                  QSettings::IniFormat)
            .setValue("rememberVolumeChanges", true); // written as it goes
        const auto setByHand = [](int percent) {
            return pactl(QString("set-sink-volume @DEFAULT_SINK@ %1%").arg(percent));
        };
        QVERIFY(activate(gamma));
        QTRY_COMPARE_WITH_TIMEOUT(desktop::sinkPercent(), 80, kBound);
        QVERIFY(setByHand(50) && setByHand(55));
        QTRY_VERIFY_WITH_TIMEOUT(lines().contains("55/*/*/*/*/Gamma Writer"), kBound);
        QVERIFY(activate(beta));
        QTRY_COMPARE_WITH_TIMEOUT(desktop::sinkPercent(), 50, kBound);
        QTest::qWait(2500); // longer than a volume must stay
        for (const int percent : {60, 50}) {
            QVERIFY(setByHand(percent));
            QTRY_VERIFY_WITH_TIMEOUT(lines().contains(QString("%1/*/*/*/*/Beta").arg(percent)),
                                     kBound);
        }
        QCOMPARE(lines().filter(QRegularExpression("/\\*/(Beta|Gamma Writer)$")),
                 QStringList({"55/*/*/*/*/Gamma Writer", "60/*/*/*/*/Beta", "50/*/*/*/*/Beta"}));
        QVERIFY(activate(gamma));
        QTRY_COMPARE_WITH_TIMEOUT(desktop::sinkPercent(), 55, kBound);
    }
};

QTEST_GUILESS_MAIN(TestFault)
#include "test_fault.moc"
