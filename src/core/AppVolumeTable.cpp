#include "AppVolumeTable.h"

#include "Diagnostics.h"
#include "UserDefaults.h"

#include <QJsonArray>
#include <QJsonDocument>

namespace vellora {

namespace {
const QString kBlueMarker = QStringLiteral("\U0001F535");
const QString kRedMarker = QStringLiteral("\U0001F534");
} // namespace

AppVolumeTable::AppVolumeTable(UserDefaults& defaults) : defaults_(defaults) {}

QString AppVolumeTable::encode(const QStringList& list) {
    return QString::fromUtf8(
        QJsonDocument(QJsonArray::fromStringList(list)).toJson(QJsonDocument::Compact));
}

std::optional<QStringList> AppVolumeTable::decode(const QVariant& stored) {
    if (stored.typeId() != QMetaType::QString)
        return std::nullopt;
    QJsonParseError error{};
    const QJsonDocument doc = QJsonDocument::fromJson(stored.toString().toUtf8(), &error);
    if (error.error != QJsonParseError::NoError || !doc.isArray())
        return std::nullopt;
    QStringList list;
    for (const QJsonValue& v : doc.array()) {
        if (!v.isString())
            return std::nullopt;
        list << v.toString();
    }
    return list;
}

std::optional<QStringList> AppVolumeTable::loadTable() const {
    defaults_.reload();
    if (!defaults_.contains(UserDefaults::kApps))
        return std::nullopt;
    return decode(defaults_.value(UserDefaults::kApps));
}

void AppVolumeTable::saveTable(const QStringList& list) {
    keepUnreadableValue();
    defaults_.setValue(UserDefaults::kApps, encode(list));
}

void AppVolumeTable::keepUnreadableValue() {
    defaults_.reload();
    if (!defaults_.contains(UserDefaults::kApps))
        return;
    const QVariant stored = defaults_.value(UserDefaults::kApps);
    if (decode(stored))
        return;
    // Never overwrite an earlier copy: pick the first free key beside it.
    QString key = kUnreadableKey;
    for (int n = 2; defaults_.contains(key); ++n)
        key = kUnreadableKey + QLatin1Char('.') + QString::number(n);
    defaults_.setValue(key, stored);
    diag(QStringLiteral("The stored application table could not be read; kept a copy under \"%1\"")
             .arg(key));
}

QString AppVolumeTable::putEntry(const QString& level, const QString& name) {
    const QString entry = composeEntry(level, name);
    diag(entry);
    QStringList list;
    if (const auto table = loadTable()) {
        list = *table;
        if (const auto index = findEntry(list, name))
            list.removeAt(*index);
        list << entry;
    } else {
        list = QStringList{QString(), entry};
    }
    saveTable(list);
    return entry;
}

void AppVolumeTable::removeEntry(const QString& name) {
    diag(QStringLiteral("tap"));
    auto table = loadTable();
    if (!table)
        return;
    if (const auto index = findEntry(*table, name)) {
        table->removeAt(*index);
        saveTable(*table);
        diag(QStringLiteral("já tem"));
    }
}

void AppVolumeTable::resetAll() {
    keepUnreadableValue();
    defaults_.remove(UserDefaults::kApps);
}

std::optional<qsizetype> AppVolumeTable::findEntry(const QStringList& list, const QString& name) {
    for (qsizetype i = 0; i < list.size(); ++i) {
        if (sameName(entryName(list.at(i)), name))
            return i;
    }
    return std::nullopt;
}

QString AppVolumeTable::composeEntry(const QString& level, const QString& name) {
    return level + kSeparator + name;
}

// Fields are found scanning left to right, so a name that itself holds the (self-overlapping)
// separator splits exactly as the stored text was composed.
QString AppVolumeTable::entryLevel(const QString& entry) {
    return entry.split(kSeparator, Qt::KeepEmptyParts).constFirst();
}

QString AppVolumeTable::entryName(const QString& entry) {
    return entry.split(kSeparator, Qt::KeepEmptyParts).constLast();
}

QString AppVolumeTable::titleKey(const QString& title) {
    QString key = title;
    key.remove(kBlueMarker);
    key.remove(kRedMarker);
    return key;
}

bool AppVolumeTable::sameName(const QString& a, const QString& b) {
    if (a == b)
        return true;
    return a.normalized(QString::NormalizationForm_C) == b.normalized(QString::NormalizationForm_C);
}

std::optional<int> parseLevel(const QString& text) {
    const QString digits = text.trimmed();
    if (digits.isEmpty() || digits.size() > 9)
        return std::nullopt;
    for (const QChar c : digits) {
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return std::nullopt;
    }
    const int value = digits.toInt();
    if (value > 100)
        return std::nullopt;
    return value;
}

} // namespace vellora
