#pragma once

#include "core/UserDefaults.h"

#include <QSettings>
#include <QTemporaryDir>
#include <memory>

// A settings store in a temporary folder, never the user's own.
struct TempDefaults {
    QTemporaryDir dir;
    QString path = dir.filePath(QStringLiteral("Vellora.conf"));
    std::unique_ptr<vellora::UserDefaults> defaults = std::make_unique<vellora::UserDefaults>(path);

    // What another process would read from the file right now.
    QVariant onDisk(const QString& key) const {
        return QSettings(path, QSettings::IniFormat).value(key);
    }
    void writeRaw(const QString& key, const QVariant& value) {
        QSettings(path, QSettings::IniFormat).setValue(key, value);
    }
};
