#include "UserDefaults.h"

#include "SettingsTrouble.h"
#include "base/Diagnostics.h"
#include "base/Logging.h"

#include <QDateTime>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLockFile>
#include <QMap>
#include <QSettings>
#include <QStandardPaths>
#include <QStringDecoder>
#include <QTemporaryFile>
#include <QThread>
#include <algorithm>
#include <map>
#include <mutex>

namespace vellora {

// QSettings shares one reading of a file between all its objects in the process, so what is known
// about the file, what was said about it and the changes that could not be saved are shared too.
struct UserDefaults::FileState {
    std::mutex writing;       // one write, with its checks of the file, at a time
    mutable std::mutex mutex; // guards the fields below
    bool cannotSave = false;  // said once; from then on changes stay in memory
    qint64 wholeSize = -1;    // the file as last found readable in full, or as last written here
    QDateTime wholeTime;
    QMap<QString, QVariant> unsaved; // changes kept in memory; an invalid value stands for removed

    bool savingStopped() const {
        const std::lock_guard lock(mutex);
        return cannotSave;
    }
    // Stops saving for this run and says why, unless that was said already.
    void stopSaving(const QString& line, const QString& path) {
        {
            const std::lock_guard lock(mutex);
            if (std::exchange(cannotSave, true))
                return;
        }
        SettingsTrouble::report(line, path);
    }
    std::optional<QVariant> unsavedValue(const QString& key) const {
        const std::lock_guard lock(mutex);
        const auto it = unsaved.constFind(key);
        return it == unsaved.cend() ? std::nullopt : std::optional<QVariant>(*it);
    }
};

namespace {

std::shared_ptr<UserDefaults::FileState> stateFor(const QString& path) {
    static std::mutex lock;
    static std::map<QString, std::weak_ptr<UserDefaults::FileState>> states;
    const std::lock_guard locker(lock);
    std::erase_if(states, [](const auto& entry) { return entry.second.expired(); });
    auto& slot = states[path];
    auto state = slot.lock();
    if (!state) {
        state = std::make_shared<UserDefaults::FileState>();
        slot = state;
    }
    return state;
}

enum class Readable { Whole, Partly, Not };

// How much of the file at path QSettings reads: all of it (or there is no file), only part of it
// (the next write would drop or change the rest), or nothing at all (why says what stops it).
Readable readable(const QString& path, QString* why) {
    QFile file(path);
    if (!file.exists()) // a symlink to a file yet to be made (dotfiles) is followed when writing
        return Readable::Whole;
    if (!file.open(QIODevice::ReadOnly)) {
        *why = file.errorString();
        return Readable::Not;
    }
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError) {
        *why = file.errorString();
        return Readable::Not;
    }
    if (bytes.isEmpty())
        return Readable::Whole;
    // Text that is not UTF-8 reads as replacement characters and would be written back so.
    QStringDecoder utf8(QStringDecoder::Utf8);
    const QString decoded = utf8(bytes); // decoding happens here, on conversion
    if (utf8.hasError())
        return Readable::Partly;
    // Read a private copy: an object on the file itself would share the reading already made.
    QTemporaryFile copy;
    if (!copy.open() || copy.write(bytes) != bytes.size() || !copy.flush())
        return Readable::Partly; // cannot tell: keep the original to be safe
    const QSettings parsed(copy.fileName(), QSettings::IniFormat);
    const QStringList keys = parsed.allKeys(); // sections are parsed, and errors found, only now
    if (parsed.status() != QSettings::NoError)
        return Readable::Partly; // lines it skipped, or a damaged section header
    // A value it cannot represent would be written back as "@Invalid()".
    return std::all_of(keys.cbegin(), keys.cend(),
                       [&](const QString& key) { return parsed.value(key).isValid(); })
               ? Readable::Whole
               : Readable::Partly;
}

// QSettings adds a change to the reading of the file it keeps, and reads the file anew only when
// its size or time differ from that reading's. A write of another process landing as that
// reading was made can leave it with the new file's size and time but the old text: the change
// would then be added to the old text, and the other process's change lost. With the file's time
// moved on, the reading is made anew. A file that cannot be touched is left as it is.
void outdateReading(const QString& path) {
    QFile file(path);
    const QDateTime modified = QFileInfo(path).lastModified();
    if (modified.isValid() && file.open(QIODevice::ReadWrite | QIODevice::ExistingOnly))
        file.setFileTime(modified.addMSecs(1), QFileDevice::FileModificationTime);
}

} // namespace

