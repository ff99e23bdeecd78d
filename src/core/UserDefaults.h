#pragma once

#include <QString>
#include <QStringList>
#include <QVariant>
#include <memory>
#include <optional>

class QLockFile;
class QSettings;

namespace vellora {

// The program's stored settings: the application table and four Boolean options.
// Every write is followed by a sync, so another process (or a later start) sees it at once.
// Several instances may use one file, each from its own thread: they see one another's changes.
// A file that cannot be read in full is copied aside ("Vellora.conf.unreadable", then ".2" ...)
// before it is first replaced; a file that cannot be read or written at all is never replaced:
// changes then live in memory for this run. Each of these is said once on standard output.
class UserDefaults {
public:
    static inline const QString kApps = QStringLiteral("Apps");
    static inline const QString kItunes = QStringLiteral("itunes");
    static inline const QString kHide = QStringLiteral("hide");
    static inline const QString kLogin = QStringLiteral("login");
    static inline const QString kLogin1 = QStringLiteral("login1");

    // The user's settings file (~/.config/Vellora/Vellora.conf).
    UserDefaults();
    // A settings file at the given path (tests use a temporary one).
    explicit UserDefaults(const QString& filePath);
    ~UserDefaults();
    UserDefaults(const UserDefaults&) = delete;
    UserDefaults& operator=(const UserDefaults&) = delete;

    QString filePath() const;

    bool contains(const QString& key) const;
    // Reads an option; anything but a stored true (absent, or not a Boolean) reads as false.
    bool boolValue(const QString& key) const;
    void setBool(const QString& key, bool value);
    // Creates the option with false when it is absent; returns its value.
    bool ensureBool(const QString& key);

    QVariant value(const QString& key) const;
    // The keys stored under "group/" (subgroups' keys with their "sub/" before them), sorted.
    QStringList keysIn(const QString& group) const;
    void setValue(const QString& key, const QVariant& value);
    void remove(const QString& key);

    // Re-reads the file so that changes made by another process are seen.
    void reload() const;
    // What the file holds under key now, read anew; nothing when the key is absent. For a change
    // made under lockForEdit: what value() gives may lag behind another process's write, when
    // that write came as this process read the file (QSettings then keeps the file's new size
    // and time with its old text, and takes it for read).
    std::optional<QVariant> currentValue(const QString& key) const;
    // Whether changes reach the file (else, since trouble said once, they live in memory).
    bool savesChanges() const;
    // Holds the file for one read-change-write against every other editor of it (another store
    // of this program, another process, the command line) until the lock returned goes. Waits
    // for another holder kEditWaitMs at most, then goes on unlocked (says so); nothing when the
    // lock could not be had.
    [[nodiscard]] std::unique_ptr<QLockFile> lockForEdit() const;
    static constexpr int kEditWaitMs = 2000, kEditStepMs = 10;
    static inline const QString kEditLockSuffix = QStringLiteral(".edit-lock"); // beside the file

    // What every instance on one file shares (defined with the code).
    struct FileState;

private:
    // Stores value under key (nothing: removes key), or keeps it in memory when it cannot be saved.
    void write(const QString& key, const std::optional<QVariant>& value);
    // Before the file is replaced: false when that must not happen (a copy of a file that could
    // not be read in full could not be kept, or the file cannot be read at all).
    bool mayReplaceFile();

    std::unique_ptr<QSettings> settings_;
    std::shared_ptr<FileState> state_; // shared by every instance on the same file
};

} // namespace vellora
