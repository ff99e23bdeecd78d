#pragma once

#include "platform/ActivationSource.h"
#include "platform/DesktopEntryIndex.h"
#include "platform/GlobalMouseMonitor.h"
#include "platform/LoginItems.h"
#include "platform/MusicPlayerSource.h"
#include "platform/ScriptHost.h"
#include "platform/VolumeControl.h"
#include "platform/Workspace.h"

#include <QStringList>
#include <memory>

namespace vellora {

// The parts that wait on the audio server and the music players. Made on the thread they live
// on, the audio thread, and destroyed there.
struct AudioParts {
    std::unique_ptr<VolumeControl> volume;
    std::unique_ptr<MusicPlayerSource> musicPlayers; // none without a session bus
    // One plain sentence for each service this session lacks; the rest works without it.
    QStringList missing;
};

// The parts that follow the application in front. Made on the thread they live on, the
// activations thread, and destroyed there.
struct ActivationParts {
    // Read on this thread and kept current there; each reading also goes to the index the
    // interface reads.
    std::unique_ptr<DesktopEntrySource> entries;
    std::unique_ptr<ActivationSource> source; // uses entries; none when the session offers no way
    QStringList missing;
};

// The outside services the interface uses, on its own thread.
struct Platform {
    // The installed applications as the activations thread last read them. Outlives that
    // thread's parts, which publish to it.
    std::unique_ptr<DesktopEntryIndex> desktopEntries;
    std::unique_ptr<GlobalMouseMonitor> mouse;
    std::unique_ptr<Workspace> workspace;
    std::unique_ptr<LoginItems> loginItems;
    std::unique_ptr<ScriptHost> scripts; // login-item scripts ("System Events")
    // Quits the event loop when the system asks the program to end (at logout, from `kill`),
    // so that it is put away as after "Quit".
    std::unique_ptr<QObject> quitSignals;
};

// The implementations for the system this program was built for, each made on the thread it
// lives on. With a volume interpreter, the volume is read and set by running it with one-line
// scripts instead of the native client.
AudioParts createAudioParts(const QString& volumeInterpreter = {});
ActivationParts createActivationParts(DesktopEntryIndex& desktopEntries);
Platform createPlatform();

} // namespace vellora
