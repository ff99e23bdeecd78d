// The global mouse monitor on real X servers, with XTEST clicks from xdotool.
#include "base/Diagnostics.h"
#include "platform/linux/X11MouseMonitor.h"
#include "support/Desktop.h"

#include <QtTest>

static void clicks(std::initializer_list<std::pair<QPoint, int>> list) {
    for (const auto& [at, b] : list) {
        const QString command = QString("mousemove %1 %2 click %3").arg(at.x()).arg(at.y()).arg(b);
        QVERIFY(desktop::run("xdotool", command.split(' ')));
        QTest::qWait(200); // handled before the next, while the pointer is there
    }
}

class TestMouseMonitor : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void seesClicksElsewhereOnly() {
        vellora::X11MouseMonitor monitor;
        QSignalSpy spy(&monitor, &vellora::GlobalMouseMonitor::pressed);
        QWidget own(nullptr, Qt::FramelessWindowHint | Qt::Tool);
        own.resize(200, 150);
        own.show();
        QVERIFY(QTest::qWaitForWindowExposed(&own));
        const QRect mine = own.frameGeometry(); // wherever openbox put it on the 1280x800 screen
        const QPoint away(mine.center().x() < 640 ? 1200 : 60, mine.center().y() < 400 ? 720 : 60);
        monitor.start();
        monitor.start();                                    // twice: nothing more is installed
        clicks({{away, 1}, {mine.center(), 1}, {away, 4}}); // ours; 4 is a wheel step
        monitor.stop();
        clicks({{away, 1}});
        monitor.start();
        clicks({{away, 3}}); // last: it opens openbox's menu, which grabs the pointer
        QTRY_COMPARE(QList<QVariantList>(spy),
                     (QList<QVariantList>{{1, away}, {3, away}})); // queued
    }

    // The test's own X server, on a display sessions do not take first, goes away and returns.
    void recoversWhenTheServerReturns() {
        QProcess xvfb;
        qputenv("DISPLAY", ":" + QByteArray::number(600 + qApp->applicationPid() % 300));
        xvfb.start("Xvfb", {qEnvironmentVariable("DISPLAY"), "-displayfd", "1"});
        QVERIFY(xvfb.waitForReadyRead(10000));
        vellora::X11MouseMonitor monitor;
        QSignalSpy spy(&monitor, &vellora::GlobalMouseMonitor::pressed);
        monitor.start();
        vellora::DiagnosticCapture out;
        for (int round = 1; round <= 2; ++round) {
            xvfb.terminate();
            QVERIFY(xvfb.waitForFinished(5000));
            QTest::qWait(300); // an attempt or two while it is away
            xvfb.start();
            QVERIFY(xvfb.waitForReadyRead(10000));
            QTRY_COMPARE_WITH_TIMEOUT(out.loggedSoFar().filter("again").size(), round, 10000);
            clicks({{QPoint(10 * round, 10), 1}});
            QCOMPARE(spy.size(), round);
        }
        QCOMPARE(out.loggedSoFar().size(), 4); // once each way
        xvfb.terminate();
        xvfb.waitForFinished(5000);
    }
};

QTEST_MAIN(TestMouseMonitor)
#include "test_mouse_monitor.moc"
