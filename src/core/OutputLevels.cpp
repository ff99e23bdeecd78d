#include "OutputLevels.h"

#include <QRegularExpression>

namespace vellora {

std::optional<AppVolumeTable> OutputLevels::tableFor(const OutputId& output) const {
    if (output.isEmpty())
        return std::nullopt;
    return AppVolumeTable(defaults_, kGroup + QLatin1Char('/') + storedName(output));
}

QString OutputLevels::storedName(const OutputId& output) {
    static const QRegularExpression bluetooth(QStringLiteral(
        R"(^bluez_(?:sink|output)\.((?:[0-9A-Fa-f]{2}[_:]){5}[0-9A-Fa-f]{2})(?:\..*)?$)"));
    const QRegularExpressionMatch match = bluetooth.match(output);
    if (!match.hasMatch())
        return output;
    return QStringLiteral("bluetooth.") +
           match.captured(1).toUpper().replace(QLatin1Char(':'), QLatin1Char('_'));
}

} // namespace vellora
