#pragma once

#include <QString>
#include <QStringList>
#include <optional>

namespace vellora {

class UserDefaults;

// The per-application volume table: an ordered list of entry texts "level/*/*/*/*/name",
// stored under "Apps" (the general levels), or under an output's own key (OutputLevels). Nothing
// is cached: every operation reads the stored list, changes it and writes it back at once.
class AppVolumeTable {
public:
    static inline const QString kSeparator = QStringLiteral("/*/*/*/*/");
    // The marks before a name in the list: a level is stored for it (blue), or none (red). A
    // name read back from a button has them taken off.
    static inline const QString kBlueMarker = QStringLiteral("\U0001F535");
    static inline const QString kRedMarker = QStringLiteral("\U0001F534");
    // After the table's key, the key under which a stored value that cannot be read is kept
    // before it is replaced ("Apps.unreadable", then ".2" ...).
    static inline const QString kUnreadableSuffix = QStringLiteral(".unreadable");

    // The general table, under "Apps".
    explicit AppVolumeTable(UserDefaults& defaults);
    AppVolumeTable(UserDefaults& defaults, QString key);

    const QString& key() const { return key_; }
    // The stored list, or nothing when no table is stored or the stored value cannot be read.
    // current: as the file holds it now (for a change under the file's edit lock), not as last
    // read.
    std::optional<QStringList> loadTable(bool current = false) const;
    void saveTable(const QStringList& list);

    // Composes and stores the entry for name, replacing any earlier entry for it (the new
    // entry goes last). Prints and returns the composed entry.
    QString putEntry(const QString& level, const QString& name);
    // Removes the entry for name, if there is one. Callers refresh the list afterwards.
    void removeEntry(const QString& name);
    // Removes the whole table. Callers refresh the list afterwards.
    void resetAll();

    static std::optional<qsizetype> findEntry(const QStringList& list, const QString& name);
    // The level of the entry for name; nothing for no entry, or no name.
    static std::optional<QString> levelIn(const QStringList& list, const QString& name);
    static QString composeEntry(const QString& level, const QString& name);
    static QString entryLevel(const QString& entry);
    static QString entryName(const QString& entry);
    // A list-button title without its status markers.
    static QString titleKey(const QString& title);
    // Names compare exactly, with canonically equivalent texts equal.
    static bool sameName(const QString& a, const QString& b);

    // The value stored for a list: the settings file's own string list, written there as
    // "Apps=, 30/*/*/*/*/Name".
    static QVariant encode(const QStringList& list);
    // The list a value found under the key holds, or nothing when it cannot be read. Reads the
    // list form, a single text (the file's form of a one-element list) and the JSON text that
    // earlier versions wrote.
    static std::optional<QStringList> decode(const QVariant& stored);

private:
    // Before the stored value is replaced or removed: if it cannot be read, keep a copy.
    void keepUnreadableValue();

    UserDefaults& defaults_;
    QString key_;
};

// The whole number from 0 to max that a level text names (surrounding white space ignored), or
// nothing. Levels from the table are bounded by 100; a captured volume by what the server accepts.
std::optional<int> parseLevel(const QString& text, int max = 100);

} // namespace vellora
