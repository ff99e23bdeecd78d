// The vellora command against the real program in the throwaway desktop (over its session bus),
// and without it (on the settings file, under the program's lock); bad input changes nothing.
#include "support/Program.h"
#include "support/Windows.h"

#include <QRegularExpression>
#include <QtTest>

struct Answer {
    int status = -1;
    QString out, err;
};

static Answer command(const QStringList& args) {
    QProcess p;
    p.start(VELLORA_PROGRAM, args);
    if (!p.waitForFinished(10000))
        p.kill(), p.waitForFinished(1000);
    return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1,
            QString::fromUtf8(p.readAllStandardOutput()),
            QString::fromUtf8(p.readAllStandardError())};
}

// What the bus announces of Paused, as a monitor of the session bus sees it.
struct PausedSignals : QProcess {
    PausedSignals() {
        start("dbus-monitor", {"--session", "type='signal',path='/com/vellora/Vellora',"
                                            "member='PropertiesChanged'"});
        QTest::qWait(500); // listening before anything happens
    }
    ~PausedSignals() override { terminate(), waitForFinished(2000); }
    QString seen;
    QStringList told() {
        seen += readAllStandardOutput();
        static const QRegularExpression paused("\"Paused\"\\s+variant\\s+boolean (\\w+)");
        QStringList values;
        for (auto it = paused.globalMatch(seen); it.hasNext();)
            values << it.next().captured(1);
        return values;
    }
};

// The error a call of the interface itself ends in (dbus-send prints it on standard error).
static QString busError(const QStringList& args) {
    QProcess p;
    p.start("dbus-send", QStringList{"--session", "--print-reply", "--dest=com.vellora.Vellora",
                                     "/com/vellora/Vellora", "com.vellora.Vellora.SetLevel"} +
                             args);
    p.waitForFinished(10000);
    return QString::fromUtf8(p.readAllStandardError());
}

class TestCommand : public QObject, ProgramDriver {
    Q_OBJECT

    static QString status() { return command({"--status"}).out; }

private Q_SLOTS:
    void initTestCase() {
        QVERIFY2(!desktop::sessionDir().isEmpty(), "run inside with-desktop.sh");
        QVERIFY(startWith("[General]\nApps=, 40/*/*/*/*/Beta\n"));
    }

    void changesAndPauseReachTheRunningProgram() {
        TestWindows windows;
        const QString alpha = windows.start("xterm", {"-class", "Alpha"}, "Alpha"),
                      beta = windows.start("xterm", {"-class", "Beta"}, "Beta");
        QVERIFY(!alpha.isEmpty() && !beta.isEmpty());
        // Stored as the editor stores it, said on the program's standard output, list refreshed.
        const int updates = lines().count("update");
        QCOMPARE(command({"--set-level", "Alpha", "60"}).status, 0);
        QTRY_VERIFY(lines().contains("60/*/*/*/*/Alpha") && lines().count("update") > updates);
        QCOMPARE(command({"--levels"}).out, "40\tBeta\n60\tAlpha\n");
        QVERIFY(TestWindows::activate(alpha));
        QTRY_COMPARE_WITH_TIMEOUT(desktop::sinkPercent(), 60, 10000);
        QTRY_VERIFY(status().startsWith("application: Alpha\nlevel: 60\n"));

        // Paused, the volume stays as it is; resumed, the application in front gets its level.
        PausedSignals paused;
        QCOMPARE(command({"--pause"}).status, 0);
        QVERIFY(TestWindows::activate(beta));
        QTRY_VERIFY(status().contains("application: Beta\n") && status().contains("paused"));
        QTest::qWait(1000); // a switch would have come by now
        QCOMPARE(desktop::sinkPercent(), 60);
        QCOMPARE(command({"--resume"}).status, 0);
        QTRY_COMPARE_WITH_TIMEOUT(desktop::sinkPercent(), 40, 10000);
        QTRY_COMPARE(paused.told(), QStringList({"true", "false"}));

        // A level for the output in use only, and its removal.
        const QString sink = desktop::run("pactl", {"get-default-sink"}).value_or("").trimmed();
        QCOMPARE(command({"--set-level", "Beta", "20", "--output", sink}).status, 0);
        QCOMPARE(command({"--levels"}).out, "40\tBeta\n60\tAlpha\n20\tBeta\t" + sink + "\n");
        QCOMPARE(command({"--remove-level", "Beta", "--output", sink}).status, 0);
        QTRY_VERIFY(lines().contains("já tem"));
        QCOMPARE(command({"--levels"}).out, "40\tBeta\n60\tAlpha\n");

        // The interface checks what it is given itself, whatever the caller.
        const QString invalid = "org.freedesktop.DBus.Error.InvalidArgs";
        QVERIFY(busError({"string:Alpha", "int32:150", "string:"}).contains(invalid));
        QVERIFY(busError({"string:Al\npha", "int32:50", "string:"}).contains(invalid));
        QCOMPARE(command({"--levels"}).out, "40\tBeta\n60\tAlpha\n");

        // A volume set by hand while paused is the user's: quitting leaves it.
        QCOMPARE(command({"--pause"}).status, 0);
        QVERIFY(desktop::run("pactl", {"set-sink-volume", "@DEFAULT_SINK@", "25%"}));
        QTRY_VERIFY(status().contains("level: none"));
        vellora.terminate();
        QVERIFY(vellora.waitForFinished(5000));
        QCOMPARE(desktop::sinkPercent(), 25);
        QVERIFY(startWith("[General]\nApps=, 40/*/*/*/*/Beta, 60/*/*/*/*/Alpha\n"));
    }

