// The list popover: catalogue order, rebuild and search, paging, markers, keys and the wheel.
#include "list/ListNavigation.h"
#include "panels/VolumeEditor.h"
#include "support/UiHarness.h"

#include <QApplication>
#include <QWheelEvent>
#include <QtTest>

using namespace vellora;

namespace {
const QString red = AppListView::kRedMarker;
const QString blue = AppListView::kBlueMarker;

// Delivers a key as the desktop would: to the list's focused search field.
void key(UiHarness& h, int k, Qt::KeyboardModifiers mods = Qt::NoModifier) {
    QApplication::setActiveWindow(h.controller.view());
    h.controller.searchController()->setFocus();
    QTest::keyClick(h.controller.searchController(), Qt::Key(k), mods);
}
} // namespace

class TestList : public QObject {
    Q_OBJECT

private slots:
    // Upper case before lower case, shorter first, shown names, Finder last, whatever the
    // order found.
    void catalogueOrder() {
        QList<Apps> apps{
            {"/A/apple.app", {}, {}}, {"/A/Notes Pro.app", {}, {}},  {"Finder", {}, {}},
            {"/A/Notes.app", {}, {}}, {"/x/w.desktop", "Quill", {}}, {"/A/Zed.app", {}, {}}};
        for (int round = 0; round < 2; ++round) {
            std::reverse(apps.begin(), apps.end());
            std::stable_sort(apps.begin(), apps.end(), catalogueLess);
            QStringList shown;
            for (const Apps& a : apps)
                shown << vellora::displayName(a);
            QCOMPARE(shown, QStringList({"Notes", "Notes Pro", "Quill", "Zed", "apple", "Finder"}));
        }
    }

    void rebuild_data() {
        QTest::addColumn<int>("applications");
        QTest::addColumn<QString>("search");
        QTest::addColumn<int>("pages");
        QTest::addColumn<QStringList>("firstPage");
        const QStringList four{red + "App0", red + "App1", red + "App2", red + "App3"};
        QTest::newRow("nothing installed") << 0 << "" << 1 << QStringList{red + "Finder"};
        QTest::newRow("nothing found") << 9 << "zzz" << 0 << QStringList{};
        QTest::newRow("path search") << 5 << "/" << 2 << four;
        QTest::newRow("any case") << 9 << "aPp7" << 1 << QStringList{red + "App7"};
        QTest::newRow("FIN: the Finder") << 9 << "FIN" << 1 << QStringList{red + "Finder"};
    }
    void rebuild() {
        QFETCH(int, applications);
        QFETCH(QString, search);
        QFETCH(int, pages);
        QFETCH(QStringList, firstPage);
        UiHarness h(applications);
        h.refresh(search);
        QCOMPARE(h.titles(), firstPage);
        // The strip is shared evenly; the first page is the marked one.
        QCOMPARE(h.list().bs().size(), pages);
        int covered = 0;
        for (int k = 0; k < pages; ++k) {
            QCOMPARE(h.list().bs().at(k)->palette().color(QPalette::Window),
                     k == 0 ? QColor(Qt::white) : QColor(Qt::gray));
            covered += h.list().bs().at(k)->width();
        }
        QCOMPARE(covered, pages ? h.controller.outroView()->width() : 0);
    }

    // Pages fill row by row; a rebuild with an empty search keeps the page shown, or gives way
    // to the last one when it is gone. Markers follow the table by exact name, names show as
    // typed, search and table agree on canonically equivalent texts, and a failed listing
    // keeps the catalogue.
    void pagingMarkersAndNames() {
        UiHarness h(9);
        h.refresh("");
        h.list().bs().at(2)->click();
        QCOMPARE(h.titles(), (QStringList{red + "App8", red + "Finder"}));
        QVERIFY(h.list().bts().at(1)->x() > 0 && h.list().bts().at(1)->y() == 0);
        h.refresh("");
        QCOMPARE(h.list().model().page(), 3);
        h.entries.setApplications(2);
        h.entries.list[0].name = QStringLiteral("Tom & Jerry");
        h.entries.list[1].name = QStringLiteral("Cafe\u0301 \u01F0");
        h.controller.table().putEntry("50", "Tom & Jerry");
        h.controller.table().putEntry("20", "tom & jerry");
        h.refresh("");
        QCOMPARE(h.list().model().page(), 1);
        QCOMPARE(h.titles(),
                 (QStringList{red + "Cafe\u0301 \u01F0", blue + "Tom && Jerry", red + "Finder"}));
        for (const char16_t* search : {u"caf\u00e9", u"J\u030C"}) {
            h.refresh(QString::fromUtf16(search));
            QCOMPARE(h.titles(), QStringList{red + "Cafe\u0301 \u01F0"});
        }
        h.entries.fail = true;
        DiagnosticCapture out;
        h.refresh("");
        QCOMPARE(h.titles().size(), 3);
        QCOMPARE(out.lines.filter("could not be listed").size(), 1);
    }

