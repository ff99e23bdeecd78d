// Naming the active window's application: the order of the rules, and sandbox ids.
#include "platform/linux/ApplicationResolver.h"

#include <QtTest>

using namespace vellora;

namespace {

DesktopEntry entry(const QString& id, const QString& name, const QString& wmClass = {},
                   const QString& executable = {}) {
    DesktopEntry e;
    e.id = id;
    e.path = "/usr/share/applications/" + id;
    e.name = name;
    e.startupWmClass = wmClass;
    e.executable = executable;
    return e;
}

} // namespace

class TestResolver : public QObject {
    Q_OBJECT

    ApplicationResolver resolver;

private slots:
    void initTestCase() {
        resolver.setEntries(
            {
                entry("org.gnome.Nautilus.desktop", "Files", {}, "nautilus"),
                entry("org.example.Editor.desktop", "Editor", {}, "editor"),
                entry("quill.desktop", "Quillnote", "QuillMain", "quill"),
                entry("brightpad.desktop", "Brightpad", {}, "brightpad"),
                entry("Mixed.desktop", "Mixed Case", {}, "mixed"),
                entry("org.mozilla.firefox.desktop", "Firefox", {}, "firefox"),
                entry("firefox_firefox.desktop", "Firefox (Snap)", {}, "firefox"),
                entry("first.desktop", "First", "Shared", "shared"),
                entry("second.desktop", "Second", "Shared", "shared"),
            },
            "org.gnome.Nautilus.desktop");
    }

    void resolve_data() {
        QTest::addColumn<QString>("gtk");
        QTest::addColumn<QString>("kde");
        QTest::addColumn<QString>("sandbox");
        QTest::addColumn<QString>("instance");
        QTest::addColumn<QString>("cls");
        QTest::addColumn<QString>("exe");
        QTest::addColumn<QString>("name");     // "<none>": no application
        QTest::addColumn<QString>("bundleId"); // "": none
        QTest::newRow("GTK application id") << "org.example.Editor"
                                            << ""
                                            << ""
                                            << "x"
                                            << "Quill"
                                            << ""
                                            << "Editor"
                                            << "org.example.Editor";
        QTest::newRow("KDE desktop file") << ""
                                          << "brightpad"
                                          << ""
                                          << "QuillMain"
                                          << ""
                                          << ""
                                          << "Brightpad"
                                          << "brightpad";
        QTest::newRow("KDE desktop file as a path") << ""
                                                    << "/usr/share/applications/brightpad.desktop"
                                                    << ""
                                                    << ""
                                                    << ""
                                                    << ""
                                                    << "Brightpad"
                                                    << "brightpad";
        QTest::newRow("sandbox before WM_CLASS") << ""
                                                 << ""
                                                 << "firefox_firefox.desktop"
                                                 << "Navigator"
                                                 << "firefox"
                                                 << ""
                                                 << "Firefox (Snap)"
                                                 << "firefox_firefox";
        QTest::newRow("StartupWMClass by instance") << ""
                                                    << ""
                                                    << ""
                                                    << "QuillMain"
                                                    << "Other"
                                                    << ""
                                                    << "Quillnote"
                                                    << "quill";
        QTest::newRow("StartupWMClass by class") << ""
                                                 << ""
                                                 << ""
                                                 << "quill"
                                                 << "QuillMain"
                                                 << ""
                                                 << "Quillnote"
                                                 << "quill";
        QTest::newRow("StartupWMClass before id") << ""
                                                  << ""
                                                  << ""
                                                  << "brightpad"
                                                  << "QuillMain"
                                                  << ""
                                                  << "Quillnote"
                                                  << "quill";
        QTest::newRow("id equals class") << ""
                                         << ""
                                         << ""
                                         << "main"
                                         << "brightpad"
                                         << ""
                                         << "Brightpad"
                                         << "brightpad";
        QTest::newRow("id equals class, case folded") << ""
                                                      << ""
                                                      << ""
                                                      << ""
                                                      << "mixed"
                                                      << ""
                                                      << "Mixed Case"
                                                      << "Mixed";
        QTest::newRow("reverse-DNS suffix") << ""
                                            << ""
                                            << ""
                                            << "Navigator"
                                            << "Firefox"
                                            << ""
                                            << "Firefox"
                                            << "org.mozilla.firefox";
        QTest::newRow("executable") << ""
                                    << ""
                                    << ""
                                    << "w"
                                    << "Unknown"
                                    << "/opt/q/quill"
                                    << "Quillnote"
                                    << "quill";
        QTest::newRow("WM_CLASS as a last resort") << ""
                                                   << ""
                                                   << ""
                                                   << "term"
                                                   << "XTerm"
                                                   << "/usr/bin/xterm"
                                                   << "XTerm"
                                                   << "";
        QTest::newRow("instance when no class") << ""
                                                << ""
                                                << ""
                                                << "lonely"
                                                << ""
                                                << ""
                                                << "lonely"
                                                << "";
        QTest::newRow("nothing known") << ""
                                       << ""
                                       << ""
                                       << ""
                                       << ""
                                       << ""
                                       << "<none>"
                                       << "";
        QTest::newRow("default file manager is Finder") << "org.gnome.Nautilus"
                                                        << ""
                                                        << ""
                                                        << ""
                                                        << ""
                                                        << ""
                                                        << "Finder"
                                                        << "org.gnome.Nautilus";
        QTest::newRow("first entry wins") << ""
                                          << ""
                                          << ""
                                          << ""
                                          << "Shared"
                                          << ""
                                          << "First"
                                          << "first";
        QTest::newRow("unknown application id falls through") << "org.unknown.App"
                                                              << ""
                                                              << ""
                                                              << ""
                                                              << "brightpad"
                                                              << ""
                                                              << "Brightpad"
                                                              << "brightpad";
    }
    void resolve() {
        QFETCH(QString, gtk);
        QFETCH(QString, kde);
        QFETCH(QString, sandbox);
        QFETCH(QString, instance);
        QFETCH(QString, cls);
        QFETCH(QString, exe);
        QFETCH(QString, name);
        QFETCH(QString, bundleId);
        WindowFacts f;
        f.gtkApplicationId = gtk;
        f.kdeDesktopFile = kde;
        f.sandboxAppId = sandbox;
        f.wmInstance = instance;
        f.wmClass = cls;
        f.exePath = exe;
        f.pid = 77;
        const auto app = resolver.resolve(f);
        QCOMPARE(app ? app->localizedName.value_or("<unnamed>") : QStringLiteral("<none>"), name);
        if (app) {
            QCOMPARE(app->bundleIdentifier.value_or(QString()), bundleId);
            QCOMPARE(app->pid, 77);
        }
    }

