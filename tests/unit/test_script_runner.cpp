// The script runner against real child processes: small interpreters written by the test.
#include "core/AppVolumeTable.h"
#include "core/Diagnostics.h"
#include "core/MusicPlayerCheck.h"
#include "core/ScriptVolumeControl.h"
#include "core/VolumeSwitch.h"
#include "support/TempDefaults.h"

#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

using namespace vellora;
using namespace std::chrono_literals;

class TestScriptRunner : public QObject {
    Q_OBJECT

    QTemporaryDir dir;

    // An interpreter that records its arguments (one per line) and then runs body.
    QString interpreter(const QString& name, const QString& body) {
        const QString path = dir.filePath(name);
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly))
            qFatal("cannot write %s", qPrintable(path));
        file.write("#!/bin/sh\nprintf '%s\\n' \"$@\" > \"$0.args\"\n");
        file.write(body.toUtf8());
        file.write("\n");
        file.close();
        file.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        return path;
    }

    static QStringList argsOf(const QString& interpreterPath) {
        QFile file(interpreterPath + ".args");
        if (!file.open(QIODevice::ReadOnly))
            return {};
        return QString::fromUtf8(file.readAll()).split('\n', Qt::SkipEmptyParts);
    }

private slots:
    void read_data() {
        QTest::addColumn<QString>("body");
        QTest::addColumn<QVariant>("captured"); // invalid: nothing captured
        QTest::newRow("number and line break") << "printf '35\\n'" << QVariant("35\n");
        QTest::newRow("no output") << "true" << QVariant();
        QTest::newRow("invalid UTF-8") << "printf '\\377\\376'" << QVariant();
        QTest::newRow("non-zero exit still captures")
            << "printf '12\\n'; exit 3" << QVariant("12\n");
        QTest::newRow("UTF-8 text") << "printf 'n\\303\\243o'" << QVariant(QStringLiteral("não"));
        QTest::newRow("later chunk replaces earlier")
            << "printf '10\\n'; sleep 0.3; printf '20\\n'" << QVariant("20\n");
        QTest::newRow("invalid later chunk keeps the earlier")
            << "printf '30\\n'; sleep 0.3; printf '\\377'" << QVariant("30\n");
        QTest::newRow("standard error is not captured")
            << "printf 'oops\\n' >&2; printf '44\\n'" << QVariant("44\n");
    }
    void read() {
        QFETCH(QString, body);
        QFETCH(QVariant, captured);
        const QString path = interpreter(QTest::currentDataTag(), body);
        ScriptVolumeControl runner(path, 5s);
        DiagnosticCapture out;
        const auto text = runner.readOutputVolume();
        QCOMPARE(text.has_value(), captured.isValid());
        if (text)
            QCOMPARE(*text, captured.toString());
        QCOMPARE(argsOf(path), (QStringList{"-e", ScriptVolumeControl::kReadScript}));
        QVERIFY(out.lines.isEmpty());
    }

    void setPassesTheExactScript_data() {
        QTest::addColumn<int>("percent");
        QTest::addColumn<QString>("script");
        QTest::newRow("50") << 50 << "set volume output volume 50";
        QTest::newRow("0") << 0 << "set volume output volume 0";
        QTest::newRow("100") << 100 << "set volume output volume 100";
    }
    void setPassesTheExactScript() {
        QFETCH(int, percent);
        QFETCH(QString, script);
        const QString path = interpreter(QStringLiteral("set") + QTest::currentDataTag(), "exit 1");
        ScriptVolumeControl(path, 5s).setOutputVolume(percent);
        QCOMPARE(argsOf(path), (QStringList{"-e", script}));
    }

    void childThatOverstaysIsStopped() {
        const QString pidFile = dir.filePath("sleeper.pid");
        const QString path =
            interpreter("sleeper", QStringLiteral("echo $$ > '%1'; exec sleep 30").arg(pidFile));
        ScriptVolumeControl runner(path, 300ms);
        DiagnosticCapture out;
        QVERIFY(!runner.readOutputVolume());
        QCOMPARE(out.lines.size(), 1);
        QVERIFY(out.lines.first().contains("did not finish"));

        QFile file(pidFile);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray pid = file.readAll().trimmed();
        QVERIFY(!pid.isEmpty());
        QVERIFY2(!QFile::exists("/proc/" + pid), "the overstaying child is gone");

        runner.setOutputVolume(10);
        QCOMPARE(out.lines.size(), 2);
    }

    void missingInterpreterSaysSoOnce() {
        ScriptVolumeControl runner(dir.filePath("no-such-interpreter"), 2s);
        DiagnosticCapture out;
        QVERIFY(!runner.readOutputVolume());
        QCOMPARE(out.lines.size(), 1);
        QVERIFY(out.lines.first().startsWith("volume script: cannot run"));
        runner.setOutputVolume(50);
        QCOMPARE(out.lines.size(), 2);
    }

    // The whole road with a real interpreter that keeps "the volume" in a file: the captured
    // "35" plus line break comes back as 35.
    void switchRestoresThroughTheInterpreter() {
        const QString state = dir.filePath("volume.state");
        QFile::remove(state);
        {
            QFile f(state);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write("35\n");
        }
        const QString path = interpreter(
            "mixer", QStringLiteral("case \"$2\" in\n"
                                    "  'set volume output volume '*) echo \"${2##* }\" > '%1' ;;\n"
                                    "  *) cat '%1' ;;\n"
                                    "esac")
                         .arg(state));
        ScriptVolumeControl runner(path, 5s);
        TempDefaults store;
        AppVolumeTable table(*store.defaults);
        table.putEntry("70", "Alpha");
        MusicPlayerCheck check(*store.defaults, nullptr);
        VolumeSwitch volumeSwitch(table, runner, check);

        auto volumeNow = [&] {
            QFile f(state);
            return f.open(QIODevice::ReadOnly) ? f.readAll().trimmed() : QByteArray();
        };
        volumeSwitch.setPreviousApplication(RunningApplication{QStringLiteral("Alpha"), {}, 1});
        QCOMPARE(volumeNow(), QByteArray("70"));
        QCOMPARE(volumeSwitch.volume(), QStringLiteral("35\n"));
        volumeSwitch.setPreviousApplication(RunningApplication{QStringLiteral("Beta"), {}, 2});
        QCOMPARE(volumeNow(), QByteArray("35"));
        QVERIFY(!volumeSwitch.mudou());
    }
};

QTEST_GUILESS_MAIN(TestScriptRunner)
#include "test_script_runner.moc"
