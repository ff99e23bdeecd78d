// Desktop entries through GIO: folder precedence, hiding rules, fields, file manager, new entries.
#include "platform/linux/GioDesktopEntries.h"

#include <QtTest>
#include <thread>

using namespace vellora;

class TestDesktopEntries : public QObject {
    Q_OBJECT

    QTemporaryDir root;
    // What the interface reads; waiting for none, so the first reading must come as it is made.
    DesktopEntryIndex index{std::chrono::milliseconds(0)};
    std::unique_ptr<GioDesktopEntries> source;

    // A file in root/<folder>/applications: common entry lines, then its own (GLib reads an
    // applications folder's mimeapps.list too, and skips the entry group there).
    void write(const QString& folder, const QString& file, const QString& lines) {
        QFile f(root.filePath(folder + "/applications/" + file));
        QVERIFY(QDir().mkpath(QFileInfo(f).path()) && f.open(QIODevice::WriteOnly));
        f.write("[Desktop Entry]\nType=Application\nExec=/bin/sh -c x\n" + lines.toUtf8() + '\n');
    }
    std::optional<DesktopEntry> find(const QString& id) {
        const QList<DesktopEntry> all = index.installed().value_or(InstalledApplications{}).entries;
        const auto it = std::ranges::find(all, id, &DesktopEntry::id);
        return it == all.end() ? std::nullopt : std::optional(*it);
    }

private Q_SLOTS:
    // GLib reads these once per process, so they are set before the first lookup.
    void initTestCase() {
        qputenv("XDG_DATA_HOME", root.filePath("home").toUtf8());
        qputenv("XDG_DATA_DIRS", (root.filePath("first") + ':' + root.filePath("second")).toUtf8());
        qputenv("XDG_CONFIG_HOME", root.path().toUtf8());
        qputenv("XDG_CURRENT_DESKTOP", "Vellora");
        qputenv("LANGUAGE", "de");
        write("first", "first-dir-wins.desktop", "Name=First\nIcon=calc\nMimeType=inode/directory");
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
        write("home", "mimeapps.list", "[Default Applications]\ninode/directory=fm.desktop");
        source = std::make_unique<GioDesktopEntries>(index);
        source->installed(); // its first reading, at once
    }

    // Each entry by id (a subfolder's name joins it), localized name (in brackets: not shown).
    void listedWithTheirFields() {
        QStringList seen;
        for (const DesktopEntry& e : index.installed().value_or(InstalledApplications{}).entries)
            seen << e.id.chopped(8) + '=' + (e.shown ? e.name : "(" + e.name + ")");
        seen.sort();
        QCOMPARE(seen.join(' '), "first-dir-wins=First fm=Files nodisplay=(Quiet) "
                                 "not-this-desktop=(Not Here) only-kde=(Only KDE) sub-de=Rechner");
        const DesktopEntry fm = find("fm.desktop").value_or(DesktopEntry{});
        QCOMPARE(fm.path, root.filePath("first/applications/fm.desktop"));
        QCOMPARE(QStringList({fm.executable, fm.icon, fm.startupWmClass,
                              find("first-dir-wins.desktop").value_or(DesktopEntry{}).icon}),
                 QStringList({"sh", "/x.png", "Q", "calc"}));
        QCOMPARE(index.installed()->fileManagerId, QStringLiteral("fm.desktop"));
    }

    // An entry installed later is listed once the desktop reports the change, and one removed
    // from the same folder goes (GIO says a folder changed once, until it is read again).
    void changesArePublished() {
        write("home", "late.desktop", "Name=Late");
        QTRY_VERIFY_WITH_TIMEOUT(find("late.desktop").has_value(), 10000);
        QVERIFY(QFile::remove(root.filePath("home/applications/late.desktop")));
        QTRY_VERIFY_WITH_TIMEOUT(!find("late.desktop").has_value(), 10000);
    }

    // A reader on another thread waits for the first reading; one that waited in vain answers
    // nothing rather than hold the interface, and a reading published later is still seen.
    void firstReadingIsWaitedFor() {
        DesktopEntryIndex late(std::chrono::seconds(60)), never(std::chrono::milliseconds(50));
        std::thread publisher([&late] { // the reader is waiting by then
            QThread::msleep(50), late.publish({QList<DesktopEntry>(1), "fm.desktop"});
        });
        const auto got = late.installed();
        publisher.join();
        QCOMPARE(got.value_or(InstalledApplications{}).entries.size(), 1);
        QCOMPARE(got.value_or(InstalledApplications{}).fileManagerId, "fm.desktop");
        QVERIFY(!never.installed());
        never.publish({{}, "fm.desktop"});
        QCOMPARE(never.installed().value_or(InstalledApplications{}).fileManagerId, "fm.desktop");
    }
};

QTEST_GUILESS_MAIN(TestDesktopEntries)
#include "test_desktop_entries.moc"
