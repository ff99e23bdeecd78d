#include "FlatVolumes.h"

#include "base/Diagnostics.h"

namespace vellora {

QString flatVolumesMessage(const QString& outputDescription) {
    // The description comes from the audio server, which takes any text for it.
    const QString description = outputDescription.trimmed();
    const QString output = description.isEmpty()
                               ? QStringLiteral("the current output")
                               : QLatin1Char('"') + oneLine(description) + QLatin1Char('"');
    return QStringLiteral("Flat volumes are on for %1: a program that raises its own sound also "
                          "raises the master volume, behind Vellora's back. Vellora keeps "
                          "working; to turn them off, put \"flat-volumes = no\" in "
                          "/etc/pulse/daemon.conf or ~/.config/pulse/daemon.conf and restart "
                          "PulseAudio with \"pulseaudio -k\".")
        .arg(output);
}

} // namespace vellora
