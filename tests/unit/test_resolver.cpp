// Naming the active window's application: rule order, sandbox ids, a new list, /proc facts.
#include "platform/linux/ApplicationResolver.h"
#include "platform/linux/ProcessInfo.h"

#include <QtTest>

using namespace vellora;

// A window as a row gives it. Rows and entries name only what they set; the rest stays empty.
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"
struct Facts {
    QString gtk, kde, inst, cls, sandbox, exe;
    QStringList cmd;
};

// "name|bundle id" of what the window resolves to, or "<none>".
static QString describe(const ApplicationResolver& r, const Facts& f) {
    const auto app = r.resolve({f.gtk, f.kde, f.inst, f.cls, 0, f.sandbox, f.exe, f.cmd});
    return app ? app->localizedName.value_or("?") + '|' + app->bundleIdentifier.value_or("")
               : "<none>";
}

class TestResolver : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // In each row a later rule would give another answer than the expected one. A changed list,
    // or only a changed file manager, is indexed anew.
    void resolve() {
        QList<DesktopEntry> list{
            {.id = "org.gnome.Nautilus.desktop", .name = "Files"},
            {.id = "org.ex.Editor.desktop", .name = "Editor", .startupWmClass = "EdMain"},
            {.id = "quill.desktop", .name = "Quill", .startupWmClass = "QMain"},
            {.id = "brightpad.desktop", .name = "Pad", .executable = "pad"},
            {.id = "org.Mixed.desktop", .name = "Mixed"},
            {.id = "org.mozilla.firefox.desktop", .name = "Firefox", .executable = "firefox"},
            {.id = "ff_ff.desktop", .name = "Snapfox", .executable = "firefox"}};
        ApplicationResolver resolver;
        resolver.setEntries(list, "org.gnome.Nautilus.desktop");
        auto row = [&](const char* tag, const Facts& f, const QString& expected) {
            const QString got = describe(resolver, f);
            QVERIFY2(got == expected, qPrintable(tag + (": " + got)));
        };
        row("GTK id", {.gtk = "org.ex.Editor", .sandbox = "ff_ff.desktop"}, "Editor|org.ex.Editor");
        row("unknown GTK, KDE file", {.gtk = "no.A", .kde = "/brightpad.desktop"}, "Pad|brightpad");
        row("sandbox", {.cls = "QMain", .sandbox = "ff_ff.desktop"}, "Snapfox|ff_ff");
        row("StartupWMClass, instance first", {.inst = "QMain", .cls = "EdMain"}, "Quill|quill");
        row("StartupWMClass before id", {.inst = "brightpad", .cls = "QMain"}, "Quill|quill");
        row("id, class first", {.inst = "org.Mixed", .cls = "brightpad"}, "Pad|brightpad");
        row("id ignoring case", {.cls = "ORG.MIXED"}, "Mixed|org.Mixed");
        row("reverse-DNS last part", {.cls = "Firefox"}, "Firefox|org.mozilla.firefox");
        row("exe, first wins", {.exe = "/b/firefox", .cmd = {"pad"}},
            "Firefox|org.mozilla.firefox");
        row("command line, no exe", {.cmd = {"/bin/pad", "-n"}}, "Pad|brightpad");
        row("class as a last resort", {.inst = "t", .cls = "XTerm", .exe = "/bin/xterm"}, "XTerm|");
        row("instance when no class", {.inst = "lonely"}, "lonely|");
        row("nothing known", {}, "<none>");
        row("file manager is Finder", {.gtk = "org.gnome.Nautilus"}, "Finder|org.gnome.Nautilus");
        list << DesktopEntry{.id = "b.desktop", .name = "B"};
        resolver.setEntries(list, "org.gnome.Nautilus.desktop");
        row("a changed list", {.cls = "b"}, "B|b");
        resolver.setEntries(list, "b.desktop");
        row("a changed file manager", {.cls = "b"}, "Finder|b");
        QCOMPARE(resolver.resolve({.wmClass = "b", .pid = 77})->pid, 77);
    }

    // Sandbox ids from the text of a process's cgroup; a process that is gone gives empty facts,
    // this one gives back its own arguments.
    void processFacts() {
        QStringList ids;
        for (const char* cgroup :
             {"0::/app-flatpak-org.gimp.GIMP-6192.scope\n", "0::/snap.ff.ff.3ac0c5f4-7f8a.scope",
              "0::/snap.my-app.tool-1234.scope", "0::/user.slice/x.scope"})
            ids << ApplicationResolver::sandboxAppIdFromCgroup(cgroup);
        QCOMPARE(ids.join(' '), "org.gimp.GIMP.desktop ff_ff.desktop my-app_tool.desktop ");
        const qint64 pid = qint64(1) << 40; // no such process
        QVERIFY((proc::exePath(pid) + proc::cgroup(pid) + proc::cmdline(pid).join("")).isEmpty());
        QCOMPARE(proc::cmdline(QCoreApplication::applicationPid()), QCoreApplication::arguments());
    }
};

QTEST_GUILESS_MAIN(TestResolver)
#include "test_resolver.moc"
