// The real program in the throwaway desktop, driven as a person would: the tray icon, the
// popover, a search, the editor's slider, a click outside, and windows becoming active.
#include "support/Windows.h"

#include <QDir>
#include <QtTest>

namespace {

// Geometry of a window: x, y, width, height.
QRect geometryOf(const QString& window) {
    const QString out =
        desktop::run("xdotool", {"getwindowgeometry", "--shell", window}).value_or(QString());
    QRect r;
    for (const QString& line : out.split('\n')) {
        const QString key = line.section('=', 0, 0);
        const int value = line.section('=', 1).toInt();
        if (key == "X")
            r.moveLeft(value);
        else if (key == "Y")
            r.moveTop(value);
        else if (key == "WIDTH")
            r.setWidth(value);
        else if (key == "HEIGHT")
            r.setHeight(value);
    }
    return r;
}

// The visible window named Vellora with the given size, or an empty text.
QString visibleVelloraWindow(QSize size) {
    const QString ids = desktop::run("xdotool", {"search", "--onlyvisible", "--name", "^Vellora$"})
                            .value_or(QString());
    for (const QString& id : ids.split('\n', Qt::SkipEmptyParts)) {
        if (geometryOf(id).size() == size)
            return id;
    }
    return {};
}

bool click(QPoint at) {
    return desktop::run("xdotool", {"mousemove", QString::number(at.x()), QString::number(at.y()),
                                    "click", "1"})
        .has_value();
}

bool screenshot(const QString& name) {
    QDir().mkpath(QStringLiteral(VELLORA_SHOTS_DIR));
    return desktop::run("import", {"-window", "root", QStringLiteral(VELLORA_SHOTS_DIR "/") + name})
        .has_value();
}

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
        vellora.setProcessChannelMode(QProcess::SeparateChannels);
        vellora.start(QStringLiteral(VELLORA_PROGRAM), {});
        QVERIFY(vellora.waitForStarted());
        // Start-up refreshes the list twice: once for the first showing, once at the end.
        QTRY_VERIFY_WITH_TIMEOUT(lines().count("update") >= 2, 15000);
    }

    void cleanupTestCase() {
        vellora.terminate();
        if (!vellora.waitForFinished(5000))
            vellora.kill();
        vellora.waitForFinished(2000);
    }

    void idleAfterStartUp() { expectIdle(); }

    void aPersonSetsALevel() {
        TestWindows windows;
        const QString beta = windows.start("xterm", {"-class", "Beta"}, "Beta");
        const QString alpha = windows.start("xterm", {"-class", "Alpha"}, "Alpha");
        QVERIFY(!alpha.isEmpty() && !beta.isEmpty());

        // The tray icon sits in trayer's panel.
        const QString panel = desktop::run("xdotool", {"search", "--classname", "^panel$"})
                                  .value_or(QString())
                                  .section('\n', 0, 0);
        QVERIFY(!panel.isEmpty());
        const QPoint trayIcon = geometryOf(panel).center();
        const qsizetype before = lines().count("fet");
        QVERIFY(click(trayIcon));
        QTRY_VERIFY_WITH_TIMEOUT(!visibleVelloraWindow(QSize(380, 430)).isEmpty(), 10000);
        QTRY_VERIFY(lines().count("fet") > before);
        const QRect popover = geometryOf(visibleVelloraWindow(QSize(380, 430)));
        QVERIFY(screenshot("e2e-popover.png"));

        // Narrow the list to Alpha, and open its editor.
        QVERIFY(desktop::run("xdotool", {"type", "--delay", "30", "Alph"}).has_value());
        QTest::qWait(300);
        const QPoint firstButton = popover.topLeft() + QPoint(10 + 90, 48 + 85);
        QVERIFY(click(firstButton));
        QTRY_VERIFY_WITH_TIMEOUT(lines().contains(QStringLiteral("\U0001F534Alpha")), 10000);
        QTRY_VERIFY(!visibleVelloraWindow(QSize(220, 70)).isEmpty());

        // The slider has the keyboard: five steps of 10.
        QVERIFY(desktop::run("xdotool", {"key", "Right", "Right", "Right", "Right", "Right"}));
        QTRY_VERIFY_WITH_TIMEOUT(lines().contains(QStringLiteral("50/*/*/*/*/Alpha")), 10000);
        QVERIFY(screenshot("e2e-editor.png"));

        // Return is the editor's: it closes, and the program lives on.
        QVERIFY(desktop::run("xdotool", {"key", "Right", "Left", "Return"}));
        QTRY_VERIFY_WITH_TIMEOUT(lines().contains(QStringLiteral("close")), 10000);
        QTRY_VERIFY(visibleVelloraWindow(QSize(220, 70)).isEmpty());
        QCOMPARE(vellora.state(), QProcess::Running);
        QVERIFY(click(QPoint(60, 700)));

        // Opened again, Alpha's button carries the blue marker.
        QVERIFY(click(trayIcon));
        QTRY_VERIFY_WITH_TIMEOUT(!visibleVelloraWindow(QSize(380, 430)).isEmpty(), 10000);
        QTest::qWait(300);
        QVERIFY(click(firstButton));
        QTRY_VERIFY_WITH_TIMEOUT(lines().contains(QStringLiteral("\U0001F535Alpha")), 10000);
        QVERIFY(screenshot("e2e-blue-marker.png"));
        QVERIFY(click(QPoint(60, 700)));
        QTRY_VERIFY(visibleVelloraWindow(QSize(220, 70)).isEmpty());

        // The master volume follows the active application. Closing the popover may have
        // handed the focus back to Alpha already: start from Beta.
        QVERIFY(TestWindows::activate(beta));
        QTest::qWait(300);
        QVERIFY(desktop::run("pactl", {"set-sink-volume", "@DEFAULT_SINK@", "35%"}));
        QVERIFY(TestWindows::activate(alpha));
        QTRY_COMPARE_WITH_TIMEOUT(desktop::sinkPercent(), 50, 10000);
        QVERIFY(TestWindows::activate(beta));
        QTRY_COMPARE_WITH_TIMEOUT(desktop::sinkPercent(), 35, 10000);

        // Opening the list, searching in it and closing it is no application switch: with
        // Alpha in front its level stays, and nothing touches the sink.
        QVERIFY(TestWindows::activate(alpha));
        QTRY_COMPARE_WITH_TIMEOUT(desktop::sinkPercent(), 50, 10000);
        QProcess events;
        events.start("pactl", {"subscribe"});
        QVERIFY(events.waitForStarted());
        QVERIFY(click(trayIcon));
        QTRY_VERIFY_WITH_TIMEOUT(!visibleVelloraWindow(QSize(380, 430)).isEmpty(), 10000);
        QVERIFY(desktop::run("xdotool", {"type", "--delay", "30", "Bet"}).has_value());
        QTest::qWait(800); // a second click sooner is a double click, which does not toggle
        QVERIFY(click(trayIcon));
        QTRY_VERIFY(visibleVelloraWindow(QSize(380, 430)).isEmpty());
        QTest::qWait(500);
        events.terminate();
        events.waitForFinished(2000);
        QCOMPARE(QString::fromUtf8(events.readAllStandardOutput()).count("on sink #"), 0);
        QCOMPARE(desktop::sinkPercent(), 50);
    }

    void idleAfterUse() { expectIdle(); }

    // The panel comes after the program, as often at login: the icon settles into the tray
    // once there is one, and a click on it opens the list.
    void trayAppearsLate() {
        QVERIFY(desktop::session("tray-stop"));
        const auto trayBack = qScopeGuard([] { desktop::session("tray-start"); });
        // A second program of its own (runtime folder, settings), beside the one running.
        QTemporaryDir runtime, config;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("XDG_RUNTIME_DIR", runtime.path());
        env.insert("XDG_CONFIG_HOME", config.path());
        QProcess late;
        late.setProcessEnvironment(env);
        late.start(QStringLiteral(VELLORA_PROGRAM), {});
        QString said;
        const auto lines = [&] {
            said += QString::fromUtf8(late.readAllStandardOutput());
            return said.split('\n', Qt::SkipEmptyParts);
        };
        QTRY_VERIFY_WITH_TIMEOUT(lines().join('\n').contains("No system tray"), 15000);

        QVERIFY(desktop::session("tray-start"));
        // With its list closed, the program's one visible window is its icon in the tray.
        const auto icon = [&] {
            return desktop::run("xdotool", {"search", "--onlyvisible", "--pid",
                                            QString::number(late.processId())})
                .value_or(QString())
                .section('\n', 0, 0);
        };
        QTRY_VERIFY_WITH_TIMEOUT(!icon().isEmpty(), 10000);
        QTest::qWait(500); // the running program's icon joins too: let the panel settle
        const qsizetype before = lines().count("fet");
        QVERIFY(click(geometryOf(icon()).center()));
        QTRY_VERIFY_WITH_TIMEOUT(lines().count("fet") > before, 10000);
        QVERIFY(!visibleVelloraWindow(QSize(380, 430)).isEmpty());
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
            if (!status.open(QIODevice::ReadOnly))
                continue;
            for (const QByteArray& line : status.readAll().split('\n')) {
                if (line.contains("ctxt_switches:"))
                    total += line.split(':').value(1).trimmed().toLongLong();
            }
        }
        return total;
    }
};

QTEST_GUILESS_MAIN(TestEndToEnd)
#include "test_e2e.moc"
