// The per-application editor: labels, the slider writing the table, the disable button and
// the outside click.
#include "core/EventMonitor.h"
#include "panels/OptionsMenu.h"
#include "panels/Popover.h"
#include "panels/VolumeEditor.h"
#include "support/UiHarness.h"

#include <QToolButton>
#include <QtTest>

using namespace vellora;

class TestEditor : public QObject {
    Q_OBJECT

    // Opens the editor as a click on the list button for name would.
    static QToolButton* open(UiHarness& h, const QString& name, const QString& marker) {
        auto* button = new QToolButton(h.controller.theView());
        button->setText(marker + name);
        h.controller.showsy(button);
        return button;
    }

private slots:
    void labels_data() {
        QTest::addColumn<QStringList>("table");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("label");
        QTest::addColumn<int>("slider");
        const QString name25 = "Abcdefghijklmnopqrstuvwxy";
        const QString name20 = "Abcdefghijklmnopqrst";
        // Twenty-two user-perceived characters, each a letter with a combining accent.
        QString accented;
        for (int k = 0; k < 22; ++k)
            accented += QStringLiteral("e\u0301");
        QTest::newRow("no table") << QStringList{} << "Alpha"
                                  << "Alpha - Disabled" << 0;
        QTest::newRow("no entry") << QStringList{"", "50/*/*/*/*/Beta"} << "Alpha"
                                  << "Alpha - Disabled" << 0;
        QTest::newRow("entry 50") << QStringList{"", "50/*/*/*/*/Alpha"} << "Alpha"
                                  << "Alpha:  50 Disable?" << 50;
        QTest::newRow("25 characters are cut to 20")
            << QStringList{} << name25 << name25.left(20) + " - Disabled" << 0;
        QTest::newRow("exactly 20 are not cut")
            << QStringList{"", "70/*/*/*/*/" + name20} << name20 << name20 + ":  70 Disable?" << 70;
        QTest::newRow("cut by user-perceived characters")
            << QStringList{} << accented << accented.left(40) + " - Disabled" << 0;
        QTest::newRow("stored text that is not a number")
            << QStringList{"", "loud/*/*/*/*/Alpha"} << "Alpha"
            << "Alpha:  loud Disable?" << 0;
    }
    void labels() {
        QFETCH(QStringList, table);
        QFETCH(QString, name);
        QFETCH(QString, label);
        QFETCH(int, slider);
        UiHarness h;
        if (!table.isEmpty())
            h.controller.table().saveTable(table);
        DiagnosticCapture out;
        open(h, name, AppListView::kRedMarker);
        VolumeEditor& e = h.controller.editor();
        QCOMPARE(e.v1()->text(), label);
        QCOMPARE(e.slider()->value(), slider);
        QCOMPARE(e.slider()->toolTip(), name);
        QCOMPARE(e.v1()->property("keyEquivalent").toString(), name);
        QCOMPARE(out.lines, QStringList{AppListView::kRedMarker + name});
        // Opening stores nothing.
        QCOMPARE(h.controller.table().loadTable().value_or(QStringList{}), table);
    }

    void sliderWritesTheTable() {
        UiHarness h;
        const QString name = "Abcdefghijklmnopqrstuvwxy";
        h.controller.table().saveTable({"", "10/*/*/*/*/" + name, "90/*/*/*/*/Other"});
        open(h, name, AppListView::kBlueMarker);
        VolumeEditor& e = h.controller.editor();
        DiagnosticCapture out;
        e.slider()->setValue(30);
        QCOMPARE(*h.controller.table().loadTable(),
                 (QStringList{"", "90/*/*/*/*/Other", "30/*/*/*/*/" + name}));
        QCOMPARE(e.v1()->text(), name + ":   30");
        QCOMPARE(e.theNewApp(), "30/*/*/*/*/" + name);
        // Between two ticks, the nearer tick is taken.
        e.slider()->setValue(46);
        QCOMPARE(e.slider()->value(), 50);
        QCOMPARE(h.controller.table().loadTable()->last(), "50/*/*/*/*/" + name);
        QCOMPARE(out.lines, (QStringList{"30/*/*/*/*/" + name, "50/*/*/*/*/" + name}));
        QVERIFY(e.popover()->isShown());
    }

    void disableButton() {
        UiHarness h(3);
        h.refresh("/");
        h.controller.table().saveTable({"", "50/*/*/*/*/App1"});
        h.refresh("/");
        QCOMPARE(h.titles().at(1), AppListView::kBlueMarker + "App1");
        open(h, "App1", AppListView::kBlueMarker);
        VolumeEditor& e = h.controller.editor();
        DiagnosticCapture out;
        e.v1()->click();
        UiHarness::settle();
        QCOMPARE(*h.controller.table().loadTable(), QStringList{""});
        QCOMPARE(h.titles().at(1), AppListView::kRedMarker + "App1");
        QCOMPARE(e.v1()->text(), QStringLiteral("App1:  50 Disable?"));
        QCOMPARE(e.slider()->value(), 50);
        QVERIFY(e.popover()->isShown());
        e.v1()->click();
        UiHarness::settle();
        QCOMPARE(out.lines, (QStringList{"tap", "já tem", "update", "tap", "update"}));
    }

    void outsideClickClosesAndRefreshes() {
        UiHarness h(2);
        h.controller.newMenu(); // the menu rebuild gives the editor its monitor
        EventMonitor* monitor = h.controller.eventMonitor();
        QVERIFY(monitor && !monitor->isRunning());
        open(h, "App0", AppListView::kRedMarker);
        QVERIFY(monitor->isRunning());
        DiagnosticCapture out;
        h.mouse.press(2); // a middle press is not monitored
        QVERIFY(h.controller.editor().popover()->isShown());
        h.mouse.press(1);
        QVERIFY(!h.controller.editor().popover()->isShown());
        QVERIFY(!monitor->isRunning());
        QVERIFY(!h.mouse.running);
        UiHarness::settle();
        QCOMPARE(out.lines.mid(0, 3), (QStringList{"close", "fet", "update"}));
        // Closed already: a further press does nothing.
        h.mouse.press(1);
        QCOMPARE(out.lines.count("close"), 1);
    }
};

QTEST_MAIN(TestEditor)
#include "test_editor.moc"
