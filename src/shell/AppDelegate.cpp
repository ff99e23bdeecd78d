#include "AppDelegate.h"

#include "core/Diagnostics.h"
#include "core/EventMonitor.h"
#include "core/NotificationCenter.h"
#include "core/UserDefaults.h"
#include "list/QuotesViewController.h"
#include "list/Resources.h"
#include "panels/Popover.h"

#include <QCursor>
#include <QSystemTrayIcon>

namespace vellora {

AppDelegate::AppDelegate(UserDefaults& defaults, QuotesViewController& controller,
                         GlobalMouseMonitor& mouse, QObject* parent)
    : QObject(parent), defaults_(defaults), controller_(controller), mouse_(mouse),
      popover_(std::make_unique<Popover>()) {}

AppDelegate::~AppDelegate() = default;

void AppDelegate::applicationDidFinishLaunching(const QStringList& missing) {
    if (QSystemTrayIcon::isSystemTrayAvailable()) {
        statusItem_ =
            std::make_unique<QSystemTrayIcon>(bundleImage(QStringLiteral("StatusBarButtonImage")));
        statusItem_->setToolTip(QStringLiteral("Vellora"));
        connect(statusItem_.get(), &QSystemTrayIcon::activated, this,
                [this](QSystemTrayIcon::ActivationReason reason) {
                    // A double click arrives as a click first: toggling on both would undo it.
                    if (reason == QSystemTrayIcon::Trigger)
                        togglePopover();
                });
        statusItem_->show();
    }

    // Loading the list's view wires the volume switch to activations, tray or not.
    popover_->setContent(controller_.view());

    eventMonitor_ = std::make_unique<EventMonitor>(
        mouse_, EventMonitor::kLeftMouseDown | EventMonitor::kRightMouseDown, [this](const auto&) {
            if (popover_->isShown())
                closePopover();
        });
    auto& center = NotificationCenter::defaultCenter();
    center.addObserver(QStringLiteral("closepop"), this, [this] { closePopover(); });
    center.addObserver(QStringLiteral("open"), this, [this] { showPopover(); });
    eventMonitor_->start();
    center.post(QStringLiteral("open"));
    center.post(QStringLiteral("closepop"));

    if (!defaults_.contains(UserDefaults::kHide)) {
        diag(QStringLiteral("login==nil"));
        defaults_.setBool(UserDefaults::kHide, false);
    }
    if (defaults_.boolValue(UserDefaults::kHide))
        Popover::setActivationPolicy(Popover::ActivationPolicy::Accessory);

    // The one-time login-item migration belongs here, once launch at login exists.

    QStringList lacking = missing;
    if (!statusItem_)
        lacking << QStringLiteral("No system tray; start Vellora again to open its list.");
    for (const QString& line : std::as_const(lacking)) {
        diag(line);
        if (statusItem_)
            statusItem_->showMessage(QStringLiteral("Vellora"), line, QSystemTrayIcon::Warning);
    }

    center.post(QStringLiteral("atu"));
}

void AppDelegate::togglePopover() {
    if (popover_->isShown())
        closePopover();
    else
        showPopover();
}

void AppDelegate::showPopover() {
    if (statusItem_) {
        const QRect icon = statusItem_->geometry();
        showAt(icon.isValid() ? icon : QRect(QCursor::pos(), QSize(1, 1)));
    }
    if (eventMonitor_)
        eventMonitor_->start();
}

void AppDelegate::showAt(const QRect& anchor) {
    popover_->showRelativeTo(anchor, Popover::Edge::Below);
    NotificationCenter::defaultCenter().post(QStringLiteral("atu"));
}

void AppDelegate::closePopover() {
    popover_->performClose();
    if (eventMonitor_)
        eventMonitor_->stop();
}

bool AppDelegate::applicationShouldHandleReopen() {
    // Without a tray icon there is nothing to anchor to: show it at the pointer.
    if (!statusItem_)
        showAt(QRect(QCursor::pos(), QSize(1, 1)));
    showPopover();
    return true;
}

} // namespace vellora
