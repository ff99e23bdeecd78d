#include "Logging.h"

namespace vellora {
Q_LOGGING_CATEGORY(lcAudio, "vellora.audio", QtInfoMsg)
Q_LOGGING_CATEGORY(lcActivation, "vellora.activation", QtInfoMsg)
Q_LOGGING_CATEGORY(lcInput, "vellora.input", QtInfoMsg)
Q_LOGGING_CATEGORY(lcList, "vellora.list", QtInfoMsg)
Q_LOGGING_CATEGORY(lcScript, "vellora.script", QtInfoMsg)
Q_LOGGING_CATEGORY(lcSettings, "vellora.settings", QtInfoMsg)
Q_LOGGING_CATEGORY(lcShell, "vellora.shell", QtInfoMsg)
Q_LOGGING_CATEGORY(lcUpdates, "vellora.updates", QtInfoMsg)
} // namespace vellora
