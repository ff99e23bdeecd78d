// The application table: stored form, entry format, order rules and unreadable data.
#include "core/AppVolumeTable.h"
#include "core/Diagnostics.h"
#include "support/TempDefaults.h"

#include <QtTest>

using namespace vellora;

class TestTable : public QObject {
    Q_OBJECT

private slots:
    void roundTrip_data() {
        QTest::addColumn<QStringList>("list");
        QTest::newRow("empty head")
            << QStringList{QString(), QStringLiteral("50/*/*/*/*/Quillnote")};
        QTest::newRow("empty head alone") << QStringList{QString()};
        QTest::newRow("empty list") << QStringList{};
        QTest::newRow("commas and quotes")
            << QStringList{QString(), QStringLiteral("10/*/*/*/*/A, \"quoted\", 'single'")};
        QTest::newRow("backslashes")
            << QStringList{QStringLiteral("\\"), QStringLiteral("C:\\x\\n")};
        QTest::newRow("line breaks")
            << QStringList{QStringLiteral("35\n"), QStringLiteral("a\r\nb")};
        QTest::newRow("leading @")
            << QStringList{QStringLiteral("@Variant(x)"), QStringLiteral("@@")};
        QTest::newRow("non-ASCII")
            << QStringList{QStringLiteral("70/*/*/*/*/Émile 日本 \U0001F535")};
        QTest::newRow("ini syntax")
            << QStringList{QStringLiteral("[General]\nApps=1"), QStringLiteral(";#=")};
    }
    void roundTrip() {
        QFETCH(QStringList, list);
        TempDefaults store;
        AppVolumeTable(*store.defaults).saveTable(list);

        UserDefaults reopened(store.path); // a later start of the program
        const auto loaded = AppVolumeTable(reopened).loadTable();
        QVERIFY(loaded.has_value());
        QCOMPARE(*loaded, list);
    }

    void workedExample() {
        TempDefaults store;
        AppVolumeTable table(*store.defaults);
        DiagnosticCapture out;

        QCOMPARE(table.putEntry("50", "Quillnote"), QStringLiteral("50/*/*/*/*/Quillnote"));
        QCOMPARE(*table.loadTable(), (QStringList{"", "50/*/*/*/*/Quillnote"}));

        table.putEntry("100", "Brightpad");
        table.putEntry("30", "Quillnote");
        QCOMPARE(*table.loadTable(),
                 (QStringList{"", "100/*/*/*/*/Brightpad", "30/*/*/*/*/Quillnote"}));
        QCOMPARE(out.lines, (QStringList{"50/*/*/*/*/Quillnote", "100/*/*/*/*/Brightpad",
                                         "30/*/*/*/*/Quillnote"}));
    }

    void removeEntry_data() {
        QTest::addColumn<QVariant>("stored");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QVariant>("after");
        QTest::addColumn<QStringList>("lines");
        const QString two = AppVolumeTable::encode({"", "50/*/*/*/*/A", "20/*/*/*/*/B"});
        QTest::newRow("found") << QVariant(two) << "A"
                               << QVariant(AppVolumeTable::encode({"", "20/*/*/*/*/B"}))
                               << QStringList{"tap", "já tem"};
        QTest::newRow("not found: nothing written")
            << QVariant(two) << "C" << QVariant(two) << QStringList{"tap"};
        QTest::newRow("no table") << QVariant() << "A" << QVariant() << QStringList{"tap"};
        QTest::newRow("last real entry leaves the head")
            << QVariant(AppVolumeTable::encode({"", "50/*/*/*/*/A"})) << "A"
            << QVariant(AppVolumeTable::encode({""})) << QStringList{"tap", "já tem"};
    }
    void removeEntry() {
        QFETCH(QVariant, stored);
        QFETCH(QString, name);
        QFETCH(QVariant, after);
        QFETCH(QStringList, lines);
        TempDefaults store;
        if (stored.isValid())
            store.writeRaw("Apps", stored);
        DiagnosticCapture out;
        AppVolumeTable(*store.defaults).removeEntry(name);
        QCOMPARE(store.onDisk("Apps"), after);
        QCOMPARE(out.lines, lines);
    }

    void resetAllStartsAFreshTable() {
        TempDefaults store;
        AppVolumeTable table(*store.defaults);
        table.putEntry("50", "A");
        table.putEntry("60", "B");
        table.resetAll();
        QVERIFY(!table.loadTable());
        QVERIFY(!store.onDisk("Apps").isValid());
        table.putEntry("70", "C");
        QCOMPARE(*table.loadTable(), (QStringList{"", "70/*/*/*/*/C"}));
    }

    void fields_data() {
        QTest::addColumn<QString>("entry");
        QTest::addColumn<QString>("level");
        QTest::addColumn<QString>("name");
        QTest::newRow("plain") << "50/*/*/*/*/Quillnote"
                               << "50"
                               << "Quillnote";
        QTest::newRow("no separator") << "Quillnote"
                                      << "Quillnote"
                                      << "Quillnote";
        QTest::newRow("empty head") << ""
                                    << ""
                                    << "";
        QTest::newRow("name holds the separator") << "50/*/*/*/*/a/*/*/*/*/b"
                                                  << "50"
                                                  << "b";
        QTest::newRow("separator runs overlap") << "5/*/*/*/*/*/*/b"
                                                << "5"
                                                << "*/*/b";
        QTest::newRow("empty level") << "/*/*/*/*/X"
                                     << ""
                                     << "X";
        QTest::newRow("empty name") << "40/*/*/*/*/"
                                    << "40"
                                    << "";
    }
    void fields() {
        QFETCH(QString, entry);
        QFETCH(QString, level);
        QFETCH(QString, name);
        QCOMPARE(AppVolumeTable::entryLevel(entry), level);
        QCOMPARE(AppVolumeTable::entryName(entry), name);
    }

