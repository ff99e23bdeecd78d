#include "AppVolumeTable.h"

#include "SettingsTrouble.h"
#include "UserDefaults.h"
#include "base/Diagnostics.h"
#include "base/WholeNumber.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QLockFile>

namespace vellora {

namespace {

// A key within its section as the settings file spells it: letters, digits, "_", "-" and "." as
// they are, "/" as "\\", any other character as %XX or %UXXXX.
QString keyInFile(const QString& key) {
    QString spelt;
    for (const QChar c : key) {
        const char16_t u = c.unicode();
        if (u == u'/')
            spelt += QLatin1Char('\\');
        else if ((u < 0x80 && c.isLetterOrNumber()) || u == u'_' || u == u'-' || u == u'.')
            spelt += c;
        else if (u <= 0xff)
            spelt += QStringLiteral("%%1").arg(int(u), 2, 16, QLatin1Char('0')).toUpper();
        else
            spelt += QStringLiteral("%U%1").arg(int(u), 4, 16, QLatin1Char('0')).toUpper();
    }
    return spelt;
}

// The text after "key=" in the settings file, as it stands there. A key without a group is in
// the general section; "group/key" in the section of that group.
QString storedText(const QString& path, const QString& key) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return {};
    const bool grouped = key.contains(QLatin1Char('/'));
    const QString section =
        QLatin1Char('[') +
        (grouped ? keyInFile(key.section(QLatin1Char('/'), 0, 0)) : QStringLiteral("General")) +
        QLatin1Char(']');
    const QString name = keyInFile(grouped ? key.section(QLatin1Char('/'), 1) : key);
    bool inSection = !grouped; // keys before any section header belong to the general section
    while (!file.atEnd()) {
        const QString line = QString::fromUtf8(file.readLine()).trimmed();
        if (line.startsWith(QLatin1Char('[')))
            inSection = line == section;
        else if (inSection && line.section(QLatin1Char('='), 0, 0).trimmed() == name)
            return line.section(QLatin1Char('='), 1).trimmed();
    }
    return {};
}

} // namespace

AppVolumeTable::AppVolumeTable(UserDefaults& defaults)
    : AppVolumeTable(defaults, UserDefaults::kApps) {}

AppVolumeTable::AppVolumeTable(UserDefaults& defaults, QString key)
    : defaults_(defaults), key_(std::move(key)) {}

QVariant AppVolumeTable::encode(const QStringList& list) {
    // Two lists would not read back as written: an empty one (the file says "@Invalid()", which
    // reads as a value that cannot be read), and a single text starting with "[" (the file holds
    // a one-element list as plain text, which would read as the JSON form of earlier versions).
    // Both are written in that JSON form itself, which reads back exactly.
    if (list.isEmpty() || (list.size() == 1 && list.constFirst().startsWith(QLatin1Char('['))))
        return QString::fromUtf8(
            QJsonDocument(QJsonArray::fromStringList(list)).toJson(QJsonDocument::Compact));
    return list;
}

std::optional<QStringList> AppVolumeTable::decode(const QVariant& stored) {
    switch (stored.typeId()) {
    case QMetaType::QStringList:
        return stored.toStringList();
    case QMetaType::QVariantList: {
        // The file's form of a list holding a text with a NUL character ("@String(\0…)").
        QStringList list;
        for (const QVariant& v : stored.toList()) {
            if (v.typeId() != QMetaType::QString)
                return std::nullopt;
            list << v.toString();
        }
        return list;
    }
    case QMetaType::QString:
        break;
    default:
        return std::nullopt; // bytes, numbers, a damaged "@Variant(...)": not a table
    }
    const QString text = stored.toString();
    if (!text.startsWith(QLatin1Char('[')))
        return QStringList{text};
    // The JSON form of earlier versions; a text that starts like it but is not an array of
    // strings is damaged data.
    QJsonParseError error{};
    const QJsonDocument doc = QJsonDocument::fromJson(text.toUtf8(), &error);
    if (error.error != QJsonParseError::NoError || !doc.isArray())
        return std::nullopt;
    QStringList list;
    for (const QJsonValue v : doc.array()) {
        if (!v.isString())
            return std::nullopt;
        list << v.toString();
    }
    return list;
}

