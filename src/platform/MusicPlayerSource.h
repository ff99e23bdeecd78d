#pragma once

#include <QString>
#include <QStringList>

namespace vellora {

// The music players that run in the user's session.
class MusicPlayerSource {
public:
    virtual ~MusicPlayerSource() = default;
    // The players that run now, one name per running instance.
    virtual QStringList runningPlayers() = 0;
    // Whether the named player is playing; a player that does not answer in time is not.
    virtual bool isPlaying(const QString& player) = 0;
};

} // namespace vellora
