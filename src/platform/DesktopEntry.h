#pragma once

#include <QList>
#include <QString>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <optional>

namespace vellora {

// One installed application as the desktop describes it.
struct DesktopEntry {
    QString id;             // desktop-file id, e.g. "org.example.Editor.desktop"
    QString path;           // absolute path of the entry's file
    QString name;           // localized shown name
    QString icon;           // icon name, or an absolute path
    QString startupWmClass; // the WM_CLASS its windows carry, when the entry says
    QString executable;     // file name of the program its command line starts
    bool shown = true;      // whether a desktop menu lists it

    friend bool operator==(const DesktopEntry&, const DesktopEntry&) = default;
};

// The installed applications.
class DesktopEntrySource {
public:
    virtual ~DesktopEntrySource() = default;
    // Every installed entry, listed or not (first id wins across folders); nothing on failure.
    virtual std::optional<QList<DesktopEntry>> entries() = 0;
    // The desktop-file id of the default file manager, or an empty text.
    virtual QString defaultFileManagerId() = 0;
};

// The installed applications as one snapshot that any thread may read, while the thread that
// reads the desktop's folders keeps it current. A reader that comes before the first snapshot
// waits for it, but not past a bound set at the start: a desktop whose folders cannot be read
// in time lists nothing, as a failed read does, and the interface does not freeze on it.
class DesktopEntryIndex final : public DesktopEntrySource {
public:
    explicit DesktopEntryIndex(std::chrono::milliseconds firstWithin = std::chrono::seconds(5))
        : firstBy_(std::chrono::steady_clock::now() + firstWithin) {}

    void publish(QList<DesktopEntry> entries, QString fileManagerId) {
        {
            const std::lock_guard lock(mutex_);
            entries_ = std::move(entries);
            fileManagerId_ = std::move(fileManagerId);
            published_ = true;
        }
        firstPublished_.notify_all();
    }

    std::optional<QList<DesktopEntry>> entries() override {
        std::unique_lock lock(mutex_);
        if (!waitForFirst(lock))
            return std::nullopt;
        return entries_; // shared, not copied: a snapshot is never changed, only replaced
    }

    QString defaultFileManagerId() override {
        std::unique_lock lock(mutex_);
        return waitForFirst(lock) ? fileManagerId_ : QString();
    }

private:
    bool waitForFirst(std::unique_lock<std::mutex>& lock) {
        return firstPublished_.wait_until(lock, firstBy_, [this] { return published_; });
    }

    const std::chrono::steady_clock::time_point firstBy_;
    std::mutex mutex_;
    std::condition_variable firstPublished_;
    bool published_ = false;
    QList<DesktopEntry> entries_;
    QString fileManagerId_;
};

} // namespace vellora
