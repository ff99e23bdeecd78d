#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QRect>
#include <QStringList>
#include <functional>
#include <memory>
#include <optional>

class QAction;
class QMenu;
class QSystemTrayIcon;

namespace vellora {

class ActivationPolicy;
struct AppcastItem;
class EventMonitor;
class GlobalMouseMonitor;
class LoginItems;
class NotificationCenter;
class Popover;
class QuotesViewController;
class ScriptHost;
class SwitchWorker;
class Workspace;
class UserDefaults;

// Owns the tray icon, the main popover with the application list, and the monitor that closes
// the popover on a click in another application.
class AppDelegate : public QObject {
    Q_OBJECT

public:
    struct Services {
        UserDefaults& defaults;
        NotificationCenter& notifications;
        ActivationPolicy& policy;
        GlobalMouseMonitor& mouse;
        // None: the one-time login-item migration waits for a start that has them.
        LoginItems* loginItems = nullptr;
        ScriptHost* scripts = nullptr;
        Workspace* workspace = nullptr;   // says what no tray can show
        SwitchWorker* switcher = nullptr; // none: the tray's menu offers no pause
        std::function<void()> quit = {};  // none: the tray's menu offers no quit
    };
    AppDelegate(Services services, QuotesViewController& controller, QObject* parent = nullptr);
    ~AppDelegate() override;

    // The start-up sequence; missing lists the services this session lacks, said once.
    void applicationDidFinishLaunching(const QStringList& missing = {});

    void togglePopover();
    // Shows the list by the icon; where a tray tells no place for it, by the pointer (or a point
    // by the icon the pointer was at).
    void showPopover(std::optional<QPoint> byIcon = std::nullopt);
    void closePopover();
    // Another start of the program while this one runs.
    bool applicationShouldHandleReopen();
    // An automatic check found a newer version: say so next to the tray icon.
    void announceUpdate(const AppcastItem& item);
    // Something the user must hear of (trouble with the settings): next to the icon where there
    // is a tray, else as a desktop notification.
    void tellUser(const QString& text);

    Popover& popover() const { return *popover_; }
    QSystemTrayIcon* statusItem() const { return statusItem_.get(); }
    EventMonitor* eventMonitor() const { return eventMonitor_.get(); }
    // The tray icon's own menu (a right click): open the list, pause or resume, quit.
    QMenu* trayMenu() const { return trayMenu_.get(); }

private:
    void makeTrayMenu();
    void showPaused(bool paused); // in the menu and the icon's tooltip
    // Shows the popover below the anchor (global coordinates) and refreshes the list.
    void showAt(const QRect& anchor);

    Services services_;
    QuotesViewController& controller_;
    std::unique_ptr<Popover> popover_;
    std::unique_ptr<QMenu> trayMenu_; // outlives the icon that shows it
    QAction* pauseAction_ = nullptr;
    QPoint menuOpenedAt_; // the pointer as the menu opened
    std::unique_ptr<QSystemTrayIcon> statusItem_;
    std::unique_ptr<EventMonitor> eventMonitor_;
    // When a press elsewhere last closed the list; a tray click this soon after is that press.
    // The list closed by a press outside it: a tray that draws the icon itself (a
    // StatusNotifierItem host) reports the click on the icon only as the button is let go, however
    // long it was held. Until then, and for a moment after, that click is the closing one.
    void closedByPress(int button);
    void pressReleased();
    QElapsedTimer closedByPress_; // since the press, then since its release
    bool awaitingRelease_ = false;
    static constexpr qint64 kSameClickMs = 300;
    static constexpr qint64 kLongestHoldMs = 10000; // a release lost does not block the icon
};

} // namespace vellora
