// Launch at login, the migration and the login-item scripts, on a real autostart folder.
#include "panels/Alert.h"
#include "panels/LaunchAtLogin.h"
#include "panels/OptionsMenu.h"
#include "platform/linux/XdgAutostart.h"
#include "shell/AppDelegate.h"
#include "support/UiHarness.h"

#include <QtTest>

using namespace vellora;
using Login = LaunchAtLogin;

namespace {
struct Harness : UiHarness, AlertPresenter {
    QTemporaryDir home, apps{QDir::tempPath() + "/My $Apps \"x\" XXXXXX"}; // a path to quote
    QString id = Login::launcherIdentifier(), folder = home.filePath("autostart");
    QString entry = folder + "/" + id + ".desktop", old = folder + "/Vellora.desktop";
    XdgLoginItems items{apps.filePath("Vellora.app")};
    SystemEventsScripts scripts;
    QStringList alerts;
    QuotesViewController login{{*store.defaults, notifications, policy, volume, entries, mouse,
                                nullptr, nullptr, &items, &scripts, this}};
    Harness() {
        qputenv("XDG_CONFIG_HOME", home.path().toUtf8());
        put(items.launcherPath());
        QFile(items.launcherPath()).setPermissions(QFile::ExeOwner | QFile::ReadOwner);
    }
    int runModal(const AlertSpec& a) override { return alerts << a.messageText, kFirstButton; }
    static void put(QString p) { QDir().mkpath(QFileInfo(p).path()), QFile(p).open(QFile::Append); }
    static QByteArray read(QString p) {
        QFile f(p);
        return f.open(QFile::ReadOnly) ? f.readAll() : "";
    }
};
} // namespace

class TestLogin : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // Refused (a file for the folder, a folder for the entry): one alert, nothing changed.
    void toggle() {
        for (const auto& [on, obstacle, line, alert] :
             std::initializer_list<std::tuple<bool, QString, QString, QString>>{
                 {false, "", "2", ""},
                 {true, "autostart/%1.desktop", "4", ""},
                 {false, "autostart", "1", Login::kAddFailed},
                 {true, "autostart/%1.desktop/x", "3", Login::kRemoveFailed}}) {
            Harness h;
            h.store.defaults->setBool("login", on);
            h.put(h.home.filePath(obstacle).arg(h.id));
            int closed = 0;
            h.notifications.addObserver(notification::kClosePop, &h.login, [&] { ++closed; });
            h.login.newMenu();
            DiagnosticCapture out;
            h.login.menu().menux()->actions().at(2)->trigger();
            const bool failed = !alert.isEmpty(), nowOn = on == failed;
            QVERIFY(out.lines == QStringList({h.id, line}) && h.alerts.join('|') == alert);
            QVERIFY(h.store.onDisk("login").toBool() == nowOn && closed == 1 &&
                    h.login.menu().uiUpdateTimerx()->isActive());
            QCOMPARE(h.login.menu().titles().at(2), nowOn ? Login::kOnTitle : Login::kOffTitle);
            QString exec = h.items.launcherPath().replace("\"", "\\\\\"").replace("$", "\\\\$");
            QCOMPARE(h.read(h.entry).contains("\nExec=\"" + exec.toUtf8() + "\"\n"),
                     nowOn && !failed);
        }
    }

    // First start only: old item deleted, launcher registered (else "login" off); absent: none.
    void migration() {
        for (const auto& [login, put, lines] :
             std::initializer_list<std::tuple<QVariant, QString, QString>>{
                 {{}, "autostart/Vellora.desktop", "Logixxxxx"},
                 {true, "autostart/Vellora.desktop", "Logixxxxx"},
                 {true, "autostart", "Logixxxxx|ERR OR:"}}) {
            Harness h;
            if (login.isValid())
                h.store.defaults->setBool("login", login.toBool());
            h.put(h.home.filePath(put));
            DiagnosticCapture out;
            for (int start = 0; start < 2; ++start) // the second does nothing
                AppDelegate(
                    {*h.store.defaults, h.notifications, h.policy, h.mouse, &h.items, &h.scripts},
                    h.login)
                    .applicationDidFinishLaunching();
            const QStringList said = out.lines.filter(QRegularExpression("^(Logi|ERR OR)"));
            QCOMPARE(said.join('|').section(" {", 0, 0), lines);
            QVERIFY(h.store.onDisk("login1").toBool() && h.alerts.isEmpty() &&
                    h.store.onDisk("login") == (put == "autostart" ? QVariant(false) : login));
            QVERIFY(QFileInfo(h.entry).isFile() == (login.toBool() && put != "autostart") &&
                    QFileInfo::exists(h.old) == !login.isValid());
        }
    }

    // The script-based toggle makes and deletes its item; changed or hostile texts fail.
    void scripts() {
        Harness h;
        const QString bait = h.home.filePath("x.desktop");
        h.put(bait);
        DiagnosticCapture out;
        h.login.addToLoginItems();
        QVERIFY(h.read(h.old).contains("=\"/Applications/Vellora.app/Contents/MacOS/Vellora\"\n"));
        for (const QString& bad : {Login::kRemoveScript + " ",
                                   QString(Login::kRemoveScript).replace("\"Vellora", "\"../x"),
                                   QString(Login::kAddScript).replace("\"Vellora", "\"../x")})
            QVERIFY(h.scripts.execute(bad).error);
        h.login.addToLoginItems();
        QCOMPARE(out.lines, (QStringList{"login item \"Vellora\"", "null()"}));
        QVERIFY(QFile::exists(bait) && h.read(bait).isEmpty());
    }
};

QTEST_MAIN(TestLogin)
#include "test_login.moc"
