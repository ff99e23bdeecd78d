#include "AppDelegate.h"

#include "base/Diagnostics.h"
#include "base/Logging.h"
#include "core/Appcast.h"
#include "core/EventMonitor.h"
#include "core/NotificationCenter.h"
#include "core/SwitchWorker.h"
#include "core/UserDefaults.h"
#include "list/QuotesViewController.h"
#include "list/Resources.h"
#include "panels/LaunchAtLogin.h"
#include "panels/Popover.h"
#include "platform/GlobalMouseMonitor.h"
#include "platform/Workspace.h"

#include <QCursor>
#include <QGuiApplication>
#include <QLineEdit>
#include <QMenu>
#include <QSystemTrayIcon>

namespace vellora {

AppDelegate::AppDelegate(Services services, QuotesViewController& controller, QObject* parent)
    : QObject(parent), services_(services), controller_(controller),
      popover_(std::make_unique<Popover>(services_.policy)) {
    // The editor belongs to the list: it goes when the list goes, whatever closed it.
    connect(popover_.get(), &Popover::closed, &controller_, &QuotesViewController::listClosed);
}

AppDelegate::~AppDelegate() = default;

void AppDelegate::applicationDidFinishLaunching(const QStringList& missing) {
    // The icon is made even when no tray runs yet (as at login, when the panel comes late):
    // it settles into the tray once one appears.
    const bool trayAtStart = QSystemTrayIcon::isSystemTrayAvailable();
    statusItem_ =
        std::make_unique<QSystemTrayIcon>(bundleImage(QStringLiteral("StatusBarButtonImage")));
    statusItem_->setToolTip(QStringLiteral("Vellora"));
    connect(statusItem_.get(), &QSystemTrayIcon::activated, this,
            [this](QSystemTrayIcon::ActivationReason reason) {
                // A double click arrives as a click first: toggling on both would undo it.
                if (reason == QSystemTrayIcon::Trigger)
                    togglePopover();
            });
    makeTrayMenu();
    statusItem_->show();

    popover_->setContent(controller_.view());

    eventMonitor_ = std::make_unique<EventMonitor>(
        services_.mouse, EventMonitor::kLeftMouseDown | EventMonitor::kRightMouseDown,
        [this](const auto& event) {
            if (popover_->isShown())
                closedByPress(event ? event->button : 0);
        });
    connect(&services_.mouse, &GlobalMouseMonitor::released, this, &AppDelegate::pressReleased);
    auto& center = services_.notifications;
    center.addObserver(notification::kClosePop, this, [this] { closePopover(); });
    center.addObserver(notification::kOpen, this, [this] { showPopover(); });
    eventMonitor_->start();
    center.post(notification::kOpen);
    center.post(notification::kClosePop);

    if (!services_.defaults.contains(UserDefaults::kHide)) {
        diag(QStringLiteral("login==nil"));
        services_.defaults.setBool(UserDefaults::kHide, false);
    }
    if (services_.defaults.boolValue(UserDefaults::kHide))
        services_.policy.set(ActivationPolicy::Kind::Accessory);

    if (services_.loginItems && !services_.defaults.contains(UserDefaults::kLogin1))
        LaunchAtLogin::migrate(services_.defaults, *services_.loginItems, services_.scripts);

    QStringList lacking = missing;
    // A Wayland program finds a tray only as it starts: one that comes later is not used.
    if (!trayAtStart && QGuiApplication::platformName() == QLatin1String("wayland"))
        lacking << QStringLiteral("No system tray is running (on GNOME, an AppIndicator extension "
                                  "brings one); start Vellora again to open its list. A tray "
                                  "that starts later is used from Vellora's next start.");
    else if (!trayAtStart)
        lacking << QStringLiteral("No system tray yet; the Vellora icon appears once one starts "
                                  "(start Vellora again to open its list meanwhile).");
    for (const QString& line : std::as_const(lacking))
        qCWarning(lcShell).noquote() << line;
    // One message: a second one would replace the first before anyone read it. Without a tray
    // the desktop's notifications say it, where there are any.
    if (!lacking.isEmpty())
        tellUser(lacking.join(QLatin1Char('\n')));

    center.post(notification::kAtu);
}

void AppDelegate::makeTrayMenu() {
    trayMenu_ = std::make_unique<QMenu>();
    // The menu replaces the list, as on a tray that draws the icon itself, where the right
    // click is a press outside the list.
    connect(trayMenu_.get(), &QMenu::aboutToShow, this, [this] {
        closePopover();
        menuOpenedAt_ = QCursor::pos(); // by the icon, where the list goes
    });
    trayMenu_->addAction(QStringLiteral("Open Vellora"), this,
                         [this] { showPopover(menuOpenedAt_); });
    if (services_.switcher) {
        pauseAction_ = trayMenu_->addAction(QStringLiteral("Pause switching"), this, [this] {
            services_.switcher->setPaused(!services_.switcher->paused());
        });
        connect(services_.switcher, &SwitchWorker::pausedChanged, this, &AppDelegate::showPaused);
        showPaused(services_.switcher->paused());
    }
    if (services_.quit) {
        trayMenu_->addSeparator();
        trayMenu_->addAction(QStringLiteral("Quit Vellora"), this, [this] { services_.quit(); });
    }
    statusItem_->setContextMenu(trayMenu_.get());
}

void AppDelegate::showPaused(bool paused) {
    if (pauseAction_)
        pauseAction_->setText(paused ? QStringLiteral("Resume switching")
                                     : QStringLiteral("Pause switching"));
    if (statusItem_)
        statusItem_->setToolTip(paused ? QStringLiteral("Vellora (switching paused)")
                                       : QStringLiteral("Vellora"));
}

void AppDelegate::tellUser(const QString& text) {
    if (statusItem_ && QSystemTrayIcon::isSystemTrayAvailable())
        statusItem_->showMessage(QStringLiteral("Vellora"), text, QSystemTrayIcon::Warning);
    else if (services_.workspace)
        services_.workspace->postNotification(QStringLiteral("Vellora"), text);
}

void AppDelegate::announceUpdate(const AppcastItem& item) {
    const QString title = QStringLiteral("Vellora %1 is available").arg(item.displayVersion);
    if (!statusItem_ || !QSystemTrayIcon::isSystemTrayAvailable()) {
        qCInfo(lcShell).noquote() << title; // no tray to say it next to: at least it is not lost
        return;
    }
    statusItem_->showMessage(
        title,
        QStringLiteral("Choose \u201cCheck for updates\u201d in Vellora\u2019s options to get it."),
        QSystemTrayIcon::Information);
}

void AppDelegate::togglePopover() {
    if (popover_->isShown()) {
        closePopover();
        return;
    }
    // A click on the icon reaches the mouse monitor too (the tray is another program's window,
    // or draws the icon itself); when the monitor has just closed the list, that click was the
    // closing one.
    if (awaitingRelease_ && closedByPress_.elapsed() > kLongestHoldMs)
        pressReleased();
    if (closedByPress_.isValid() && (awaitingRelease_ || closedByPress_.elapsed() < kSameClickMs))
        return;
    showPopover();
}

void AppDelegate::closedByPress(int button) {
    closePopover();
    closedByPress_.start();
    // Where presses are seen, so are releases: the monitor runs on until this one's.
    if (button != 0 && services_.mouse.seesPresses() && !std::exchange(awaitingRelease_, true))
        services_.mouse.acquire();
}

void AppDelegate::pressReleased() {
    if (!std::exchange(awaitingRelease_, false))
        return;
    closedByPress_.start();
    services_.mouse.release();
}

void AppDelegate::showPopover(std::optional<QPoint> byIcon) {
    if (statusItem_) {
        const QRect icon = statusItem_->geometry();
        showAt(icon.isValid() ? icon : QRect(byIcon.value_or(QCursor::pos()), QSize(1, 1)));
    }
    if (eventMonitor_)
        eventMonitor_->start();
}

void AppDelegate::showAt(const QRect& anchor) {
    popover_->showRelativeTo(anchor, Popover::Edge::Below);
    // What the user types goes to the search (closing took the focus away), and replaces the
    // search kept from before rather than adding to it.
    if (QLineEdit* search = controller_.searchController()) {
        search->setFocus();
        search->selectAll();
    }
    services_.notifications.post(notification::kAtu);
}

void AppDelegate::closePopover() {
    popover_->performClose();
    if (eventMonitor_)
        eventMonitor_->stop();
}

bool AppDelegate::applicationShouldHandleReopen() {
    showPopover();
    return true;
}

} // namespace vellora
