#pragma once

#include <QString>

namespace vellora {

// Orders two version texts the way people read them: runs of digits compare as numbers
// (1.10 is newer than 1.9), runs of letters mark a pre-release (1.0b2 is older than 1.0),
// punctuation only separates, and trailing zero parts change nothing (1.0 equals 1.0.0).
// Returns a negative number when a is older than b, zero when equal, positive when newer.
int compareVersions(const QString& a, const QString& b);

} // namespace vellora
