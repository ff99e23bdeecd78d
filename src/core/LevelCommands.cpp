#include "LevelCommands.h"

#include "AppVolumeTable.h"
#include "OutputLevels.h"
#include "UserDefaults.h"
#include "base/Diagnostics.h"

namespace vellora {

namespace {
QString quoted(const QString& text) {
    return QStringLiteral("\u201c%1\u201d").arg(oneLine(text));
}
} // namespace

LevelCommands::LevelCommands(UserDefaults& defaults, QString outputInUse, QString outputDescription)
    : defaults_(defaults), outputInUse_(std::move(outputInUse)),
      outputDescription_(std::move(outputDescription)) {}

std::optional<QString> LevelCommands::checkName(const QString& name) {
    if (name.trimmed().isEmpty())
        return QStringLiteral("the application name is empty");
    const auto refused = [&](const QString& why) {
        return QStringLiteral("the application name %1 %2")
            .arg(quoted(name.left(kLongestName)), why);
    };
    if (name.size() > kLongestName)
        return refused(QStringLiteral("is longer than %1 characters").arg(kLongestName));
    if (name != name.trimmed())
        return refused(QStringLiteral("begins or ends with a space, as no application's does"));
    for (const QChar c : name) {
        const auto category = c.category();
        if (category == QChar::Other_Control || category == QChar::Separator_Line ||
            category == QChar::Separator_Paragraph)
            return refused(QStringLiteral("holds a control character"));
        // Joiners belong in some names; other invisible marks only hide what a name is.
        if (category == QChar::Other_Format && c != QChar(0x200c) && c != QChar(0x200d))
            return refused(QStringLiteral("holds an invisible formatting character"));
        if (c == QChar::ReplacementCharacter)
            return refused(QStringLiteral("is not valid text"));
    }
    // The entry's own separator in a name would split it into another level and name.
    if (name.contains(AppVolumeTable::kSeparator))
        return refused(QStringLiteral("holds \"%1\", which the table uses itself")
                           .arg(AppVolumeTable::kSeparator));
    return std::nullopt;
}

std::optional<QString> LevelCommands::checkLevel(const QString& level) {
    if (parseLevel(level, 100))
        return std::nullopt;
    return QStringLiteral("the level %1 is not a whole number from 0 to 100").arg(quoted(level));
}

std::optional<QString> LevelCommands::storedOutput(const QString& output, QString* why) const {
    const QStringList stored = OutputLevels(defaults_).storedOutputs();
    for (const QString& candidate : {output, OutputLevels::storedName(output)})
        if (stored.contains(candidate))
            return candidate;
    if (!outputInUse_.isEmpty() && (output == outputInUse_ || output == outputDescription_))
        return OutputLevels::storedName(outputInUse_);
    *why = QStringLiteral("the output %1 is unknown: give the output in use (as --status shows "
                          "it) or one that has levels already (as --levels shows them)")
               .arg(quoted(output));
    return std::nullopt;
}

std::optional<AppVolumeTable> LevelCommands::tableFor(const QString& output, QString* why) const {
    if (output.isEmpty())
        return AppVolumeTable(defaults_);
    const auto key = storedOutput(output, why);
    return key ? std::optional(OutputLevels(defaults_).tableStoredAs(*key)) : std::nullopt;
}

std::optional<QString> LevelCommands::setLevel(const QString& name, const QString& level,
                                               const QString& output) {
    if (auto bad = checkName(name))
        return bad;
    const auto percent = parseLevel(level, 100);
    if (!percent)
        return checkLevel(level);
    QString why;
    auto table = tableFor(output, &why);
    if (!table)
        return why;
    table->putEntry(QString::number(*percent), name);
    return saved();
}

std::optional<QString> LevelCommands::removeLevel(const QString& name, const QString& output) {
    if (auto bad = checkName(name))
        return bad;
    QString why;
    auto table = tableFor(output, &why);
    if (!table)
        return why;
    const auto stored = table->loadTable();
    if (!stored || !AppVolumeTable::levelIn(*stored, name))
        return QStringLiteral("no level is stored for %1%2")
            .arg(quoted(name),
                 output.isEmpty() ? QString() : QStringLiteral(" on ") + quoted(output));
    table->removeEntry(name);
    return saved();
}

QList<LevelCommands::Level> LevelCommands::levels(QStringList* unreadable) const {
    QList<Level> levels;
    const auto add = [&](const AppVolumeTable& table, const QString& output) {
        const auto entries = table.loadTable();
        if (!entries && defaults_.contains(table.key()) && unreadable)
            *unreadable << table.key();
        for (const QString& entry : entries.value_or(QStringList{}))
            if (!AppVolumeTable::entryName(entry).isEmpty()) // the stored list's empty head
                levels << Level{AppVolumeTable::entryLevel(entry), AppVolumeTable::entryName(entry),
                                output};
    };
    add(AppVolumeTable(defaults_), QString());
    const OutputLevels outputs(defaults_);
    for (const QString& output : outputs.storedOutputs())
        add(outputs.tableStoredAs(output), output);
    return levels;
}

std::optional<QString> LevelCommands::saved() {
    unsaved_ = !defaults_.savesChanges();
    if (!unsaved_)
        return std::nullopt;
    return QStringLiteral("the change could not be saved to %1").arg(defaults_.filePath());
}

} // namespace vellora
