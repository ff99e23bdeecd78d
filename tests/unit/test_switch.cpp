// The volume switch and the music-player check, against fake platform parts.
#include "core/AppVolumeTable.h"
#include "core/Diagnostics.h"
#include "core/MusicPlayerCheck.h"
#include "core/VolumeSwitch.h"
#include "support/Fakes.h"
#include "support/TempDefaults.h"

#include <QtTest>

using namespace vellora;

namespace {

// One step of a scenario: an activation by name ("-" for no application, "?" for an application
// without a name), "!reset" for the Reset all command, "!play"/"!stop" to start/stop the player.
using Steps = QStringList;
using Captures = QStringList; // "" means the capture delivers nothing

std::optional<RunningApplication> applicationFor(const QString& step) {
    if (step == QLatin1String("-"))
        return std::nullopt;
    RunningApplication app;
    app.pid = 42;
    if (step != QLatin1String("?"))
        app.localizedName = step;
    return app;
}

} // namespace

class TestSwitch : public QObject {
    Q_OBJECT

private slots:
    void scenarios_data() {
        QTest::addColumn<QVariant>("table"); // a QStringList, or invalid for no table
        QTest::addColumn<bool>("ignoreWhilePlaying");
        QTest::addColumn<Steps>("steps");
        QTest::addColumn<Captures>("captures");
        QTest::addColumn<int>("reads");
        QTest::addColumn<QList<int>>("sets");
        QTest::addColumn<bool>("mudou");
        QTest::addColumn<QString>("volume");

        const QVariant bc = QStringList{"", "50/*/*/*/*/B", "100/*/*/*/*/C"};
        QTest::newRow("A none, B 50, C 100, D none: restore the volume captured at B")
            << bc << false << Steps{"A", "B", "C", "D"} << Captures{"40\n", "35\n"} << 2
            << QList<int>{50, 100, 35} << false << "35\n";
        QTest::newRow("same application twice: set twice, captured once")
            << bc << false << Steps{"B", "B"} << Captures{"30\n"} << 1 << QList<int>{50, 50} << true
            << "30\n";
        QTest::newRow("no table: only captures")
            << QVariant() << false << Steps{"A", "B", "C"} << Captures{"1\n", "2\n", "3\n"} << 3
            << QList<int>{} << false << "3\n";
        QTest::newRow("empty table: only captures")
            << QVariant(QStringList{""}) << false << Steps{"A", "B"} << Captures{"1\n", "2\n"} << 2
            << QList<int>{} << false << "2\n";
        QTest::newRow("player playing: nothing set, next activation after it stops works")
            << bc << true << Steps{"!play", "B", "!stop", "B", "D"} << Captures{"20\n", "25\n"} << 2
            << QList<int>{50, 25} << false << "25\n";
        QTest::newRow("player playing while in force: nothing restored")
            << bc << true << Steps{"B", "!play", "D", "!stop", "D"} << Captures{"20\n"} << 1
            << QList<int>{50, 20} << false << "20\n";
        QTest::newRow("player playing but option off: switch as usual")
            << bc << false << Steps{"!play", "B", "D"} << Captures{"20\n"} << 1
            << QList<int>{50, 20} << false << "20\n";
        QTest::newRow("reset all while in force: the level stays")
            << bc << false << Steps{"B", "!reset", "A", "C"} << Captures{"20\n"} << 1
            << QList<int>{50} << true << "20\n";
        QTest::newRow("capture delivers nothing: restore the initial 10")
            << bc << false << Steps{"B", "D"} << Captures{""} << 1 << QList<int>{50, 10} << false
            << "10";
        QTest::newRow("capture delivers nothing: restore an earlier capture")
            << bc << false << Steps{"A", "B", "D"} << Captures{"20\n", ""} << 2
            << QList<int>{50, 20} << false << "20\n";
        QTest::newRow("chain of configured applications keeps the first capture")
            << bc << false << Steps{"B", "C", "B", "A"} << Captures{"60\n", "99\n"} << 1
            << QList<int>{50, 100, 50, 60} << false << "60\n";
        QTest::newRow("no application restores")
            << bc << false << Steps{"B", "-"} << Captures{"15\n"} << 1 << QList<int>{50, 15}
            << false << "15\n";
        QTest::newRow("application without a name restores")
            << bc << false << Steps{"B", "?"} << Captures{"15\n"} << 1 << QList<int>{50, 15}
            << false << "15\n";
        QTest::newRow("names compare exactly") << bc << false << Steps{"b", "B ", "Bb"}
                                               << Captures{} << 3 << QList<int>{} << false << "10";
        QTest::newRow("first match wins")
            << QVariant(QStringList{"", "30/*/*/*/*/B", "70/*/*/*/*/B"}) << false << Steps{"B"}
            << Captures{} << 1 << QList<int>{30} << true << "10";
        QTest::newRow("an empty name never matches the head element")
            << QVariant(QStringList{"", "30/*/*/*/*/B"}) << false << Steps{""} << Captures{} << 1
            << QList<int>{} << false << "10";
    }

