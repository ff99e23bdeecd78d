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

class WorkerThread;

// Where the parts that wait on the outside world are made and live: the volume control and the
// music players on the audio thread, the activation source on the activation thread (none: the
// calling thread). Whoever owns the parts destroys them on those threads too.
struct PlatformThreads {
    WorkerThread* audio = nullptr;
    WorkerThread* activations = nullptr;
};

// The outside services of the system this program runs on.
struct Platform {
    std::unique_ptr<VolumeControl> volume;
    std::unique_ptr<DesktopEntrySource> desktopEntries;
    std::unique_ptr<DesktopEntrySource> activationEntries; // the activation source's own
    std::unique_ptr<ActivationSource> activations;         // uses activationEntries
    std::unique_ptr<MusicPlayerSource> musicPlayers;
    std::unique_ptr<GlobalMouseMonitor> mouse;
    std::unique_ptr<Workspace> workspace;
    std::unique_ptr<LoginItems> loginItems;
    std::unique_ptr<ScriptHost> scripts; // login-item scripts ("System Events")
    // Quits the event loop when the system asks the program to end (at logout, from `kill`),
    // so that it is put away as after "Quit".
    std::unique_ptr<QObject> quitSignals;
    // One plain sentence for each service this session lacks; the rest works without it.
    QStringList missing;
};

// The implementations for the system this program was built for. With a volume interpreter, the
// volume is read and set by running it with one-line scripts instead of the native client.
Platform createPlatform(const PlatformThreads& threads = {}, const QString& volumeInterpreter = {});

} // namespace vellora
