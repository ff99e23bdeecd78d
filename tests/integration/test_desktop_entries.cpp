// Desktop entries through GIO: folder precedence, hiding rules, fields, file manager, new entries.
#include "platform/linux/GioDesktopEntries.h"

#include <QtTest>

using namespace vellora;

class TestDesktopEntries : public QObject {
    Q_OBJECT

    QTemporaryDir root;
    std::unique_ptr<GioDesktopEntries> source;

    // An application entry in root/<folder>/applications; its lines follow the common ones.
    void write(const QString& folder, const QString& file, const QString& lines) {
        QFile f(root.filePath(folder + "/applications/" + file));
        QVERIFY(QDir().mkpath(QFileInfo(f).path()) && f.open(QIODevice::WriteOnly));
        f.write("[Desktop Entry]\nType=Application\nExec=/bin/sh -c x\n" + lines.toUtf8() + '\n');
    }
    std::optional<DesktopEntry> find(const QString& id) const {
        const QList<DesktopEntry> all = source->entries().value_or(QList<DesktopEntry>{});
        const auto it = std::ranges::find(all, id, &DesktopEntry::id);
        return it == all.end() ? std::nullopt : std::optional(*it);
    }

private slots:
    // GLib reads these once per process, so they are set before the first lookup.
    void initTestCase() {
        qputenv("XDG_DATA_HOME", root.filePath("home").toUtf8());
        qputenv("XDG_DATA_DIRS", (root.filePath("first") + ':' + root.filePath("second")).toUtf8());
        qputenv("XDG_CONFIG_HOME", root.filePath("home").toUtf8());
        qputenv("XDG_CURRENT_DESKTOP", "Vellora");
        qputenv("LANGUAGE", "de");
        write("first", "first-dir-wins.desktop", "Name=First\nIcon=calc");
        write("second", "first-dir-wins.desktop", "Name=Second");
        write("home", "hidden-in-home.desktop", "Name=Gone\nHidden=true");
        write("first", "hidden-in-home.desktop", "Name=Still There");
        write("first", "nodisplay.desktop", "Name=Quiet\nNoDisplay=true");
        write("first", "only-kde.desktop", "Name=Only KDE\nOnlyShowIn=KDE;");
        write("first", "not-this-desktop.desktop", "Name=Not Here\nNotShowIn=Vellora;");
        write("first", "tryexec-missing.desktop", "Name=Missing\nTryExec=/nonexistent/program");
        write("first", "sub/de.desktop", "Name=Calc\nName[de]=Rechner\nOnlyShowIn=Vellora;");
        write("first", "fm.desktop",
              "Name=Files\nMimeType=inode/directory;\nIcon=/x.png\nStartupWMClass=Q");
        QFile mime(root.filePath("home/mimeapps.list"));
        const QByteArray defaults = "[Default Applications]\ninode/directory=fm.desktop\n";
        QVERIFY(mime.open(QIODevice::WriteOnly) && mime.write(defaults) > 0 && mime.flush());
        source = std::make_unique<GioDesktopEntries>();
    }

    // The row's tag is the desktop-file id; a subfolder's name becomes part of the id.
    void listed_data() {
        QTest::addColumn<QString>("expected");
        QTest::newRow("first-dir-wins.desktop") << QString("First, shown");
        QTest::newRow("hidden-in-home.desktop") << QString("<absent>");
        QTest::newRow("nodisplay.desktop") << QString("Quiet, not shown");
        QTest::newRow("only-kde.desktop") << QString("Only KDE, not shown");
        QTest::newRow("not-this-desktop.desktop") << QString("Not Here, not shown");
        QTest::newRow("tryexec-missing.desktop") << QString("<absent>");
        QTest::newRow("sub-de.desktop") << QString("Rechner, shown"); // Name[de], OnlyShowIn
    }
    void listed() {
        QFETCH(QString, expected);
        const auto e = find(QTest::currentDataTag());
        QCOMPARE(e ? e->name + (e->shown ? ", shown" : ", not shown") : "<absent>", expected);
    }

    void fields() {
        const auto fm = find("fm.desktop"), themed = find("first-dir-wins.desktop");
        QVERIFY(fm && themed);
        QCOMPARE(fm->path, root.filePath("first/applications/fm.desktop"));
        QCOMPARE(QStringList({fm->executable, fm->icon, fm->startupWmClass, themed->icon}),
                 QStringList({"sh", "/x.png", "Q", "calc"}));
        QCOMPARE(source->defaultFileManagerId(), QStringLiteral("fm.desktop"));
    }

    // An entry installed later is listed once the desktop reports the change.
    void newEntriesAppear() {
        write("home", "late.desktop", "Name=Late");
        QTRY_VERIFY_WITH_TIMEOUT(find("late.desktop").has_value(), 10000);
    }
};

QTEST_GUILESS_MAIN(TestDesktopEntries)
#include "test_desktop_entries.moc"
