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
    struct Hooks {
        std::function<void()> resetAll;
        std::function<void()> replaceEditorMonitor; // a new outside-click monitor per rebuild
        std::function<void()> exit;
        std::function<void(QAction*)> launchLogin = {}; // the chosen item is the sender
        std::function<void()> checkNow = {};
        std::function<void()> about = {};
        Updater* updater = nullptr; // holds the automatic-check option
    };

    OptionsMenu(UserDefaults& defaults, ActivationPolicy& policy, Hooks hooks,
                QObject* parent = nullptr);

    void openMenu(const QPoint& at);
    void newMenu();
    void only();
    void ignoteItunes();
    void checkWeek();
    void exit();
    // Schedules newMenu 0.1 s from now, also while a menu is open.
    void scheduleRebuild();

    QMenu* menux() { return &menux_; }
    QTimer* uiUpdateTimerx() const { return uiUpdateTimerx_; }
    QStringList titles() const;

    static QString title(const QString& words, bool on);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QAction* add(const QString& title, void (OptionsMenu::*action)(), const QKeySequence& key = {});
    // An item whose action is a hook; it cannot be chosen when the hook is missing.
    QAction* addHook(const QString& title, const std::function<void()>& hook,
                     const QKeySequence& key = {});

    UserDefaults& defaults_;
    ActivationPolicy& policy_;
    Hooks hooks_;
    QMenu menux_;
    QPointer<QTimer> uiUpdateTimerx_;
};

} // namespace vellora
