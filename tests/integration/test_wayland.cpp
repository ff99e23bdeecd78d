// The real program on a headless Wayland compositor (VELLORA_COMPOSITOR: sway, kwin or gnome),
// with windows of their own app ids as the applications a person switches between. With
// VELLORA_TEST_QPA=offscreen the program draws offscreen, and so outlives a compositor restart
// (a Wayland client ends with its compositor).
#include "support/Program.h"

#include <QtTest>
#include <map>
#include <memory>

class TestWayland : public QObject, ProgramDriver {
    Q_OBJECT

    const QString compositor = qEnvironmentVariable("VELLORA_COMPOSITOR");
    const bool drawn = qEnvironmentVariable("VELLORA_TEST_QPA", "wayland") == "wayland";
    std::map<QString, std::unique_ptr<QProcess>> apps;

    // A new window takes the focus on every one of these compositors.
    bool launch(const QString& name) {
        auto& app = apps[name];
        app = std::make_unique<QProcess>();
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("QT_QPA_PLATFORM", "wayland");
        app->setProcessEnvironment(env);
        app->start(WAYLAND_WINDOW, {"vellora-" + name});
        return app->waitForStarted(5000);
    }
    // Closing the window in front hands the focus back to the one before it.
    void close(const QString& name) {
        apps.at(name)->terminate();
        QVERIFY(apps.at(name)->waitForFinished(5000));
        apps.erase(name);
    }
    void closeAll() {
        for (auto& app : apps)
            app.second->terminate(), app.second->waitForFinished(5000);
        apps.clear();
    }
    static bool sway(const QString& command) {
        return desktop::run("swaymsg", command.split(' ')).has_value();
    }
    // The shell's extension service, as the Extensions app and gnome-extensions use it.
    static QString extensions(const QString& method, const QString& uuid) {
        return desktop::run("gdbus", {"call", "--session", "--dest", "org.gnome.Shell",
                                      "--object-path", "/org/gnome/Shell", "--method",
                                      "org.gnome.Shell.Extensions." + method, uuid})
            .value_or("");
    }

private Q_SLOTS:
    void initTestCase() {
        QVERIFY2(!compositor.isEmpty(), "run inside with-desktop.sh with VELLORA_COMPOSITOR set");
        if (compositor == "gnome") {
            // The shell finds extensions a moment after it starts; the user turns on the one
            // made for this shell: ES modules from GNOME 45 on, the legacy format before.
            const QString version =
                desktop::run("gdbus",
                             {"call", "--session", "--dest", "org.gnome.Shell", "--object-path",
                              "/org/gnome/Shell", "--method", "org.freedesktop.DBus.Properties.Get",
                              "org.gnome.Shell", "ShellVersion"})
                    .value_or("");
            static const QRegularExpression major("'(\\d+)\\.");
            const int shellMajor = major.match(version).captured(1).toInt();
            QVERIFY2(shellMajor >= 40, qPrintable("GNOME Shell version: " + version));
            const QString uuid =
                shellMajor >= 45 ? "vellora@vellora.app" : "vellora-legacy@vellora.app";
            QTRY_VERIFY_WITH_TIMEOUT(extensions("GetExtensionInfo", uuid).contains("'state'"),
                                     15000);
            QCOMPARE(extensions("EnableExtension", uuid).trimmed(), "(true,)");
            QTRY_VERIFY(extensions("GetExtensionInfo", uuid).contains("'state': <1.0>"));
        }
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("QT_QPA_PLATFORM", drawn ? "wayland" : "offscreen");
        vellora.setProcessEnvironment(env);
        QVERIFY(desktop::run("pactl", {"set-sink-volume", "@DEFAULT_SINK@", "40%"}));
        QVERIFY(startWith("[General]\nApps=, 60/*/*/*/*/Alpha\n"));
        QTRY_VERIFY(
            lines().filter(QRegularExpression("^vellora.activation: following \\S")).size() == 1);
    }
    void cleanupTestCase() {
        closeAll();
        vellora.terminate();
        QVERIFY(vellora.waitForFinished(5000));
        if (compositor == "kwin") // the script goes with the program
            QCOMPARE(desktop::run("gdbus",
                                  {"call", "--session", "--dest", "org.kde.KWin", "--object-path",
                                   "/Scripting", "--method",
                                   "org.kde.kwin.Scripting.isScriptLoaded", "vellora-activation"}),
                     "(false,)\n");
    }

