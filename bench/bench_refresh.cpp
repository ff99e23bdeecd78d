// How long opening the popover takes to refresh the list: from "atu" to the page laid out and
// painted, over real desktop entries (GIO), without and with search text. The first refresh
// ("cold") draws from the index that was read at start on another thread, as the program's is;
// later ones find the catalogue kept ("warm", what each opening of the popover costs). GLib reads
// the data folders once per process, so one run
// measures one size; scripts/bench runs it for 100, 1,000 and 10,000 entries in its throwaway
// desktop, on the X server as the program draws; with QT_QPA_PLATFORM=offscreen the X server's
// share is left out.
//   VELLORA_BENCH_ENTRIES=1000 build/release/bench/bench_refresh
// With VELLORA_BENCH_JSON set, the medians are merged into that JSON file as refresh_ms_N
// (no search), refresh_search_ms_N and refresh_cold_ms_N.
#include "Results.h"
#include "base/Diagnostics.h"
#include "base/WorkerThread.h"
#include "list/AppListView.h"
#include "list/QuotesViewController.h"
#include "platform/linux/GioDesktopEntries.h"
#include "support/Fakes.h"
#include "support/TempDefaults.h"
#include "support/UiHarness.h"

#include <QCursor>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QIcon>
#include <QTemporaryDir>
#include <QtTest>
#include <algorithm>

using namespace vellora;

class BenchRefresh : public QObject {
    Q_OBJECT

    QTemporaryDir data;
    int entries = qEnvironmentVariableIntValue("VELLORA_BENCH_ENTRIES");
    QJsonObject results;

    // From "atu" until the list's deferred steps, the layout and the painting have run.
    static double refreshMs(NotificationCenter& notifications) {
        QElapsedTimer timer;
        timer.start();
        notifications.post(notification::kAtu);
        for (int n = 0; n < 4; ++n) // fet and fetchLog hop once each through the event loop
            QCoreApplication::processEvents();
        QCoreApplication::sendPostedEvents(); // layout requests and repaints still waiting
        return double(timer.nsecsElapsed()) / 1e6;
    }

    static double median(QList<double> values) {
        std::sort(values.begin(), values.end());
        return values.isEmpty() ? 0 : values.at(values.size() / 2);
    }

private Q_SLOTS:
    void initTestCase() {
        if (entries <= 0)
            entries = 1000;
        const QString apps = data.filePath("applications");
        QDir().mkpath(apps);
        const QStringList icons{"utilities-terminal", "accessories-text-editor",
                                "system-file-manager", "applications-games"};
        for (int k = 0; k < entries; ++k) {
            QFile f(apps + QStringLiteral("/bench-app-%1.desktop").arg(k, 5, 10, QChar('0')));
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write(QStringLiteral("[Desktop Entry]\nType=Application\nName=Bench %1\n"
                                   "Exec=true\nIcon=%2\n")
                        .arg(k)
                        .arg(icons.at(k % icons.size()))
                        .toUtf8());
        }
        qputenv("XDG_DATA_HOME", data.path().toUtf8());
        qputenv("XDG_DATA_DIRS", data.filePath("none").toUtf8());
        if (QIcon::themeName().isEmpty() || QIcon::themeName() == QLatin1String("hicolor"))
            QIcon::setThemeName(QStringLiteral("Adwaita"));
    }

    void refresh_data() {
        QTest::addColumn<QString>("search");
        QTest::newRow("all") << QString();
        QTest::newRow("search") << QStringLiteral("Bench 1"); // 1, 10-19, 100-199, ...
    }

    void refresh() {
        QFETCH(QString, search);
        TempDefaults store;
        FakeVolumeControl volume;
        // Read on a thread of its own and published to the index the list reads, as at start.
        DesktopEntryIndex desktopEntries;
        WorkerThread readerThread(QStringLiteral("activations"));
        auto reader =
            readerThread.call([&] { return std::make_unique<GioDesktopEntries>(desktopEntries); });
        const auto readerEnds = qScopeGuard([&] { readerThread.call([&] { reader.reset(); }); });
        QVERIFY(desktopEntries.installed());
        FakeMouse mouse;
        NotificationCenter notifications;
        ActivationPolicy policy;
        QuotesViewController controller(
            {*store.defaults, notifications, policy, volume, desktopEntries, mouse, nullptr, {}});
        controller.view()->show();
        // Measured as a person sees it: on the screen, so that painting is part of the cost, and
        // with the pointer outside, on the tray icon that opened it. (With the pointer inside,
        // Qt may ask the X server where it is for every button shown: a round trip each.)
        QWidget* view = controller.view();
        QVERIFY(QTest::qWaitForWindowExposed(view));
        const QRect frame = view->frameGeometry();
        QCursor::setPos(frame.left() > 20 ? frame.topLeft() - QPoint(10, 10)
                                          : frame.bottomRight() + QPoint(10, 10));
        QTRY_VERIFY(!view->underMouse());
        controller.table().putEntry("50", "Bench 10");
        controller.searchController()->setText(search);

        DiagnosticCapture quiet; // the list says "fet" and "update" at every refresh
        const double cold = refreshMs(notifications);
        QList<double> warm;
        const int runs = entries > 1000 ? 11 : 41;
        for (int k = 0; k < runs; ++k)
            warm << refreshMs(notifications);
        QVERIFY(quiet.lines.count("update") == runs + 1);
        // The refresh really ran over the whole catalogue, and narrowed it when searching.
        const auto shown = controller.list().model().sortedApps().size();
        QVERIFY2(search.isEmpty() ? shown > entries : shown > 0 && shown < entries,
                 qPrintable(QStringLiteral("%1 applications listed").arg(shown)));

        const QString size = QString::number(entries);
        if (search.isEmpty())
            results["refresh_cold_ms_" + size] = cold;
        results[(search.isEmpty() ? "refresh_ms_" : "refresh_search_ms_") + size] = median(warm);
        QTest::setBenchmarkResult(median(warm), QTest::WalltimeMilliseconds);
    }

    void cleanupTestCase() {
        const QString out = qEnvironmentVariable("VELLORA_BENCH_JSON");
        if (out.isEmpty())
            return;
        for (auto it = results.begin(); it != results.end(); ++it)
            it.value() = std::round(it.value().toDouble() * 1000.0) / 1000.0;
        QVERIFY(bench::mergeInto(out, results));
    }
};

QTEST_MAIN(BenchRefresh)
#include "bench_refresh.moc"