UserDefaults::UserDefaults()
    : UserDefaults(QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
                   QStringLiteral("/Vellora/Vellora.conf")) {}

UserDefaults::UserDefaults(const QString& filePath)
    : settings_(std::make_unique<QSettings>(filePath, QSettings::IniFormat)),
      state_(stateFor(settings_->fileName())) {
    // A file that is there but cannot be read (no permission, a folder in its place) is never
    // replaced: what it holds may still be the user's.
    QString why;
    if (settings_->status() == QSettings::AccessError &&
        readable(this->filePath(), &why) == Readable::Not)
        state_->stopSaving(QStringLiteral("settings: cannot read %1 (%2); going on without the "
                                          "stored settings, and changes will not be saved")
                               .arg(this->filePath(), why),
                           this->filePath());
}

UserDefaults::~UserDefaults() = default;

QString UserDefaults::filePath() const {
    return settings_->fileName();
}

bool UserDefaults::contains(const QString& key) const {
    if (const auto unsaved = state_->unsavedValue(key))
        return unsaved->isValid();
    return settings_->contains(key);
}

bool UserDefaults::boolValue(const QString& key) const {
    const QVariant v = value(key);
    if (v.typeId() == QMetaType::Bool)
        return v.toBool();
    // The INI store keeps Booleans as the words true and false; nothing else counts as true.
    return v.typeId() == QMetaType::QString && v.toString() == QLatin1String("true");
}

void UserDefaults::setBool(const QString& key, bool value) {
    write(key, QVariant(value));
}

bool UserDefaults::ensureBool(const QString& key) {
    if (!contains(key))
        setBool(key, false);
    return boolValue(key);
}

QVariant UserDefaults::value(const QString& key) const {
    if (const auto unsaved = state_->unsavedValue(key))
        return *unsaved;
    return settings_->value(key);
}

QStringList UserDefaults::keysIn(const QString& group) const {
    settings_->beginGroup(group);
    QStringList keys = settings_->allKeys();
    settings_->endGroup();
    const QString prefix = group + QLatin1Char('/');
    {
        const std::lock_guard lock(state_->mutex);
        for (auto it = state_->unsaved.cbegin(); it != state_->unsaved.cend(); ++it) {
            if (!it.key().startsWith(prefix))
                continue;
            const QString key = it.key().mid(prefix.size());
            if (it->isValid() && !keys.contains(key))
                keys << key;
            else if (!it->isValid())
                keys.removeAll(key);
        }
    }
    keys.sort();
    return keys;
}

void UserDefaults::setValue(const QString& key, const QVariant& value) {
    write(key, value);
}

void UserDefaults::remove(const QString& key) {
    write(key, std::nullopt);
}

void UserDefaults::reload() const {
    // Once saving has stopped, a sync would only try again to write what was refused.
    if (!state_->savingStopped())
        settings_->sync();
}

