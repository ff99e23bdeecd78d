#pragma once

#include <QString>
#include <optional>

namespace vellora {

// The name of the desktop's file manager, in the catalogue and on activation alike, so that a
// level stored for it matches.
inline const QString kFileManagerName = QStringLiteral("Finder");

// An application that runs, as the platform names it on activation.
struct RunningApplication {
    std::optional<QString> localizedName;    // the name the table is matched against
    std::optional<QString> bundleIdentifier; // reverse-DNS identifier, where there is one
    qint64 pid = 0;                          // 0 when unknown

    friend bool operator==(const RunningApplication&, const RunningApplication&) = default;
};

} // namespace vellora
