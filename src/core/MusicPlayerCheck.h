#pragma once

namespace vellora {

class MusicPlayerSource;
class UserDefaults;

// Tells whether volume switching must stand still because the user asked for it ("itunes")
// and a music player is playing.
class MusicPlayerCheck {
public:
    // players may be null: no source of players (for instance no session bus).
    MusicPlayerCheck(UserDefaults& defaults, MusicPlayerSource* players);

    bool tunesx();

private:
    UserDefaults& defaults_;
    MusicPlayerSource* players_;
};

} // namespace vellora
