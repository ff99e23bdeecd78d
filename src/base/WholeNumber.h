#pragma once

#include <QString>
#include <optional>

namespace vellora {

// The whole number from 0 to max that a text names (surrounding white space and leading zeros
// ignored; nine digits at most), or nothing.
std::optional<int> parseWholeNumber(const QString& text, int max);

} // namespace vellora
