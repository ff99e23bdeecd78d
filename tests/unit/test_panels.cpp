// The per-application editor, the options menu, and the shell that opens and closes the list.
#include "core/EventMonitor.h"
#include "panels/OptionsMenu.h"
#include "panels/VolumeEditor.h"
#include "shell/AppDelegate.h"
#include "support/UiHarness.h"

#include <QAction>
#include <QApplication>
#include <QTextDocument>
#include <QWheelEvent>
#include <QtTest>

using namespace vellora;

namespace {

const QString red = AppListView::kRedMarker;

QAction* item(OptionsMenu& menu, const QString& words) {
    for (QAction* a : menu.menux()->actions()) {
        if (a->text().endsWith(words))
            return a;
    }
    return nullptr;
}

// The list, opened from the shell, with its applications shown and the editor's monitor made.
struct Shell : UiHarness {
    AppDelegate delegate{{*store.defaults, notifications, policy, mouse}, controller};
    explicit Shell(int applications) : UiHarness(applications) {
        delegate.applicationDidFinishLaunching();
        delegate.applicationShouldHandleReopen();
        refresh("/");
        controller.newMenu();
    }
    VolumeEditor& editor() { return controller.editor(); }
};

} // namespace

class TestPanels : public QObject {
    Q_OBJECT

private slots:
    void labels_data() {
        QTest::addColumn<QString>("stored"); // the level stored for the name, if any
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("label");
        QTest::addColumn<int>("slider");
        QString accented; // 22 user-perceived characters of two code points each
        for (int k = 0; k < 22; ++k)
            accented += QStringLiteral("e\u0301");
        const QString name25 = "Abcdefghijklmnopqrstuvwxy";
        QTest::newRow("no entry") << ""
                                  << "Alpha"
                                  << "Alpha - Disabled" << 0;
        QTest::newRow("entry 50") << "50"
                                  << "Alpha"
                                  << "Alpha:  50 Disable?" << 50;
        QTest::newRow("25 characters cut to 20")
            << "" << name25 << name25.left(20) + " - Disabled" << 0;
        QTest::newRow("cut by perceived characters")
            << "70" << accented << accented.left(40) + ":  70 Disable?" << 70;
        QTest::newRow("not a number") << "loud"
                                      << "Alpha"
                                      << "Alpha:  loud Disable?" << 0;
        QTest::newRow("an & shows as typed") << ""
                                             << "A & B"
                                             << "A && B - Disabled" << 0;
        QTest::newRow("markup shows as typed") << ""
                                               << "<b>B</b>"
                                               << "<b>B</b> - Disabled" << 0;
    }
    void labels() {
        QFETCH(QString, stored);
        QFETCH(QString, name);
        QFETCH(QString, label);
        QFETCH(int, slider);
        UiHarness h;
        if (!stored.isEmpty())
            h.controller.table().saveTable({"", stored + "/*/*/*/*/" + name, "9/*/*/*/*/Other"});
        const auto before = h.controller.table().loadTable();
        DiagnosticCapture out;
        h.controller.showsy(Apps{"/x.desktop", name, {}}, red + name, h.controller.theView());
        VolumeEditor& e = h.controller.editor();
        QCOMPARE(e.v1()->text(), label);
        QCOMPARE(e.slider()->value(), slider);
        QCOMPARE(out.lines, QStringList{red + name});
        QTextDocument tip; // what the slider's tool tip shows
        tip.setHtml(e.slider()->toolTip());
        QCOMPARE(tip.toPlainText(), name);
        QCOMPARE(h.controller.table().loadTable(), before); // opening stores nothing
    }

    // The slider stores at once (ticks only, the entry last); the disable button removes the
    // entry and rebuilds the list, twice without harm.
    void sliderAndDisable() {
        Shell s(3);
        s.click(1);
        VolumeEditor& e = s.editor();
        QVERIFY(e.popover()->y() >= s.delegate.popover().y()); // first row: never above the list
        DiagnosticCapture out;
        e.slider()->setValue(46);
        e.slider()->setValue(47); // the same tick again stores nothing more
        QCOMPARE(e.slider()->value(), 50);
        QCOMPARE(*s.controller.table().loadTable(), (QStringList{"", "50/*/*/*/*/App1"}));
        QCOMPARE(e.v1()->text(), QStringLiteral("App1:   50"));
        e.v1()->click();
        e.v1()->click();
        UiHarness::settle();
        QCOMPARE(*s.controller.table().loadTable(), QStringList{""});
        QCOMPARE(out.lines,
                 (QStringList{"50/*/*/*/*/App1", "tap", "já tem", "update", "tap", "update"}));
        QVERIFY(e.isShown());
    }

    // Keys in the editor are the editor's: moving the slider with the keyboard and pressing
    // Return stores the level and closes the editor; nothing is deleted under the key.
    void returnInTheEditor() {
        for (int k : {int(Qt::Key_Return), int(Qt::Key_Enter)}) {
            Shell s(2);
            s.click(0);
            QSlider* slider = s.editor().slider();
            QApplication::setActiveWindow(slider->window());
            QTRY_COMPARE(QApplication::focusWidget(), slider);
            DiagnosticCapture out;
            QTest::keyClick(slider, Qt::Key_Right);
            QTest::keyClick(slider, Qt::Key(k));
            UiHarness::settle();
            QCOMPARE(s.controller.table().loadTable()->last(), QStringLiteral("10/*/*/*/*/App0"));
            QVERIFY(!s.editor().isShown());
            QCOMPARE(out.lines.mid(0, 3), (QStringList{"10/*/*/*/*/App0", "close", "fet"}));
        }
    }

