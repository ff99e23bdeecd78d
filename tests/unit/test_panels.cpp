// The per-application editor, the options menu, and the shell that opens and closes the list.
#include "core/EventMonitor.h"
#include "core/OutputLevels.h"
#include "panels/OptionsMenu.h"
#include "panels/VolumeEditor.h"
#include "shell/AppDelegate.h"
#include "support/UiHarness.h"

#include <QApplication>
#include <QFontMetrics>
#include <QTextDocumentFragment>
#include <QtTest>

using namespace vellora;

namespace {
// The list, opened from the shell, with its applications shown and the editor's monitor made.
struct Shell : UiHarness {
    AppDelegate delegate{{*store.defaults, notifications, policy, mouse}, controller};
    explicit Shell(int applications) : UiHarness(applications) {
        delegate.applicationDidFinishLaunching();
        delegate.applicationShouldHandleReopen();
        refresh("/");
        controller.newMenu();
    }
    void open(int k) {
        list().appButtons().at(k)->click();
    } // as the user clicks the k-th application
};
} // namespace

class TestPanels : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // Labels: the name cut to 20 user-perceived characters, the level as stored or "Disabled",
    // "&" and markup as typed, the tool tip plain; opening stores nothing. The editor opens below
    // the list's top, stores once per tick, disables twice unharmed, and owns its keys.
    void editor() {
        Shell s(3);
        VolumeEditor& e = s.controller.editor();
        const QString accented = QString("e\u0301").repeated(22), cut = "Abcdefghijklmnopqrst";
        for (const auto& [entry, name, label, slider] :
             std::initializer_list<std::tuple<QString, QString, QString, int>>{
                 {"9/*/*/*/*/" + cut, cut + "uvwxy", cut + " - Disabled", 0},
                 {"70/*/*/*/*/" + accented, accented, accented.left(40) + ":  70 Disable?", 70},
                 {"loud/*/*/*/*/<i>&</i>", "<i>&</i>", "<i>&&</i>:  loud Disable?", 0}}) {
            s.controller.table().saveTable({"", entry, "9/*/*/*/*/Other"});
            s.controller.openEditor(Apps{"/x.desktop", name, {}}, name, s.controller.theView());
            QCOMPARE(e.disableButton()->text(), label);
            QCOMPARE(e.slider()->value(), slider);
            QCOMPARE(QTextDocumentFragment::fromHtml(e.slider()->toolTip()).toPlainText(), name);
            QCOMPARE(s.controller.table().loadTable()->at(1), entry); // stored again, it goes last
        }
        s.delegate.popover().move(200, 300); // room on the screen above the list
        s.open(1);
        QVERIFY(e.popover()->y() >= s.delegate.popover().y());
        DiagnosticCapture out;
        e.slider()->setValue(46);
        e.slider()->setValue(47); // the same tick again stores nothing more
        e.disableButton()->click();
        e.disableButton()->click();
        QCOMPARE(out.lines,
                 (QStringList{"50/*/*/*/*/App1", "tap", "já tem", "update", "tap", "update"}));
        for (const auto& [k, entry] : std::initializer_list<std::pair<int, QString>>{
                 {Qt::Key_Return, "10/*/*/*/*/App1"}, {Qt::Key_Enter, "20/*/*/*/*/App1"}}) {
            s.open(1);
            e.slider()->window()->activateWindow();
            QTRY_COMPARE(QApplication::focusWidget(), e.slider());
            out.lines.clear();
            QTest::keySequence(e.slider(), QKeySequence(Qt::Key_Right, k));
            UiHarness::settle();
            QVERIFY(!e.isShown());
            QCOMPARE(out.lines.mid(0, 3), (QStringList{entry, "close", "fet"}));
        }
    }

    // Each user action on the slider stores the level once, also one that leaves it where it
    // was; a click on the track moves the knob there. However wide the name, the level stays in
    // sight; after "Disable?" the editor shows that no level is stored, the keys still its own.
    void everyActionStores_data() {
        // 0: a click at x, -1: the knob dragged past its left end, -2: the wheel turned down
        QTest::addColumn<int>("key");
        QTest::addColumn<int>("x");
        QTest::addColumn<int>("level");
        for (const auto& [row, key] :
             std::initializer_list<std::pair<const char*, int>>{{"Left", Qt::Key_Left},
                                                                {"Home", Qt::Key_Home},
                                                                {"Down", Qt::Key_Down},
                                                                {"Page Down", Qt::Key_PageDown}})
            QTest::newRow(row) << key << 0 << 0;
        QTest::newRow("knob clicked") << 0 << 3 << 0;
        QTest::newRow("knob dragged") << -1 << 3 << 0;
        QTest::newRow("track clicked") << 0 << 177 << 100;
        QTest::newRow("wheel down") << -2 << 0 << 0;
    }
    void everyActionStores() {
        QFETCH(int, key);
        QFETCH(int, x);
        QFETCH(int, level);
        Shell s(3);
        VolumeEditor& e = s.controller.editor();
        const QString name = "WWWWMMMMWWWWMMMMWWWWMMMM, a name far too wide for the editor";
        const QString entry = QString::number(level) + "/*/*/*/*/" + name;
        const auto fits = [&] { // up to the level, in sight inside the editor
            const QString label = e.disableButton()->text().section(" Disable?", 0, 0);
            return QFontMetrics(e.disableButton()->font()).horizontalAdvance(label) <= 220 - 20;
        };
        s.controller.table().saveTable({""});
        s.controller.openEditor(Apps{"/x.desktop", name, {}}, name, s.controller.theView());
        QSlider* slider = e.slider();
        const QPoint at(x, slider->height() / 2), beyond(-60, slider->height() / 2);
        DiagnosticCapture out;
        if (key > 0) {
            QTest::keyClick(slider, Qt::Key(key));
        } else if (key == -2) {
            QWheelEvent wheel(at, slider->mapToGlobal(at), {}, {0, -120}, Qt::NoButton, {},
                              Qt::NoScrollPhase, false);
            QApplication::sendEvent(slider, &wheel);
        } else {
            QTest::mousePress(slider, Qt::LeftButton, {}, at);
            if (key < 0)
                QTest::mouseMove(slider, beyond);
            QTest::mouseRelease(slider, Qt::LeftButton, {}, key < 0 ? beyond : at);
        }
        UiHarness::settle();
        QCOMPARE(out.lines.count(entry), 1);
        QCOMPARE(*s.controller.table().loadTable(), (QStringList{"", entry}));
        QVERIFY2(e.disableButton()->text().endsWith(QString::fromUtf8("\u2026:   %1").arg(level)) &&
                     fits(),
                 qPrintable(e.disableButton()->text()));
        s.controller.openEditor(Apps{"/x.desktop", name, {}}, name, s.controller.theView());
        const QString stored = QString(":  %1 Disable?").arg(level);
        QVERIFY2(e.disableButton()->text().endsWith(stored) && fits(),
                 qPrintable(e.disableButton()->text()));
        e.disableButton()->window()->activateWindow();
        QTest::mouseClick(e.disableButton(), Qt::LeftButton);
        QVERIFY2(e.disableButton()->text().endsWith(" - Disabled") && fits(),
                 qPrintable(e.disableButton()->text()));
        QCOMPARE(e.slider()->value(), 0);
        QCOMPARE(*s.controller.table().loadTable(), QStringList{""});
        QTRY_COMPARE(QApplication::focusWidget(), e.slider());
    }

    // Once the switch tells the output in use, the editor offers a level for it alone: it opens on
    // the output's own level where there is one, shows and edits either table, and Disable
    // removes the one shown. An application with a level only there is marked blue; Reset all
    // removes those too.
    void outputChoice() {
        Shell s(3);
        VolumeEditor& e = s.controller.editor();
        s.controller.table().putEntry("50", "App0");
        s.open(0); // the output is known from the start, before any switch
        QCOMPARE(e.outputChoice() ? e.outputChoice()->text() : "", "Only on speakers");
        e.outputChoice()->click(); // none of its own here yet
        QCOMPARE(e.slider()->value(), 0);
        e.slider()->setValue(20);
        QCOMPARE(s.store.onDisk("OutputLevels/speakers"), QStringList({"", "20/*/*/*/*/App0"}));
        s.open(0);
        QVERIFY(e.outputChoice()->isChecked());
        QCOMPARE(e.slider()->value(), 20);
        e.outputChoice()->click();
        QCOMPARE(e.slider()->value(), 50);
        QVERIFY(e.disableButton()->toolTip().contains("speakers")); // its own level there
        e.outputChoice()->click();
        e.disableButton()->click();
        QVERIFY(!e.outputChoice()->isChecked());
        QCOMPARE(e.slider()->value(), 50);
        QCOMPARE(s.store.onDisk("OutputLevels/speakers"), QStringList({""}));
        QCOMPARE(s.store.onDisk("Apps"), QStringList({"", "50/*/*/*/*/App0"}));
        OutputLevels(*s.store.defaults).tableFor("usb")->putEntry("30", "App2");
        s.refresh("/");
        QVERIFY(s.titles().value(2).startsWith(AppVolumeTable::kBlueMarker));
        s.controller.resetAll();
        QVERIFY(OutputLevels(*s.store.defaults).allEntries().isEmpty());
    }

    // The editor goes with the list, however it closes, also after a menu rebuild; a press or the
    // wheel in the list sends it away, the buttons kept and their markers brought up to date.
    void editorGoesWithTheList() {
        QWheelEvent wheel({}, {}, {0, -24}, {0, -24}, {}, {}, Qt::NoScrollPhase, false);
        for (const QString how : {"closepop", "tray", "Escape", "wheel", "press", "outside click",
                                  "menu, outside click"}) {
            Shell s(2);
            s.open(0);
            s.controller.editor().slider()->setValue(30);
            s.controller.newMenu(); // the editor's monitor replaced
            QPointer<QToolButton> button = s.list().appButtons().at(0);
            if (how == "closepop")
                s.notifications.post(notification::kClosePop);
            else if (how == "tray")
                s.delegate.togglePopover();
            else if (how == "Escape")
                QTest::keyClick(s.controller.searchController(), Qt::Key_Escape);
            else if (how == "wheel")
                QApplication::sendEvent(s.controller.theView(), &wheel);
            else if (how == "press")
                QTest::mousePress(s.controller.theView(), Qt::LeftButton, {}, {350, 330});
            else if (how.startsWith("menu"))
                s.delegate.eventMonitor()->stop(); // only the editor's monitor answers
            UiHarness::settle();
            if (how.endsWith("outside click"))
                s.mouse.press(1);
            if (how == "outside click") // that same click on the icon: it must not reopen
                s.delegate.togglePopover();
            const bool inList = how == "wheel" || how == "press";
            QVERIFY2(!s.controller.editor().isShown() &&
                         !s.controller.eventMonitor()->isRunning() &&
                         s.delegate.popover().isShown() == (inList || how.startsWith("menu")) &&
                         (!inList || (s.list().appButtons().at(0) == button &&
                                      button->text() == AppVolumeTable::kBlueMarker + "App0")),
                     qPrintable(how));
        }
    }

    // Start-up without a tray (switching works, the list stays shut, a stored Menu Bar Only
    // applies); then the options: titles, toggles, Reset all, Quit.
    void startUpAndOptions() {
        UiHarness h(1);
        h.store.defaults->setBool(UserDefaults::kHide, true);
        AppDelegate delegate({*h.store.defaults, h.notifications, h.policy, h.mouse}, h.controller);
        DiagnosticCapture out;
        delegate.applicationDidFinishLaunching({"No audio server answers."});
        UiHarness::settle();
        QVERIFY(!out.lines.contains("login==nil") && out.lines.last() == "update");
        QVERIFY(out.loggedSoFar().contains("vellora.shell: No audio server answers."));
        QVERIFY(h.policy.kind() == ActivationPolicy::Kind::Accessory &&
                !delegate.popover().isShown() && !h.mouse.running);
        h.controller.table().putEntry("40", "App0");
        h.source.activate("App0");
        QCOMPARE(h.volume.sets, QList<int>{40});
        QVERIFY(delegate.applicationShouldHandleReopen() && delegate.popover().isShown() &&
                h.mouse.running);

        const auto item = [&](int k) { return h.controller.menu().menux()->actions().at(k); };
        h.controller.newMenu();
        QCOMPARE(h.controller.menu().titles(),
                 (QStringList{"   Reset all", "   Ignore if iTunes is playing",
                              "   Launch at login", "   Check for updates",
                              "   Automatically check for updates", "\u2713Menu Bar Only",
                              "   Remember Volume Changes", "-", "   About", "   Quit"}));
        QVERIFY(!h.store.onDisk("rememberVolumeChanges").isValid()); // written once chosen
        for (int k : {1, 5, 6}) { // toggled: Ignore if iTunes on, Menu Bar Only off, Remember on
            item(k)->trigger();
            QCOMPARE(h.policy.kind() == ActivationPolicy::Kind::Regular, k >= 5); // at once
            QTRY_COMPARE(item(k)->text().at(0), k != 5 ? QChar(0x2713) : QChar(' '));
        }
        QVERIFY(h.store.defaults->boolValue("itunes") && !h.store.defaults->boolValue("hide") &&
                h.store.defaults->boolValue("rememberVolumeChanges") &&
                h.policy.kind() == ActivationPolicy::Kind::Regular);
        item(0)->trigger();
        UiHarness::settle();
        QCOMPARE(h.titles().first(), AppVolumeTable::kRedMarker + "App0");
        item(9)->trigger();
        QCOMPARE(h.quits, 1);
    }
};

QTEST_MAIN(TestPanels)
#include "test_panels.moc"
