#include "MusicPlayerCheck.h"

#include "UserDefaults.h"
#include "base/Diagnostics.h"
#include "platform/MusicPlayerSource.h"

namespace vellora {

MusicPlayerCheck::MusicPlayerCheck(UserDefaults& defaults, MusicPlayerSource* players)
    : defaults_(defaults), players_(players) {}

bool MusicPlayerCheck::holdsSwitching() {
    if (!defaults_.ensureBool(UserDefaults::kItunes) || !players_)
        return false;

    const QStringList running = players_->runningPlayers();
    for (qsizetype n = 0; n < running.size(); ++n)
        systemLog(QStringLiteral("alreadyRunning"));

    for (const QString& player : running) {
        if (players_->isPlaying(player)) {
            diag(QStringLiteral("playing"));
            return true;
        }
    }
    return false;
}

} // namespace vellora
