#pragma once

#include "platform/MusicPlayerSource.h"

#include <chrono>

namespace vellora {

// Music players on the session bus (MPRIS): every org.mpris.MediaPlayer2.* name but the
// playerctld proxy. Each call waits a short, fixed time at most, so a player that hangs never
// stalls the volume switch.
class MprisPlayers : public MusicPlayerSource {
public:
    explicit MprisPlayers(std::chrono::milliseconds bound = std::chrono::milliseconds(300));

    // Whether there is a session bus to ask.
    bool isAvailable() const;

    QStringList runningPlayers() override;
    bool isPlaying(const QString& player) override;

private:
    int boundMs_;
};

} // namespace vellora
