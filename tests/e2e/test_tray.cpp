// A click on the tray icon toggles the list exactly once, however long the button is held: on an
// XEmbed tray (trayer), where the icon is this program's own window, and on a host of
// StatusNotifierItems (xfce4-panel), which draws the icon itself and calls Activate on release,
// while the press on it is a press outside the list (VELLORA_TRAY). A right click opens the icon's
// menu, which pauses and resumes switching.
#include "support/Program.h"

#include <QtTest>

class TestTray : public QObject, ProgramDriver {
    Q_OBJECT

    QPoint icon;

    // Presses on the icon, holds the button, releases; true once the list has stayed as asked.
    bool hold(int ms, bool listAfter) {
        if (!xdo(QString("mousemove %1 %2 mousedown 1").arg(icon.x()).arg(icon.y())))
            return false;
        QTest::qWait(ms);
        if (!xdo("mouseup 1") || !QTest::qWaitFor([&] { return shown(kList) == listAfter; }, 5000))
            return false;
        QTest::qWait(700); // a second toggle (the panel's Activate) would have come by now; this
                           // also keeps the next click from counting as a double click
        return shown(kList) == listAfter;
    }

private Q_SLOTS:
    void initTestCase() {
        QVERIFY2(!desktop::sessionDir().isEmpty(), "run inside with-desktop.sh");
        QVERIFY(startWith("[General]\nApps=, 30/*/*/*/*/Alpha\n"));
        if (qEnvironmentVariable("VELLORA_TRAY") == "sni") {
            // The panel's status tray holds only this program's icon, at its left end.
            const QString panel = "search --onlyvisible --classname ^xfce4-panel$";
            QTRY_VERIFY_WITH_TIMEOUT(!out(panel).isEmpty(), 10000);
            const QPoint middle = middleOf(panel);
            icon = QPoint(middle.y(), middle.y());
        } else { // trayer's panel, which may still be on its way
            const QString panel = "search --classname ^panel$";
            QTRY_VERIFY_WITH_TIMEOUT(!out(panel).isEmpty(), 10000);
            icon = middleOf(panel);
        }
        QVERIFY(!icon.isNull());
        QTest::qWait(700); // the list start-up opened settles before the first click
    }

    void clickTogglesOnce_data() {
        QTest::addColumn<int>("ms");
        for (int ms : {100, 500, 1000})
            QTest::addRow("held %d ms", ms) << ms;
    }
    void clickTogglesOnce() {
        QFETCH(int, ms);
        if (!shown(kList))
            QVERIFY(hold(50, true));
        QVERIFY2(hold(ms, false), "the list did not stay closed");
        QVERIFY2(hold(ms, true), "the list did not stay open");
    }

    void menuPausesAndResumes() {
        for (const char* now : {"paused", "on"}) {
            QVERIFY(xdo(QString("mousemove %1 %2 click 3").arg(icon.x()).arg(icon.y())));
            QTest::qWait(1000); // the menu opens: Open Vellora, Pause (or Resume) switching, Quit
            QVERIFY(xdo("key --delay 100 Down Down Return"));
            const auto status = [] {
                return desktop::run(VELLORA_PROGRAM, {"--status"}).value_or("");
            };
            QTRY_VERIFY_WITH_TIMEOUT(status().contains(QString("switching: ") + now), 5000);
            QVERIFY(!shown(kList)); // the right click was no click on the icon
        }
    }
};

QTEST_GUILESS_MAIN(TestTray)
#include "test_tray.moc"
