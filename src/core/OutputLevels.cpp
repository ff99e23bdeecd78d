#include "OutputLevels.h"

#include "UserDefaults.h"

#include <QRegularExpression>

namespace vellora {

std::optional<AppVolumeTable> OutputLevels::tableFor(const OutputId& output) const {
    if (output.isEmpty())
        return std::nullopt;
    return tableAt(storedName(output));
}

std::optional<AppVolumeTable> OutputLevels::tableHolding(const OutputId& output,
                                                         const QString& name) const {
    auto table = tableFor(output);
    const auto levels = table ? table->loadTable() : std::nullopt;
    return levels && AppVolumeTable::levelIn(*levels, name) ? table : std::nullopt;
}

// Not the copies kept aside of tables that could not be read.
QStringList OutputLevels::storedOutputs() const {
    static const QRegularExpression keptAside(
        QRegularExpression::escape(AppVolumeTable::kUnreadableSuffix) +
        QStringLiteral(R"((\.\d+)?$)"));
    QStringList outputs = defaults_.keysIn(OutputLevels::kGroup);
    outputs.removeIf([](const QString& output) { return output.contains(keptAside); });
    return outputs;
}

QStringList OutputLevels::allEntries() const {
    QStringList entries;
    for (const QString& output : storedOutputs())
        entries << tableAt(output).loadTable().value_or(QStringList{});
    return entries;
}

QStringList OutputLevels::outputsWithLevelFor(const QString& name) const {
    QStringList outputs;
    for (const QString& output : storedOutputs()) {
        const auto table = tableAt(output).loadTable();
        if (table && AppVolumeTable::levelIn(*table, name))
            outputs << output;
    }
    return outputs;
}

void OutputLevels::resetAll() {
    for (const QString& output : storedOutputs())
        tableAt(output).resetAll();
}

QString OutputLevels::storedName(const OutputId& output) {
    static const QRegularExpression bluetooth(QStringLiteral(
        R"(^bluez_(?:sink|output)\.((?:[0-9A-Fa-f]{2}[_:]){5}[0-9A-Fa-f]{2})(?:\..*)?$)"));
    const QRegularExpressionMatch match = bluetooth.match(output);
    if (!match.hasMatch()) // a "/" would start a group in the file
        return QString(output)
            .replace(QLatin1Char('%'), QLatin1String("%25"))
            .replace(QLatin1Char('/'), QLatin1String("%2F"));
    return QStringLiteral("bluetooth.") +
           match.captured(1).toUpper().replace(QLatin1Char(':'), QLatin1Char('_'));
}

} // namespace vellora
