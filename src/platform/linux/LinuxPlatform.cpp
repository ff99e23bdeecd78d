#include "GioDesktopEntries.h"
#include "LinuxWorkspace.h"
#include "MprisPlayers.h"
#include "PulseVolumeControl.h"
#include "X11ActivationSource.h"
#include "X11MouseMonitor.h"
#include "XdgAutostart.h"
#include "core/Bundle.h"
#include "core/WorkerThread.h"
#include "platform/Platform.h"
#include "platform/script/ScriptVolumeControl.h"

namespace vellora {

namespace {
// Runs f on the thread given, or here when there is none.
template <class F> auto on(WorkerThread* thread, F f) {
    return thread ? thread->call(f) : f();
}
} // namespace

Platform createPlatform(const PlatformThreads& threads, const QString& volumeInterpreter) {
    Platform p;
    if (!volumeInterpreter.isEmpty()) {
        p.volume = on(threads.audio,
                      [&] { return std::make_unique<ScriptVolumeControl>(volumeInterpreter); });
    } else {
        auto pulse = on(threads.audio, [] { return std::make_unique<PulseVolumeControl>(); });
        if (!pulse->isConnected())
            p.missing << QStringLiteral("No audio server answers; volumes change once it is back.");
        p.volume = std::move(pulse);
    }

    p.desktopEntries = std::make_unique<GioDesktopEntries>();
    // GIO tells a list of desktop entries about changes on the thread that made it: the
    // activation source gets one of its own.
    const bool watching = on(threads.activations, [&p] {
        p.activationEntries = std::make_unique<GioDesktopEntries>();
        p.activations = std::make_unique<X11ActivationSource>(*p.activationEntries);
        return p.activations->isAvailable();
    });
    if (!watching) {
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
