#include "WholeNumber.h"

namespace vellora {

std::optional<int> parseWholeNumber(const QString& text, int max) {
    QStringView digits = QStringView(text).trimmed();
    if (digits.isEmpty())
        return std::nullopt;
    for (const QChar c : digits) {
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return std::nullopt;
    }
    // Leading zeros change nothing, however many there are ("0000000050" is 50).
    while (digits.size() > 1 && digits.front() == QLatin1Char('0'))
        digits = digits.mid(1);
    if (digits.size() > 9)
        return std::nullopt;
    const int value = digits.toInt();
    if (value > max)
        return std::nullopt;
    return value;
}

} // namespace vellora
