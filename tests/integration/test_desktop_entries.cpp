// Desktop entries through GIO: folder precedence, hiding rules, localized names, and the
// default file manager.
#include "platform/linux/GioDesktopEntries.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

using namespace vellora;

namespace {

void write(const QString& path, const QString& text) {
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        qFatal("cannot write %s", qPrintable(path));
    file.write(text.toUtf8());
}

QString entryText(const QString& name, const QString& extra = {}) {
    return QStringLiteral("[Desktop Entry]\nType=Application\nName=%1\nExec=true\n%2\n")
        .arg(name, extra);
}

} // namespace

class TestDesktopEntries : public QObject {
    Q_OBJECT

    QTemporaryDir root;
    QList<DesktopEntry> listed;
    std::unique_ptr<GioDesktopEntries> source;

    const DesktopEntry* find(const QString& id) const {
        for (const DesktopEntry& e : listed) {
            if (e.id == id)
                return &e;
        }
        return nullptr;
    }

private slots:
    // GLib reads these once per process, so they are set before the first lookup.
    void initTestCase() {
        const QString home = root.filePath("home/applications");
        const QString first = root.filePath("first/applications");
        const QString second = root.filePath("second/applications");
        qputenv("XDG_DATA_HOME", root.filePath("home").toUtf8());
        qputenv("XDG_DATA_DIRS", (root.filePath("first") + ':' + root.filePath("second")).toUtf8());
        qputenv("XDG_CONFIG_HOME", root.filePath("config").toUtf8());
        qputenv("XDG_CURRENT_DESKTOP", "Vellora");
        qputenv("LANGUAGE", "de");

        write(home + "/dup.desktop", entryText("Home Dup"));
        write(first + "/dup.desktop", entryText("First Dup"));
        write(first + "/twice.desktop", entryText("First Twice"));
        write(second + "/twice.desktop", entryText("Second Twice"));
        write(home + "/gone.desktop", entryText("Gone", "Hidden=true"));
        write(first + "/gone.desktop", entryText("Gone Visible"));
        write(first + "/nodisplay.desktop", entryText("Quiet", "NoDisplay=true\nStartupWMClass=Q"));
        write(first + "/only-here.desktop", entryText("Only Here", "OnlyShowIn=Vellora;"));
        write(first + "/only-kde.desktop", entryText("Only KDE", "OnlyShowIn=KDE;"));
        write(first + "/not-here.desktop", entryText("Not Here", "NotShowIn=Vellora;"));
        write(first + "/tryexec.desktop", entryText("Missing", "TryExec=/nonexistent/program"));
        write(first + "/german.desktop", entryText("Calculator", "Name[de]=Rechner"));
        write(first + "/icon.desktop", entryText("Icons", "Icon=/opt/icons/x.png"));
        write(first + "/vendor/sub.desktop", entryText("Sub Folder"));
        write(first + "/manager.desktop",
              entryText("Manager", "MimeType=inode/directory;\nExec=/bin/sh -c x %U"));
        write(root.filePath("config/mimeapps.list"),
              "[Default Applications]\ninode/directory=manager.desktop\n");

        source = std::make_unique<GioDesktopEntries>();
        const auto all = source->entries();
        QVERIFY(all.has_value());
        listed = *all;
    }

    void visibility_data() {
        QTest::addColumn<QString>("id");
        QTest::addColumn<QString>("name"); // "<absent>": not listed at all
        QTest::addColumn<bool>("shown");
        QTest::addColumn<QString>("folder");
        QTest::newRow("user folder wins") << "dup.desktop"
                                          << "Home Dup" << true << "home";
        QTest::newRow("first system folder wins") << "twice.desktop"
                                                  << "First Twice" << true << "first";
        QTest::newRow("Hidden removes the id") << "gone.desktop"
                                               << "<absent>" << false << "";
        QTest::newRow("NoDisplay: known, not shown") << "nodisplay.desktop"
                                                     << "Quiet" << false << "first";
        QTest::newRow("OnlyShowIn this desktop") << "only-here.desktop"
                                                 << "Only Here" << true << "first";
        QTest::newRow("OnlyShowIn another desktop") << "only-kde.desktop"
                                                    << "Only KDE" << false << "first";
        QTest::newRow("NotShowIn this desktop") << "not-here.desktop"
                                                << "Not Here" << false << "first";
        QTest::newRow("TryExec missing") << "tryexec.desktop"
                                         << "<absent>" << false << "";
        QTest::newRow("localized name") << "german.desktop"
                                        << "Rechner" << true << "first";
        QTest::newRow("subfolder id") << "vendor-sub.desktop"
                                      << "Sub Folder" << true << "first";
    }
    void visibility() {
        QFETCH(QString, id);
        QFETCH(QString, name);
        QFETCH(bool, shown);
        QFETCH(QString, folder);
        const DesktopEntry* e = find(id);
        if (name == "<absent>") {
            QVERIFY2(!e, qPrintable(id + " should not be listed"));
            return;
        }
        QVERIFY2(e, qPrintable(id + " should be listed"));
        QCOMPARE(e->name, name);
        QCOMPARE(e->shown, shown);
        QVERIFY(QFileInfo(e->path).isAbsolute());
        QVERIFY2(e->path.startsWith(root.filePath(folder)), qPrintable(e->path));
    }

    void fields() {
        const DesktopEntry* manager = find("manager.desktop");
        QVERIFY(manager);
        QCOMPARE(manager->executable, QStringLiteral("sh"));
        QCOMPARE(find("nodisplay.desktop")->startupWmClass, QStringLiteral("Q"));
        QCOMPARE(find("icon.desktop")->icon, QStringLiteral("/opt/icons/x.png"));
        QCOMPARE(source->defaultFileManagerId(), QStringLiteral("manager.desktop"));
    }

    // A new entry is listed once the desktop reports the change (through the event loop).
    void newEntriesAppear() {
        write(root.filePath("home/applications/late.desktop"), entryText("Late"));
        QTRY_VERIFY_WITH_TIMEOUT(
            [&] {
                const auto all = source->entries();
                return all && std::any_of(all->begin(), all->end(), [](const DesktopEntry& e) {
                           return e.id == QLatin1String("late.desktop");
                       });
            }(),
            10000);
    }
};

QTEST_GUILESS_MAIN(TestDesktopEntries)
#include "test_desktop_entries.moc"
