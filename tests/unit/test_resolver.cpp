// Naming the active window's application: rule order, sandbox ids, a new list, /proc facts.
#include "platform/linux/ApplicationResolver.h"
#include "platform/linux/ProcessInfo.h"

#include <QtTest>

using namespace vellora;

// Rows and entries name only what they set; the rest stays empty.
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"

namespace {

// A window as a row gives it; the sandbox id comes from the text of the process's cgroup.
struct Facts {
    QString gtk, kde, inst, cls, cgroup, exe;
    QStringList cmd;
};

// "name|bundle id" of what the window resolves to, or "<none>".
QString describe(const ApplicationResolver& r, const WindowFacts& f) {
    const auto app = r.resolve(f);
    return app ? app->localizedName.value_or("?") + '|' + app->bundleIdentifier.value_or("")
               : QStringLiteral("<none>");
}

} // namespace

Q_DECLARE_METATYPE(Facts)

class TestResolver : public QObject {
    Q_OBJECT

    ApplicationResolver resolver;

private slots:
    void initTestCase() {
        resolver.setEntries(
            {{.id = "org.gnome.Nautilus.desktop", .name = "Files"},
             {.id = "org.ex.Editor.desktop", .name = "Editor", .startupWmClass = "EdMain"},
             {.id = "quill.desktop", .name = "Quill", .startupWmClass = "QMain"},
             {.id = "brightpad.desktop", .name = "Pad", .executable = "brightpad"},
             {.id = "org.Mixed.desktop", .name = "Mixed"},
             {.id = "org.mozilla.firefox.desktop", .name = "Firefox", .executable = "firefox"},
             {.id = "firefox_firefox.desktop", .name = "Snapfox", .executable = "firefox"},
             {.id = "org.gimp.GIMP.desktop", .name = "GIMP"},
             {.id = "my-app_tool.desktop", .name = "Tool"}},
            "org.gnome.Nautilus.desktop");
    }

    // In each row a later rule would give another answer than the expected one.
    void resolve_data() {
        QTest::addColumn<Facts>("f");
        QTest::addColumn<QString>("expected");
        auto row = [](const char* tag, const Facts& f, const char* expected) {
            QTest::newRow(tag) << f << QString(expected);
        };
        row("GTK id", {.gtk = "org.ex.Editor", .cls = "Quill"}, "Editor|org.ex.Editor");
        row("unknown GTK id", {.gtk = "org.no.App", .cls = "brightpad"}, "Pad|brightpad");
        row("KDE file path", {.kde = "/a/brightpad.desktop", .inst = "EdMain"}, "Pad|brightpad");
        row("flatpak", {.cls = "brightpad", .cgroup = "0::/app-flatpak-org.gimp.GIMP-6192.scope\n"},
            "GIMP|org.gimp.GIMP");
        row("snap", {.cls = "firefox", .cgroup = "0::/snap.firefox.firefox.3ac0c5f4-7f8a.scope"},
            "Snapfox|firefox_firefox");
        row("snap with dashes", {.cls = "Mixed", .cgroup = "0::/snap.my-app.tool-1234.scope"},
            "Tool|my-app_tool");
        row("StartupWMClass, instance first", {.inst = "QMain", .cls = "EdMain"}, "Quill|quill");
        row("StartupWMClass before id", {.inst = "brightpad", .cls = "QMain"}, "Quill|quill");
        row("id, class first", {.inst = "org.Mixed", .cls = "brightpad"}, "Pad|brightpad");
        row("id ignoring case", {.cls = "ORG.MIXED"}, "Mixed|org.Mixed");
        row("reverse-DNS last part", {.cls = "Firefox"}, "Firefox|org.mozilla.firefox");
        row("exe, first entry wins", {.cls = "X", .exe = "/bin/firefox", .cmd = {"brightpad"}},
            "Firefox|org.mozilla.firefox");
        row("command line, no exe", {.cls = "X", .cmd = {"/bin/brightpad", "-n"}}, "Pad|brightpad");
        row("class as a last resort", {.inst = "t", .cls = "XTerm", .exe = "/bin/xterm"}, "XTerm|");
        row("instance when no class", {.inst = "lonely"}, "lonely|");
        row("nothing known", {}, "<none>");
        row("file manager is Finder", {.gtk = "org.gnome.Nautilus"}, "Finder|org.gnome.Nautilus");
    }
    void resolve() {
        QFETCH(Facts, f);
        QFETCH(QString, expected);
        const QString sandbox = ApplicationResolver::sandboxAppIdFromCgroup(f.cgroup);
        const WindowFacts w{f.gtk, f.kde, f.inst, f.cls, 77, sandbox, f.exe, f.cmd};
        QCOMPARE(describe(resolver, w), expected);
        QVERIFY(!resolver.resolve(w) || resolver.resolve(w)->pid == 77);
    }

    // A changed list, or only a changed file manager, is indexed anew.
    void changedList() {
        ApplicationResolver r;
        QList<DesktopEntry> list{{.id = "a.desktop", .name = "A"}};
        r.setEntries(list, {});
        list << DesktopEntry{.id = "b.desktop", .name = "B"};
        r.setEntries(list, {});
        QCOMPARE(describe(r, {.wmClass = "b"}), QStringLiteral("B|b"));
        r.setEntries(list, "b.desktop");
        QCOMPARE(describe(r, {.wmClass = "b"}), QStringLiteral("Finder|b"));
    }

    // A process that is gone gives empty facts; this one gives back its own arguments.
    void processFacts() {
        const qint64 pid = qint64(1) << 40; // no such process
        QVERIFY((proc::exePath(pid) + proc::cgroup(pid) + proc::cmdline(pid).join("")).isEmpty());
        QCOMPARE(proc::cmdline(QCoreApplication::applicationPid()), QCoreApplication::arguments());
    }
};

QTEST_GUILESS_MAIN(TestResolver)
#include "test_resolver.moc"