std::optional<QStringList> AppVolumeTable::loadTable(bool current) const {
    std::optional<QVariant> stored;
    if (current) {
        stored = defaults_.currentValue(key_);
    } else {
        defaults_.reload();
        if (defaults_.contains(key_))
            stored = defaults_.value(key_);
    }
    if (!stored)
        return std::nullopt;
    auto table = decode(*stored);
    if (!table) // every level seems gone: the user hears of it, once
        SettingsTrouble::tell(
            (key_ == UserDefaults::kApps
                 ? QStringLiteral("The application table in %1 could not be read, so no "
                                  "application has a level now.")
                       .arg(defaults_.filePath())
                 : QStringLiteral("The levels for one output (%1) in %2 could not be read, so "
                                  "no application has a level of its own there now.")
                       .arg(key_.section(QLatin1Char('/'), 1), defaults_.filePath())) +
                QStringLiteral(" The file is left as it is; the table is copied aside in it at "
                               "the next change."),
            defaults_.filePath());
    return table;
}

void AppVolumeTable::saveTable(const QStringList& list) {
    keepUnreadableValue();
    defaults_.setValue(key_, encode(list));
}

void AppVolumeTable::keepUnreadableValue() {
    defaults_.reload();
    if (!defaults_.contains(key_))
        return;
    QVariant stored = defaults_.value(key_);
    if (decode(stored))
        return;
    // A value the store cannot represent at all is kept as the text the file holds.
    if (!stored.isValid())
        stored = storedText(defaults_.filePath(), key_);
    // Never overwrite an earlier copy: pick the first free key beside it.
    const QString unreadable = key_ + kUnreadableSuffix;
    QString key = unreadable;
    for (int n = 2; defaults_.contains(key); ++n)
        key = unreadable + QLatin1Char('.') + QString::number(n);
    defaults_.setValue(key, stored);
    SettingsTrouble::report(
        QStringLiteral("The stored application table could not be read; kept a copy under \"%1\"")
            .arg(key),
        defaults_.filePath());
}

QString AppVolumeTable::putEntry(const QString& level, const QString& name) {
    const QString entry = composeEntry(level, name);
    diag(oneLine(entry));
    const auto editing = defaults_.lockForEdit(); // no other change lost between read and write
    QStringList list;
    if (const auto table = loadTable(true)) {
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
    const auto editing = defaults_.lockForEdit();
    auto table = loadTable(true);
    if (!table)
        return;
    if (const auto index = findEntry(*table, name)) {
        table->removeAt(*index);
        saveTable(*table);
        diag(QStringLiteral("já tem"));
    }
}

void AppVolumeTable::resetAll() {
    const auto editing = defaults_.lockForEdit();
    keepUnreadableValue();
    defaults_.remove(key_);
}

std::optional<qsizetype> AppVolumeTable::findEntry(const QStringList& list, const QString& name) {
    for (qsizetype i = 0; i < list.size(); ++i) {
        if (sameName(entryName(list.at(i)), name))
            return i;
    }
    return std::nullopt;
}

std::optional<QString> AppVolumeTable::levelIn(const QStringList& list, const QString& name) {
    // The empty head element of a stored list has an empty name: it matches no application.
    const auto index = name.isEmpty() ? std::nullopt : findEntry(list, name);
    return index ? std::optional(entryLevel(list.at(*index))) : std::nullopt;
}

QString AppVolumeTable::composeEntry(const QString& level, const QString& name) {
    return level + kSeparator + name;
}

// An entry splits at every separator, found left to right: the level is the first field, the
// name the last, so only the text after a name's own last separator counts as its name.
QString AppVolumeTable::entryLevel(const QString& entry) {
    return entry.split(kSeparator, Qt::KeepEmptyParts).constFirst();
}

QString AppVolumeTable::entryName(const QString& entry) {
    return entry.split(kSeparator, Qt::KeepEmptyParts).constLast();
}

QString AppVolumeTable::titleKey(const QString& title) {
    QString key = title;
    // Removing one marker can join the halves of another around it (text read back from a
    // damaged file may hold halves alone), so go on until none is left.
    while (key.contains(kBlueMarker) || key.contains(kRedMarker)) {
        key.remove(kBlueMarker);
        key.remove(kRedMarker);
    }
    return key;
}

bool AppVolumeTable::sameName(const QString& a, const QString& b) {
    if (a == b)
        return true;
    return a.normalized(QString::NormalizationForm_C) == b.normalized(QString::NormalizationForm_C);
}

std::optional<int> parseLevel(const QString& text, int max) {
    return parseWholeNumber(text, max);
}

} // namespace vellora
