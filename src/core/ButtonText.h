#pragma once

#include <QString>

namespace vellora {

// A name as a button or label shows it literally: an "&" in it is no keyboard mnemonic.
inline QString buttonText(QString text) {
    return text.replace(QLatin1Char('&'), QStringLiteral("&&"));
}

} // namespace vellora
