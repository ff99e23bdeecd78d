// The script runner against real child processes: small interpreters written by the test.
#include "base/Diagnostics.h"
#include "platform/script/ScriptVolumeControl.h"

#include <QtTest>

using namespace vellora;
using namespace std::chrono_literals;

class TestScriptRunner : public QObject {
    Q_OBJECT

    QTemporaryDir dir;

    // An interpreter that writes its arguments, one a line, to PATH.args and then runs body.
    QString interpreter(const QString& name, const QByteArray& body) {
        QFile file(dir.filePath(name));
        file.open(QIODevice::WriteOnly);
        file.write("#!/bin/sh\nprintf '%s\\n' \"$@\" > \"$0.args\"\n" + body + "\n");
        file.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        return file.fileName();
    }
    QByteArray fileText(const QString& name) {
        QFile f(dir.filePath(name));
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }

private Q_SLOTS:
    // A read captures the last chunk of standard output that decodes as UTF-8, whatever the exit
    // status, and the whole number it holds, if any. A set passes only a whole number from 0 to
    // 100, as one argument of a script, and only to the one output there is.
    void readAndSet() {
        using Row = std::tuple<QByteArray, std::optional<QString>, std::optional<int>>;
        for (const auto& [body, captured, percent] :
             QList<Row>{{"true", std::nullopt, std::nullopt},
                        {"printf '\\377\\376'", std::nullopt, std::nullopt},
                        {"printf '12'; echo oops >&2; exit 3", "12", 12},
                        {"printf '10\\n'; sleep 0.3; printf 'n\\303\\243o'", "não", std::nullopt},
                        {"printf '30\\n'; sleep 0.3; printf '\\377'", "30\n", 30},
                        {"printf ' 7 -1'", " 7 -1", std::nullopt},
                        {"printf '1234567890'", "1234567890", std::nullopt},
                        {"printf '0000000035'", "0000000035", 35}}) {
            ScriptVolumeControl runner(interpreter("script", body), 5s);
            DiagnosticCapture out;
            const auto reading = runner.readOutputVolume();
            QCOMPARE(reading.has_value(), captured.has_value());
            if (reading) {
                QCOMPARE(reading->text, *captured);
                QCOMPARE(reading->percent, percent);
            }
            QVERIFY(!runner.setOutputVolume(50, QStringLiteral("headphones")));
            runner.setOutputVolume(101, kCurrentOutput);
            runner.setOutputVolume(-1, kCurrentOutput);
            QCOMPARE(fileText("script.args"),
                     "-e\n" + ScriptVolumeControl::kReadScript.toUtf8() + "\n");
            runner.setOutputVolume(100, kCurrentOutput);
            QCOMPARE(fileText("script.args"), "-e\nset volume output volume 100\n");
            QCOMPARE(out.loggedSoFar().filter("vellora.script: refused").size(), 2);
            QCOMPARE(out.loggedSoFar().size(), 2);
        }
    }

    // A child that overstays its bound is stopped; a missing interpreter is said, never fatal.
    void failuresAreBoundedAndSaid() {
        const QString sleeper = interpreter("sleeper", "echo $$ > \"$0.pid\"; exec sleep 30");
        DiagnosticCapture out;
        QCOMPARE(ScriptVolumeControl(sleeper, 300ms).readOutputVolume(), std::nullopt);
        const QByteArray pid = fileText("sleeper.pid").trimmed();
        QVERIFY2(!pid.isEmpty() && !QFile::exists("/proc/" + pid), "the overstaying child is gone");
        ScriptVolumeControl missing(dir.filePath("no-such-interpreter"), 2s);
        QCOMPARE(missing.readOutputVolume(), std::nullopt);
        missing.setOutputVolume(50, kCurrentOutput);
        const QStringList said = out.loggedSoFar();
        QCOMPARE(said.size(), 3);
        QVERIFY(said.at(0).contains("did not finish"));
        QVERIFY(said.at(1).startsWith("vellora.script: cannot run"));
    }
};

QTEST_GUILESS_MAIN(TestScriptRunner)
#include "test_script_runner.moc"
