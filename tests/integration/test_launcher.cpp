// VelloraLaunch in fixture bundles, each case in a process namespace of its own.
#include "launcher/AppDelegate.h"

#include <QtTest>

class TestLauncher : public QObject {
    Q_OBJECT
    QTemporaryDir dir;

private Q_SLOTS:
    void decidesThenEndsAfterTheDelay() {
        QCOMPARE(vellora::launcher::AppDelegate::mainExecutablePath("/a/b/c/"), "/MacOS/Vellora");
        QCOMPARE(vellora::launcher::AppDelegate::mainExecutablePath("/a/b"), "");
        const QStringList isolated{"--user", "--map-root-user", "--pid", "--fork", "--mount-proc"};
        if (QProcess::execute("unshare", isolated + QStringList{"true"}) != 0)
            QSKIP("no process namespaces here");
        // A case: $1 "Vellora"s running (with the built Vellora's identifier, so the two must
        // agree), the launcher's Contents $2, and in $3 the "Vellora" that notes its start.
        const QString script =
            QString(R"sh(set -e; cd "$0"; R=$PWD/$3/Running.app/Contents; V=$3/MacOS/Vellora
mkdir -p "$R/MacOS" "$2/MacOS" "$3/MacOS"; cp /bin/sleep "$R/MacOS/Vellora"; cp "%1" "$R/"
cp "%2" "$2/MacOS/"; cp "%3" "$2/"; printf '#!/bin/sh\necho >"$0.started"' >"$V"; chmod +x "$V"
for i in $(seq $1); do "$R/MacOS/Vellora" 60 & until [ "$(readlink /proc/$!/exe)" = "$R/MacOS/Vellora" ]; do :; done; done
exec "$2/MacOS/VelloraLaunch")sh")
                .arg(VELLORA_PLIST, LAUNCHER_PROGRAM, LAUNCHER_PLIST);
        const QString login = "%1.app/Contents/Library/LoginItems/VelloraLaunch.app/Contents";
        QList<std::tuple<int, QString, QString>> cases;
        for (int n : {0, 1, 2})
            cases.append({n, login.arg(n), QString("%1.app/Contents").arg(n)});
        cases.append({0, "o/p/q/r", "o/p"}); // outside a bundle its folder stands for one
        const QStringList command = isolated + QStringList{"sh", "-c", script, dir.path()};
        std::vector<std::unique_ptr<QProcess>> launchers;
        for (const auto& [n, launcher, vellora] : cases)
            launchers.emplace_back(new QProcess)
                ->start("unshare", command + QStringList{QString::number(n), launcher, vellora});
        for (size_t i = 0; i < launchers.size(); ++i) {
            const auto& [instances, launcher, vellora] = cases[i];
            QProcess& p = *launchers[i];
            QVERIFY(p.waitForFinished(20000) && p.exitStatus() == QProcess::NormalExit &&
                    !p.exitCode());
            QCOMPARE(QString(p.readAllStandardError()),
                     QString("alreadyRunning\n").repeated(instances) +
                         (instances ? "" : "notRunning\n") + "exit\n");
            QCOMPARE(QFile::exists(dir.filePath(vellora + "/MacOS/Vellora.started")), !instances);
        }
    }
};

QTEST_GUILESS_MAIN(TestLauncher)
#include "test_launcher.moc"
