// The global mouse monitor on a real X server: XTEST clicks from xdotool.
#include "platform/linux/X11MouseMonitor.h"
#include "support/Desktop.h"

#include <QApplication>
#include <QScreen>
#include <QSignalSpy>
#include <QWidget>
#include <QtTest>

using namespace vellora;

namespace {

bool clickAt(int x, int y, int button = 1) {
    return desktop::run("xdotool", {"mousemove", QString::number(x), QString::number(y), "click",
                                    QString::number(button)})
        .has_value();
}

} // namespace

class TestMouseMonitor : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() {
        QVERIFY2(!desktop::sessionDir().isEmpty(), "run inside with-desktop.sh");
        QCOMPARE(QGuiApplication::platformName(), QStringLiteral("xcb"));
    }

    void seesClicksElsewhereOnly() {
        X11MouseMonitor monitor;
        QVERIFY(monitor.seesPresses());
        QSignalSpy spy(&monitor, &GlobalMouseMonitor::pressed);

        QWidget own;
        own.setWindowFlags(Qt::FramelessWindowHint | Qt::Tool);
        own.resize(200, 150);
        own.show();
        QVERIFY(QTest::qWaitForWindowExposed(&own));
        // Wherever the window manager put it: a point inside, and points well away from it.
        const QRect mine = own.frameGeometry();
        const QPoint inside = mine.center();
        const QRect screen = own.screen()->geometry();
        const QPoint away(mine.center().x() < screen.center().x() ? screen.right() - 60 : 60,
                          mine.center().y() < screen.center().y() ? screen.bottom() - 60 : 60);
        const QPoint near = away + QPoint(20, 10);
        QVERIFY(!mine.contains(away) && !mine.contains(near));

        // Not running: nothing is reported.
        QVERIFY(clickAt(away.x(), away.y()));
        QTest::qWait(200);
        QCOMPARE(spy.size(), 0);

        monitor.start();
        monitor.start(); // starting twice installs nothing more
        QVERIFY(clickAt(away.x(), away.y()));
        QTRY_COMPARE(spy.size(), 1);
        QCOMPARE(spy.at(0).at(0).toInt(), 1);
        QCOMPARE(spy.at(0).at(1).toPoint(), away);

        QVERIFY(clickAt(near.x(), near.y(), 3));
        QTRY_COMPARE(spy.size(), 2);
        QCOMPARE(spy.at(1).at(0).toInt(), 3);

        // Inside this program's own window: not delivered. A wheel step is not a press.
        QVERIFY(clickAt(inside.x(), inside.y()));
        QVERIFY(clickAt(away.x(), away.y(), 4));
        QVERIFY(clickAt(near.x(), near.y()));
        QTRY_COMPARE(spy.size(), 3);
        QCOMPARE(spy.at(2).at(1).toPoint(), near);

        monitor.stop();
        monitor.stop();
        QVERIFY(clickAt(away.x(), away.y()));
        QTest::qWait(200);
        QCOMPARE(spy.size(), 3);
    }
};

QTEST_MAIN(TestMouseMonitor)
#include "test_mouse_monitor.moc"
