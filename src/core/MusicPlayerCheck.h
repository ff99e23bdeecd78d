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

    // Whether switching stands still now: the option is on and a player plays (it also says
    // "playing" on standard output then).
    bool holdsSwitching();

private:
    UserDefaults& defaults_;
    MusicPlayerSource* players_;
};

} // namespace vellora
