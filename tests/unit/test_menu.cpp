// The options menu, and start-up of the shell around the list.
#include "core/NotificationCenter.h"
#include "panels/OptionsMenu.h"
#include "panels/Popover.h"
#include "shell/AppDelegate.h"
#include "support/UiHarness.h"

#include <QAction>
#include <QtTest>

using namespace vellora;

namespace {

QStringList expectedTitles(bool itunes, bool login, bool hide) {
    return {"   Reset all",
            OptionsMenu::title("Ignore if iTunes is playing", itunes),
            OptionsMenu::title("Launch at login", login),
            "   Check for updates",
            "   Automatically check for updates",
            OptionsMenu::title("Menu Bar Only", hide),
            "-",
            "   About",
            "   Quit"};
}

QAction* item(OptionsMenu& menu, const QString& words) {
    for (QAction* a : menu.menux()->actions()) {
        if (a->text().endsWith(words))
            return a;
    }
    return nullptr;
}

} // namespace

class TestMenu : public QObject {
    Q_OBJECT

private slots:
    void cleanup() {
        Popover::setActivationPolicy(Popover::ActivationPolicy::Regular);
        NotificationCenter::defaultCenter().reset();
    }

    void cleanSettings() {
        UiHarness h;
        OptionsMenu& menu = h.controller.menu();
        menu.newMenu();
        QCOMPARE(menu.titles(), expectedTitles(false, false, false));
        for (const char* key : {"login", "hide", "itunes"})
            QCOMPARE(h.store.onDisk(key).toString(), QStringLiteral("false"));
        QCOMPARE(Popover::activationPolicy(), Popover::ActivationPolicy::Regular);
        // Until their features exist these show their titles but cannot be chosen.
        for (const QString words :
             {"Launch at login", "Check for updates", "Automatically check for updates", "About"})
            QVERIFY(!item(menu, words)->isEnabled());
        QCOMPARE(item(menu, "Check for updates")->shortcut(), QKeySequence("Ctrl+U"));
        QCOMPARE(item(menu, "Quit")->shortcut(), QKeySequence("Ctrl+Q"));
    }

    void toggles_data() {
        QTest::addColumn<QString>("words");
        QTest::addColumn<QString>("key");
        QTest::newRow("ignore while playing") << "Ignore if iTunes is playing"
                                              << "itunes";
        QTest::newRow("menu bar only") << "Menu Bar Only"
                                       << "hide";
    }
    void toggles() {
        QFETCH(QString, words);
        QFETCH(QString, key);
        UiHarness h;
        OptionsMenu& menu = h.controller.menu();
        menu.newMenu();
        for (bool on : {true, false}) {
            item(menu, words)->trigger();
            QCOMPARE(h.store.defaults->boolValue(key), on);
            // The title follows a tenth of a second later, from the stored value.
            QTRY_COMPARE(menu.titles(),
                         expectedTitles(key == "itunes" && on, false, key == "hide" && on));
            QCOMPARE(Popover::activationPolicy(), key == "hide" && on
                                                      ? Popover::ActivationPolicy::Accessory
                                                      : Popover::ActivationPolicy::Regular);
        }
    }

    void storedMenuBarOnlyAppliesAtTheFirstRebuild() {
        UiHarness h;
        h.store.defaults->setBool(UserDefaults::kHide, true);
        h.controller.menu().newMenu();
        QCOMPARE(Popover::activationPolicy(), Popover::ActivationPolicy::Accessory);
    }

    void resetAllAndQuit() {
        UiHarness h(2);
        h.controller.table().putEntry("50", "App0");
        h.refresh("");
        OptionsMenu& menu = h.controller.menu();
        menu.newMenu();
        DiagnosticCapture out;
        item(menu, "Reset all")->trigger();
        QVERIFY(!h.controller.table().loadTable());
        UiHarness::settle();
        QCOMPARE(out.lines, (QStringList{"fet", "update"}));
        QCOMPARE(h.titles().first(), AppListView::kRedMarker + "App0");
        item(menu, "Quit")->trigger();
        QCOMPARE(h.quits, 1);
    }

    // Start-up on a machine without a tray: the list still loads, so switching works at once.
    void startUp() {
        UiHarness h(1);
        AppDelegate delegate(*h.store.defaults, h.controller, h.mouse);
        DiagnosticCapture out;
        delegate.applicationDidFinishLaunching({"No audio server answers."});
        UiHarness::settle();
        QCOMPARE(out.lines.first(), QStringLiteral("login==nil"));
        QVERIFY(out.lines.contains("No audio server answers."));
        QCOMPARE(out.lines.mid(out.lines.size() - 2), (QStringList{"fet", "update"}));
        QCOMPARE(h.store.onDisk("hide").toString(), QStringLiteral("false"));
        QVERIFY(!delegate.popover().isShown());
        QVERIFY(!h.mouse.running);

        h.controller.table().putEntry("40", "Alpha");
        h.activations.activate("Alpha");
        QCOMPARE(h.volume.sets, QList<int>{40});

        // Without a tray icon "open" has nothing to anchor to: only the monitor runs.
        NotificationCenter::defaultCenter().post("open");
        QVERIFY(!delegate.popover().isShown());
        QVERIFY(h.mouse.running);
        NotificationCenter::defaultCenter().post("closepop");
        QVERIFY(!h.mouse.running);
        // Starting the program again shows the list; a click elsewhere closes it.
        QVERIFY(delegate.applicationShouldHandleReopen());
        QVERIFY(delegate.popover().isShown());
        QVERIFY(h.mouse.running);
        h.mouse.press(3);
        QVERIFY(!delegate.popover().isShown());
        QVERIFY(!h.mouse.running);
    }

    void startUpWithMenuBarOnly() {
        UiHarness h;
        h.store.defaults->setBool(UserDefaults::kHide, true);
        AppDelegate delegate(*h.store.defaults, h.controller, h.mouse);
        DiagnosticCapture out;
        delegate.applicationDidFinishLaunching();
        QVERIFY(!out.lines.contains("login==nil"));
        QCOMPARE(Popover::activationPolicy(), Popover::ActivationPolicy::Accessory);
    }
};

QTEST_MAIN(TestMenu)
#include "test_menu.moc"
