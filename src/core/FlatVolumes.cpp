#include "FlatVolumes.h"

#include "base/Diagnostics.h"

namespace vellora {

QString flatVolumesMessage(const QString& outputDescription) {
    // The description comes from the audio server, which takes any text for it.
    const QString description = outputDescription.trimmed();
    const QString output = description.isEmpty() ? QStringLiteral("the current output")
                                                 : QStringLiteral("\u201c") + oneLine(description) +
                                                       QStringLiteral("\u201d");
    return QStringLiteral("Flat volumes are on for %1: a program that raises its own sound also "
                          "raises the master volume, behind Vellora\u2019s back. Vellora keeps "
                          "working; to turn them off, put \u201cflat-volumes = no\u201d in "
                          "/etc/pulse/daemon.conf or ~/.config/pulse/daemon.conf and restart "
                          "PulseAudio with \u201cpulseaudio -k\u201d.")
        .arg(output);
}

} // namespace vellora