    void scenarios() {
        QFETCH(QVariant, table);
        QFETCH(bool, ignoreWhilePlaying);
        QFETCH(Steps, steps);
        QFETCH(Captures, captures);
        QFETCH(int, reads);
        QFETCH(QList<int>, sets);
        QFETCH(bool, mudou);
        QFETCH(QString, volume);

        TempDefaults store;
        AppVolumeTable appTable(*store.defaults);
        if (table.isValid())
            appTable.saveTable(table.toStringList());
        store.defaults->setBool(UserDefaults::kItunes, ignoreWhilePlaying);

        FakeVolumeControl control;
        for (const QString& c : captures)
            control.captures << (c.isEmpty() ? QString() : c);
        FakeMusicPlayers players;
        MusicPlayerCheck check(*store.defaults, &players);
        VolumeSwitch volumeSwitch(appTable, control, check);

        DiagnosticCapture out;
        for (const QString& step : steps) {
            if (step == QLatin1String("!reset"))
                appTable.resetAll();
            else if (step == QLatin1String("!play"))
                players.players.insert("player", true);
            else if (step == QLatin1String("!stop"))
                players.players.insert("player", false);
            else {
                volumeSwitch.setPreviousApplication(applicationFor(step));
                QCOMPARE(volumeSwitch.atualApp(), applicationFor(step));
            }
        }

        QCOMPARE(control.reads, reads);
        QCOMPARE(control.sets, sets);
        QCOMPARE(volumeSwitch.mudou(), mudou);
        QCOMPARE(volumeSwitch.volume(), volume);
    }

    // Levels are applied only when they are whole numbers from 0 to 100: a table edited from
    // outside can never make the switch pass other text on.
    void refusesLevelsThatAreNotNumbers_data() {
        QTest::addColumn<QString>("storedLevel");
        QTest::addColumn<QString>("captured");
        QTest::addColumn<QList<int>>("sets");
        QTest::addColumn<int>("refusals");
        QTest::newRow("script in the level") << "50 & do shell script \"touch /tmp/x\""
                                             << "20\n"
                                             << QList<int>{20} << 1;
        QTest::newRow("level above 100") << "150"
                                         << "20\n"
                                         << QList<int>{20} << 1;
        QTest::newRow("captured text is not a number") << "50"
                                                       << "missing value\n"
                                                       << QList<int>{50} << 1;
        QTest::newRow("both refused") << "-5"
                                      << "; rm -rf ~" << QList<int>{} << 2;
    }
    void refusesLevelsThatAreNotNumbers() {
        QFETCH(QString, storedLevel);
        QFETCH(QString, captured);
        QFETCH(QList<int>, sets);
        QFETCH(int, refusals);

        TempDefaults store;
        AppVolumeTable appTable(*store.defaults);
        appTable.saveTable({"", AppVolumeTable::composeEntry(storedLevel, "B")});
        FakeVolumeControl control;
        control.captures << captured;
        MusicPlayerCheck check(*store.defaults, nullptr);
        VolumeSwitch volumeSwitch(appTable, control, check);

        DiagnosticCapture out;
        volumeSwitch.setPreviousApplication(applicationFor("B"));
        QVERIFY(volumeSwitch.mudou());
        volumeSwitch.setPreviousApplication(applicationFor("D"));
        QCOMPARE(control.sets, sets);
        QCOMPARE(out.lines.filter("refused level").size(), refusals);
        for (const QString& line : out.lines)
            QVERIFY2(!line.contains('\n'), "a diagnostic is one line");
        QCOMPARE(*appTable.loadTable(),
                 (QStringList{"", AppVolumeTable::composeEntry(storedLevel, "B")}));
    }

    void musicPlayerCheck_data() {
        QTest::addColumn<QVariant>("option"); // invalid: absent
        QTest::addColumn<QVariantMap>("players");
        QTest::addColumn<bool>("tunes");
        QTest::addColumn<int>("alreadyRunning");
        QTest::addColumn<int>("playing");
        QTest::addColumn<int>("queries");
        const QVariantMap playing{{"a", true}};
        const QVariantMap pausedTwice{{"a", false}, {"b", false}};
        QTest::newRow("clean settings") << QVariant() << playing << false << 0 << 0 << 0;
        QTest::newRow("option off") << QVariant(false) << playing << false << 0 << 0 << 0;
        QTest::newRow("option not a Boolean") << QVariant("yes") << playing << false << 0 << 0 << 0;
        QTest::newRow("no player") << QVariant(true) << QVariantMap{} << false << 0 << 0 << 1;
        QTest::newRow("two paused") << QVariant(true) << pausedTwice << false << 2 << 0 << 1;
        QTest::newRow("one playing") << QVariant(true) << playing << true << 1 << 1 << 1;
        QTest::newRow("second of two playing")
            << QVariant(true) << QVariantMap{{"a", false}, {"b", true}} << true << 2 << 1 << 1;
    }
    void musicPlayerCheck() {
        QFETCH(QVariant, option);
        QFETCH(QVariantMap, players);
        QFETCH(bool, tunes);
        QFETCH(int, alreadyRunning);
        QFETCH(int, playing);
        QFETCH(int, queries);

        TempDefaults store;
        if (option.isValid())
            store.writeRaw("itunes", option);
        FakeMusicPlayers source;
        for (auto it = players.cbegin(); it != players.cend(); ++it)
            source.players.insert(it.key(), it.value().toBool());
        MusicPlayerCheck check(*store.defaults, &source);

        DiagnosticCapture out;
        QCOMPARE(check.tunesx(), tunes);
        QCOMPARE(out.logLines.count("alreadyRunning"), alreadyRunning);
        QCOMPARE(out.lines.count("playing"), playing);
        QCOMPARE(source.queries, queries);
        if (!option.isValid())
            QCOMPARE(store.onDisk("itunes").toString(), QStringLiteral("false"));
    }

    void noPlayerSourceMeansNotPlaying() {
        TempDefaults store;
        store.defaults->setBool(UserDefaults::kItunes, true);
        MusicPlayerCheck check(*store.defaults, nullptr);
        QCOMPARE(check.tunesx(), false);
    }
};

QTEST_GUILESS_MAIN(TestSwitch)
#include "test_switch.moc"
