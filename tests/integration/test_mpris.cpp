// Music players over MPRIS on a private session bus, with players of the tests' own.
#include "base/Diagnostics.h"
#include "core/MusicPlayerCheck.h"
#include "platform/linux/MprisPlayers.h"
#include "support/Desktop.h"
#include "support/TempDefaults.h"

#include <QtTest>
#include <csignal>

using namespace vellora;

class TestMpris : public QObject {
    Q_OBJECT

    QList<QProcess*> players; // ended with the test

    bool startPlayer(const QString& name, const QString& status) {
        QProcess* p = players.emplaceBack(new QProcess(this));
        p->start(QStringLiteral(FAKE_PLAYER), {name, status == "hung" ? "Playing" : status});
        return p->waitForReadyRead(10000) && p->readAll().startsWith("ready") &&
               (status != "hung" || ::kill(pid_t(p->processId()), SIGSTOP) == 0);
    }

private Q_SLOTS:
    void initTestCase() { QVERIFY2(!desktop::sessionDir().isEmpty(), "run in with-desktop.sh"); }

    void cleanupTestCase() {
        for (QProcess* p : players) {
            p->kill(); // a stopped one too
            p->waitForFinished(2000);
        }
    }

    // Players join one by one. The playerctld proxy is no player of its own; a hung one (playing,
    // then stopped) costs the bounded wait only, is not playing, and hides no later player.
    void playersJoin() {
        TempDefaults store;
        store.defaults->setBool(UserDefaults::kItunes, true);
        MprisPlayers source;
        MusicPlayerCheck check(*store.defaults, &source);
        QVERIFY(startPlayer("playerctld", "Playing"));
        const QStringList joining{{}, "Paused", "hung", "Playing"};
        for (qsizetype n = 0; n < joining.size(); ++n) {
            QVERIFY(n == 0 || startPlayer(QString("test%1").arg(n), joining[n]));
            DiagnosticCapture out;
            QCOMPARE(check.holdsSwitching(), joining[n] == "Playing"); // a hang would never return
            QCOMPARE(out.logLines.count("alreadyRunning"), n);
            QCOMPARE(out.lines.count("playing"), joining[n] == "Playing" ? 1 : 0);
        }
    }
};

QTEST_GUILESS_MAIN(TestMpris)
#include "test_mpris.moc"