    void badInputChangesNothing_data() {
        QTest::addColumn<QStringList>("args");
        QTest::addRow("level above 100") << QStringList{"--set-level", "Alpha", "101"};
        QTest::addRow("level not a number") << QStringList{"--set-level", "Alpha", "ten"};
        QTest::addRow("negative level") << QStringList{"--set-level", "Alpha", "-5"};
        QTest::addRow("empty name") << QStringList{"--set-level", "", "30"};
        QTest::addRow("control character") << QStringList{"--set-level", "Al\x1b[2Jpha", "30"};
        QTest::addRow("unknown output") << QStringList{"--remove-level", "Alpha", "--output", "x"};
        QTest::addRow("unknown option") << QStringList{"--louder"};
        QTest::addRow("missing level") << QStringList{"--set-level", "Alpha"};
    }
    void badInputChangesNothing() {
        QFETCH(QStringList, args);
        const QString before = command({"--levels"}).out;
        for (bool running : {true, false}) {
            if (!running) { // the same refusal from the settings file
                vellora.terminate();
                QVERIFY(vellora.waitForFinished(5000));
            }
            const Answer answer = command(args);
            QVERIFY(answer.status > 0);
            QVERIFY2(answer.err.count('\n') == 1 && answer.err.startsWith("vellora: "),
                     qPrintable(answer.err.toUtf8().toPercentEncoding(" :")));
            QVERIFY(answer.out.isEmpty() && !answer.err.contains('\x1b'));
            QCOMPARE(command({"--levels"}).out, before);
        }
        QVERIFY(
            startWith(QString("[General]\nApps=, 40/*/*/*/*/Beta, 60/*/*/*/*/Alpha\n").toUtf8()));
    }

    // Without the program: the levels are changed in the file; many at once lose none.
    void withoutTheProgram() {
        vellora.terminate();
        QVERIFY(vellora.waitForFinished(5000));
        const Answer pause = command({"--pause"});
        QCOMPARE(pause.status, 1);
        QCOMPARE(pause.err, "vellora: Vellora is not running\n");
        // Many editors at once, of the general levels and of one output's: none is lost.
        QFile conf(qEnvironmentVariable("XDG_CONFIG_HOME") + "/Vellora/Vellora.conf");
        QVERIFY(conf.open(QIODevice::Append) &&
                conf.write("[OutputLevels]\nsinkx=, 5/*/*/*/*/Old\n"));
        conf.close();
        std::vector<std::unique_ptr<QProcess>> editors;
        for (int i = 0; i < 8; ++i) {
            editors.push_back(std::make_unique<QProcess>());
            QStringList args{"--set-level", QString("App %1").arg(i), QString::number(10 * i)};
            editors.back()->start(VELLORA_PROGRAM,
                                  args + QStringList{"--output", "sinkx"}.mid(0, i % 2 ? 2 : 0));
        }
        for (auto& editor : editors)
            QVERIFY(editor->waitForFinished(20000) && editor->exitCode() == 0);
        const QString levels = command({"--levels"}).out;
        for (int i = 0; i < 8; ++i)
            QVERIFY2(levels.contains(
                         QString("%1\tApp %2%3\n").arg(10 * i).arg(i).arg(i % 2 ? "\tsinkx" : "")),
                     qPrintable(levels));
        QVERIFY(levels.startsWith("40\tBeta\n60\tAlpha\n"));
    }
};

QTEST_GUILESS_MAIN(TestCommand)
#include "test_command.moc"
