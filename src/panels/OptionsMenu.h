#pragma once

#include <QMenu>
#include <QObject>
#include <QPointer>
#include <QTimer>
#include <functional>
#include <memory>

namespace vellora {

class ActivationPolicy;
class Updater;
class UserDefaults;

// The options menu behind the popover's options button. Titles carry their own state: a check
// mark before the words when on, three spaces when off. It is rebuilt from the stored options
// before every pop-up and a tenth of a second after each toggle.
class OptionsMenu : public QObject {
    Q_OBJECT

public:
    // What this session can offer; an item it cannot is shown, but cannot be chosen.
    struct Offers {
        bool launchAtLogin = false;
        Updater* updater = nullptr; // checks for updates and holds the automatic-check option
    };

    OptionsMenu(UserDefaults& defaults, ActivationPolicy& policy, Offers offers,
                QObject* parent = nullptr);

    void openMenu(const QPoint& at);
    void newMenu();
    void only();
    void ignoteItunes();
    void rememberVolumeChanges();
    void checkWeek();
    void exit();
    // Schedules newMenu 0.1 s from now, also while a menu is open.
    void scheduleRebuild();

    QMenu* menux() { return &menux_; }
    QTimer* uiUpdateTimerx() const { return uiUpdateTimerx_; }
    QStringList titles() const;

    static QString title(const QString& words, bool on);

Q_SIGNALS:
    void resetAllChosen();
    void launchAtLoginChosen(QAction* item); // the item shows the option's state
    void checkForUpdatesChosen();
    void aboutChosen();
    void quitChosen();
    // A new menu is about to be built (the editor's outside-click monitor is made anew).
    void rebuilding();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // An item that runs action when chosen, and can be chosen only when offered.
    template <class Action>
    QAction* add(const QString& title, Action action, bool offered = true,
                 const QKeySequence& key = {});

    UserDefaults& defaults_;
    ActivationPolicy& policy_;
    Offers offers_;
    QMenu menux_;
    QPointer<QTimer> uiUpdateTimerx_;
};

} // namespace vellora
