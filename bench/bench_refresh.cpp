// How long opening the popover takes to refresh the list with 1,000 installed applications:
// the catalogue scan over real desktop entries (GIO), the rebuild and the first page's layout.
//   QT_QPA_PLATFORM=offscreen build/dev/bench/bench_refresh
#include "list/AppListView.h"
#include "list/QuotesViewController.h"
#include "platform/linux/GioDesktopEntries.h"
#include "support/Fakes.h"
#include "support/TempDefaults.h"
#include "support/UiHarness.h"

#include <QDir>
#include <QFile>
#include <QIcon>
#include <QTemporaryDir>
#include <QtTest>

using namespace vellora;

class BenchRefresh : public QObject {
    Q_OBJECT

    QTemporaryDir data;

private slots:
    void initTestCase() {
        const QString apps = data.filePath("applications");
        QDir().mkpath(apps);
        const QStringList icons{"utilities-terminal", "accessories-text-editor",
                                "system-file-manager", "applications-games"};
        for (int k = 0; k < 1000; ++k) {
            QFile f(apps + QStringLiteral("/bench-app-%1.desktop").arg(k, 4, 10, QChar('0')));
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

    void refreshWith1000Entries() {
        TempDefaults store;
        FakeVolumeControl volume;
        GioDesktopEntries entries;
        FakeMouse mouse;
        NotificationCenter notifications;
        ActivationPolicy policy;
        QuotesViewController controller(
            {*store.defaults, notifications, policy, volume, entries, mouse, nullptr, nullptr, {}});
        controller.view()->show();
        controller.table().putEntry("50", "Bench 10");
        // What "atu" asks for when the popover opens: fetchLog, then the deferred scan.
        QBENCHMARK {
            controller.fetchLog();
            UiHarness::settle();
        }
        QCOMPARE(controller.list().model().sortedApps().size(), 1001);
    }
};

QTEST_MAIN(BenchRefresh)
#include "bench_refresh.moc"
