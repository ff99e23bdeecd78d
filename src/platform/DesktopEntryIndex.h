#pragma once

#include "DesktopEntry.h"

#include <chrono>
#include <condition_variable>
#include <mutex>

namespace vellora {

// The installed applications as one reading that any thread may ask for, while the thread that
// reads the desktop's folders publishes each new reading. A reader that comes before the first
// reading waits for it, but for at most firstWithin from the first such wait: a desktop whose
// folders cannot be read in time lists nothing for now, as a failed read does, and the
// interface does not freeze on it. (So the thread that publishes must not be the one that
// waits.)
class DesktopEntryIndex final : public DesktopEntrySource {
public:
    explicit DesktopEntryIndex(std::chrono::milliseconds firstWithin = std::chrono::seconds(5))
        : firstWithin_(firstWithin) {}

    // A new reading replaces the last one; readers holding that one keep it unchanged.
    void publish(InstalledApplications reading) {
        {
            const std::lock_guard lock(mutex_);
            reading_ = std::move(reading);
        }
        published_.notify_all();
    }

    std::optional<InstalledApplications> installed() override {
        std::unique_lock lock(mutex_);
        if (!firstBy_)
            firstBy_ = std::chrono::steady_clock::now() + firstWithin_;
        published_.wait_until(lock, *firstBy_, [this] { return reading_.has_value(); });
        return reading_; // shared, not copied: a reading is never changed, only replaced
    }

private:
    const std::chrono::milliseconds firstWithin_;
    std::mutex mutex_;
    std::condition_variable published_;
    std::optional<std::chrono::steady_clock::time_point> firstBy_;
    std::optional<InstalledApplications> reading_;
};

} // namespace vellora
