#include "OptionsMenu.h"

#include "Popover.h"
#include "Updater.h"
#include "core/UserDefaults.h"

#include <QKeyEvent>

namespace vellora {

OptionsMenu::OptionsMenu(UserDefaults& defaults, ActivationPolicy& policy, Hooks hooks,
                         QObject* parent)
    : QObject(parent), defaults_(defaults), policy_(policy), hooks_(std::move(hooks)) {
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
    if (hooks_.replaceEditorMonitor)
        hooks_.replaceEditorMonitor();
    menux_.clear();

    const bool login = defaults_.ensureBool(UserDefaults::kLogin);
    const bool hide = defaults_.ensureBool(UserDefaults::kHide);
    policy_.set(hide ? ActivationPolicy::Kind::Accessory : ActivationPolicy::Kind::Regular);
    const bool itunes = defaults_.ensureBool(UserDefaults::kItunes);

    add(QStringLiteral("   Reset all"), nullptr)->setObjectName(QStringLiteral("resetAll"));
    add(title(QStringLiteral("Ignore if iTunes is playing"), itunes), &OptionsMenu::ignoteItunes);
    QAction* launch = addHook(title(QStringLiteral("Launch at login"), login), {});
    if (hooks_.launchLogin) {
        launch->setEnabled(true);
        connect(launch, &QAction::triggered, this, [this, launch] { hooks_.launchLogin(launch); });
    }
    addHook(QStringLiteral("   Check for updates"), hooks_.checkNow,
            QKeySequence(QStringLiteral("Ctrl+U")));
    const bool automatic = hooks_.updater && hooks_.updater->automaticallyChecksForUpdates();
    addHook(title(QStringLiteral("Automatically check for updates"), automatic),
            hooks_.updater ? std::function<void()>([this] { checkWeek(); }) : nullptr);
    add(title(QStringLiteral("Menu Bar Only"), hide), &OptionsMenu::only);
    menux_.addSeparator();
    addHook(QStringLiteral("   About"), hooks_.about);
    add(QStringLiteral("   Quit"), &OptionsMenu::exit, QKeySequence(QStringLiteral("Ctrl+Q")));
}

QAction* OptionsMenu::add(const QString& text, void (OptionsMenu::*action)(),
                          const QKeySequence& key) {
    QAction* item = menux_.addAction(text);
    item->setShortcut(key);
    if (action)
        connect(item, &QAction::triggered, this, action);
    else if (hooks_.resetAll)
        connect(item, &QAction::triggered, this, [this] { hooks_.resetAll(); });
    return item;
}

QAction* OptionsMenu::addHook(const QString& text, const std::function<void()>& hook,
                              const QKeySequence& key) {
    QAction* item = menux_.addAction(text);
    item->setShortcut(key);
    item->setEnabled(bool(hook));
    if (hook)
        connect(item, &QAction::triggered, this, hook);
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

void OptionsMenu::ignoteItunes() {
    const bool itunes = defaults_.ensureBool(UserDefaults::kItunes);
    defaults_.setBool(UserDefaults::kItunes, !itunes);
    scheduleRebuild();
}

void OptionsMenu::checkWeek() {
    if (!hooks_.updater)
        return;
    hooks_.updater->setAutomaticallyChecksForUpdates(
        !hooks_.updater->automaticallyChecksForUpdates());
    hooks_.updater->setAutomaticallyDownloadsUpdates(false);
    scheduleRebuild();
}

void OptionsMenu::exit() {
    if (hooks_.exit)
        hooks_.exit();
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