    void keys_data() {
        QTest::addColumn<int>("page"); // page 1 holds 4 buttons, page 2 holds 3
        QTest::addColumn<int>("start");
        QTest::addColumn<QList<int>>("keys");
        QTest::addColumn<int>("highlight");
        const int R = Qt::Key_Right, L = Qt::Key_Left, U = Qt::Key_Up, D = Qt::Key_Down;
        QTest::newRow("3: down and up stay") << 2 << 1 << QList<int>{D, U} << 1;
        QTest::newRow("3: right, then no further") << 2 << 1 << QList<int>{R, R} << 2;
        QTest::newRow("4: down, right, up") << 1 << 0 << QList<int>{D, R, U} << 1;
        QTest::newRow("4: left at 0 stays") << 1 << 0 << QList<int>{L} << 0;
        QTest::newRow("beyond a smaller page, left comes back") << 2 << 3 << QList<int>{L} << 2;
    }
    void keys() {
        QFETCH(int, page);
        QFETCH(int, start);
        QFETCH(QList<int>, keys);
        QFETCH(int, highlight);
        UiHarness h(7);
        h.refresh("/");
        h.list().change(page - 1);
        h.list().model().setHighlighted(start);
        DiagnosticCapture out;
        for (int k : keys)
            key(h, k);
        QCOMPARE(h.list().model().highlighted(), highlight);
        QCOMPARE(out.lines.size(), 2 * keys.size()); // the flags line, then the key's own
        for (int k = 0; k < h.list().bts().size(); ++k)
            QCOMPARE(h.list().bts().at(k)->isDown(), k == highlight);
    }

    // Return and Enter open the highlighted application's editor once the key is delivered;
    // other keys never do, and a modifier pressed alone is no key at all.
    void returnOpensTheHighlightedApplication() {
        UiHarness h(4);
        h.refresh("/");
        key(h, Qt::Key_Right);
        DiagnosticCapture out;
        key(h, Qt::Key_Shift, Qt::ShiftModifier);
        key(h, Qt::Key_Home);
        UiHarness::settle();
        QCOMPARE(out.lines, (QStringList{"0", "default"}));
        QVERIFY(!h.controller.editor().isShown());
        for (int k : {int(Qt::Key_Return), int(Qt::Key_Enter)}) {
            key(h, k, k == Qt::Key_Enter ? Qt::KeypadModifier : Qt::NoModifier);
            QVERIFY(!h.controller.editor().isShown()); // not while the key is being delivered
            UiHarness::settle();
            QCOMPARE(h.controller.editor().subject().name, QStringLiteral("App1"));
            QVERIFY(h.controller.editor().isShown());
            h.controller.editor().dismiss();
        }
    }

    void wheel_data() {
        QTest::addColumn<int>("page");
        QTest::addColumn<QPoint>("delta");
        QTest::addColumn<int>("after");
        QTest::addColumn<QStringList>("lines");
        QTest::newRow("forward") << 1 << QPoint(0, -24) << 2 << QStringList{"pra la"};
        QTest::newRow("forward at the end") << 3 << QPoint(0, -24) << 3 << QStringList{"pra la"};
        QTest::newRow("sideways backward") << 3 << QPoint(16, 0) << 2 << QStringList{"pra ca"};
        QTest::newRow("no direction") << 2 << QPoint(0, 0) << 2 << QStringList{};
    }
    void wheel() {
        QFETCH(int, page);
        QFETCH(QPoint, delta);
        QFETCH(int, after);
        QFETCH(QStringList, lines);
        UiHarness h(9);
        h.refresh("/");
        h.list().change(page - 1);
        h.list().model().setHighlighted(1);
        DiagnosticCapture out;
        QWheelEvent event({5, 5}, {5, 5}, delta, delta, Qt::NoButton, Qt::NoModifier,
                          Qt::NoScrollPhase, false);
        QApplication::sendEvent(h.controller.theView(), &event);
        QCOMPARE(h.list().model().page(), after);
        QCOMPARE(h.list().model().highlighted(), 0);
        QCOMPARE(out.lines, lines);
    }
};

QTEST_MAIN(TestList)
#include "test_list.moc"
