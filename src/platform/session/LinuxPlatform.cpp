#include "base/Bundle.h"
#include "base/Logging.h"
#include "platform/Platform.h"
#include "platform/linux/GioDesktopEntries.h"
#include "platform/linux/LinuxWorkspace.h"
#include "platform/linux/MprisPlayers.h"
#include "platform/linux/PulseVolumeControl.h"
#include "platform/linux/QuitSignals.h"
#include "platform/linux/SessionBus.h"
#include "platform/linux/X11ActivationSource.h"
#include "platform/linux/X11MouseMonitor.h"
#include "platform/linux/XdgAutostart.h"
#include "platform/qt/FocusLossMonitor.h"
#include "platform/script/ScriptVolumeControl.h"
#include "platform/wayland/CompositorSources.h"
#include "platform/wayland/SwayActivationSource.h"

#include <QDBusConnection>

namespace vellora {

namespace {
bool isWaylandSession() {
    return !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY") ||
           qEnvironmentVariable("XDG_SESSION_TYPE") == QLatin1String("wayland");
}

bool onSessionBus(const QString& service) {
    return !sessionbus::nameOwner(service).isEmpty();
}

// The way this session offers to learn the active application. On Wayland only the compositor
// knows it (an X display there shows only XWayland's windows); nothing when none is known.
std::unique_ptr<ActivationSource> activationSource(DesktopEntrySource& entries) {
    if (!isWaylandSession())
        return std::make_unique<X11ActivationSource>(entries);
    if (const QString socket = SwayActivationSource::socketFromEnvironment(); !socket.isEmpty())
        return std::make_unique<SwayActivationSource>(entries, socket);
    if (onSessionBus(QStringLiteral("org.kde.KWin"))) {
        const auto bundle = Bundle::main();
        return std::make_unique<KWinActivationSource>(
            entries, bundle ? bundle->pathForResource(KWinActivationSource::kPluginName,
                                                      QStringLiteral("js"))
                            : QString());
    }
    if (onSessionBus(QStringLiteral("org.gnome.Shell")))
        return std::make_unique<GnomeActivationSource>(entries);
    return nullptr;
}
} // namespace

AudioParts createAudioParts(const QString& volumeInterpreter) {
    AudioParts p;
    if (!volumeInterpreter.isEmpty()) {
        p.volume = std::make_unique<ScriptVolumeControl>(volumeInterpreter);
    } else {
        auto pulse = std::make_unique<PulseVolumeControl>();
        if (!pulse->isConnected())
            p.missing << QStringLiteral("No audio server answers; volumes change once it is back.");
        p.volume = std::move(pulse);
    }
    auto players = std::make_unique<MprisPlayers>();
    if (!players->isAvailable())
        p.missing << QStringLiteral("No session bus; music players cannot be asked whether "
                                    "they play.");
    else
        p.musicPlayers = std::move(players);
    return p;
}

ActivationParts createActivationParts(DesktopEntryIndex& desktopEntries) {
    ActivationParts p;
    p.entries = std::make_unique<GioDesktopEntries>(desktopEntries);
    p.source = activationSource(*p.entries);
    if (!p.source)
        p.missing << QStringLiteral("This Wayland session offers no supported way to learn the "
                                    "active application; volumes are not switched.");
    else if (const QString problem = p.source->problem(); !problem.isEmpty())
        p.missing << problem;
    else
        qCInfo(lcActivation).noquote() << QStringLiteral("following ") + p.source->description();
    return p;
}

Platform createPlatform() {
    Platform p;
    p.desktopEntries = std::make_unique<DesktopEntryIndex>();
    // A Wayland client sees no presses in other applications: losing the keyboard stands in.
    if (isWaylandSession())
        p.mouse = std::make_unique<FocusLossMonitor>();
    else
        p.mouse = std::make_unique<X11MouseMonitor>();
    p.workspace = std::make_unique<LinuxWorkspace>();
    const auto bundle = Bundle::main();
    p.loginItems = std::make_unique<XdgLoginItems>(bundle ? bundle->path() : QString());
    p.scripts = std::make_unique<SystemEventsScripts>();
    p.quitSignals = std::make_unique<QuitSignals>();
    return p;
}

} // namespace vellora
