// The application table: its stored form in a real settings file, entries, order, the level rule.
#include "base/Diagnostics.h"
#include "core/AppVolumeTable.h"
#include "core/MusicPlayerCheck.h"
#include "core/SettingsTrouble.h"
#include "core/VolumeSwitch.h"
#include "support/Fakes.h"
#include "support/TempDefaults.h"

#include <QtTest>
#include <unistd.h>

using namespace vellora;
using Apps = AppVolumeTable;
using Table = std::optional<QStringList>;

// The table as a later start reads it: from a copy, as Qt shares a file's parse within a process.
static Table reread(const TempDefaults& store, const QString& key = UserDefaults::kApps) {
    static int n = 0;
    const QString copy = store.dir.filePath(QString::number(++n));
    QFile::copy(store.path, copy); // a failed copy reads as no table
    UserDefaults later(copy);
    return Apps(later, key).loadTable();
}

class TestTable : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // Edits on a stored file as a person wrote it: none, the list form, the JSON form of earlier
    // versions, values that cannot be read (kept aside, never lost nor overwritten, and said).
    // A changed entry goes last, a removed one leaves the others in order; any text round-trips.
    // The same for one output's levels, in their own section, under an output name that the
    // file spells with escapes.
    void editsOnAStoredFile_data() {
        QTest::addColumn<QByteArray>("line");
        QTest::addColumn<QVariant>("table"); // a list: read as such; else the value kept aside
        QTest::addColumn<QString>("output"); // none: the general table
        const QVariant ab = QStringList{"", "30/*/*/*/*/A, B"};
        QTest::newRow("none") << QByteArray() << QVariant(QStringList{""}) << QString();
        QTest::newRow("list") << QByteArray("Apps=, \"30/*/*/*/*/A, B\"") << ab << QString();
        QTest::newRow("JSON") << QByteArray("Apps=\"[\\\"\\\",\\\"30/*/*/*/*/A, B\\\"]\"") << ab
                              << QString();
        QTest::newRow("JSON cut short")
            << QByteArray("Apps=\"[\\\"\\\",\\\"30/*\"") << QVariant("[\"\",\"30/*") << QString();
        QTest::newRow("JSON, not texts")
            << QByteArray("Apps=\"[\\\"\\\",30]\"") << QVariant("[\"\",30]") << QString();
        QTest::newRow("bytes") << QByteArray("Apps=@ByteArray(30)") << QVariant(QByteArray("30"))
                               << QString();
        QTest::newRow("unreadable variant") << QByteArray("Apps=@Variant(\\0\\0\\x3)")
                                            << QVariant("@Variant(\\0\\0\\x3)") << QString();
        QTest::newRow("output, unreadable variant")
            << QByteArray("Apps=@Variant(\\0\\0\\x3)") << QVariant("@Variant(\\0\\0\\x3)")
            << QStringLiteral("alsa_output.pci-0000:00:1f.3 Ä/x");
    }
    void editsOnAStoredFile() {
        QFETCH(QByteArray, line);
        QFETCH(QVariant, table);
        QFETCH(QString, output);
        const QString tableKey = output.isEmpty() ? UserDefaults::kApps : "OutputLevels/" + output;
        const QString key = tableKey + ".unreadable";
        const QVariant aside = table.typeId() == QMetaType::QStringList ? QVariant() : table;
        TempDefaults store;
        QFile file(store.path);
        const QByteArray general = "Apps=, 30/*/*/*/*/G\n"; // beside an output's: kept as it is
        if (!output.isEmpty()) // the output's key as the file spells it
            line.replace("Apps=",
                         general + "[OutputLevels]\nalsa_output.pci-0000%3A00%3A1f.3%20%C4\\x=");
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write("[General]\n" + line + "\n") > 0);
        file.close();
        Apps apps(*store.defaults, tableKey);
        DiagnosticCapture out;
        QSignalSpy told(&SettingsTrouble::instance(), &SettingsTrouble::found);
        apps.removeEntry("Q"); // nothing to remove: writes nothing, removes nothing
        QCOMPARE(apps.putEntry("5", "Q"), QStringLiteral("5/*/*/*/*/Q"));
        apps.putEntry("1", "P");
        apps.putEntry("3", "Q");
        const QStringList kept = aside.isValid() ? QStringList{""} : table.toStringList();
        QCOMPARE(reread(store, tableKey), Table(kept + QStringList{"1/*/*/*/*/P", "3/*/*/*/*/Q"}));
        apps.removeEntry("P");
        QCOMPARE(reread(store, tableKey), Table(kept + QStringList{"3/*/*/*/*/Q"}));
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray text = file.readAll();
        file.close();
        QVERIFY(!text.contains("Apps=\"["));
        QCOMPARE(text.contains("\n" + general), !output.isEmpty());
        QCOMPARE(store.onDisk(key), aside);
        QCOMPARE(out.loggedSoFar().filter(".unreadable").size(),
                 int(aside.isValid()) + int(line.contains("@Variant"))); // and the whole file
        QCOMPARE(out.lines.join(' '), "tap 5/*/*/*/*/Q 1/*/*/*/*/P 3/*/*/*/*/Q tap já tem");
        // A tray user sees no standard output: told once on the desktop, the file named.
        QCOMPARE(told.size(), int(aside.isValid()));
        QVERIFY(told.isEmpty() || told[0][0].toString().contains(store.path));
        store.writeRaw(tableKey, "[[[");
        apps.resetAll(); // a second unreadable value is kept beside the first copy
        QCOMPARE(store.onDisk(key + ".2"), aside.isValid() ? "[[[" : QVariant());
        QVERIFY(!store.onDisk(tableKey).isValid()); // reset removes the table
        const QString tricky = "|10/*/*/*/*/A, \"q\", 'x'|C:\\x\\n|35\n|a\r\nb|@Variant(x)|@@| "
                               "pad |;#=|[General]\nA=1|70/*/*/*/*/Émile 日本 \U0001F535";
        for (const QStringList& list : {{""}, QStringList{}, {"[\"x\"]"}, tricky.split('|')}) {
            apps.saveTable(list);
            QCOMPARE(reread(store, tableKey), Table(list));
        }
    }

    // Damaged (odd rows via a symlink) or unsavable: two instances read what they can, say so once.
    void damagedOrUnsavableFile_data() {
        QTest::addColumn<int>("row"); // 0-3: a damaged file (1 and 3 through a link)
        int row = 0;
        for (const char* name :
             {"stray line", "broken section header", "bad key bytes", "binary junk",
              "a folder in its place", "under a file", "mode 000", "in a read-only folder"})
            QTest::newRow(name) << row++;
    }
    void damagedOrUnsavableFile() {
        QFETCH(int, row);
        if (row >= 6 && geteuid() == 0)
            QSKIP("root may read and write regardless");
        const QByteArray a = "Apps=, 30/*/*/*/*/A\n";
        const QByteArrayList bad{a + "stray\n", "[General\n" + a, a + "\xff\xfe=1\n",
                                 a + QByteArray::fromHex("7f454c4600ff0a3d").repeated(1 << 18)};
        QTemporaryDir dir;
        const QString top = dir.filePath("Vellora.conf");
        const QString real = row < 4 && row % 2 ? dir.filePath("dotfiles") : top;
        const auto put = [&](const QByteArray& b) {
            QFile file(real);
            return file.open(QIODevice::WriteOnly) && file.write(b) == b.size();
        };
        const auto kept = [&](const char* suffix) {
            QFile file(top + suffix);
            return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
        };
        QVERIFY(row == 4 ? QDir(dir.path()).mkdir("Vellora.conf") : put(bad.value(row, a)));
        QVERIFY(real == top || QFile::link(real, top));
        QVERIFY(row < 6 || QFile::setPermissions(row == 6 ? top : dir.path(),
                                                 QFile::Permissions(row == 7 ? 0x5000 : 0)));
        DiagnosticCapture out;
        QSignalSpy told(&SettingsTrouble::instance(), &SettingsTrouble::found);
        UserDefaults first(row == 5 ? top + "/Vellora.conf" : top), second(first.filePath());
        QCOMPARE(Apps(second).loadTable(),
                 row < 4 || row == 7 ? Table({"", "30/*/*/*/*/A"}) : Table());
        Apps(first).putEntry("30", "X");
        second.setBool(UserDefaults::kHide, true);
        QVERIFY(Apps(second).loadTable().value_or(QStringList()).contains("30/*/*/*/*/X"));
        if (row < 4) {
            QVERIFY(kept("").contains("A, 30/*/*/*/*/X") &&
                    QFileInfo(top).isSymLink() == (real != top));
            QVERIFY(put("stray\n")); // damaged again by someone else
            first.remove(UserDefaults::kHide);
            QCOMPARE(kept(".unreadable.2") + kept(".unreadable"), "stray\n" + bad.value(row, a));
        }
        QCOMPARE(out.loggedSoFar().filter("vellora.settings: settings:").size(), row < 4 ? 2 : 1);
        QCOMPARE(told.size(), 1); // on the desktop once, naming the file and the copy kept
        QVERIFY(told[0][0].toString().contains(first.filePath()));
        QCOMPARE(told[0][0].toString().contains(".unreadable"), row < 4);
        QVERIFY(QFile::setPermissions(dir.path(), QFile::Permissions(0x7000)));
    }

    // Entries split from the left; names compare exactly (composed and decomposed alike, without
    // status markers), the first wins, the head matches only an empty title. Levels are whole
    // numbers up to a bound; anything else, hostile text too, is refused.
    void entriesAndLevels() {
        QStringList fields;
        for (const QString entry : {"Q", "50/*/*/*/*/a/*/*/*/*/b", "5/*/*/*/*/*/*/b"})
            fields << Apps::entryLevel(entry) + '|' + Apps::entryName(entry);
        QCOMPARE(fields, (QStringList{"Q|Q", "50|b", "5|*/*/b"}));
        QStringList list{"", "1/*/*/*/*/T", "5/*/*/*/*/Q", "2/*/*/*/*/E\u0301", "9/*/*/*/*/T"};
        QList<qsizetype> found;
        for (const QString& title : QString("|q|T|\u00c9|\U0001F535\U0001F534Q").split(u'|'))
            found << Apps::findEntry(list, Apps::titleKey(title)).value_or(-1);
        QCOMPARE(found, (QList<qsizetype>{0, -1, 1, 3, 2}));
        QList<int> levels; // within 100, then within 150
        for (const char* text : {"35\n", " 007\t", "100", "101", "151", "00000000050"})
            levels << parseLevel(text).value_or(-1) << parseLevel(text, 150).value_or(-1);
        QCOMPARE(levels, (QList<int>{35, 35, 7, 7, 100, 100, -1, 101, -1, -1, 50, 50}));
        for (const char* bad : {"-1", "+5", "5.0", "1e2", "", " \n", "5\n0", "\u0665\u0660",
                                "99999999999999999999", "50 & do shell script \"touch /tmp/x\""})
            QCOMPARE(parseLevel(QString::fromUtf8(bad), 1000), std::nullopt);
    }

    // 10,000 entries, names with separator pieces, markers, control characters, a NUL; levels
    // not whole numbers: it reads back whole, the switch finds the last entry, one line each.
    void hostileTables() {
        const QStringList names{"\x1b[2J\a", QChar(0) + QString("\n"), "/*/*/*/*", "*/*", "\u2028"};
        QStringList table{""};
        for (int k = 0; k < 10000; ++k)
            table << QStringList{"5e1", "50; rm", "\uFF15", "-1"}.at(k % 4) + Apps::kSeparator +
                         names.at(k % 5) + QString::number(k);
        TempDefaults store;
        Apps apps(*store.defaults);
        apps.saveTable(table << "0000000060" + Apps::kSeparator + "last");
        QCOMPARE(reread(store), Table(table));
        FakeVolumeControl control;
        MusicPlayerCheck check(*store.defaults, nullptr);
        VolumeSwitch volumeSwitch(apps, control, check);
        DiagnosticCapture out;
        for (const char* name : {"last", ""}) // nothing captured: the first volume goes back
            volumeSwitch.switchFor(RunningApplication{QString(name), {}, 1});
        QCOMPARE(control.sets, (QList<int>{60, 10}));
        for (const QString& name : names) {
            apps.putEntry("40", name); // goes last, where it is found
            QCOMPARE(Apps::findEntry(reread(store).value_or(QStringList()), name), table.size());
            apps.removeEntry(name);
        }
        QCOMPARE(reread(store), Table(table));
        QCOMPARE(out.lines.filter(QRegularExpression("[\\x00-\\x1f\\x{2028}]")), QStringList());
    }
};

QTEST_GUILESS_MAIN(TestTable)
#include "test_table.moc"
