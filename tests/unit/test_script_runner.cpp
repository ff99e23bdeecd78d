// The script runner against real child processes: small interpreters written by the test.
#include "core/Diagnostics.h"
#include "platform/script/ScriptVolumeControl.h"

#include <QtTest>

using namespace vellora;
using namespace std::chrono_literals;

class TestScriptRunner : public QObject {
    Q_OBJECT

    QTemporaryDir dir;

    // An interpreter that writes its arguments, one a line, to PATH.args and then runs body.
    QString interpreter(const QString& name, const QString& body) {
        const QString path = dir.filePath(name);
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly))
            qFatal("cannot write %s", qPrintable(path));
        file.write("#!/bin/sh\nprintf '%s\\n' \"$@\" > \"$0.args\"\n" + body.toUtf8() + "\n");
        file.close();
        file.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        return path;
    }
    static QString fileText(const QString& path) {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
    }

private slots:
    void read_data() {
        QTest::addColumn<QString>("body");
        QTest::addColumn<QVariant>("captured"); // invalid: nothing captured
        QTest::newRow("number and line break") << "printf '35\\n'" << QVariant("35\n");
        QTest::newRow("no output") << "true" << QVariant();
        QTest::newRow("invalid UTF-8") << "printf '\\377\\376'" << QVariant();
        QTest::newRow("failing script still captures") << "printf '12'; exit 3" << QVariant("12");
        QTest::newRow("a later chunk replaces an earlier one")
            << "printf '10\\n'; sleep 0.3; printf 'n\\303\\243o'" << QVariant("não");
        QTest::newRow("an invalid later chunk keeps the earlier one")
            << "printf '30\\n'; sleep 0.3; printf '\\377'" << QVariant("30\n");
        QTest::newRow("standard error is not captured")
            << "echo oops >&2; echo 44" << QVariant("44\n");
    }
    void read() {
        QFETCH(QString, body);
        QFETCH(QVariant, captured);
        const QString path = interpreter(QTest::currentDataTag(), body);
        DiagnosticCapture out;
        QCOMPARE(ScriptVolumeControl(path, 5s).readOutputVolume(),
                 captured.isValid() ? std::optional(captured.toString()) : std::nullopt);
        QCOMPARE(fileText(path + ".args"), "-e\n" + ScriptVolumeControl::kReadScript + "\n");
        QVERIFY(out.lines.isEmpty());
    }

    // Only a whole number from 0 to 100 reaches the interpreter, as one argument of a script.
    void setPassesTheExactScript() {
        const QString path = interpreter("set", "exit 1");
        ScriptVolumeControl runner(path, 5s);
        DiagnosticCapture out;
        runner.setOutputVolume(101);
        runner.setOutputVolume(-1);
        QCOMPARE(out.lines.filter("refused").size(), 2);
        QVERIFY(!QFile::exists(path + ".args"));
        runner.setOutputVolume(100);
        QCOMPARE(fileText(path + ".args"), "-e\nset volume output volume 100\n");
    }

    // A child that overstays its bound is stopped; a missing interpreter is said, never fatal.
    void failuresAreBoundedAndSaid() {
        const QString pidFile = dir.filePath("sleeper.pid");
        ScriptVolumeControl sleeper(
            interpreter("sleeper", QStringLiteral("echo $$ > '%1'; exec sleep 30").arg(pidFile)),
            300ms);
        ScriptVolumeControl missing(dir.filePath("no-such-interpreter"), 2s);
        DiagnosticCapture out;
        QCOMPARE(sleeper.readOutputVolume(), std::nullopt);
        const QString pid = fileText(pidFile).trimmed();
        QVERIFY(!pid.isEmpty());
        QVERIFY2(!QFile::exists("/proc/" + pid), "the overstaying child is gone");
        QCOMPARE(missing.readOutputVolume(), std::nullopt);
        missing.setOutputVolume(50);
        QCOMPARE(out.lines.size(), 3);
        QVERIFY(out.lines.at(0).contains("did not finish"));
        QVERIFY(out.lines.at(1).startsWith("volume script: cannot run"));
    }
};

QTEST_GUILESS_MAIN(TestScriptRunner)
#include "test_script_runner.moc"
