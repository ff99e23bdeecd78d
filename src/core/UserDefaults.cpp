#include "UserDefaults.h"

#include "Diagnostics.h"

#include <QSettings>
#include <QStandardPaths>

namespace vellora {

UserDefaults::UserDefaults()
    : UserDefaults(QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
                   QStringLiteral("/Vellora/Vellora.conf")) {}

UserDefaults::UserDefaults(const QString& filePath)
    : settings_(std::make_unique<QSettings>(filePath, QSettings::IniFormat)) {}

UserDefaults::~UserDefaults() = default;

QString UserDefaults::filePath() const {
    return settings_->fileName();
}

bool UserDefaults::contains(const QString& key) const {
    return settings_->contains(key);
}

bool UserDefaults::boolValue(const QString& key) const {
    const QVariant v = settings_->value(key);
    if (v.typeId() == QMetaType::Bool)
        return v.toBool();
    // The INI store keeps Booleans as the words true and false; nothing else counts as true.
    return v.typeId() == QMetaType::QString && v.toString() == QLatin1String("true");
}

void UserDefaults::setBool(const QString& key, bool value) {
    settings_->setValue(key, value);
    commit();
}

bool UserDefaults::ensureBool(const QString& key) {
    if (!contains(key))
        setBool(key, false);
    return boolValue(key);
}

QVariant UserDefaults::value(const QString& key) const {
    return settings_->value(key);
}

void UserDefaults::setValue(const QString& key, const QVariant& value) {
    settings_->setValue(key, value);
    commit();
}

void UserDefaults::remove(const QString& key) {
    settings_->remove(key);
    commit();
}

void UserDefaults::reload() const {
    settings_->sync();
}

void UserDefaults::commit() {
    settings_->sync();
    if (settings_->status() != QSettings::NoError)
        diag(QStringLiteral("settings: could not write %1").arg(settings_->fileName()));
}

} // namespace vellora
