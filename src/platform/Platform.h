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

// The outside services of the system this program runs on.
struct Platform {
    std::unique_ptr<VolumeControl> volume;
    std::unique_ptr<DesktopEntrySource> desktopEntries;
    std::unique_ptr<ActivationSource> activations; // uses desktopEntries
    std::unique_ptr<MusicPlayerSource> musicPlayers;
    std::unique_ptr<GlobalMouseMonitor> mouse;
    std::unique_ptr<Workspace> workspace;
    std::unique_ptr<LoginItems> loginItems;
    std::unique_ptr<ScriptHost> scripts; // login-item scripts ("System Events")
    // One plain sentence for each service this session lacks; the rest works without it.
    QStringList missing;
};

// The implementations for the system this program was built for.
Platform createPlatform();

} // namespace vellora