    void findEntry_data() {
        QTest::addColumn<QString>("title");
        QTest::addColumn<int>("index"); // -1: none
        QTest::newRow("bare name") << "Quillnote" << 2;
        QTest::newRow("red marker") << "\U0001F534Quillnote" << 2;
        QTest::newRow("blue marker") << "\U0001F535Quillnote" << 2;
        QTest::newRow("both markers") << "\U0001F535\U0001F534Quillnote" << 2;
        QTest::newRow("case differs") << "quillnote" << -1;
        QTest::newRow("trailing space") << "Quillnote " << -1;
        QTest::newRow("first match wins") << "Twice" << 1;
        QTest::newRow("composed é matches decomposed") << "Caf\u00e9" << 3;
        QTest::newRow("empty title finds the head") << "" << 0;
    }
    void findEntry() {
        QFETCH(QString, title);
        QFETCH(int, index);
        const QStringList list{"", "10/*/*/*/*/Twice", "50/*/*/*/*/Quillnote",
                               "20/*/*/*/*/Cafe\u0301", "90/*/*/*/*/Twice"};
        const auto found = AppVolumeTable::findEntry(list, AppVolumeTable::titleKey(title));
        QCOMPARE(found ? int(*found) : -1, index);
    }

    // Stored data that cannot be read is treated as no table, and is kept before it is replaced.
    void unreadableData_data() {
        QTest::addColumn<QVariant>("stored");
        QTest::newRow("not JSON") << QVariant(QStringLiteral("garbage, \"x\""));
        QTest::newRow("not an array") << QVariant(QStringLiteral("{\"a\":1}"));
        QTest::newRow("array with a number") << QVariant(QStringLiteral("[\"\",5]"));
        QTest::newRow("native list") << QVariant(QStringList{"a", "b"});
    }
    void unreadableData() {
        QFETCH(QVariant, stored);
        TempDefaults store;
        store.writeRaw("Apps", stored);
        const QVariant raw = store.onDisk("Apps");
        AppVolumeTable table(*store.defaults);
        QVERIFY(!table.loadTable());

        DiagnosticCapture out;
        table.putEntry("50", "A");
        QCOMPARE(store.onDisk(AppVolumeTable::kUnreadableKey), raw);
        QCOMPARE(*table.loadTable(), (QStringList{"", "50/*/*/*/*/A"}));
        QCOMPARE(out.lines.size(), 2);
        QVERIFY(out.lines.at(1).contains(AppVolumeTable::kUnreadableKey));

        // A second damaged value never replaces the first copy.
        store.writeRaw("Apps", QStringLiteral("[[["));
        table.resetAll();
        QCOMPARE(store.onDisk(AppVolumeTable::kUnreadableKey), raw);
        QCOMPARE(store.onDisk(AppVolumeTable::kUnreadableKey + ".2"), QVariant("[[["));
        QVERIFY(!store.onDisk("Apps").isValid());
    }

    void removeEntryNeverTouchesUnreadableData() {
        TempDefaults store;
        store.writeRaw("Apps", QStringLiteral("damaged"));
        AppVolumeTable(*store.defaults).removeEntry("A");
        QCOMPARE(store.onDisk("Apps"), QVariant("damaged"));
        QVERIFY(!store.onDisk(AppVolumeTable::kUnreadableKey).isValid());
    }

    void parseLevel_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("level"); // -1: refused
        QTest::newRow("50") << "50" << 50;
        QTest::newRow("0") << "0" << 0;
        QTest::newRow("100") << "100" << 100;
        QTest::newRow("captured with line break") << "35\n" << 35;
        QTest::newRow("surrounding spaces") << "  7\t" << 7;
        QTest::newRow("leading zeros") << "007" << 7;
        QTest::newRow("101") << "101" << -1;
        QTest::newRow("negative") << "-1" << -1;
        QTest::newRow("plus sign") << "+5" << -1;
        QTest::newRow("fraction") << "5.0" << -1;
        QTest::newRow("exponent") << "1e2" << -1;
        QTest::newRow("empty") << "" << -1;
        QTest::newRow("blank") << " \n" << -1;
        QTest::newRow("injection") << "50 & do shell script \"touch /tmp/x\"" << -1;
        QTest::newRow("inner line break") << "5\n0" << -1;
        QTest::newRow("non-ASCII digits") << "\u0665\u0660" << -1;
        QTest::newRow("huge") << "99999999999999999999" << -1;
    }
    void parseLevel() {
        QFETCH(QString, text);
        QFETCH(int, level);
        const auto parsed = vellora::parseLevel(text);
        QCOMPARE(parsed ? *parsed : -1, level);
    }

    void options() {
        TempDefaults store;
        UserDefaults& d = *store.defaults;
        QVERIFY(!d.contains("itunes"));
        QCOMPARE(d.ensureBool("itunes"), false);
        QCOMPARE(store.onDisk("itunes").toString(), QStringLiteral("false"));
        d.setBool("hide", true);
        QCOMPARE(UserDefaults(store.path).boolValue("hide"), true);
        store.writeRaw("login", QStringLiteral("yes")); // edited from outside
        QCOMPARE(UserDefaults(store.path).boolValue("login"), false);
        QCOMPARE(UserDefaults(store.path).ensureBool("login"), false);
        QCOMPARE(store.onDisk("login"), QVariant("yes")); // present, so left as it is
    }
};

QTEST_GUILESS_MAIN(TestTable)
#include "test_table.moc"