    void followsTheApplicationInFront() {
        QVERIFY(launch("alpha"));
        QTRY_COMPARE_WITH_TIMEOUT(desktop::sinkPercent(), 60, 10000); // 40 captured, level set
        QVERIFY(launch("beta"));
        QTRY_COMPARE_WITH_TIMEOUT(desktop::sinkPercent(), 40, 10000); // no level: 40 back
        close("beta");
        QTRY_COMPARE_WITH_TIMEOUT(desktop::sinkPercent(), 60, 10000); // Alpha in front again
    }

    void swayFocusAndWorkspaces() {
        if (compositor != "sway" || !drawn)
            QSKIP("sway's own commands, once");
        QVERIFY(launch("beta"));
        QTRY_COMPARE_WITH_TIMEOUT(desktop::sinkPercent(), 40, 10000);
        QVERIFY(sway("[app_id=vellora-alpha] focus"));
        QTRY_COMPARE_WITH_TIMEOUT(desktop::sinkPercent(), 60, 10000);
        QVERIFY(sway("workspace 2")); // empty: nothing in front, the captured volume is back
        QTRY_COMPARE_WITH_TIMEOUT(desktop::sinkPercent(), 40, 10000);
        QVERIFY(sway("workspace 1")); // Alpha's window had the focus there
        QTRY_COMPARE_WITH_TIMEOUT(desktop::sinkPercent(), 60, 10000);
        // Moved away, the window in front leaves Beta's in front.
        QVERIFY(sway("[app_id=vellora-alpha] move container to workspace 3"));
        QTRY_COMPARE_WITH_TIMEOUT(desktop::sinkPercent(), 40, 10000);
        QVERIFY(sway("workspace 3"));
        QTRY_COMPARE_WITH_TIMEOUT(desktop::sinkPercent(), 60, 10000);
        close("beta");
    }

    void ownWindowsAreNoSwitch() {
        if (!drawn)
            QSKIP("the program draws offscreen here");
        // Starting it again opens its list: a window of its own takes the focus.
        const auto opened = lines().count("update");
        QVERIFY(desktop::run(VELLORA_PROGRAM, {}));
        QTRY_VERIFY_WITH_TIMEOUT(lines().count("update") > opened, 10000);
        QTest::qWait(1000); // time for a switch to show, if the list's focus counted as one
        QCOMPARE(desktop::sinkPercent(), 60);
        QVERIFY(launch("beta")); // the list loses the focus, Beta has it
        QTRY_COMPARE_WITH_TIMEOUT(desktop::sinkPercent(), 40, 10000);
        close("beta");
        QTRY_COMPARE_WITH_TIMEOUT(desktop::sinkPercent(), 60, 10000);
    }

    void reportsFromOthersAreIgnored() {
        if (compositor == "sway" || !drawn)
            QSKIP("only told by the compositor's helper, once");
        // Any program on the bus may call; only the compositor is listened to.
        QVERIFY(desktop::run("gdbus", {"call", "--session", "--dest", "com.vellora.Vellora",
                                       "--object-path", "/com/vellora/Vellora/Activation",
                                       "--method", "com.vellora.Vellora.Activation.WindowActivated",
                                       "'vellora-beta'", "''", "'1'"}));
        QTRY_VERIFY(!lines().filter("activation: ignored window reports from :").isEmpty());
        QCOMPARE(desktop::sinkPercent(), 60);
    }

    void survivesACompositorRestart() {
        if (drawn)
            QSKIP("a Wayland client ends with its compositor");
        QVERIFY(desktop::session("compositor-stop"));
        closeAll(); // the windows end with it
        if (compositor == "sway")
            QTRY_VERIFY(
                lines().contains("vellora.activation: no answer on the compositor's IPC socket; "
                                 "retrying"));
        QTest::qWait(600); // gone for longer than the first retry waits
        QVERIFY(desktop::session("compositor-start"));
        // Nothing is in front on the new compositor: the captured volume is back.
        QTRY_COMPARE_WITH_TIMEOUT(desktop::sinkPercent(), 40, 15000);
        const QMap<QString, QString> back{
            {"sway", "vellora.activation: connected to the compositor's IPC socket"},
            {"kwin", "vellora.activation: KWin is back; following a KWin script again"}};
        if (back.contains(compositor))
            QVERIFY(lines().contains(back[compositor]));
        QVERIFY(launch("alpha"));
        QTRY_COMPARE_WITH_TIMEOUT(desktop::sinkPercent(), 60, 10000);
    }
};

QTEST_GUILESS_MAIN(TestWayland)
#include "test_wayland.moc"