    // The editor goes with the list, however the list closes; a menu rebuild keeps its own
    // outside-click monitor running; a press in the list sends it away without rebuilding the
    // buttons under the press.
    void editorGoesWithTheList() {
        QWheelEvent wheel({5, 5}, {5, 5}, {0, -24}, {0, -24}, Qt::NoButton, Qt::NoModifier,
                          Qt::NoScrollPhase, false);
        for (const QString how :
             {"closepop", "tray", "Escape", "wheel", "outside click", "menu, outside click"}) {
            Shell s(2);
            s.click(0);
            QVERIFY(s.editor().isShown());
            if (how == "closepop")
                s.notifications.post(notification::kClosePop);
            else if (how == "tray")
                s.delegate.togglePopover();
            else if (how == "Escape")
                QTest::keyClick(s.controller.searchController(), Qt::Key_Escape);
            else if (how == "wheel")
                QApplication::sendEvent(s.controller.theView(), &wheel);
            UiHarness::settle();
            if (how.startsWith("menu")) {
                s.controller.newMenu();
                s.delegate.eventMonitor()->stop(); // only the editor's monitor answers
            }
            if (how.endsWith("outside click"))
                s.mouse.press(1);
            QVERIFY2(!s.editor().isShown(), qPrintable(how));
            QCOMPARE(s.delegate.popover().isShown(), how == "wheel" || how.startsWith("menu"));
            QVERIFY(!s.controller.eventMonitor()->isRunning());
            // A tray that gives no icon geometry: its click also reached the monitor, which
            // closed the list; the icon's own toggle must not open it again.
            if (how == "outside click") {
                s.delegate.togglePopover();
                QVERIFY(!s.delegate.popover().isShown());
            }
        }
        Shell s(2);
        s.click(0);
        s.editor().slider()->setValue(30);
        QPointer<QToolButton> button = s.list().bts().at(0);
        QTest::mousePress(s.controller.theView(), Qt::LeftButton, {}, QPoint(350, 330));
        QVERIFY(!s.editor().isShown() && s.delegate.popover().isShown());
        QCOMPARE(s.list().bts().at(0), button);
        QCOMPARE(button->text(), AppListView::kBlueMarker + "App0");
    }

    void menu() {
        UiHarness h(2);
        OptionsMenu& menu = h.controller.menu();
        menu.newMenu();
        QCOMPARE(menu.titles(), (QStringList{"   Reset all", "   Ignore if iTunes is playing",
                                             "   Launch at login", "   Check for updates",
                                             "   Automatically check for updates",
                                             "   Menu Bar Only", "-", "   About", "   Quit"}));
        for (const char* key : {"login", "hide", "itunes"})
            QCOMPARE(h.store.onDisk(key).toString(), QStringLiteral("false"));
        for (const QString words : {"Ignore if iTunes is playing", "Menu Bar Only"}) {
            item(menu, words)->trigger();
            QTRY_COMPARE(item(menu, words)->text(), OptionsMenu::title(words, true));
        }
        QVERIFY(h.store.defaults->boolValue("itunes") && h.store.defaults->boolValue("hide"));
        QCOMPARE(h.policy.kind(), ActivationPolicy::Kind::Accessory);
        h.controller.table().putEntry("50", "App0");
        DiagnosticCapture out;
        item(menu, "Reset all")->trigger();
        UiHarness::settle();
        QVERIFY(!h.controller.table().loadTable());
        QCOMPARE(out.lines, (QStringList{"fet", "update"}));
        item(menu, "Quit")->trigger();
        QCOMPARE(h.quits, 1);
    }

    // Start-up without a tray: the list still loads, so switching works, and "open" only
    // starts the monitor; a stored Menu Bar Only applies at once.
    void startUp() {
        UiHarness h(1);
        h.store.defaults->setBool(UserDefaults::kHide, true);
        AppDelegate delegate({*h.store.defaults, h.notifications, h.policy, h.mouse}, h.controller);
        DiagnosticCapture out;
        delegate.applicationDidFinishLaunching({"No audio server answers."});
        UiHarness::settle();
        QVERIFY(!out.lines.contains("login==nil"));
        QVERIFY(out.lines.contains("No audio server answers."));
        QCOMPARE(out.lines.last(), QStringLiteral("update"));
        QCOMPARE(h.policy.kind(), ActivationPolicy::Kind::Accessory);
        QVERIFY(!delegate.popover().isShown() && !h.mouse.running);
        h.controller.table().putEntry("40", "Alpha");
        h.activations.activate("Alpha");
        QCOMPARE(h.volume.sets, QList<int>{40});
        QVERIFY(delegate.applicationShouldHandleReopen());
        QVERIFY(delegate.popover().isShown() && h.mouse.running);
        h.mouse.press(3);
        QVERIFY(!delegate.popover().isShown() && !h.mouse.running);
    }
};

QTEST_MAIN(TestPanels)
#include "test_panels.moc"
