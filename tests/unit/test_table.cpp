// The application table: its stored form in a real settings file, entry format, order rules,
// unreadable data and the level rule.
#include "core/AppVolumeTable.h"
#include "core/Diagnostics.h"
#include "support/TempDefaults.h"

#include <QtTest>

using namespace vellora;

namespace {
using Table = std::optional<QStringList>;

// The table as a later start of the program reads it from the file's text. Within one process
// Qt shares what it parsed of a file by name, so reading a copy is what makes this a real read.
Table reread(const TempDefaults& store) {
    static int n = 0;
    const QString copy = store.dir.filePath(QStringLiteral("copy%1.conf").arg(++n));
    if (!QFile::copy(store.path, copy))
        return QStringList{QStringLiteral("copy failed")};
    UserDefaults later(copy);
    return AppVolumeTable(later).loadTable();
}
} // namespace

class TestTable : public QObject {
    Q_OBJECT

private slots:
    void roundTripsThroughTheFile_data() {
        QTest::addColumn<QStringList>("list");
        QTest::newRow("head alone") << QStringList{""};
        QTest::newRow("empty list") << QStringList{};
        QTest::newRow("one text") << QStringList{"30/*/*/*/*/A"};
        QTest::newRow("one text like the JSON form") << QStringList{"[\"x\"]"};
        QTest::newRow("tricky texts")
            << QStringLiteral("|10/*/*/*/*/A, \"q\", 'x'|C:\\x\\n|35\n|a\r\n"
                              "b|@Variant(x)|@@| pad |;#=|[General]\nA"
                              "=1|70/*/*/*/*/Émile 日本 \U0001F535")
                   .split(u'|');
    }
    void roundTripsThroughTheFile() {
        QFETCH(QStringList, list);
        TempDefaults store;
        AppVolumeTable(*store.defaults).saveTable(list);
        QCOMPARE(reread(store), Table(list));
    }

