#pragma once

#include "Apps.h"
#include "panels/Updater.h"
#include "platform/RunningApplication.h"

#include <QObject>
#include <QPointer>
#include <memory>

class QAction;
class QLabel;
class QLineEdit;
class QProgressDialog;
class QPushButton;
class QToolButton;
class QWidget;

namespace Ui {
class QuotesViewController;
}

namespace vellora {

class ActivationPolicy;
class About;
class AlertPresenter;
class AppListView;
class AppVolumeTable;
class OutputLevels;
class DesktopEntrySource;
class EventMonitor;
class GlobalMouseMonitor;
class LaunchAtLogin;
class ListNavigation;
class LoginItems;
class MusicPlayerSource;
class NavigationFilter;
class NotificationCenter;
class OptionsMenu;
class ScriptHost;
class UserDefaults;
class VolumeControl;
class VolumeEditor;
class SwitchWorker;
class Workspace;

// The content of the main popover and the host of the list, the editor, the options menu,
// the volume switch, update checks and About. Its view is built from the form
// "QuotesViewController" when first asked for; loading it wires the list to "atu" and the
// updater to the vendor's feed.
class QuotesViewController : public QObject {
    Q_OBJECT

public:
    struct Services {
        UserDefaults& defaults;
        NotificationCenter& notifications;
        ActivationPolicy& policy;
        VolumeControl& volume;
        DesktopEntrySource& entries;
        GlobalMouseMonitor& mouse;
        MusicPlayerSource* players = nullptr;
        std::function<void()> quit;
        LoginItems* loginItems = nullptr; // none: launch at login cannot be chosen
        ScriptHost* scripts = nullptr;
        AlertPresenter* alerts = nullptr; // none: message boxes of the desktop
        Updater* updater = nullptr;       // none: no update checks
        Workspace* workspace = nullptr;   // opens web pages and documents
        // Runs the volume switch, on a thread of its own; none: one of this thread, on volume
        // and players.
        SwitchWorker* switcher = nullptr;
    };

    static QString feedURLText();    // the vendor's update feed
    static QString supportURLText(); // the vendor's contact page

    explicit QuotesViewController(Services services, QObject* parent = nullptr);
    ~QuotesViewController() override;

    QWidget* view();
    bool isViewLoaded() const { return view_ != nullptr; }

    void fet();
    void fetchLog();
    // Lays out the current page of the list.
    void layOutPage();
    // Opens the level editor for an application of the list, attached to its button.
    void openEditor(const Apps& app, const QString& title, QWidget* button);
    // The list's operations under their described names: performX rebuilds the list (the
    // search field's action), setPreviousApplication hands an activation to the switch; coix and
    // showsy, kept for callers that know the list by those names, lay out the current page and
    // open the editor.
    void performX();
    void setPreviousApplication(const std::optional<RunningApplication>& application);
    void coix() { layOutPage(); }
    void showsy(const Apps& app, const QString& title, QWidget* button) {
        openEditor(app, title, button);
    }
    void closePopover();
    // The main popover closed: the editor goes with it.
    void listClosed();
    void resetAll();
    void openMenu();
    void newMenu();
    // Launch at login, toggled from its menu item (the sender); and the script-made login item.
    void launchLogin(QAction* sender);
    void addToLoginItems();
    // Closes the list and checks for updates, answering with a dialog.
    void checkNow();
    // About, and the acknowledgements it leads to.
    void dialogOKCancel2();
    void dialogOKCancel3();

    // What the updater reports, written out as diagnostic lines under the names of an updater's
    // delegate. Told by the services' updater once the view loads, or by the one given here.
    void followUpdater(Updater& updater);
    void didFinishLoadingAppcast(const Appcast& appcast);
    void didFindValidUpdate(const AppcastItem& item);
    void updaterDidNotFindUpdate();
    Updater* update() const { return services_.updater; }

    // Outlets.
    QWidget* theView() const;
    QWidget* outroView() const;
    QLineEdit* searchController() const;
    QToolButton* configButton() const;

    // Parts, for the shell and for tests.
    AppListView& list() const { return *list_; }
    ListNavigation& navigation() const { return *navigation_; }
    VolumeEditor& editor() const { return *editor_; }
    OptionsMenu& menu() const { return *menu_; }
    AppVolumeTable& table() const { return *table_; }
    EventMonitor* eventMonitor() const { return eventMonitor_.get(); }

private:
    void viewDidLoad();
    void scanCatalogue();
    // A new outside-click monitor for the editor, running when the one it replaces ran.
    void replaceEditorMonitor();
    // The user turned to the list while the editor was open: the editor goes away.
    void listPressed();

    Services services_;
    std::unique_ptr<AppVolumeTable> table_;
    std::unique_ptr<OutputLevels> outputLevels_; // levels for one output, beside the table
    std::unique_ptr<SwitchWorker> ownSwitcher_;
    SwitchWorker* switcher_ = nullptr;
    std::unique_ptr<Ui::QuotesViewController> ui_;
    std::unique_ptr<QWidget> view_;
    std::unique_ptr<AppListView> list_;
    std::unique_ptr<ListNavigation> navigation_;
    std::unique_ptr<NavigationFilter> navigationFilter_;
    std::unique_ptr<VolumeEditor> editor_;
    std::unique_ptr<OptionsMenu> menu_;
    std::unique_ptr<AlertPresenter> ownAlerts_;
    std::unique_ptr<LaunchAtLogin> launchAtLogin_;
    std::unique_ptr<About> about_;
    std::unique_ptr<QProgressDialog> checking_; // while a check the user asked for runs
    std::unique_ptr<EventMonitor> eventMonitor_;
};

} // namespace vellora
