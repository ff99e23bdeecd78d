// The list popover: rebuild, search, paging, markers, keyboard and wheel navigation.
#include "list/ListNavigation.h"
#include "panels/Popover.h"
#include "panels/VolumeEditor.h"
#include "support/UiHarness.h"

#include <QApplication>
#include <QLabel>
#include <QWheelEvent>
#include <QtTest>

using namespace vellora;

namespace {
const QString red = AppListView::kRedMarker;
const QString blue = AppListView::kBlueMarker;
} // namespace

class TestList : public QObject {
    Q_OBJECT

private slots:
    void displayName_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("shownName");
        QTest::addColumn<QString>("display");
        QTest::newRow("bundle") << "/Applications/Calculator.app"
                                << ""
                                << "Calculator";
        QTest::newRow("folder") << "/Applications/Utilities"
                                << ""
                                << "Utilities";
        QTest::newRow(".app anywhere") << "/Applications/Web.apps.app"
                                       << ""
                                       << "Webs";
        QTest::newRow("case-sensitive") << "/Applications/Tool.APP"
                                        << ""
                                        << "Tool.APP";
        QTest::newRow("Finder") << "Finder"
                                << ""
                                << "Finder";
        QTest::newRow("desktop entry: its shown name")
            << "/usr/share/applications/org.x.Calc.desktop"
            << "Rechner"
            << "Rechner";
    }
    void displayName() {
        QFETCH(QString, name);
        QFETCH(QString, shownName);
        QFETCH(QString, display);
        QCOMPARE(vellora::displayName(Apps{name, shownName, {}}), display);
    }

    void catalogueOrder_data() {
        QTest::addColumn<QStringList>("names"); // paths of bundles, or shown names after "="
        QTest::addColumn<QStringList>("ordered");
        QTest::newRow("upper case first")
            << QStringList{"/A/apple.app", "/A/Zed.app"} << QStringList{"Zed", "apple"};
        QTest::newRow("shorter first")
            << QStringList{"/A/Notes Pro.app", "/A/Notes.app"} << QStringList{"Notes", "Notes Pro"};
        QTest::newRow("Finder last") << QStringList{"Finder", "=zulu", "/A/~tilde.app"}
                                     << QStringList{"zulu", "~tilde", "Finder"};
        QTest::newRow("shown names") << QStringList{"=Writer", "=Calc", "=Écrire"}
                                     << QStringList{"Calc", "Écrire", "Writer"};
    }
    void catalogueOrder() {
        QFETCH(QStringList, names);
        QFETCH(QStringList, ordered);
        QList<Apps> apps;
        for (const QString& n : names) {
            if (n.startsWith('='))
                apps << Apps{"/usr/share/applications/" + n.mid(1) + ".desktop", n.mid(1), {}};
            else
                apps << Apps{n, {}, {}};
        }
        for (int round = 0; round < 2; ++round) {
            std::reverse(apps.begin(), apps.end()); // the order found must not matter
            std::stable_sort(apps.begin(), apps.end(), catalogueLess);
            QStringList shown;
            for (const Apps& a : apps)
                shown << vellora::displayName(a);
            QCOMPARE(shown, ordered);
        }
    }

    void rebuild_data() {
        QTest::addColumn<int>("applications");
        QTest::addColumn<QString>("search");
        QTest::addColumn<int>("shown");
        QTest::addColumn<int>("pages");
        QTest::addColumn<QStringList>("firstPage");
        QTest::newRow("0, all") << 0 << "" << 1 << 1 << QStringList{red + "Finder"};
        QTest::newRow("0, slash") << 0 << "/" << 0 << 0 << QStringList{};
        QTest::newRow("4, slash") << 4 << "/" << 4 << 1
                                  << QStringList{red + "App0", red + "App1", red + "App2",
                                                 red + "App3"};
        QTest::newRow("4, all: Finder last, page 2")
            << 4 << "" << 5 << 2
            << QStringList{red + "App0", red + "App1", red + "App2", red + "App3"};
        QTest::newRow("5, slash") << 5 << "/" << 5 << 2
                                  << QStringList{red + "App0", red + "App1", red + "App2",
                                                 red + "App3"};
        QTest::newRow("9, FIN finds the Finder only")
            << 9 << "FIN" << 1 << 1 << QStringList{red + "Finder"};
        QTest::newRow("9, name in any case") << 9 << "aPp7" << 1 << 1 << QStringList{red + "App7"};
        QTest::newRow("9, nothing matches") << 9 << "zzz" << 0 << 0 << QStringList{};
    }
    void rebuild() {
        QFETCH(int, applications);
        QFETCH(QString, search);
        QFETCH(int, shown);
        QFETCH(int, pages);
        QFETCH(QStringList, firstPage);
        UiHarness h(applications);
        h.refresh(search);
        QCOMPARE(h.list().sortedApps.size(), shown);
        QCOMPARE(h.list().pageCount(), pages);
        QCOMPARE(h.list().bs.size(), pages);
        QCOMPARE(h.titles(), firstPage);
        QCOMPARE(h.list().num, firstPage.size());
        // The strip is shared evenly; the first page is the current one.
        const int width = h.controller.outroView()->width();
        int covered = 0;
        for (int k = 0; k < pages; ++k) {
            QPushButton* page = h.list().bs.at(k);
            QCOMPARE(page->property("tag").toInt(), k);
            QVERIFY(qAbs(page->width() - double(width) / pages) <= 1.0);
            QCOMPARE(page->palette().color(QPalette::Window),
                     k == 0 ? QColor(Qt::white) : QColor(Qt::gray));
            covered += page->width();
        }
        QCOMPARE(covered, pages ? width : 0);
        if (search.isEmpty() && shown)
            QCOMPARE(h.list().sortedApps.last().name, Apps::kFinder);
    }

    void pagesOfNine() {
        UiHarness h(9);
        h.refresh("/");
        QCOMPARE(h.list().pageCount(), 3);
        h.list().bs.at(1)->click();
        QCOMPARE(h.list().i, 2);
        QCOMPARE(h.titles(), (QStringList{red + "App4", red + "App5", red + "App6", red + "App7"}));
        QStringList keys;
        for (QToolButton* b : h.list().bts)
            keys << b->property("keyEquivalent").toString();
        QCOMPARE(keys, (QStringList{"4", "5", "6", "7"}));
        // Slots are filled top-left, top-right, bottom-left, bottom-right.
        QCOMPARE(h.list().bts.at(0)->pos(), QPoint(0, 0));
        QVERIFY(h.list().bts.at(1)->x() > 0 && h.list().bts.at(1)->y() == 0);
        QVERIFY(h.list().bts.at(2)->x() == 0 && h.list().bts.at(2)->y() > 0);

        h.list().bs.at(2)->click();
        QCOMPARE(h.titles(), QStringList{red + "App8"});
        QCOMPARE(h.list().bts.at(0)->pos(), QPoint(0, 0));
        for (int k = 0; k < 3; ++k)
            QCOMPARE(h.list().bs.at(k)->palette().color(QPalette::Window),
                     k == 2 ? QColor(Qt::white) : QColor(Qt::gray));
    }

    // After a rebuild with an empty search, the page shown stays and is the one marked; a page
    // that no longer exists gives way to the last one.
    void rebuildKeepsThePage() {
        UiHarness h(9);
        h.refresh("");
        h.list().change(2);
        h.refresh("");
        QCOMPARE(h.list().i, 3);
        QCOMPARE(h.list().bs.at(2)->palette().color(QPalette::Window), QColor(Qt::white));
        h.entries.setApplications(3);
        h.refresh("");
        QCOMPARE(h.list().i, 1);
        QCOMPARE(h.list().num, 4);
    }

    void otherWidgetsInTheGridStay() {
        UiHarness h(2);
        auto* note = new QLabel("kept", h.controller.theView());
        h.refresh("");
        h.refresh("");
        QVERIFY(h.controller.theView()->findChildren<QLabel*>().contains(note));
    }

    void markersFollowTheTable() {
        UiHarness h(3);
        AppVolumeTable& table = h.controller.table();
        table.putEntry("50", "App1");
        table.putEntry("20", "app2"); // another name: letter case differs
        h.refresh("/");
        QCOMPARE(h.titles(), (QStringList{red + "App0", blue + "App1", red + "App2"}));
        DiagnosticCapture out;
        table.removeEntry("App1");
        h.refresh("/");
        QCOMPARE(h.titles(), (QStringList{red + "App0", red + "App1", red + "App2"}));
    }

    void failedListingKeepsTheCatalogue() {
        UiHarness h(2);
        h.refresh("");
        h.entries.fail = true;
        DiagnosticCapture out;
        h.refresh("");
        QCOMPARE(h.list().sortedApps.size(), 3);
        QCOMPARE(out.lines.filter("could not be listed").size(), 1);
    }

    void keys_data() {
        QTest::addColumn<int>("page"); // page 1 holds 4 buttons, page 2 holds 3
        QTest::addColumn<int>("start");
        QTest::addColumn<QList<int>>("keys");
        QTest::addColumn<int>("highlight");
        QTest::addColumn<QStringList>("lines");
        const int R = Qt::Key_Right, L = Qt::Key_Left, U = Qt::Key_Up, D = Qt::Key_Down;
        QTest::newRow("3: down stays")
            << 2 << 1 << QList<int>{D} << 1 << QStringList{"0", "down arrow"};
        QTest::newRow("3: up stays")
            << 2 << 1 << QList<int>{U} << 1 << QStringList{"0", "up arrow"};
        QTest::newRow("3: left") << 2 << 1 << QList<int>{L} << 0 << QStringList{"0", "left arrow"};
        QTest::newRow("3: right, then no further")
            << 2 << 1 << QList<int>{R, R} << 2
            << QStringList{"0", "right arrow", "0", "right arrow"};
        QTest::newRow("4: down") << 1 << 0 << QList<int>{D} << 2 << QStringList{"0", "down arrow"};
        QTest::newRow("4: right") << 1 << 0 << QList<int>{R} << 1
                                  << QStringList{"0", "right arrow"};
        QTest::newRow("4: down, right, up")
            << 1 << 0 << QList<int>{D, R, U} << 1
            << QStringList{"0", "down arrow", "0", "right arrow", "0", "up arrow"};
        QTest::newRow("4: left at 0 stays")
            << 1 << 0 << QList<int>{L} << 0 << QStringList{"0", "left arrow"};
        QTest::newRow("4: other key")
            << 1 << 3 << QList<int>{Qt::Key_F5} << 3 << QStringList{"0", "default"};
    }
    void keys() {
        QFETCH(int, page);
        QFETCH(int, start);
        QFETCH(QList<int>, keys);
        QFETCH(int, highlight);
        QFETCH(QStringList, lines);
        UiHarness h(7);
        h.refresh("/");
        h.list().change(page - 1);
        h.list().highlated = start;
        DiagnosticCapture out;
        for (int key : keys)
            QTest::keyClick(QApplication::focusWidget(), Qt::Key(key));
        QCOMPARE(h.list().highlated, highlight);
        QCOMPARE(out.lines, lines);
        for (int k = 0; k < h.list().num; ++k)
            QCOMPARE(h.list().bts.at(k)->isDown(), k == highlight);
    }

    void returnClicksTheHighlightedButton_data() {
        QTest::addColumn<int>("key");
        QTest::newRow("Return") << int(Qt::Key_Return);
        QTest::newRow("keypad Enter") << int(Qt::Key_Enter);
    }
    void returnClicksTheHighlightedButton() {
        QFETCH(int, key);
        UiHarness h(5);
        h.refresh("/");
        DiagnosticCapture out;
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Down);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key(key));
        QVERIFY(h.controller.editor().popover() && h.controller.editor().popover()->isShown());
        QCOMPARE(h.controller.editor().slider()->toolTip(), QStringLiteral("App2"));
        QVERIFY(out.lines.contains(red + "App2"));
    }

    void typingNeverClicks() {
        UiHarness h(5);
        h.refresh("/");
        h.list().highlated = 1;
        QTest::keyClicks(h.controller.searchController(), "ap");
        QVERIFY(!h.controller.editor().popover());
        QCOMPARE(h.controller.searchController()->text(), QStringLiteral("/ap"));
    }

    void scrolling_data() {
        QTest::addColumn<int>("startPage");
        QTest::addColumn<QPointF>("delta");
        QTest::addColumn<int>("page");
        QTest::addColumn<QStringList>("lines");
        QTest::newRow("forward") << 1 << QPointF(0, -3) << 2 << QStringList{"pra la"};
        QTest::newRow("forward at the end") << 3 << QPointF(0, -3) << 3 << QStringList{"pra la"};
        QTest::newRow("backward") << 2 << QPointF(0, 3) << 1 << QStringList{"pra ca"};
        QTest::newRow("backward at the start") << 1 << QPointF(0, 3) << 1 << QStringList{"pra ca"};
        QTest::newRow("sideways forward") << 1 << QPointF(-2, 0) << 2 << QStringList{"pra la"};
        QTest::newRow("sideways backward") << 3 << QPointF(2, 0) << 2 << QStringList{"pra ca"};
        QTest::newRow("no direction") << 2 << QPointF(0, 0) << 2 << QStringList{};
    }
    void scrolling() {
        QFETCH(int, startPage);
        QFETCH(QPointF, delta);
        QFETCH(int, page);
        QFETCH(QStringList, lines);
        UiHarness h(9);
        h.refresh("/");
        h.list().change(startPage - 1);
        h.list().highlated = 3;
        DiagnosticCapture out;
        // A real wheel event over the grid, as the mouse sends it.
        QWidget* grid = h.controller.theView();
        QWheelEvent wheel(QPointF(5, 5), grid->mapToGlobal(QPointF(5, 5)), delta.toPoint(),
                          QPoint(), Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(grid, &wheel);
        QCOMPARE(h.list().i, page);
        QCOMPARE(out.lines, lines);
        QCOMPARE(h.list().highlated, 0);
        QCOMPARE(h.list().bs.at(page - 1)->palette().color(QPalette::Window), QColor(Qt::white));
    }

    void scrollingAnEmptyList() {
        UiHarness h(0);
        h.refresh("/");
        DiagnosticCapture out;
        h.controller.navigation().scrollWheel(0, -1);
        QCOMPARE(out.lines, QStringList{"pra la"});
        QCOMPARE(h.list().i, 1);
    }
};

QTEST_MAIN(TestList)
#include "test_list.moc"
