#pragma once

#include <QString>

namespace vellora {

// The system's list of programs started at login, keyed by a helper application's identifier.
class LoginItems {
public:
    virtual ~LoginItems() = default;
    // Registers (enabled) or removes the helper with this identifier; true on success.
    virtual bool setEnabled(const QString& identifier, bool enabled) = 0;
};

} // namespace vellora
