#include "ThreadSides.h"

namespace vellora {

AudioSide::AudioSide(const QString& volumeInterpreter, const QString& settingsFile)
    : parts_(createAudioParts(volumeInterpreter)), defaults_(settingsFile),
      switcher_(defaults_, *parts_.volume, parts_.musicPlayers.get()) {}

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
