// The global mouse monitor on a real X server: XTEST clicks from xdotool.
#include "core/Diagnostics.h"
#include "platform/linux/X11MouseMonitor.h"
#include "support/Desktop.h"

#include <QApplication>
#include <QScreen>
#include <QSignalSpy>
#include <QWidget>
#include <QtTest>

using namespace vellora;

namespace {
// XTEST clicks, each handled before the next: a press is placed where the pointer is when the
// monitor handles it.
void clicks(std::initializer_list<std::pair<QPoint, int>> list) {
    for (const auto& [at, button] : list) {
        QVERIFY(
            desktop::run("xdotool", {"mousemove", QString::number(at.x()), QString::number(at.y()),
                                     "click", QString::number(button)}));
        QTest::qWait(200);
    }
}

// An X server of the test's own: the desktop's server cannot be restarted under this program's
// windows. Nothing when the display is taken.
std::unique_ptr<QProcess> startXvfb(int display) {
    auto xvfb = std::make_unique<QProcess>();
    xvfb->start("Xvfb", {":" + QString::number(display), "-displayfd", "1", "-nolisten", "tcp"});
    return xvfb->waitForReadyRead(10000) ? std::move(xvfb) : nullptr;
}
} // namespace

class TestMouseMonitor : public QObject {
    Q_OBJECT

private slots:
    void seesClicksElsewhereOnly() {
        QCOMPARE(QGuiApplication::platformName(), QStringLiteral("xcb"));
        X11MouseMonitor monitor;
        QVERIFY(monitor.seesPresses());
        QSignalSpy spy(&monitor, &GlobalMouseMonitor::pressed);
        QWidget own;
        own.setWindowFlags(Qt::FramelessWindowHint | Qt::Tool);
        own.resize(200, 150);
        own.show();
        QVERIFY(QTest::qWaitForWindowExposed(&own));
        // Wherever the window manager put it: a point inside, and points well away from it.
        const QRect mine = own.frameGeometry(), screen = own.screen()->geometry();
        const QPoint away(mine.center().x() < screen.center().x() ? screen.right() - 60 : 60,
                          mine.center().y() < screen.center().y() ? screen.bottom() - 60 : 60);
        const QPoint near = away + QPoint(20, 10);
        QVERIFY(!mine.contains(away) && !mine.contains(near));

        // Not running, inside this program's own window, a wheel step: not reported.
        clicks({{away, 1}});
        monitor.start();
        monitor.start(); // starting twice installs nothing more
        clicks({{away, 1}, {mine.center(), 1}, {away, 4}, {near, 3}});
        monitor.stop();
        monitor.stop();
        clicks({{away, 1}});
        QCOMPARE(QList<QVariantList>(spy), (QList<QVariantList>{{1, away}, {3, near}}));
    }

    // The X server goes away and comes back: said once each way, and presses are seen again.
    void recoversWhenTheServerReturns() {
        // A high display number, out of the way of sessions that take the first free one.
        int display = 600 + int(QCoreApplication::applicationPid() % 300);
        std::unique_ptr<QProcess> xvfb;
        while (!(xvfb = startXvfb(display)) && display < 999)
            ++display;
        QVERIFY(xvfb);
        auto restore = qScopeGuard([&, shown = qgetenv("DISPLAY")] {
            qputenv("DISPLAY", shown);
            if (xvfb) {
                xvfb->terminate();
                xvfb->waitForFinished(5000);
            }
        });
        qputenv("DISPLAY", ":" + QByteArray::number(display));
        X11MouseMonitor monitor;
        QSignalSpy spy(&monitor, &GlobalMouseMonitor::pressed);
        monitor.start();
        DiagnosticCapture out;
        for (int round = 1; round <= 2; ++round) {
            xvfb->terminate();
            QVERIFY(xvfb->waitForFinished(5000));
            QTRY_COMPARE(out.lines.filter("lost the X server").size(), round);
            QTest::qWait(300); // an attempt or two while it is away
            QVERIFY(xvfb = startXvfb(display));
            QTRY_COMPARE_WITH_TIMEOUT(out.lines.filter("again").size(), round, 10000);
            clicks({{QPoint(10 * round, 10), 1}});
            QCOMPARE(spy.size(), round);
        }
        QCOMPARE(out.lines.size(), 4);
    }
};

QTEST_MAIN(TestMouseMonitor)
#include "test_mouse_monitor.moc"