    // A file written by hand, as a person would: the list form, the JSON form of earlier
    // versions, and values that cannot be read (kept aside, never lost, and said).
    void handWrittenFile_data() {
        QTest::addColumn<QByteArray>("line");
        QTest::addColumn<QVariant>("table"); // a QStringList, or the copy kept aside
        const QVariant ab = QStringList{"", "30/*/*/*/*/A, B"};
        QTest::newRow("list") << QByteArray("Apps=, \"30/*/*/*/*/A, B\"") << ab;
        QTest::newRow("JSON form")
            << QByteArray("Apps=\"[\\\"\\\",\\\"30/*/*/*/*/A, B\\\"]\"") << ab;
        QTest::newRow("damaged JSON")
            << QByteArray("Apps=\"[\\\"\\\",\\\"30/*\"") << QVariant("[\"\",\"30/*");
        QTest::newRow("bytes") << QByteArray("Apps=@ByteArray(30)") << QVariant(QByteArray("30"));
        QTest::newRow("damaged variant")
            << QByteArray("Apps=@Variant(\\0\\0\\x3)") << QVariant("@Variant(\\0\\0\\x3)");
    }
    void handWrittenFile() {
        QFETCH(QByteArray, line);
        QFETCH(QVariant, table);
        const bool readable = table.typeId() == QMetaType::QStringList;
        TempDefaults store;
        QFile file(store.path);
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write("[General]\n" + line + "\n") > 0);
        file.close();
        AppVolumeTable apps(*store.defaults);
        DiagnosticCapture out;
        apps.removeEntry("A"); // writes nothing, so keeps nothing aside either
        QCOMPARE(store.onDisk(AppVolumeTable::kUnreadableKey), QVariant());
        apps.putEntry("70", "C");
        const QStringList kept = readable ? table.toStringList() : QStringList{""};
        QCOMPARE(reread(store), Table(kept + QStringList{"70/*/*/*/*/C"}));
        QVERIFY(file.open(QIODevice::ReadOnly));
        QVERIFY(!file.readAll().contains("Apps=\"[")); // the list form replaced the JSON form
        QCOMPARE(store.onDisk(AppVolumeTable::kUnreadableKey), readable ? QVariant() : table);
        QCOMPARE(out.lines.filter(AppVolumeTable::kUnreadableKey).size(), readable ? 0 : 1);
        if (readable)
            return;
        store.writeRaw("Apps", QStringLiteral("[[[")); // a second copy never replaces the first
        apps.resetAll();
        QCOMPARE(store.onDisk(AppVolumeTable::kUnreadableKey), table);
        QCOMPARE(store.onDisk(AppVolumeTable::kUnreadableKey + ".2"), QVariant("[[["));
        QVERIFY(!store.onDisk("Apps").isValid());
    }

    void editsKeepTheirOrderAndSaySo() {
        TempDefaults store;
        AppVolumeTable table(*store.defaults);
        DiagnosticCapture out;
        table.removeEntry("A"); // no table: nothing to remove
        QCOMPARE(table.putEntry("50", "Quillnote"), QStringLiteral("50/*/*/*/*/Quillnote"));
        table.putEntry("100", "Brightpad");
        table.putEntry("30", "Quillnote");
        table.removeEntry("Nobody");
        QCOMPARE(reread(store), Table({"", "100/*/*/*/*/Brightpad", "30/*/*/*/*/Quillnote"}));
        table.removeEntry("Brightpad");
        QCOMPARE(reread(store), Table({"", "30/*/*/*/*/Quillnote"}));
        QCOMPARE(out.lines, (QStringList{"tap", "50/*/*/*/*/Quillnote", "100/*/*/*/*/Brightpad",
                                         "30/*/*/*/*/Quillnote", "tap", "tap", "já tem"}));
        table.resetAll();
        QCOMPARE(table.loadTable(), std::nullopt);
        table.putEntry("70", "C");
        QCOMPARE(table.loadTable(), Table({"", "70/*/*/*/*/C"}));
    }

    void fieldsAndLookup() {
        const QList<std::array<QString, 3>> fields{{"Q", "Q", "Q"},
                                                   {"50/*/*/*/*/a/*/*/*/*/b", "50", "b"},
                                                   {"5/*/*/*/*/*/*/b", "5", "*/*/b"}};
        for (const auto& [entry, level, name] : fields) {
            QCOMPARE(AppVolumeTable::entryLevel(entry), level);
            QCOMPARE(AppVolumeTable::entryName(entry), name);
        }
        const QStringList list{"", "10/*/*/*/*/Twice", "50/*/*/*/*/Quillnote",
                               "20/*/*/*/*/Cafe\u0301", "90/*/*/*/*/Twice"};
        const QList<std::pair<QString, int>> finds{{"", 0},
                                                   {"quillnote", -1},
                                                   {"Twice", 1},
                                                   {"Caf\u00e9", 3},
                                                   {"\U0001F535\U0001F534Quillnote", 2}};
        for (const auto& [title, index] : finds) {
            const auto found = AppVolumeTable::findEntry(list, AppVolumeTable::titleKey(title));
            QCOMPARE(found ? int(*found) : -1, index);
        }
    }

    // Levels: whole numbers up to a bound; anything else, hostile text included, is refused.
    void parseLevel() {
        const QList<std::tuple<QString, int, int>> rows{{"35\n", 100, 35},   {" 007\t", 100, 7},
                                                        {"100", 100, 100},   {"101", 100, -1},
                                                        {"120\n", 150, 120}, {"151", 150, -1}};
        for (const auto& [text, max, level] : rows)
            QCOMPARE(vellora::parseLevel(text, max).value_or(-1), level);
        for (const char* bad : {"-1", "+5", "5.0", "1e2", "", " \n", "5\n0", "\u0665\u0660",
                                "99999999999999999999", "50 & do shell script \"touch /tmp/x\""})
            QCOMPARE(vellora::parseLevel(QString::fromUtf8(bad), 1000), std::nullopt);
    }
};

QTEST_GUILESS_MAIN(TestTable)
#include "test_table.moc"
