// The volume switch and the music-player check, against fake platform parts.
#include "base/Diagnostics.h"
#include "base/WorkerThread.h"
#include "core/AppVolumeTable.h"
#include "core/LevelLearner.h"
#include "core/MusicPlayerCheck.h"
#include "core/OutputLevels.h"
#include "core/SwitchWorker.h"
#include "core/VolumeSwitch.h"
#include "support/Fakes.h"
#include "support/TempDefaults.h"

#include <QtTest>

using namespace vellora;

// A scenario's steps, separated by "|", as the program meets them (through the worker and the
// control's own news):
//   NAME  that application comes to the front    "-"  no application      "?"  one without a name
//   "!"   a player starts or stops playing         "~"  Reset all
//   "#"   the server goes away, or comes back (then the one in front gets its due)
//   ">"   the output moves (told once the server is there); ">C": with C coming to the front first;
//         "^C": while C's switch asks the players. The output left gets its capture back.
//   "Q"   quit: what comes after it sets nothing
// Table: B 50, C 100, X 101 (refused), "S" a text that is no number, B again 7 (the first wins),
// H 60; on the headphones only: H 20, E 25. The output starts as the speakers.
// Up to 153 % goes back from a capture, 100 from a table, other text never.
class TestSwitch : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void scenarios_data() {
        QTest::addColumn<QStringList>("captures"); // what reads answer in turn (null: nothing)
        QTest::addColumn<QString>("steps");
        QTest::addColumn<int>("reads");
        QTest::addColumn<QList<int>>("sets"); // negative: a capture put back on the output left
        QTest::addColumn<QString>("volume");  // captured last; "*": a level is in force
        QTest::addColumn<int>("refusals");
        QTest::addColumn<QString>("quit"); // what quitting said, if anything
        const auto row = [](const char* name, QStringList captures, const char* steps, int reads,
                            QList<int> sets, const char* volume, int refusals = 0,
                            const char* quit = "") {
            QTest::newRow(name) << captures << QString(steps) << reads << sets << QString(volume)
                                << refusals << QString(quit);
        };
        row("chain, then another", {"6", {}}, "A|B|C|D", 2, {50, 100, 6}, "6");
        row("no application or name", {"1", "2\n"}, "B|-|C|?", 2, {50, 1, 100, 2}, "2");
        row("a playing player holds", {"2", "3"}, "!|B|!|B|!|D|!|D", 2, {50, 3}, "3");
        row("reset all while in force", {"2"}, "B|~|A|C", 1, {50}, "2*");
        row("server away", {"4", "5"}, "#|B|#|A|B|#|D|#|D", 4, {50, 4, 50, 5}, "5");
        row("output changes", {"80", "60", "70"}, "B|>|D|>", 3, {50, -80, 50, 60}, "70");
        row("moved while away", {"8", "6"}, "B|#|>|#|D", 2, {50, -8, 50, 6}, "6");
        row("moved, then C", {"8", "6"}, "B|>C|D", 2, {50, -8, 100, 100, 6}, "6");
        row("moved mid-switch", {"8", "6"}, "^C", 2, {-100, -8, 100}, "6*");
        row("quit ends switching", {"40"}, "B|Q|C|>", 1, {50, 40}, "40", 0,
            "vellora.audio: quit: the volume from before, 40 %, put back on speakers");
        row("quit, nothing to put back", {"x"}, "B|Q", 1, {50}, "x", 1);
        row("odd texts", {"120", "154\n", "x"}, "X|S|D|B|D|B|D|b|", 5, {120, 50, 50}, "x", 4);
        row("output levels first", {"80", "60", "70"}, "H|>|E|>|H", 4, {60, -80, 20, 25, -60, 60},
            "70*");
        row("output levels alone", {"9"}, "~|>|E|H|-", 1, {25, 20, 9}, "9");
    }
    void scenarios() {
        QFETCH(QStringList, captures);
        QFETCH(QString, steps);
        QFETCH(int, reads);
        QFETCH(QList<int>, sets);
        QFETCH(QString, volume);
        QFETCH(int, refusals);
        QFETCH(QString, quit);
        QStringList table{"", "50:B", "100:C", "101:X", "5 & quit:S", "7:B", "60:H"};
        table.replaceInStrings(":", AppVolumeTable::kSeparator);
        TempDefaults store;
        AppVolumeTable apps(*store.defaults);
        apps.saveTable(table);
        OutputLevels(*store.defaults)
            .tableFor("headphones")
            ->saveTable(QString("|20:H|25:E").replace(":", AppVolumeTable::kSeparator).split('|'));
        store.defaults->setBool(UserDefaults::kItunes, true);
        FakeVolumeControl control;
        control.captures = captures;
        control.max = 153;
        FakeMusicPlayers players;
        SwitchWorker worker(*store.defaults, control, &players); // this thread: at once
        const VolumeSwitch& volumeSwitch = worker.volumeSwitch();
        DiagnosticCapture out;
        for (const QString& step : steps.split(u'|')) {
            if (step == "~")
                apps.resetAll();
            else if (step == "Q")
                worker.putCapturedVolumeBack();
            else if (step == "#") {
                control.away = !control.away;
                if (!control.away)
                    Q_EMIT control.resyncNeeded();
            } else if (step.startsWith(u'>') || step.startsWith(u'^')) {
                const auto move = [&] {
                    control.output = control.output == "speakers" ? "headphones" : "speakers";
                };
                step[0] == u'^' ? void(players.asked = move) : move();
                if (step.size() > 1)
                    worker.post(RunningApplication{step.mid(1), {}, 42});
                if (!control.away)
                    Q_EMIT control.currentOutputChanged();
            } else if (step == "!")
                players.players["player"] = !players.players.value("player");
            else if (step == "-")
                worker.post(std::nullopt);
            else // "?": an application without a name
                worker.post(
                    RunningApplication{step == "?" ? std::nullopt : std::optional(step), {}, 42});
        }
        QCOMPARE(control.reads, reads);
        QCOMPARE(control.sets, sets);
        QCOMPARE(volumeSwitch.capturedVolume().text.trimmed() +
                     (volumeSwitch.levelInForce() ? "*" : ""),
                 volume);
        QCOMPARE(out.loggedSoFar().filter("refused").size(), refusals);
        QCOMPARE(out.loggedSoFar().filter("quit:").join(u'|'), quit);
        QVERIFY2(!out.loggedSoFar().join(u'|').contains(u'\n'), "every message is one line");
    }

    // A volume set by hand that stays becomes the level of the application in front (for the
    // output where it has its own); D, without one, gets the volume from before back. Nothing is
    // learnt (nor written) with the option off, from a change over this program's window, after
    // a switch, if it did not stay, for no name, above 100, nor while a player (started after
    // the switch) holds switching. Stored: B 50; on the speakers, C 20.
    void learning_data() {
        QTest::addColumn<QString>("front");
        QTest::addColumn<QList<int>>("changes");
        QTest::addColumn<QString>("meanwhile");
        QTest::addColumn<QString>("apps");
        QTest::addColumn<QString>("speakers");
        QTest::addColumn<QList<int>>("sets");
        const QString b = "|50:B", c = "|20:C";
        QTest::newRow("flood") << "A" << QList{60, 70} << "" << b + "|70:A" << c << QList{40};
        QTest::newRow("replaced") << "B" << QList{65} << ""
                                  << "|65:B" << c << QList{50, 40};
        QTest::newRow("the output's") << "C" << QList{35} << "" << b << "|35:C" << QList{20, 40};
        for (const char* meanwhile : {"off", "window", "switch", "moved back"})
            QTest::newRow(meanwhile) << "A" << QList{70} << meanwhile << b << c << QList<int>{};
        QTest::newRow("no name") << "?" << QList{70} << "" << b << c << QList<int>{};
        QTest::newRow("above 100") << "A" << QList{120} << "" << b << c << QList<int>{};
        QTest::newRow("player") << "B" << QList{70} << "player" << b << c << QList{50};
    }
    void learning() {
        QFETCH(QString, front);
        QFETCH(QList<int>, changes);
        QFETCH(QString, meanwhile);
        QFETCH(QString, apps);
        QFETCH(QString, speakers);
        QFETCH(QList<int>, sets);
        TempDefaults store;
        const auto table = [](QString entries) { return entries.replace(":", "/*/*/*/*/"); };
        AppVolumeTable(*store.defaults).saveTable(table("|50:B").split('|'));
        OutputLevels levels(*store.defaults);
        levels.tableFor("speakers")->saveTable(table("|20:C").split('|'));
        if (meanwhile != "off") // else the file stays as it was, byte for byte
            store.defaults->setBool(LevelLearner::kOption, true);
        store.defaults->setBool(UserDefaults::kItunes, meanwhile == "player");
        FakeVolumeControl control; // what the switch, then the check two seconds later, read
        const QString now = QString::number(changes.last() + (meanwhile == "moved back"));
        control.captures = {"40", now, now};
        FakeMusicPlayers players;
        SwitchWorker worker(*store.defaults, control, &players);
        QFile file(store.path);
        const QByteArray before = file.open(QIODevice::ReadOnly) ? file.readAll() : "";
        worker.post(RunningApplication{front == "?" ? std::nullopt : std::optional(front), {}, 1});
        players.players["player"] = meanwhile == "player"; // starts after the switch
        worker.setOwnWindowInFront(meanwhile == "window");
        for (const int percent : changes)
            Q_EMIT control.volumeChangedByHand(percent);
        worker.setOwnWindowInFront(false); // the list closed again before the two seconds
        if (meanwhile == "switch")
            worker.post(RunningApplication{"E", {}, 2});
        worker.learner().settle(); // two seconds later
        worker.post(RunningApplication{"D", {}, 3});
        if (file.seek(0), meanwhile == "off")
            QCOMPARE(file.readAll(), before);
        QCOMPARE(AppVolumeTable(*store.defaults).loadTable()->join('|'), table(apps));
        QCOMPARE(levels.tableFor("speakers")->loadTable()->join('|'), table(speakers));
        QCOMPARE(control.sets, sets);
    }

    // A Bluetooth device keeps its levels across profiles and audio servers; other outputs are
    // stored by their own name, made safe as a key of the file.
    void outputNames_data() {
        QTest::addColumn<QString>("output");
        QTest::addColumn<QString>("stored");
        const QString headset = "bluetooth.00_1B_66_AB_CD_EF";
        QTest::newRow("PulseAudio, A2DP") << "bluez_sink.00_1B_66_AB_CD_EF.a2dp_sink" << headset;
        QTest::newRow("PulseAudio, HFP")
            << "bluez_sink.00_1B_66_AB_CD_EF.headset_head_unit" << headset;
        QTest::newRow("PipeWire") << "bluez_output.00:1b:66:ab:cd:ef.1" << headset;
        QTest::newRow("not an address") << "bluez_output.headset.1"
                                        << "bluez_output.headset.1";
        QTest::newRow("a group, an escape") << "a/b%2F"
                                            << "a%2Fb%252F"; // not a/b, nor a%2F
    }
    void outputNames() {
        QFETCH(QString, output);
        QFETCH(QString, stored);
        QCOMPARE(OutputLevels::storedName(output), stored);
    }

    // Option (absent: stored as off; a non-Boolean reads as off and is kept), players (name:
    // playing; none: no source to ask), then whether one plays and how many run (each logged).
    void musicPlayerCheck() {
        const QMap<QString, bool> ab{{"a", false}, {"b", false}}, aB{{"a", false}, {"b", true}};
        const QList<std::tuple<QString, QMap<QString, bool>, bool, int>> rows{
            {"", aB, false, 0},     {"false", aB, false, 0}, {"yes", aB, false, 0},
            {"true", {}, false, 0}, {"true", ab, false, 2},  {"true", aB, true, 2}};
        for (const auto& [option, players, tunes, running] : rows) {
            TempDefaults store;
            if (!option.isEmpty())
                store.writeRaw("itunes", option);
            FakeMusicPlayers source;
            source.players = players;
            MusicPlayerCheck check(*store.defaults, players.isEmpty() ? nullptr : &source);
            DiagnosticCapture out;
            QCOMPARE(check.holdsSwitching(), tunes);
            QCOMPARE(out.lines.count("playing"), tunes ? 1 : 0);
            QCOMPARE(out.logLines.count("alreadyRunning"), running);
            QCOMPARE(store.onDisk("itunes").toString(), option.isEmpty() ? "false" : option);
        }
    }

    // A burst handed over from another thread to a switch on its own: however many are
    // overtaken on the way, it ends with the level of the last application, once.
    void burstToAWorker() {
        TempDefaults store;
        const QString sep = AppVolumeTable::kSeparator;
        AppVolumeTable(*store.defaults).saveTable({"", "30" + sep + "A", "70" + sep + "B"});
        store.defaults->setBool(UserDefaults::kItunes, false); // only read from now on
        FakeVolumeControl control;
        control.captures = QStringList(1000, "40");
        WorkerThread thread(QStringLiteral("switch"));
        auto worker = thread.call(
            [&] { return std::make_unique<SwitchWorker>(*store.defaults, control, nullptr); });
        for (int k = 0; k < 1000; ++k)
            worker->post(RunningApplication{k % 2 ? "A" : "B", {}, 0});
        thread.call([] {}); // after the switches handed over
        QVERIFY(!control.sets.isEmpty() && control.sets.size() <= 1000);
        QCOMPARE(control.sets.last(), 30);
        thread.call([&] { worker.reset(); });
    }
};

QTEST_GUILESS_MAIN(TestSwitch)
#include "test_switch.moc"
