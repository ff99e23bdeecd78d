#include "OptionsMenu.h"

#include "Popover.h"
#include "Updater.h"
#include "core/LevelLearner.h"
#include "core/UserDefaults.h"

#include <QKeyEvent>

namespace vellora {

OptionsMenu::OptionsMenu(UserDefaults& defaults, ActivationPolicy& policy, Offers offers,
                         QObject* parent)
    : QObject(parent), defaults_(defaults), policy_(policy), offers_(offers) {
    menux_.installEventFilter(this);
}

bool OptionsMenu::eventFilter(QObject* watched, QEvent* event) {
    // An open menu takes the keyboard, and Qt runs no shortcut of an item that lives only in a
    // pop-up menu: the keys shown beside the items are done here. The item runs once the menu
    // has closed, as a click would have it.
    if (watched == &menux_ && event->type() == QEvent::KeyPress) {
        const QKeySequence pressed(static_cast<QKeyEvent*>(event)->keyCombination());
        for (QAction* item : menux_.actions()) {
            if (item->isEnabled() && !item->shortcut().isEmpty() && item->shortcut() == pressed) {
                menux_.hide();
                QMetaObject::invokeMethod(item, &QAction::trigger, Qt::QueuedConnection);
                return true;
            }
        }
    }
    return QObject::eventFilter(watched, event);
}

QString OptionsMenu::title(const QString& words, bool on) {
    return (on ? QStringLiteral("\u2713") : QStringLiteral("   ")) + words;
}

void OptionsMenu::openMenu(const QPoint& at) {
    newMenu();
    menux_.popup(at);
}

void OptionsMenu::newMenu() {
    Q_EMIT rebuilding();
    menux_.clear();

    const bool login = defaults_.ensureBool(UserDefaults::kLogin);
    const bool hide = defaults_.ensureBool(UserDefaults::kHide);
    policy_.set(hide ? ActivationPolicy::Kind::Accessory : ActivationPolicy::Kind::Regular);
    const bool itunes = defaults_.ensureBool(UserDefaults::kItunes);

    add(QStringLiteral("   Reset all"), &OptionsMenu::resetAllChosen)
        ->setObjectName(QStringLiteral("resetAll"));
    add(title(QStringLiteral("Ignore if iTunes is playing"), itunes), &OptionsMenu::ignoteItunes);
    const auto chosenBelow = [] {}; // told with the item itself, below
    QAction* launch =
        add(title(QStringLiteral("Launch at login"), login), chosenBelow, offers_.launchAtLogin);
    connect(launch, &QAction::triggered, this,
            [this, launch] { Q_EMIT launchAtLoginChosen(launch); });
    const bool updates = offers_.updater != nullptr;
    add(QStringLiteral("   Check for updates"), &OptionsMenu::checkForUpdatesChosen, updates,
        QKeySequence(QStringLiteral("Ctrl+U")));
    const bool automatic = updates && offers_.updater->automaticallyChecksForUpdates();
    add(title(QStringLiteral("Automatically check for updates"), automatic),
        &OptionsMenu::checkWeek, updates);
    add(title(QStringLiteral("Menu Bar Only"), hide), &OptionsMenu::only);
    // Off unless chosen, and not written until it is: a file from before stays as it was.
    add(title(QStringLiteral("Remember Volume Changes"),
              defaults_.boolValue(LevelLearner::kOption)),
        &OptionsMenu::rememberVolumeChanges)
        ->setToolTip(
            QStringLiteral("A volume you set by hand, kept for %1 seconds, becomes the "
                           "level of the application in front")
                .arg(std::chrono::duration_cast<std::chrono::seconds>(LevelLearner::kSettle)
                         .count()));
    menux_.addSeparator();
    add(QStringLiteral("   About"), &OptionsMenu::aboutChosen);
    add(QStringLiteral("   Quit"), &OptionsMenu::exit, true,
        QKeySequence(QStringLiteral("Ctrl+Q")));
}

template <class Action>
QAction* OptionsMenu::add(const QString& text, Action action, bool offered,
                          const QKeySequence& key) {
    QAction* item = menux_.addAction(text);
    item->setShortcut(key);
    item->setEnabled(offered);
    if (offered)
        connect(item, &QAction::triggered, this, action);
    return item;
}

QStringList OptionsMenu::titles() const {
    QStringList result;
    for (const QAction* a : menux_.actions())
        result << (a->isSeparator() ? QStringLiteral("-") : a->text());
    return result;
}

void OptionsMenu::only() {
    const bool hide = defaults_.ensureBool(UserDefaults::kHide);
    defaults_.setBool(UserDefaults::kHide, !hide);
    policy_.set(hide ? ActivationPolicy::Kind::Regular : ActivationPolicy::Kind::Accessory);
    scheduleRebuild();
}

void OptionsMenu::rememberVolumeChanges() {
    defaults_.setBool(LevelLearner::kOption, !defaults_.boolValue(LevelLearner::kOption));
    scheduleRebuild();
}

void OptionsMenu::ignoteItunes() {
    const bool itunes = defaults_.ensureBool(UserDefaults::kItunes);
    defaults_.setBool(UserDefaults::kItunes, !itunes);
    scheduleRebuild();
}

void OptionsMenu::checkWeek() {
    if (!offers_.updater)
        return;
    offers_.updater->setAutomaticallyChecksForUpdates(
        !offers_.updater->automaticallyChecksForUpdates());
    offers_.updater->setAutomaticallyDownloadsUpdates(false);
    scheduleRebuild();
}

void OptionsMenu::exit() {
    Q_EMIT quitChosen();
}

void OptionsMenu::scheduleRebuild() {
    // The timer of an earlier toggle keeps running; each rebuild reads the stored values.
    auto* timer = new QTimer(this);
    timer->setSingleShot(true);
    timer->setInterval(100);
    connect(timer, &QTimer::timeout, this, [this, timer] {
        newMenu();
        timer->deleteLater();
    });
    timer->start();
    uiUpdateTimerx_ = timer;
}

} // namespace vellora