    void commandLineWhenExeIsUnreadable() {
        WindowFacts f;
        f.wmClass = "Nope";
        f.cmdline = {"/usr/local/bin/brightpad", "--new-window"};
        QCOMPARE(resolver.resolve(f)->localizedName, std::optional<QString>("Brightpad"));
    }

    void sandboxFromCgroup_data() {
        QTest::addColumn<QString>("cgroup");
        QTest::addColumn<QString>("id");
        QTest::newRow("flatpak") << "0::/user.slice/user-1000.slice/user@1000.service/app.slice/"
                                    "app-flatpak-org.gimp.GIMP-61925.scope\n"
                                 << "org.gimp.GIMP.desktop";
        QTest::newRow("snap") << "0::/user.slice/user-1000.slice/user@1000.service/app.slice/"
                                 "snap.firefox.firefox.3ac0c5f4-7f8a-4b5b-9f9f-5e6b0ad2b1f3.scope\n"
                              << "firefox_firefox.desktop";
        QTest::newRow("snap with dashes") << "0::/user.slice/snap.code-insiders.code-insiders-"
                                             "1234.scope\n"
                                          << "code-insiders_code-insiders.desktop";
        QTest::newRow("plain session") << "0::/user.slice/user-1000.slice/session-2.scope\n"
                                       << "";
        QTest::newRow("empty") << ""
                               << "";
    }
    void sandboxFromCgroup() {
        QFETCH(QString, cgroup);
        QFETCH(QString, id);
        QCOMPARE(ApplicationResolver::sandboxAppIdFromCgroup(cgroup), id);
    }
};

QTEST_GUILESS_MAIN(TestResolver)
#include "test_resolver.moc"
