#include "ThreadSides.h"

#include "base/Diagnostics.h"
#include "core/FlatVolumes.h"

namespace vellora {

AudioSide::AudioSide(const QString& volumeInterpreter, const QString& settingsFile,
                     std::function<void(const QString&)> tellUser)
    : parts_(createAudioParts(volumeInterpreter)), defaults_(settingsFile),
      switcher_(defaults_, *parts_.volume, parts_.musicPlayers.get()) {
    // Told once, from this thread's event loop: connected before it runs.
    QObject::connect(parts_.volume.get(), &VolumeControl::flatVolumesFound, &switcher_,
                     [tellUser = std::move(tellUser)](const QString& output) {
                         const QString text = flatVolumesMessage(output);
                         diag(text);
                         if (tellUser)
                             tellUser(text);
                     });
}

AudioSide::~AudioSide() {
    Q_ASSERT(QThread::currentThread() == thread_);
}

ActivationSide::ActivationSide(DesktopEntryIndex& desktopEntries)
    : parts_(createActivationParts(desktopEntries)) {
    if (parts_.source)
        filter_ = std::make_unique<ActivationFilter>(*parts_.source);
}

ActivationSide::~ActivationSide() {
    Q_ASSERT(QThread::currentThread() == thread_);
}

} // namespace vellora
