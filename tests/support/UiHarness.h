#pragma once

#include "base/Diagnostics.h"
#include "core/ActivationFilter.h"
#include "core/AppVolumeTable.h"
#include "core/NotificationCenter.h"
#include "list/AppListView.h"
#include "list/QuotesViewController.h"
#include "panels/Popover.h"
#include "platform/DesktopEntry.h"
#include "platform/GlobalMouseMonitor.h"
#include "support/Fakes.h"
#include "support/TempDefaults.h"

#include <QCoreApplication>
#include <QLineEdit>

// Installed applications App0 .. App(n-1) in their own desktop files; nothing for a failed listing.
struct FakeDesktopEntries : vellora::DesktopEntrySource {
    std::optional<QList<vellora::DesktopEntry>> list;

    explicit FakeDesktopEntries(int n) { setApplications(n); }
    std::optional<vellora::InstalledApplications> installed() override {
        return list ? std::optional(vellora::InstalledApplications{*list, {}}) : std::nullopt;
    }
    void setApplications(int n) {
        list.emplace();
        for (int k = 0; k < n; ++k) {
            const QString id = QStringLiteral("App%1.desktop").arg(k);
            list->append({id, "/usr/share/applications/" + id, id.chopped(8), {}, {}, {}});
        }
    }
};

struct FakeMouse : vellora::GlobalMouseMonitor {
    bool running = false;
    bool seesPresses() const override { return true; }
    void start() override { running = true; }
    void stop() override { running = false; }
    bool isRunning() const override { return running; }
    void press(int button = 1) { Q_EMIT pressed(button, QPoint(5, 5)); } // a press elsewhere
};

struct FakeActivations : vellora::ActivationSource {
    bool isAvailable() const override { return true; }
    QString description() const override { return "a test"; }
    void activate(const QString& name) { reportFront(vellora::RunningApplication{name, {}, 0}); }
};

// A list controller on fake services, with a clean settings store, its view shown.
struct UiHarness {
    TempDefaults store;
    vellora::NotificationCenter notifications;
    vellora::ActivationPolicy policy;
    FakeVolumeControl volume;
    FakeDesktopEntries entries;
    FakeMouse mouse;
    FakeActivations source;
    vellora::ActivationFilter activations{source};
    int quits = 0;
    vellora::QuotesViewController controller{{*store.defaults, notifications, policy, volume,
                                              entries, mouse, nullptr, [this] { ++quits; }}};

    explicit UiHarness(int n = 0) : entries(n) {
        // As the program wires it: activations run the switch.
        QObject::connect(&activations, &vellora::ActivationFilter::applicationActivated,
                         &controller, &vellora::QuotesViewController::setPreviousApplication);
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
        for (QToolButton* b : list().appButtons())
            t << (b ? b->text() : QStringLiteral("<gone>"));
        return t;
    }
};
