// The list popover: catalogue order, rebuild and search, paging, markers, keys and the wheel.
#include "panels/VolumeEditor.h"
#include "support/UiHarness.h"

#include <QApplication>
#include <QWheelEvent>
#include <QtTest>

using namespace vellora;

namespace {
const QString red = AppVolumeTable::kRedMarker;

// Delivers a key as the desktop would: to the list's focused search field.
void key(UiHarness& h, int k, Qt::KeyboardModifiers mods = Qt::NoModifier) {
    h.controller.view()->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(h.controller.view()));
    h.controller.searchController()->setFocus();
    QTest::keyClick(h.controller.searchController(), Qt::Key(k), mods);
}
} // namespace

class TestList : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // Upper case before lower case, shorter first, shown names, Finder last.
    void catalogueOrder() {
        QList<Apps> apps{
            {"/A/apple.app", {}, {}}, {"/A/Notes Pro.app", {}, {}},  {"Finder", {}, {}},
            {"/A/Notes.app", {}, {}}, {"/x/w.desktop", "Quill", {}}, {"/A/Zed.app", {}, {}}};
        std::stable_sort(apps.begin(), apps.end(), catalogueLess);
        QStringList shown;
        for (const Apps& a : apps)
            shown << vellora::displayName(a);
        QCOMPARE(shown, QStringList({"Notes", "Notes Pro", "Quill", "Zed", "apple", "Finder"}));
    }

    // Pages fill row by row and share the strip evenly, the page shown marked. A search (name or
    // path, any case, canonical equivalents equal) starts at page 1; an empty one keeps the page,
    // or the last when it is gone. Markers follow exact names; a failed listing keeps the list.
    void rebuildSearchPagingAndMarkers() {
        UiHarness h(27); // 28 entries with the Finder: 7 pages, which do not divide the strip
        (*h.entries.list)[0].name = QStringLiteral("Tom & Jerry");
        (*h.entries.list)[1].name = QStringLiteral("Cafe\u0301 \u01F0");
        h.controller.table().saveTable(
            {"", "50/*/*/*/*/Tom & Jerry", "40/*/*/*/*/Caf\u00e9 \u01F0", "20/*/*/*/*/app2"});
        h.refresh("");
        h.list().pageButtons().at(6)->click();
        QVERIFY(h.list().appButtons().at(1)->x() > 0 && h.list().appButtons().at(1)->y() == 0);
        const QString blue = AppVolumeTable::kBlueMarker, cafe = blue + "Cafe\u0301 \u01F0";
        const int strip = h.controller.outroView()->width();
        for (const auto& [search, pages, page, titles] :
             std::initializer_list<std::tuple<QString, int, int, QStringList>>{
                 {"", 7, 7, {red + "App9", cafe, blue + "Tom && Jerry", red + "Finder"}},
                 {"/aPp2", 2, 1, {red + "App2", red + "App20", red + "App21", red + "App22"}},
                 {"zzz", 0, 1, {}},
                 {"FIN", 1, 1, {red + "Finder"}},
                 {"caf\u00e9", 1, 1, {cafe}},
                 {"J\u030C", 1, 1, {cafe}}}) {
            h.refresh(search);
            QCOMPARE(h.titles(), titles);
            int x = 0;
            for (const QPushButton* b : h.list().pageButtons()) {
                QCOMPARE(b->palette().color(QPalette::Window),
                         QColor(b == h.list().pageButtons().at(page - 1) ? Qt::white : Qt::gray));
                QVERIFY(b->x() == x && qAbs(b->width() * pages - strip) < pages);
                x += b->width();
            }
            QCOMPARE(x, pages ? strip : 0);
        }
        h.list().change(6);
        h.entries.list->resize(5); // 6 entries: page 7 is gone, page 2 is the last
        h.refresh("");
        h.entries.list.reset();
        DiagnosticCapture out;
        h.refresh("");
        QCOMPARE(h.titles(), (QStringList{blue + "Tom && Jerry", red + "Finder"}));
        QCOMPARE(out.loggedSoFar().filter("could not be listed").size(), 1);
    }

    // The highlight is drawn from the start. Arrows stop at the page's edges; Left brings back a
    // highlight beyond a smaller page. Return and Enter open the highlighted application once
    // delivered; a modifier alone is no key. Page keys and the wheel turn pages, never past an
    // end, and start the highlight over.
    void keysAndWheel() {
        const int R = Qt::Key_Right, L = Qt::Key_Left, U = Qt::Key_Up, D = Qt::Key_Down;
        UiHarness h(7); // page 1 holds 4 buttons, page 2 holds 3
        h.refresh("/");
        QVERIFY(h.list().appButtons().at(0)->isDown());
        const QList<std::pair<int, int>> steps{
            {L, 0}, {D, 2}, {R, 3}, {U, 1}, {0, 1}, {D, 1}, {U, 1},
            {R, 2}, {R, 2}, {0, 2}, {R, 3}, {0, 3}, {L, 2}}; // 0: other page, same highlight
        for (const auto& [k, want] : steps) {
            k ? key(h, k) : h.list().change(h.list().model().page() % 2);
            QCOMPARE(h.list().model().highlighted(), want);
            for (int b = 0; k && b < h.list().appButtons().size(); ++b)
                QCOMPARE(h.list().appButtons().at(b)->isDown(), b == want);
        }
        DiagnosticCapture out;
        key(h, Qt::Key_Shift, Qt::ShiftModifier);
        key(h, Qt::Key_F2);
        UiHarness::settle();
        QCOMPARE(out.lines, (QStringList{"0", "default"}));
        for (int k : {int(Qt::Key_Return), int(Qt::Key_Enter)}) {
            key(h, k, k == Qt::Key_Enter ? Qt::KeypadModifier : Qt::NoModifier);
            QVERIFY(!h.controller.editor().isShown()); // not while the key is being delivered
            UiHarness::settle();
            QVERIFY(h.controller.editor().isShown() &&
                    h.controller.editor().subject().name == "App6");
            h.controller.editor().dismiss();
        }
        const int PD = Qt::Key_PageDown, PU = Qt::Key_PageUp;
        const QList<std::pair<int, int>> pageKeys{{PD, 2}, {PD, 2},          {Qt::Key_Home, 1},
                                                  {PU, 1}, {Qt::Key_End, 2}, {PU, 1}};
        for (const auto& [k, page] : pageKeys) {
            h.list().model().setHighlighted(1);
            key(h, k);
            QCOMPARE(h.list().model().page(), page);
            QCOMPARE(h.list().appButtons().at(0)->isDown(), h.list().model().highlighted() == 0);
        }
        out.lines.clear();
        for (const auto& [delta, page] : std::initializer_list<std::pair<QPoint, int>>{
                 {{0, -24}, 2}, {{16, 0}, 1}, {{0, 24}, 1}, {{0, -24}, 2}, {{0, 0}, 2}}) {
            h.list().model().setHighlighted(1);
            QWheelEvent event({}, {}, delta, delta, {}, {}, Qt::NoScrollPhase, false);
            QApplication::sendEvent(h.controller.theView(), &event);
            QCOMPARE(h.list().model().page(), page);
            QCOMPARE(h.list().model().highlighted(), 0);
        }
        QCOMPARE(out.lines, (QStringList{"pra la", "pra ca", "pra ca", "pra la"}));
    }
};

QTEST_MAIN(TestList)
#include "test_list.moc"
