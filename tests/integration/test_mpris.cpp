// Music players over MPRIS on a private session bus, with players of the tests' own.
#include "core/Diagnostics.h"
#include "core/MusicPlayerCheck.h"
#include "core/UserDefaults.h"
#include "platform/linux/MprisPlayers.h"
#include "support/Desktop.h"
#include "support/TempDefaults.h"

#include <QProcess>
#include <QtTest>
#include <csignal>
#include <memory>
#include <vector>

using namespace vellora;

class TestMpris : public QObject {
    Q_OBJECT

    std::vector<std::unique_ptr<QProcess>> players;

    QProcess* startPlayer(const QString& name, const QString& status) {
        auto p = std::make_unique<QProcess>();
        p->start(QStringLiteral(FAKE_PLAYER), {name, status});
        if (!p->waitForReadyRead(10000) || !p->readAll().startsWith("ready"))
            return nullptr;
        players.push_back(std::move(p));
        return players.back().get();
    }

private slots:
    void initTestCase() {
        QVERIFY2(!desktop::sessionDir().isEmpty(), "run inside with-desktop.sh");
    }

    void cleanup() {
        for (auto& p : players) {
            ::kill(pid_t(p->processId()), SIGCONT);
            p->kill();
            p->waitForFinished(2000);
        }
        players.clear();
    }

    void states_data() {
        QTest::addColumn<QStringList>("statuses"); // one player each; "" for none
        QTest::addColumn<int>("running");
        QTest::addColumn<bool>("tunes");
        QTest::newRow("absent") << QStringList{} << 0 << false;
        QTest::newRow("paused") << QStringList{"Paused"} << 1 << false;
        QTest::newRow("stopped") << QStringList{"Stopped"} << 1 << false;
        QTest::newRow("playing") << QStringList{"Playing"} << 1 << true;
        QTest::newRow("paused and playing") << QStringList{"Paused", "Playing"} << 2 << true;
    }
    void states() {
        QFETCH(QStringList, statuses);
        QFETCH(int, running);
        QFETCH(bool, tunes);
        for (qsizetype i = 0; i < statuses.size(); ++i)
            QVERIFY(startPlayer(QStringLiteral("test%1").arg(i), statuses.at(i)));
        // The playerctld proxy is not a player of its own.
        QVERIFY(startPlayer("playerctld", "Playing"));

        MprisPlayers source;
        QVERIFY(source.isAvailable());
        QCOMPARE(source.runningPlayers().size(), running);

        TempDefaults store;
        store.defaults->setBool(UserDefaults::kItunes, true);
        MusicPlayerCheck check(*store.defaults, &source);
        DiagnosticCapture out;
        QCOMPARE(check.tunesx(), tunes);
        QCOMPARE(out.logLines.count("alreadyRunning"), running);
        QCOMPARE(out.lines.count("playing"), tunes ? 1 : 0);
    }

    // A player that never answers costs the bounded wait, and counts as not playing.
    void playerThatNeverAnswers() {
        QProcess* hung = startPlayer("hung", "Playing");
        QVERIFY(hung);
        ::kill(pid_t(hung->processId()), SIGSTOP);
        MprisPlayers source(std::chrono::milliseconds(200));
        QCOMPARE(source.runningPlayers(), QStringList{"org.mpris.MediaPlayer2.hung"});
        QElapsedTimer timer;
        timer.start();
        QCOMPARE(source.isPlaying("org.mpris.MediaPlayer2.hung"), false);
        qInfo("unanswered call returned after %lld ms", timer.elapsed());
    }
};

QTEST_GUILESS_MAIN(TestMpris)
#include "test_mpris.moc"
