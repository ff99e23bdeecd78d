// The application table: its stored form in a real settings file, entries, order, the level rule.
#include "core/AppVolumeTable.h"
#include "core/Diagnostics.h"
#include "support/TempDefaults.h"

#include <QtTest>

using namespace vellora;
using Apps = AppVolumeTable;
using Table = std::optional<QStringList>;

// The table as a later start reads it: from a copy, as Qt shares a file's parse within a process.
static Table reread(const TempDefaults& store) {
    static int n = 0;
    const QString copy = store.dir.filePath(QString::number(++n));
    QFile::copy(store.path, copy); // a failed copy reads as no table
    UserDefaults later(copy);
    return Apps(later).loadTable();
}

class TestTable : public QObject {
    Q_OBJECT

private slots:
    // Edits on a stored file as a person wrote it: none, the list form, the JSON form of earlier
    // versions, values that cannot be read (kept aside, never lost nor overwritten, and said).
    // A changed entry goes last, a removed one leaves the others in order; any text round-trips.
    void editsOnAStoredFile() {
        const QVariant ab = QStringList{"", "30/*/*/*/*/A, B"};
        const QString key = Apps::kUnreadableKey;
        for (const auto& [line, table] : QList<std::pair<QByteArray, QVariant>>{
                 {"", QStringList{""}},
                 {"Apps=, \"30/*/*/*/*/A, B\"", ab},
                 {"Apps=\"[\\\"\\\",\\\"30/*/*/*/*/A, B\\\"]\"", ab},
                 {"Apps=\"[\\\"\\\",\\\"30/*\"", "[\"\",\"30/*"},
                 {"Apps=\"[\\\"\\\",30]\"", "[\"\",30]"},
                 {"Apps=@ByteArray(30)", QByteArray("30")},
                 {"Apps=@Variant(\\0\\0\\x3)", "@Variant(\\0\\0\\x3)"}}) {
            auto tag = qScopeGuard([&] { QVERIFY2(!QTest::currentTestFailed(), line); });
            const QVariant aside = table.typeId() == QMetaType::QStringList ? QVariant() : table;
            TempDefaults store;
            QFile file(store.path);
            QVERIFY(file.open(QIODevice::WriteOnly) && file.write("[General]\n" + line + "\n") > 0);
            file.close();
            Apps apps(*store.defaults);
            DiagnosticCapture out;
            apps.removeEntry("Q"); // nothing to remove: writes nothing, removes nothing
            QCOMPARE(apps.putEntry("5", "Q"), QStringLiteral("5/*/*/*/*/Q"));
            apps.putEntry("1", "P");
            apps.putEntry("3", "Q");
            const QStringList kept = aside.isValid() ? QStringList{""} : table.toStringList();
            QCOMPARE(reread(store), Table(kept + QStringList{"1/*/*/*/*/P", "3/*/*/*/*/Q"}));
            apps.removeEntry("P");
            QCOMPARE(reread(store), Table(kept + QStringList{"3/*/*/*/*/Q"}));
            QVERIFY(file.open(QIODevice::ReadOnly) && !file.readAll().contains("Apps=\"["));
            QCOMPARE(store.onDisk(key), aside);
            QCOMPARE(out.lines.removeIf([&](auto& l) { return l.contains(key); }),
                     aside.isValid() ? 1 : 0);
            QCOMPARE(out.lines.join(' '), "tap 5/*/*/*/*/Q 1/*/*/*/*/P 3/*/*/*/*/Q tap já tem");
            store.writeRaw("Apps", "[[[");
            apps.resetAll(); // a second unreadable value is kept beside the first copy
            QCOMPARE(store.onDisk(key + ".2"), aside.isValid() ? "[[[" : QVariant());
            QVERIFY(!store.onDisk("Apps").isValid()); // reset removes the table
            const QString tricky = "|10/*/*/*/*/A, \"q\", 'x'|C:\\x\\n|35\n|a\r\nb|@Variant(x)|@@| "
                                   "pad |;#=|[General]\nA=1|70/*/*/*/*/Émile 日本 \U0001F535";
            for (const QStringList& list : {{""}, QStringList{}, {"[\"x\"]"}, tricky.split('|')}) {
                apps.saveTable(list);
                QCOMPARE(reread(store), Table(list));
            }
        }
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
        for (const char* text : {"35\n", " 007\t", "100", "101", "151"})
            levels << parseLevel(text).value_or(-1) << parseLevel(text, 150).value_or(-1);
        QCOMPARE(levels, (QList<int>{35, 35, 7, 7, 100, 100, -1, 101, -1, -1}));
        for (const char* bad : {"-1", "+5", "5.0", "1e2", "", " \n", "5\n0", "\u0665\u0660",
                                "99999999999999999999", "50 & do shell script \"touch /tmp/x\""})
            QCOMPARE(parseLevel(QString::fromUtf8(bad), 1000), std::nullopt);
    }
};

QTEST_GUILESS_MAIN(TestTable)
#include "test_table.moc"
