#pragma once

#include <QLoggingCategory>

// Operational messages: what went wrong around the program (a server lost, a file damaged)
// and what it did about it. They go to standard error as "category: message" (the journal when
// started by it); warnings and information are shown, debug detail only when asked for, as in
// QT_LOGGING_RULES="vellora.audio.debug=true". The lines the program prints by design go to
// standard output through diag() instead.
namespace vellora {
Q_DECLARE_LOGGING_CATEGORY(lcAudio)      // "vellora.audio": the audio server and its outputs
Q_DECLARE_LOGGING_CATEGORY(lcActivation) // "vellora.activation": which application is in front
Q_DECLARE_LOGGING_CATEGORY(lcInput)      // "vellora.input": presses anywhere on the screen
Q_DECLARE_LOGGING_CATEGORY(lcList)       // "vellora.list": the catalogue of applications
Q_DECLARE_LOGGING_CATEGORY(lcScript)     // "vellora.script": the volume script runner
Q_DECLARE_LOGGING_CATEGORY(lcSettings)   // "vellora.settings": the stored settings and levels
Q_DECLARE_LOGGING_CATEGORY(lcShell)      // "vellora.shell": start, tray, quit, single instance
Q_DECLARE_LOGGING_CATEGORY(lcUpdates)    // "vellora.updates": the update feed and its checks
} // namespace vellora
