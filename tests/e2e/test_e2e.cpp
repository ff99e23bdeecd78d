// The real program in the throwaway desktop, driven as a person would: the tray icon, the
// popover, a search, the editor, clicks elsewhere, and windows becoming active.
#include "support/Program.h"
#include "support/Windows.h"

#include <QDir>
#include <QTemporaryDir>
#include <QtTest>

// Counts the audio server's sink changes from now on.
struct SinkEvents : QProcess {
    SinkEvents() {
        start("pactl", {"subscribe"});
        QTest::qWait(300); // subscribed before anything happens
    }
    qsizetype count() {
        QTest::qWait(800); // late events arrive too
        terminate();
        waitForFinished(2000);
        return QString::fromUtf8(readAllStandardOutput()).count("on sink #");
    }
};

class TestEndToEnd : public QObject, ProgramDriver {
    Q_OBJECT

    const QStringList kNothingInFront =
        QString("-root -f _NET_ACTIVE_WINDOW 32x -set _NET_ACTIVE_WINDOW 0").split(' ');

private Q_SLOTS:
    void initTestCase() {
        QVERIFY2(!desktop::sessionDir().isEmpty(), "run inside with-desktop.sh");
        QVERIFY(startWith("[General]\nApps=, 80/*/*/*/*/Gamma Writer\n")); // a level by hand
    }
    void cleanupTestCase() {
        vellora.terminate();
        QVERIFY(vellora.waitForFinished(5000));
    }

    void idleAfterStartUp() { expectIdle(); }

    void aPersonUsesIt() {
        TestWindows windows;
        const auto xterm = [&](QString c) { return windows.start("xterm", {"-class", c}, c); };
        const QString gamma = xterm("gamma"), beta = xterm("Beta"), alpha = xterm("Alpha");
        QVERIFY(!alpha.isEmpty() && !beta.isEmpty() && !gamma.isEmpty());
        const QPoint tray = middleOf("search --classname ^panel$");

        // Open the list, narrow it to Alpha and open its editor; the slider has the keyboard.
        QVERIFY(click(tray));
        QTRY_VERIFY_WITH_TIMEOUT(shown(kList, "getactivewindow"), 10000);
        QVERIFY(xdo("type --delay 30 Alph\r")); // \r: Return
        QTRY_VERIFY_WITH_TIMEOUT(lines().contains("\U0001F534Alpha") && shown(kEditor), 10000);
        QVERIFY(xdo("key --delay 30 Right Right Right Right Right Right Left"));
        QTRY_VERIFY_WITH_TIMEOUT(lines().contains("50/*/*/*/*/Alpha"), 10000);
        // Return is the editor's: it closes, and the program lives on.
        QVERIFY(xdo("key Return"));
        QTRY_VERIFY_WITH_TIMEOUT(lines().contains("close") && !shown(kEditor), 10000);
        QCOMPARE(vellora.state(), QProcess::Running);
        // The list now marks Alpha blue; a click elsewhere closes it.
        QVERIFY(xdo("key Return"));
        QTRY_VERIFY_WITH_TIMEOUT(lines().contains("\U0001F535Alpha"), 10000);
        QVERIFY(click({60, 700}));
        QTRY_VERIFY(!shown(kList) && !shown(kEditor));

        // The master volume follows the active application.
        QVERIFY(TestWindows::activate(beta));
        QTest::qWait(300);
        QVERIFY(desktop::run("pactl", {"set-sink-volume", "@DEFAULT_SINK@", "35%"}));
        QVERIFY(TestWindows::activate(alpha));
        QTRY_COMPARE_WITH_TIMEOUT(desktop::sinkPercent(), 50, 10000);

        // Opening the list, searching (the search kept from before is replaced), opening an
        // editor and closing it all with the tray icon is no application switch: Alpha's level
        // stays and nothing touches the sink. The level written by hand shows as a blue marker.
        SinkEvents quiet;
        QVERIFY(click(tray));
        QTRY_VERIFY_WITH_TIMEOUT(shown(kList, "getactivewindow"), 10000);
        QVERIFY(xdo("key ctrl+a type --delay 30 Writer\r"));
        QTRY_VERIFY_WITH_TIMEOUT(lines().contains("\U0001F535Gamma Writer") && shown(kEditor),
                                 10000);
        QTest::qWait(800); // a second click sooner is a double click, which does not toggle
        QVERIFY(click(tray));
        QTRY_VERIFY(!shown(kList) && !shown(kEditor));
        QCOMPARE(quiet.count(), 0);

        // From one configured application to another, through no window for an instant: its
        // level is set and nothing in between. Nothing in front, lastingly, restores.
        SinkEvents once;
        QVERIFY(desktop::run("xprop", kNothingInFront));
        QVERIFY(TestWindows::activate(gamma));
        QTRY_COMPARE_WITH_TIMEOUT(desktop::sinkPercent(), 80, 10000);
        QCOMPARE(once.count(), 1);
        QVERIFY(desktop::run("xprop", kNothingInFront));
        QTRY_COMPARE_WITH_TIMEOUT(desktop::sinkPercent(), 35, 10000);
    }

