#pragma once

#include <QString>
#include <optional>

namespace vellora {

// What running a script gave: a result, or an error description when it failed.
struct ScriptResult {
    QString description;                // the result's printed description
    std::optional<QString> stringValue; // the result as text, when it has one
    std::optional<QString> error;       // set when the script failed
};

// Runs scripts that talk to the system's own services (login items and the like).
class ScriptHost {
public:
    virtual ~ScriptHost() = default;
    // Runs a script's source text; blocks until it has run.
    virtual ScriptResult execute(const QString& source) = 0;
};

} // namespace vellora
