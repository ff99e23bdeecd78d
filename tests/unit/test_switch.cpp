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
QStringList words(const QString& text) {
    return text.isEmpty() ? QStringList() : text.split(u'|');
}

// One scenario, lists as words between "|". A step activates a name ("-": no application, "?": no
// name), or is "!reset" (Reset all) or "!play"/"!stop". A capture delivers its text and a line
// break ("_": nothing). The volume expected is the captured text at the end, "*" while in force.
void row(const char* name, const QStringList& table, const char* steps, const char* captures,
         int reads, const char* sets, const char* volume, int refusals = 0) {
    QList<int> levels;
    for (const QString& level : words(sets))
        levels << level.toInt();
    QStringList texts;
    for (const QString& c : words(captures))
        texts << (c == u'_' ? QString() : c + u'\n');
    QTest::newRow(name) << table << words(steps) << texts << reads << levels << volume << refusals;
}

} // namespace

class TestSwitch : public QObject {
    Q_OBJECT

private slots:
    // The control accepts up to 153 % here, as a boosted PulseAudio sink does.
    void scenarios_data() {
        for (const char* column : {"table", "steps", "captures"})
            QTest::addColumn<QStringList>(column); // an empty table: none stored
        QTest::addColumn<int>("reads");
        QTest::addColumn<QList<int>>("sets");
        QTest::addColumn<QString>("volume");
        QTest::addColumn<int>("refusals");
        const QStringList bc{"", "50/*/*/*/*/B", "100/*/*/*/*/C"};
        row("A none, B 50, C 100, D none", bc, "A|B|C|D", "40|35", 2, "50|100|35", "35");
        row("no table: only captures", {}, "A|B", "1|2", 2, "", "2");
        row("playing: nothing set, then on", bc, "!play|B|!stop|B|D", "20|25", 2, "50|25", "25");
        row("playing while in force: no restore", bc, "B|!play|D|!stop|D", "20", 1, "50|20", "20");
        row("reset all while in force: the level stays", bc, "B|!reset|A|C", "20", 1, "50", "20*");
        row("an empty capture keeps the earlier one", bc, "A|B|D", "20|_", 2, "50|20", "20");
        row("a chain keeps the first capture", bc, "B|C|B|A", "60|99", 1, "50|100|50|60", "60");
        row("no application or name restores", bc, "B|-|C|?", "15|16", 2, "50|15|100|16", "16");
        row("exact names, first match; the head matches nothing",
            {"", "30/*/*/*/*/B", "70/*/*/*/*/B"}, "|b|B|B", "", 3, "30|30", "10*");
        // A captured volume is the server's own: it goes back as it was, boosted too, up to what
        // the control accepts. Table levels stay within 0..100. Other text is refused, never set.
        const QStringList boost{"", "120/*/*/*/*/X", "30/*/*/*/*/B",
                                "5 & do shell script/*/*/*/*/S"};
        row("boosted capture goes back", boost, "B|D", "120", 1, "30|120", "120");
        row("capture above the bound", boost, "B|D", "154", 1, "30", "154", 1);
        row("table level above 100, script in a level", boost, "X|S|D", "20", 1, "20", "20", 2);
        row("capture not a number", boost, "B|D", "missing value", 1, "30", "missing value", 1);
    }
    void scenarios() {
        QFETCH(QStringList, table);
        QFETCH(QStringList, steps);
        QFETCH(QStringList, captures);
        TempDefaults store;
        AppVolumeTable appTable(*store.defaults);
        if (!table.isEmpty())
            appTable.saveTable(table);
        store.defaults->setBool(UserDefaults::kItunes, true);
        FakeVolumeControl control;
        control.captures = captures;
        control.max = 153;
        FakeMusicPlayers players;
        MusicPlayerCheck check(*store.defaults, &players);
        VolumeSwitch volumeSwitch(appTable, control, check);

        DiagnosticCapture out;
        for (const QString& step : steps) {
            if (step == QLatin1String("!reset"))
                appTable.resetAll();
            else if (step.startsWith(u'!'))
                players.players.insert("player", step == QLatin1String("!play"));
            else if (step == u'-')
                volumeSwitch.setPreviousApplication(std::nullopt);
            else // "?": an application without a name
                volumeSwitch.setPreviousApplication(
                    RunningApplication{step == u'?' ? std::nullopt : std::optional(step), {}, 42});
        }
        QTEST(control.reads, "reads");
        QTEST(control.sets, "sets");
        QTEST(volumeSwitch.volume().trimmed() + (volumeSwitch.mudou() ? "*" : ""), "volume");
        QTEST(int(out.lines.filter("refused").size()), "refusals");
        QVERIFY2(!out.lines.join(u'|').contains(u'\n'), "every diagnostic is one line");
    }

    // Option (invalid: absent), players (name: playing; none named "": no way to ask them),
    // then what the check finds: playing, "alreadyRunning" lines, queries of the players.
    void musicPlayerCheck() {
        const QVariantMap playing{{"a", true}}, paused{{"a", false}, {"b", false}};
        const QList<std::tuple<QVariant, QVariantMap, bool, int, int>> rows{
            {QVariant(), playing, false, 0, 0}, {false, playing, false, 0, 0},
            {"yes", playing, false, 0, 0},      {true, {{"", true}}, false, 0, 0},
            {true, paused, false, 2, 1},        {true, {{"a", false}, {"b", true}}, true, 2, 1}};
        for (const auto& [option, players, tunes, alreadyRunning, queries] : rows) {
            TempDefaults store;
            if (option.isValid())
                store.writeRaw("itunes", option);
            FakeMusicPlayers source;
            for (auto it = players.cbegin(); it != players.cend(); ++it)
                source.players.insert(it.key(), it.value().toBool());
            MusicPlayerCheck check(*store.defaults, players.contains("") ? nullptr : &source);
            DiagnosticCapture out;
            QCOMPARE(check.tunesx(), tunes);
            QCOMPARE(out.logLines.count("alreadyRunning"), alreadyRunning);
            QCOMPARE(out.lines.count("playing"), tunes ? 1 : 0);
            QCOMPARE(source.queries, queries);
            QCOMPARE(store.onDisk("itunes").toString(),
                     option.isValid() ? option.toString() : "false");
        }
    }
};

QTEST_GUILESS_MAIN(TestSwitch)
#include "test_switch.moc"
