// The real program in the throwaway desktop, driven as a person would: the tray icon, the
// popover, a search, the editor, clicks elsewhere, and windows becoming active.
#include "support/Windows.h"

#include <QDir>
#include <QTemporaryDir>
#include <QtTest>

namespace {

QRect geometryOf(const QString& window) {
    QRect r;
    const auto out = desktop::run("xdotool", {"getwindowgeometry", "--shell", window});
    for (const QString& line : out.value_or(QString()).split('\n')) {
        const int value = line.section('=', 1).toInt();
        if (line.startsWith("X="))
            r.moveLeft(value);
        else if (line.startsWith("Y="))
            r.moveTop(value);
        else if (line.startsWith("WIDTH="))
            r.setWidth(value);
        else if (line.startsWith("HEIGHT="))
            r.setHeight(value);
    }
    return r;
}

// Whether a window named Vellora of this size is shown: 380×430 the list, 220×70 the editor.
bool shown(QSize size) {
    const auto ids = desktop::run("xdotool", {"search", "--onlyvisible", "--name", "^Vellora$"});
    for (const QString& id : ids.value_or(QString()).split('\n', Qt::SkipEmptyParts)) {
        if (geometryOf(id).size() == size)
            return true;
    }
    return false;
}
const QSize kList(380, 430), kEditor(220, 70);
// Whether the window with the keyboard is one of that size.
bool focused(QSize size) {
    const auto id = desktop::run("xdotool", {"getactivewindow"});
    return geometryOf(id.value_or(QString()).trimmed()).size() == size;
}

bool click(QPoint at) {
    return desktop::run("xdotool", {"mousemove", QString::number(at.x()), QString::number(at.y()),
                                    "click", "1"})
        .has_value();
}
bool keys(const QStringList& names) {
    return desktop::run("xdotool", QStringList{"key", "--delay", "30"} + names).has_value();
}
bool nothingInFront() {
    return desktop::run("xprop", {"-root", "-f", "_NET_ACTIVE_WINDOW", "32x", "-set",
                                  "_NET_ACTIVE_WINDOW", "0"})
        .has_value();
}
void screenshot(const QString& name) {
    QDir().mkpath(QStringLiteral(VELLORA_SHOTS_DIR));
    desktop::run("import", {"-window", "root", QStringLiteral(VELLORA_SHOTS_DIR "/") + name});
}

// Counts the audio server's volume changes from now on.
struct SinkEvents {
    QProcess pactl;
    SinkEvents() { pactl.start("pactl", {"subscribe"}); }
    qsizetype count() {
        QTest::qWait(800); // late events arrive too
        pactl.terminate();
        pactl.waitForFinished(2000);
        return QString::fromUtf8(pactl.readAllStandardOutput()).count("on sink #");
    }
};

} // namespace

class TestEndToEnd : public QObject {
    Q_OBJECT

    QProcess vellora;
    QString output;

    QStringList lines() {
        output += QString::fromUtf8(vellora.readAllStandardOutput());
        return output.split('\n', Qt::SkipEmptyParts);
    }

private slots:
    void initTestCase() {
        QVERIFY2(!desktop::sessionDir().isEmpty(), "run inside with-desktop.sh");
        // A level set by hand in the settings file, as a person may write it.
        const QString folder = qEnvironmentVariable("XDG_CONFIG_HOME") + "/Vellora";
        QDir().mkpath(folder);
        QFile conf(folder + "/Vellora.conf");
        QVERIFY(conf.open(QIODevice::WriteOnly));
        conf.write("[General]\nApps=, 80/*/*/*/*/Gamma Writer\n");
        conf.close();
        vellora.start(QStringLiteral(VELLORA_PROGRAM), {});
        QVERIFY(vellora.waitForStarted());
        // Start-up refreshes the list twice: once for the first showing, once at the end.
        QTRY_VERIFY_WITH_TIMEOUT(lines().count("update") >= 2, 15000);
    }
    void cleanupTestCase() {
        vellora.terminate();
        if (!vellora.waitForFinished(5000))
            vellora.kill();
    }

    void idleAfterStartUp() { expectIdle(); }

