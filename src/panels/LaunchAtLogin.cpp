#include "LaunchAtLogin.h"

#include "Alert.h"
#include "base/Diagnostics.h"
#include "core/UserDefaults.h"
#include "platform/LoginItems.h"
#include "platform/ScriptHost.h"
#include "vellora/Config.h"

#include <QAction>

namespace vellora {

QString LaunchAtLogin::launcherIdentifier() {
    return QLatin1String(config::kLauncherBundleId);
}

void LaunchAtLogin::launchLogin(QAction* sender) {
    const QString identifier = launcherIdentifier();
    diag(identifier);
    if (sender && sender->text() == kOffTitle) {
        if (items_ && items_->setEnabled(identifier, true)) {
            diag(QStringLiteral("2"));
            sender->setText(kOnTitle);
            defaults_.setBool(UserDefaults::kLogin, true);
        } else {
            alerts_.alert(kAddFailed);
            diag(QStringLiteral("1"));
        }
        return;
    }
    if (items_ && items_->setEnabled(identifier, false)) {
        diag(QStringLiteral("4"));
        if (sender)
            sender->setText(kOffTitle);
        defaults_.setBool(UserDefaults::kLogin, false);
    } else {
        diag(QStringLiteral("3"));
        alerts_.alert(kRemoveFailed);
    }
}

void LaunchAtLogin::addToLoginItems() {
    const bool login = defaults_.ensureBool(UserDefaults::kLogin);
    if (!scripts_)
        return; // no script object: nothing changes
    const ScriptResult result = scripts_->execute(login ? kRemoveScript : kAddScript);
    if (result.error) {
        diag(QStringLiteral("ERR OR: ") + *result.error);
        return;
    }
    defaults_.setBool(UserDefaults::kLogin, !login);
    diag(result.description);
    if (result.stringValue)
        diag(*result.stringValue);
}

void LaunchAtLogin::migrate(UserDefaults& defaults, LoginItems& items, ScriptHost* scripts) {
    diag(QStringLiteral("Logixxxxx"));
    defaults.setBool(UserDefaults::kLogin1, true);
    if (!defaults.boolValue(UserDefaults::kLogin))
        return;
    if (scripts) {
        const ScriptResult result = scripts->execute(kRemoveScript);
        if (result.error)
            diag(QStringLiteral("ERR OR: ") + *result.error);
    }
    if (!items.setEnabled(launcherIdentifier(), true))
        defaults.setBool(UserDefaults::kLogin, false);
}

} // namespace vellora
