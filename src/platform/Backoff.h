#pragma once

#include <algorithm>
#include <chrono>

namespace vellora {

// How long to wait before the next attempt to reach a server that went away: a quarter of a
// second first, then twice as long each time, never more than five seconds. Every connection
// to an outside party (the audio server, the X server) retries by this one rule.
class Backoff {
public:
    static constexpr std::chrono::milliseconds kFirst{250};
    static constexpr std::chrono::milliseconds kLongest{5000};

    // The delay to wait now; the one after it is twice as long.
    std::chrono::milliseconds next() {
        const auto now = delay_;
        delay_ = std::min(delay_ * 2, kLongest);
        return now;
    }
    // After a success the next loss starts from the shortest delay again.
    void reset() { delay_ = kFirst; }

private:
    std::chrono::milliseconds delay_ = kFirst;
};

} // namespace vellora
