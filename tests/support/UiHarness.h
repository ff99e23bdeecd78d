#pragma once

#include "core/AppVolumeTable.h"
#include "core/Diagnostics.h"
#include "core/NotificationCenter.h"
#include "list/AppListView.h"
#include "list/QuotesViewController.h"
#include "panels/Popover.h"
#include "platform/ActivationSource.h"
#include "platform/DesktopEntry.h"
#include "platform/GlobalMouseMonitor.h"
#include "support/Fakes.h"
#include "support/TempDefaults.h"

#include <QCoreApplication>
#include <QLineEdit>
#include <QWidget>

// Installed applications chosen by the test.
class FakeDesktopEntries : public vellora::DesktopEntrySource {
public:
    QList<vellora::DesktopEntry> list;
    bool fail = false;
    QString fileManager;

    std::optional<QList<vellora::DesktopEntry>> entries() override {
        if (fail)
            return std::nullopt;
        return list;
    }
    QString defaultFileManagerId() override { return fileManager; }

    // n applications App0 .. App(n-1), each in its own desktop file.
    void setApplications(int n) {
        list.clear();
        for (int k = 0; k < n; ++k) {
            vellora::DesktopEntry e;
            e.id = QStringLiteral("app%1.desktop").arg(k);
            e.path = QStringLiteral("/usr/share/applications/app%1.desktop").arg(k);
            e.name = QStringLiteral("App%1").arg(k);
            list << e;
        }
    }
};

// A mouse monitor whose presses the test makes.
class FakeMouse : public vellora::GlobalMouseMonitor {
public:
    bool running = false;
    bool seesPresses() const override { return true; }
    void start() override { running = true; }
    void stop() override { running = false; }
    bool isRunning() const override { return running; }
    void press(int button = 1) { emit pressed(button, QPoint(5, 5)); }
};

class FakeActivations : public vellora::ActivationSource {
public:
    bool isAvailable() const override { return true; }
    void activate(const QString& name) { frontChanged(vellora::RunningApplication{name, {}, 0}); }
};

// A list controller on fake services, with a clean settings store.
struct UiHarness {
    TempDefaults store;
    vellora::NotificationCenter notifications;
    vellora::ActivationPolicy policy;
    FakeVolumeControl volume;
    FakeDesktopEntries entries;
    FakeMouse mouse;
    FakeActivations activations;
    int quits = 0;
    vellora::QuotesViewController controller{{*store.defaults, notifications, policy, volume,
                                              entries, mouse, &activations, nullptr,
                                              [this] { ++quits; }}};

    explicit UiHarness(int applications = 0) {
        entries.setApplications(applications);
        controller.view()->show();
    }

    // Runs what the list deferred through the event loop (fet and fetchLog hop once each).
    static void settle() {
        for (int n = 0; n < 4; ++n)
            QCoreApplication::processEvents();
    }
    void refresh(const QString& search = {}) {
        controller.searchController()->setText(search);
        controller.fetchLog();
        settle();
    }
    vellora::AppListView& list() { return controller.list(); }
    QStringList titles() {
        QStringList t;
        for (QToolButton* b : list().bts())
            t << (b ? b->text() : QStringLiteral("<gone>"));
        return t;
    }
    // Clicks the application button in slot k of the page, as the user does.
    void click(int k) { list().bts().at(k)->click(); }
};
