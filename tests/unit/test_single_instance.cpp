// Starts of the single-instance guard in separate processes, racing or alone.
#include <QtTest>
#include <vector>

class TestSingleInstance : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // Starts at the same moment: exactly one keeps running, every other hands over to it.
    void simultaneousStarts() {
        for (int starts : {2, 8}) {
            QTemporaryDir runtime;
            qputenv("XDG_RUNTIME_DIR", runtime.path().toUtf8());
            const QString at = QString::number(QDateTime::currentMSecsSinceEpoch() + 1500);
            std::vector<QProcess> all(starts);
            for (QProcess& p : all)
                p.start(PROBE, {at});
            QStringList roles;
            for (QProcess& p : all) {
                QTRY_VERIFY_WITH_TIMEOUT(p.canReadLine(), 10000);
                roles << p.readLine().trimmed();
            }
            QCOMPARE(roles.count("primary"), 1);
            QCOMPARE(roles.count("handed-over"), starts - 1);
            QProcess& primary = all[roles.indexOf("primary")];
            for (QProcess& p : all)
                QTRY_VERIFY_WITH_TIMEOUT(
                    &p == &primary || (p.state() == QProcess::NotRunning &&
                                       p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0),
                    5000);
            QByteArray said;
            QTRY_COMPARE_WITH_TIMEOUT((said += primary.readAll()).count("reopened"), starts - 1,
                                      5000);
            QCOMPARE(primary.state(), QProcess::Running);
            primary.kill();
            primary.waitForFinished();
        }
    }

    // A runtime folder that cannot be used is said plainly, and the program runs all the same.
    void unusableRuntimeFolder() {
        qputenv("XDG_RUNTIME_DIR", "/nonexistent/run");
        QProcess p;
        p.setProcessChannelMode(QProcess::MergedChannels);
        p.start(PROBE, {"0"});
        QByteArray out;
        QTRY_VERIFY_WITH_TIMEOUT((out += p.readAll()).endsWith("primary\n"), 10000);
        QVERIFY2(out.contains("Cannot listen"), out);
        p.kill();
        p.waitForFinished();
    }
};

QTEST_GUILESS_MAIN(TestSingleInstance)
#include "test_single_instance.moc"