    void aPersonUsesIt() {
        TestWindows windows;
        const QString gamma = windows.start("xterm", {"-class", "gamma"}, "gamma");
        const QString beta = windows.start("xterm", {"-class", "Beta"}, "Beta");
        const QString alpha = windows.start("xterm", {"-class", "Alpha"}, "Alpha");
        QVERIFY(!alpha.isEmpty() && !beta.isEmpty() && !gamma.isEmpty());
        const QPoint tray = geometryOf(desktop::run("xdotool", {"search", "--classname", "^panel$"})
                                           .value_or(QString())
                                           .section('\n', 0, 0))
                                .center();

        // Open the list, narrow it to Alpha and open its editor; the slider has the keyboard.
        QVERIFY(click(tray));
        QTRY_VERIFY_WITH_TIMEOUT(shown(kList) && focused(kList), 10000);
        QVERIFY(desktop::run("xdotool", {"type", "--delay", "30", "Alph"}).has_value());
        QTest::qWait(300);
        screenshot("e2e-popover.png");
        keys({"Return"});
        QTRY_VERIFY_WITH_TIMEOUT(lines().contains("\U0001F534Alpha") && shown(kEditor), 10000);
        QVERIFY(keys({"Right", "Right", "Right", "Right", "Right", "Right", "Left"}));
        QTRY_VERIFY_WITH_TIMEOUT(lines().contains("50/*/*/*/*/Alpha"), 10000);
        screenshot("e2e-editor.png");
        // Return is the editor's: it closes, and the program lives on.
        QVERIFY(keys({"Return"}));
        QTRY_VERIFY_WITH_TIMEOUT(lines().contains("close") && !shown(kEditor), 10000);
        QCOMPARE(vellora.state(), QProcess::Running);
        // The list now marks Alpha blue; a click elsewhere closes it.
        keys({"Return"});
        QTRY_VERIFY_WITH_TIMEOUT(lines().contains("\U0001F535Alpha"), 10000);
        screenshot("e2e-blue-marker.png");
        QVERIFY(click(QPoint(60, 700)));
        QTRY_VERIFY(!shown(kList) && !shown(kEditor));

        // The master volume follows the active application.
        QVERIFY(TestWindows::activate(beta));
        QTest::qWait(300);
        QVERIFY(desktop::run("pactl", {"set-sink-volume", "@DEFAULT_SINK@", "35%"}));
        QVERIFY(TestWindows::activate(alpha));
        QTRY_COMPARE_WITH_TIMEOUT(desktop::sinkPercent(), 50, 10000);

        // Opening the list, searching, opening an editor and closing it all with the tray icon
        // is no application switch: Alpha's level stays and nothing touches the sink. The level
        // written by hand in the settings file shows as a blue marker.
        SinkEvents quiet;
        QVERIFY(click(tray));
        QTRY_VERIFY_WITH_TIMEOUT(shown(kList) && focused(kList), 10000);
        QVERIFY(keys({"ctrl+a"})); // the search kept from before is replaced
        QVERIFY(desktop::run("xdotool", {"type", "--delay", "30", "Writer"}).has_value());
        keys({"Return"});
        QTRY_VERIFY_WITH_TIMEOUT(lines().contains("\U0001F535Gamma Writer") && shown(kEditor),
                                 10000);
        QTest::qWait(800); // a second click sooner is a double click, which does not toggle
        QVERIFY(click(tray));
        QTRY_VERIFY(!shown(kList) && !shown(kEditor));
        QCOMPARE(quiet.count(), 0);
        QCOMPARE(desktop::sinkPercent(), 50);

        // From one configured application to another, through no window for an instant: its
        // level is set and nothing in between. Nothing in front, lastingly, restores.
        SinkEvents once;
        QVERIFY(nothingInFront());
        QVERIFY(TestWindows::activate(gamma));
        QTRY_COMPARE_WITH_TIMEOUT(desktop::sinkPercent(), 80, 10000);
        QCOMPARE(once.count(), 1);
        QVERIFY(nothingInFront());
        QTRY_COMPARE_WITH_TIMEOUT(desktop::sinkPercent(), 35, 10000);
    }

    void idleAfterUse() { expectIdle(); }

    // The panel comes after the program, as often at login: the icon settles into the tray
    // once there is one, and a click on it opens the list.
    void trayAppearsLate() {
        QVERIFY(desktop::session("tray-stop"));
        const auto trayBack = qScopeGuard([] { desktop::session("tray-start"); });
        QTemporaryDir runtime, config; // a second program of its own beside the running one
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("XDG_RUNTIME_DIR", runtime.path());
        env.insert("XDG_CONFIG_HOME", config.path());
        QProcess late;
        late.setProcessEnvironment(env);
        late.start(QStringLiteral(VELLORA_PROGRAM), {});
        QString said;
        const auto saidSo = [&](const QString& text) {
            said += QString::fromUtf8(late.readAllStandardOutput());
            return said.count(text);
        };
        QTRY_VERIFY_WITH_TIMEOUT(saidSo("No system tray"), 15000);
        QVERIFY(desktop::session("tray-start"));
        // With its list closed, the program's one visible window is its icon in the tray.
        const auto icon = [&] {
            const QString pid = QString::number(late.processId());
            return desktop::run("xdotool", {"search", "--onlyvisible", "--pid", pid})
                .value_or(QString())
                .section('\n', 0, 0);
        };
        QTRY_VERIFY_WITH_TIMEOUT(!icon().isEmpty(), 10000);
        QTest::qWait(500); // the running program's icon joins too: let the panel settle
        const qsizetype before = saidSo("fet");
        QVERIFY(click(geometryOf(icon()).center()));
        QTRY_VERIFY_WITH_TIMEOUT(saidSo("fet") > before && shown(kList), 10000);
        late.terminate();
        QVERIFY(late.waitForFinished(5000));
    }

private:
    // Nothing happening: the program sleeps. A timer or a polling loop would wake it over and
    // over (a blinking cursor in a hidden field alone wakes it twice a second).
    void expectIdle() {
        QTest::qWait(1500);
        const qint64 before = wakeUps();
        QTest::qWait(3000);
        const qint64 woken = wakeUps() - before;
        qInfo("idle for 3 s: %lld wake-ups", woken);
        QVERIFY2(woken < 3, qPrintable(QString::number(woken)));
    }

    // Context switches of all the program's threads so far.
    qint64 wakeUps() const {
        qint64 total = 0;
        const QString tasks = QStringLiteral("/proc/%1/task").arg(vellora.processId());
        for (const QString& task : QDir(tasks).entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
            QFile status(tasks + '/' + task + "/status");
            if (status.open(QIODevice::ReadOnly))
                for (const QByteArray& line : status.readAll().split('\n'))
                    if (line.contains("ctxt_switches:"))
                        total += line.split(':').value(1).trimmed().toLongLong();
        }
        return total;
    }
};

QTEST_GUILESS_MAIN(TestEndToEnd)
#include "test_e2e.moc"