std::optional<QVariant> UserDefaults::currentValue(const QString& key) const {
    QFile file(filePath());
    // A QSettings on the file itself would share the reading already made; moving the file's time
    // on and reading again (as a write does) still let 2 of 40 runs of eight editors at once read
    // old text, while a private copy of the bytes lost none.
    QTemporaryFile copy;
    QByteArray bytes;
    if (state_->savingStopped() || state_->unsavedValue(key) || !file.open(QIODevice::ReadOnly) ||
        (bytes = file.readAll(), file.error() != QFileDevice::NoError) || !copy.open() ||
        copy.write(bytes) != bytes.size() || !copy.flush()) {
        reload(); // no better reading to be had
        return contains(key) ? std::optional(value(key)) : std::nullopt;
    }
    const QSettings current(copy.fileName(), QSettings::IniFormat);
    return current.contains(key) ? std::optional(current.value(key)) : std::nullopt;
}

bool UserDefaults::savesChanges() const {
    return !state_->savingStopped();
}

std::unique_ptr<QLockFile> UserDefaults::lockForEdit() const {
    // Not QSettings' own lock file, which each sync takes and gives back.
    const QString path = filePath();
    QDir().mkpath(QFileInfo(path).path());
    auto lock = std::make_unique<QLockFile>(path + kEditLockSuffix);
    // A file lock tells no one when it is let go: asked again in short steps (QLockFile's own
    // wait doubles its steps, so that a few editors at once outwait one another).
    QDeadlineTimer deadline(kEditWaitMs);
    do {
        if (lock->tryLock(0))
            return lock;
        if (lock->error() != QLockFile::LockFailedError)
            return nullptr; // no lock can be made there: writing says what is wrong
        QThread::msleep(kEditStepMs);
    } while (!deadline.hasExpired());
    qCWarning(lcSettings).noquote()
        << QStringLiteral("settings: %1 is held by another editor; changing it without waiting")
               .arg(path);
    return nullptr;
}

void UserDefaults::write(const QString& key, const std::optional<QVariant>& value) {
    const std::lock_guard writing(state_->writing);
    if (!state_->savingStopped() && mayReplaceFile()) {
        // A fresh object, so that its status tells about this write alone.
        QSettings writer(filePath(), QSettings::IniFormat);
        value ? writer.setValue(key, *value) : writer.remove(key);
        outdateReading(filePath());
        writer.sync();
        if (writer.status() != QSettings::AccessError) {
            const QFileInfo written(filePath());
            const std::lock_guard lock(state_->mutex);
            state_->wholeSize = written.size();
            state_->wholeTime = written.lastModified();
            return;
        }
        state_->stopSaving(QStringLiteral("settings: cannot save to %1; changes are kept until "
                                          "Vellora quits")
                               .arg(filePath()),
                           filePath());
    }
    const std::lock_guard lock(state_->mutex);
    state_->unsaved.insert(key, value.value_or(QVariant()));
}

bool UserDefaults::mayReplaceFile() {
    const QString path = filePath();
    const QFileInfo now(path);
    {
        const std::lock_guard lock(state_->mutex);
        if (now.size() == state_->wholeSize && now.lastModified() == state_->wholeTime)
            return true; // unchanged since it was last found whole
    }
    QString why;
    switch (readable(path, &why)) {
    case Readable::Whole:
        return true;
    case Readable::Not:
        state_->stopSaving(
            QStringLiteral("settings: cannot read %1 (%2); changes will not be saved")
                .arg(path, why),
            path);
        return false;
    case Readable::Partly:
        break;
    }
    // Never overwrite an earlier copy: take the first free name beside the file.
    QString copy = path + QStringLiteral(".unreadable");
    for (int n = 2; QFileInfo(copy).exists() || QFileInfo(copy).isSymLink(); ++n)
        copy = path + QStringLiteral(".unreadable.") + QString::number(n);
    if (!QFile::copy(path, copy)) {
        state_->stopSaving(QStringLiteral("settings: could not read all of %1, nor keep a copy of "
                                          "it; changes will not be saved")
                               .arg(path),
                           path);
        return false;
    }
    SettingsTrouble::report(QStringLiteral("settings: could not read all of %1; kept the original "
                                           "as %2 and went on with what could be read")
                                .arg(path, copy),
                            path);
    return true;
}

} // namespace vellora
