// Music players over MPRIS on a private session bus, with players of the tests' own.
#include "core/Diagnostics.h"
#include "core/MusicPlayerCheck.h"
#include "platform/linux/MprisPlayers.h"
#include "support/Desktop.h"
#include "support/TempDefaults.h"

#include <QtTest>
#include <csignal>

using namespace vellora;

class TestMpris : public QObject {
    Q_OBJECT

    QList<QProcess*> players; // owned; ended after each test

    QProcess* startPlayer(const QString& name, const QString& status) {
        auto* p = new QProcess(this);
        players << p;
        p->start(QStringLiteral(FAKE_PLAYER), {name, status});
        return p->waitForReadyRead(10000) && p->readAll().startsWith("ready") ? p : nullptr;
    }

private slots:
    void initTestCase() { QVERIFY2(!desktop::sessionDir().isEmpty(), "run in with-desktop.sh"); }

    void cleanup() {
        for (QProcess* p : std::exchange(players, {})) {
            p->kill(); // a stopped player too
            p->waitForFinished(2000);
            delete p;
        }
    }

    // A player that never answers costs the bounded wait only, and counts as not playing.
    void states_data() {
        QTest::addColumn<QStringList>("statuses"); // one player each
        QTest::addColumn<bool>("hung");            // the first player stops answering
        QTest::addColumn<bool>("tunes");
        QTest::newRow("absent") << QStringList{} << false << false;
        QTest::newRow("paused") << QStringList{"Paused"} << false << false;
        QTest::newRow("paused and playing") << QStringList{"Paused", "Playing"} << false << true;
        QTest::newRow("hung while playing") << QStringList{"Playing"} << true << false;
    }
    void states() {
        QFETCH(QStringList, statuses);
        QFETCH(bool, hung);
        QFETCH(bool, tunes);
        for (qsizetype i = 0; i < statuses.size(); ++i)
            QVERIFY(startPlayer(QStringLiteral("test%1").arg(i), statuses.at(i)));
        if (hung)
            ::kill(pid_t(players.first()->processId()), SIGSTOP);
        // The playerctld proxy is not a player of its own.
        QVERIFY(startPlayer("playerctld", "Playing"));

        MprisPlayers source;
        TempDefaults store;
        store.defaults->setBool(UserDefaults::kItunes, true);
        MusicPlayerCheck check(*store.defaults, &source);
        DiagnosticCapture out;
        const QDeadlineTimer bound(2000);
        QCOMPARE(check.tunesx(), tunes);
        QVERIFY(!bound.hasExpired());
        QCOMPARE(out.logLines.count("alreadyRunning"), statuses.size());
        QCOMPARE(out.lines.count("playing"), tunes ? 1 : 0);
    }
};

QTEST_GUILESS_MAIN(TestMpris)
#include "test_mpris.moc"