    void idleAfterUse() { expectIdle(); }

    // The panel comes after the program, as often at login: the icon settles into the tray
    // once there is one, and a click on it opens that program's list.
    void trayAppearsLate() {
        QVERIFY(desktop::session("tray-stop"));
        const auto trayBack = qScopeGuard([] { desktop::session("tray-start"); });
        QTemporaryDir own; // a second program of its own beside the running one
        QProcess late;
        late.setEnvironment(QProcess::systemEnvironment()
                            << "XDG_RUNTIME_DIR=" + own.path() << "XDG_CONFIG_HOME=" + own.path());
        late.setProcessChannelMode(QProcess::MergedChannels);
        late.start(VELLORA_PROGRAM, {});
        QTRY_VERIFY_WITH_TIMEOUT(late.peek(1 << 20).contains("No system tray"), 15000);
        QVERIFY(desktop::session("tray-start"));
        // With its list closed, the program's one visible window is its icon in the tray.
        const auto mine = QString("search --all --onlyvisible --pid %1 .*").arg(late.processId());
        QTRY_VERIFY_WITH_TIMEOUT(!out(mine).isEmpty(), 10000);
        QTest::qWait(500); // the running program's icon joins too: let the panel settle
        QVERIFY(click(middleOf(mine)));
        QTRY_VERIFY_WITH_TIMEOUT(shown(kList, mine), 10000);
        late.terminate();
        QVERIFY(late.waitForFinished(5000));
    }

    // Launch at login turned on; what the desktop then starts finds the program running.
    void launchAtLogin() {
        QVERIFY(click(middleOf("search --classname ^panel$")));
        QTRY_VERIFY_WITH_TIMEOUT(shown(kList, "getactivewindow"), 10000);
        QVERIFY(click(middleOf("getactivewindow") + QPoint(164, -191))); // options, top right
        QVERIFY(xdo("sleep 1.5 key --delay 150 Down Down Down Return")); // third item
        const QString autostart = qEnvironmentVariable("XDG_CONFIG_HOME") + "/autostart/";
        const auto entries = [&] { return QDir(autostart).entryList({"*.desktop"}); };
        QTRY_VERIFY_WITH_TIMEOUT(lines().contains("2") && entries().size() == 1, 10000);
        QProcess login; // the entry run as a desktop does; the launcher's log reaches the pipe
        login.start("sh", {"-c", "gio launch \"$0\" 2>&1 | cat", autostart + entries().value(0)});
        QVERIFY(login.waitForFinished(20000));
        QVERIFY(login.readAll().contains("alreadyRunning")); // not "notRunning", which starts one
    }

private:
    // Nothing happening: the program sleeps. A timer or a polling loop would wake it over and
    // over (a blinking cursor in a hidden field alone wakes it twice a second).
    void expectIdle() {
        const auto wakeUps = [this] { // context switches of all the program's threads so far
            qint64 total = 0;
            const QString tasks = QString("/proc/%1/task/").arg(vellora.processId());
            static const QRegularExpression re("ctxt_switches:\\s*(\\d+)");
            for (const QString& task : QDir(tasks).entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
                QFile status(tasks + task + "/status");
                status.open(QIODevice::ReadOnly);
                for (auto it = re.globalMatch(status.readAll()); it.hasNext();)
                    total += it.next().captured(1).toLongLong();
            }
            return total;
        };
        QTest::qWait(1500);
        const qint64 before = wakeUps();
        QTest::qWait(3000);
        const qint64 woken = wakeUps() - before;
        QVERIFY2(woken < 3, qPrintable(QString("%1 wake-ups in 3 s").arg(woken)));
    }
};

QTEST_GUILESS_MAIN(TestEndToEnd)
#include "test_e2e.moc"
