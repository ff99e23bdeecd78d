#pragma once

#include <QString>

class QAction;

namespace vellora {

class AlertPresenter;
class LoginItems;
class NotificationCenter;
class ScriptHost;
class UserDefaults;

// Launch at login: the menu toggle that registers the launcher as a login item, the older
// script-made login item, and the one-time move from the latter to the former.
class LaunchAtLogin {
public:
    static inline const QString kOffTitle = QStringLiteral("   Launch at login");
    static inline const QString kOnTitle = QStringLiteral("\u2713Launch at login");
    static inline const QString kAddFailed =
        QStringLiteral("Couldn't add Helper App to launch at login item list.");
    static inline const QString kRemoveFailed =
        QStringLiteral("Couldn't remove Helper App from launch at login item list.");
    static inline const QString kRemoveScript =
        QStringLiteral("tell application \"System Events\" to delete login item \"Vellora\"");
    static inline const QString kAddScript = QStringLiteral(
        "tell application \"System Events\" to make login item at end with properties "
        "{path:\"/Applications/Vellora.app\", hidden:false, name:\"Vellora\"}");

    // The launcher's bundle identifier, under which it is registered.
    static QString launcherIdentifier();

    LaunchAtLogin(UserDefaults& defaults, LoginItems* items, ScriptHost* scripts,
                  AlertPresenter& alerts)
        : defaults_(defaults), items_(items), scripts_(scripts), alerts_(alerts) {}

    // Registers or removes the launcher, deciding from the item's title; the caller then
    // closes the popover and rebuilds the menu.
    void launchLogin(QAction* sender);
    // Makes or deletes the script-made login item, following "login".
    void addToLoginItems();

    // Replaces a script-made login item by the launcher's registration; once only ("login1").
    static void migrate(UserDefaults& defaults, LoginItems& items, ScriptHost* scripts);

private:
    UserDefaults& defaults_;
    LoginItems* items_;
    ScriptHost* scripts_;
    AlertPresenter& alerts_;
};

} // namespace vellora
