// Vellora: every application gets its own master output volume.
#include "base/Bundle.h"
#include "base/Logging.h"
#include "base/WorkerThread.h"
#include "core/ActivationFilter.h"
#include "core/NotificationCenter.h"
#include "core/SettingsTrouble.h"
#include "core/SwitchWorker.h"
#include "core/UserDefaults.h"
#include "list/QuotesViewController.h"
#include "list/Resources.h"
#include "panels/Alert.h"
#include "panels/Popover.h"
#include "panels/Updater.h"
#include "platform/Platform.h"
#include "shell/AppDelegate.h"
#include "shell/CommandLine.h"
#include "shell/ControlService.h"
#include "shell/OwnWindows.h"
#include "shell/SingleInstance.h"
#include "shell/ThreadSides.h"
#include "vellora/Config.h"

#include <QApplication>
#include <QIcon>
#include <QPixmapCache>
#include <chrono>
#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv) {
    QCoreApplication::setApplicationName(QStringLiteral("Vellora"));
    QCoreApplication::setApplicationVersion(QLatin1String(vellora::config::kVersion));
    // Options that ask for an answer (from the running program, or the help) need no display:
    // from a terminal, over ssh, in a script bound to a key.
    vellora::CommandLine options;
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    const bool parsed = options.parse(arguments);
    const auto answer = [&options] {
        const int status = options.answer();
        // Everything is said and saved; Qt's bus thread may still be handing over the bus's
        // greeting, which must not meet the program's statics going away (it warns if it does).
        std::fflush(nullptr);
        std::_Exit(status);
    };
    if (parsed && options.asksForAnswer()) {
        vellora::CommandLine::sayOwnTroubleOnly();
        QCoreApplication answering(argc, argv);
        answer();
    }

    QApplication app(argc, argv);
    // Qt's own options (-platform, -session from a session manager) are taken out by now.
    if (!parsed && !options.parse(QApplication::arguments()))
        return options.failParse();
    if (options.asksForAnswer())
        answer();
    vellora::initResources();
    QApplication::setQuitOnLastWindowClosed(false);
    // Qt's pixmap cache looks itself over 30 s after anything went in, which would wake the
    // program once after every use; the few small pixmaps it would keep are quick to redraw.
    QPixmapCache::setCacheLimit(0);
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/vellora/AppIcon.svg")));
    // Without a desktop environment Qt knows no icon theme; the common one stands in.
    if (QIcon::themeName().isEmpty() || QIcon::themeName() == QLatin1String("hicolor"))
        QIcon::setThemeName(QStringLiteral("Adwaita"));
    // A second start hands over to the running program, which shows its list.
    vellora::SingleInstance instance(QStringLiteral("Vellora"));
    if (instance.handedOver())
        return 0;

    // What waits on the outside world runs on threads of its own: the list, the editor and the
    // tray never wait on the audio server, the X server or the session bus.
    // Each thread's parts have one owner, made and destroyed on that thread.
    vellora::WorkerThread audioThread(QStringLiteral("audio")),
        activationThread(QStringLiteral("activations"));
    vellora::Platform platform = vellora::createPlatform();
    // Trouble with the settings file reaches a tray user too: next to the icon, or as a desktop
    // notification (queued: it is told once the event loop runs, when the tray is there).
    vellora::AppDelegate* teller = nullptr;
    QObject::connect(
        &vellora::SettingsTrouble::instance(), &vellora::SettingsTrouble::found, &app,
        [&teller](const QString& text) {
            if (teller)
                teller->tellUser(text);
        },
        Qt::QueuedConnection);
    vellora::UserDefaults defaults;
    auto audio = audioThread.call([&] {
        return std::make_unique<vellora::AudioSide>(
            options.volumeInterpreter(), defaults.filePath(),
            [&app, workspace = platform.workspace.get()](const QString& text) {
                QMetaObject::invokeMethod(
                    &app,
                    [workspace, text] {
                        if (workspace)
                            workspace->postNotification(QStringLiteral("Vellora"), text);
                    },
                    Qt::QueuedConnection);
            });
    });
    auto activations = activationThread.call(
        [&] { return std::make_unique<vellora::ActivationSide>(*platform.desktopEntries); });
    // The road of an activation: from the filter, on its thread, straight to the switch's; the
    // interface's thread is not on the way.
    if (activations->filter())
        QObject::connect(
            activations->filter(), &vellora::ActivationFilter::applicationActivated,
            &audio->switcher(),
            [switcher = &audio->switcher()](const auto& application) {
                switcher->post(application);
            },
            Qt::DirectConnection);
    vellora::NotificationCenter notifications;
    vellora::ActivationPolicy policy;
    vellora::MessageBoxAlerts alerts;
    const auto bundle = vellora::Bundle::main();
    // The installed desktop entry is named after the bundle: Wayland compositors find this
    // program's name and icon through it.
    if (bundle)
        QGuiApplication::setDesktopFileName(
            bundle->infoDictionary().value(QStringLiteral("CFBundleIdentifier")).toString());
    // The version the bundle declares, else (a copy outside its bundle) the one it was built as.
    QString version =
        bundle ? bundle->infoDictionary().value(QStringLiteral("CFBundleVersion")).toString()
               : QString();
    if (version.isEmpty())
        version = QApplication::applicationVersion();
    vellora::Updater updater({defaults, alerts, platform.workspace.get(), version});
    vellora::QuotesViewController controller(
        {defaults, notifications, policy, audio->volume(), *platform.desktopEntries,
         *platform.mouse, nullptr, [] { QApplication::quit(); }, platform.loginItems.get(),
         platform.scripts.get(), &alerts, &updater, platform.workspace.get(), &audio->switcher()});
    vellora::AppDelegate delegate({defaults, notifications, policy, *platform.mouse,
                                   platform.loginItems.get(), platform.scripts.get(),
                                   platform.workspace.get(), &audio->switcher(),
                                   [] { QApplication::quit(); }},
                                  controller);
    teller = &delegate;
    QObject::connect(&instance, &vellora::SingleInstance::reopened, &delegate,
                     &vellora::AppDelegate::applicationShouldHandleReopen);
    QObject::connect(&updater, &vellora::Updater::updateFoundQuietly, &delegate,
                     &vellora::AppDelegate::announceUpdate);
    // A volume changed by hand while a window of this program has the focus (the list, the
    // editor) is no level for the application behind it.
    vellora::OwnWindows ownWindows(
        activations->filter(),
        [switcher = &audio->switcher()](bool focused) { switcher->setOwnWindowInFront(focused); });
    app.installEventFilter(&ownWindows);
    // The vellora command's way in: a change it makes shows in the list at once.
    vellora::ControlService control(defaults, audio->switcher(), [&notifications] {
        notifications.post(vellora::notification::kAtu);
    });
    control.publish();
    delegate.applicationDidFinishLaunching(audio->missing() + activations->missing());
    const int status = app.exec();

    // Parts of the worker threads end there, activations first: nothing new reaches the switch.
    // Each gets a bounded moment (a stalled compositor or audio server must not hold a logout);
    // the user's own volume is put back even when the activations did not end in time.
    using namespace std::chrono_literals;
    app.removeEventFilter(&ownWindows); // the filter it tells ends below
    const bool activationsEnded = activationThread.callWithin(3s, [&] { activations.reset(); });
    const bool audioEnded = audioThread.callWithin(3s, [&] {
        audio->switcher().putCapturedVolumeBack();
        if (activationsEnded) // else the activations may still hand the switch their work
            audio.reset();
    });
    if (!activationsEnded || !audioEnded) {
        qCWarning(vellora::lcShell,
                  "quit: a desktop service did not answer in time; leaving without "
                  "tidying up");
        std::fflush(nullptr);
        std::_Exit(status);
    }
    return status;
}
