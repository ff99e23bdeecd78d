#pragma once

#include "platform/ActivationSource.h"
#include "platform/DesktopEntry.h"
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
    std::unique_ptr<DesktopEntrySource>
        entries;                              // the source's own: GIO tells the thread that made it
    std::unique_ptr<ActivationSource> source; // uses entries; none when the session offers no way
    QStringList missing;
};

// The outside services the interface uses, on its own thread.
struct Platform {
    std::unique_ptr<DesktopEntrySource> desktopEntries;
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
ActivationParts createActivationParts();
Platform createPlatform();

} // namespace vellora
