#include "GioDesktopEntries.h"
#include "LinuxWorkspace.h"
#include "MprisPlayers.h"
#include "PulseVolumeControl.h"
#include "X11ActivationSource.h"
#include "X11MouseMonitor.h"
#include "XdgAutostart.h"
#include "core/Bundle.h"
#include "platform/Platform.h"

namespace vellora {

Platform createPlatform() {
    Platform p;
    auto pulse = std::make_unique<PulseVolumeControl>();
    if (!pulse->isConnected())
        p.missing << QStringLiteral("No audio server answers; volumes change once it is back.");
    p.volume = std::move(pulse);

    p.desktopEntries = std::make_unique<GioDesktopEntries>();
    p.activations = std::make_unique<X11ActivationSource>(*p.desktopEntries);
    if (!p.activations->isAvailable()) {
        const bool wayland = !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY");
        p.missing << (wayland ? QStringLiteral("This Wayland session offers no supported way to "
                                               "learn the active application; volumes are not "
                                               "switched.")
                              : QStringLiteral("No X display; volumes are not switched until "
                                               "one is available."));
    }

    auto players = std::make_unique<MprisPlayers>();
    if (!players->isAvailable())
        p.missing << QStringLiteral("No session bus; music players cannot be asked whether "
                                    "they play.");
    else
        p.musicPlayers = std::move(players);

    p.mouse = std::make_unique<X11MouseMonitor>();
    p.workspace = std::make_unique<LinuxWorkspace>();
    const auto bundle = Bundle::main();
    p.loginItems = std::make_unique<XdgLoginItems>(bundle ? bundle->path() : QString());
    p.scripts = std::make_unique<SystemEventsScripts>();
    return p;
}

} // namespace vellora
