// Starts of the single-instance guard in separate processes, racing or alone.
#include <QDateTime>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>
#include <memory>
#include <vector>

namespace {

std::unique_ptr<QProcess> startProbe(const QString& runtime, qint64 at) {
    auto p = std::make_unique<QProcess>();
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("XDG_RUNTIME_DIR", runtime);
    p->setProcessEnvironment(env);
    p->start(QStringLiteral(PROBE), {QString::number(at)});
    return p;
}

} // namespace

class TestSingleInstance : public QObject {
    Q_OBJECT

private slots:
    // Starts at the same moment: exactly one keeps running, every other hands over to it.
    void simultaneousStarts_data() {
        QTest::addColumn<int>("starts");
        QTest::newRow("two") << 2;
        QTest::newRow("eight") << 8;
    }
    void simultaneousStarts() {
        QFETCH(int, starts);
        QTemporaryDir runtime;
        const qint64 at = QDateTime::currentMSecsSinceEpoch() + 1500;
        std::vector<std::unique_ptr<QProcess>> all;
        for (int i = 0; i < starts; ++i)
            all.push_back(startProbe(runtime.path(), at));
        QProcess* primary = nullptr;
        for (auto& p : all) {
            QTRY_VERIFY_WITH_TIMEOUT(p->canReadLine(), 10000);
            const QByteArray role = p->readLine().trimmed();
            if (role == "primary") {
                QVERIFY2(!primary, "two instances run");
                primary = p.get();
                continue;
            }
            QCOMPARE(role, "handed-over");
            QTRY_COMPARE_WITH_TIMEOUT(p->state(), QProcess::NotRunning, 5000);
            QCOMPARE(p->exitCode(), 0);
        }
        QVERIFY(primary);
        QByteArray said;
        QTRY_COMPARE_WITH_TIMEOUT((said += primary->readAll()).count("reopened"), starts - 1, 5000);
        QCOMPARE(primary->state(), QProcess::Running);
        primary->closeWriteChannel();
        QVERIFY(primary->waitForFinished(5000));
    }

    // Alone: a name left by a program that crashed is taken over silently; a runtime folder
    // that cannot be used is said plainly, and the program runs all the same.
    void startingAlone_data() {
        QTest::addColumn<QString>("runtime"); // empty: a fresh folder holding a left-over name
        QTest::addColumn<bool>("warned");
        QTest::newRow("left over") << QString() << false;
        QTest::newRow("unusable") << "/nonexistent/run" << true;
    }
    void startingAlone() {
        QFETCH(QString, runtime);
        QFETCH(bool, warned);
        QTemporaryDir fresh;
        QFile leftOver(fresh.filePath("Vellora.instance"));
        QVERIFY(leftOver.open(QIODevice::WriteOnly));
        auto p = startProbe(runtime.isEmpty() ? fresh.path() : runtime, 0);
        p->closeWriteChannel();
        QVERIFY(p->waitForFinished(10000));
        const QByteArray out = p->readAll();
        QVERIFY2(out.endsWith("primary\n") && out.contains("Cannot listen") == warned, out);
    }
};

QTEST_GUILESS_MAIN(TestSingleInstance)
#include "test_single_instance.moc"
