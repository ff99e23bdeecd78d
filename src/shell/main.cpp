// Vellora: every application gets its own master output volume.
#include "core/Bundle.h"
#include "core/Diagnostics.h"
#include "core/NotificationCenter.h"
#include "core/UserDefaults.h"
#include "list/QuotesViewController.h"
#include "list/Resources.h"
#include "panels/Alert.h"
#include "panels/Popover.h"
#include "panels/Updater.h"
#include "platform/Platform.h"
#include "shell/AppDelegate.h"
#include "shell/SingleInstance.h"

#include <QApplication>
#include <QIcon>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    vellora::initResources();
    QApplication::setApplicationName(QStringLiteral("Vellora"));
    QApplication::setQuitOnLastWindowClosed(false);
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/vellora/AppIcon.svg")));
    // Without a desktop environment Qt knows no icon theme; the common one stands in.
    if (QIcon::themeName().isEmpty() || QIcon::themeName() == QLatin1String("hicolor"))
        QIcon::setThemeName(QStringLiteral("Adwaita"));

    // A second start hands over to the running program, which shows its list.
    vellora::SingleInstance instance(QStringLiteral("Vellora"));
    if (instance.handedOver())
        return 0;

    vellora::Platform platform = vellora::createPlatform();
    vellora::UserDefaults defaults;
    vellora::NotificationCenter notifications;
    vellora::ActivationPolicy policy;
    vellora::MessageBoxAlerts alerts;
    const auto bundle = vellora::Bundle::main();
    vellora::Updater updater(
        {defaults, alerts, platform.workspace.get(),
         bundle ? bundle->infoDictionary().value(QStringLiteral("CFBundleVersion")).toString()
                : QString()});
    vellora::QuotesViewController controller(
        {defaults, notifications, policy, *platform.volume, *platform.desktopEntries,
         *platform.mouse, platform.activations.get(), platform.musicPlayers.get(),
         [] { QApplication::quit(); }, platform.loginItems.get(), platform.scripts.get(), &alerts,
         &updater, platform.workspace.get()});
    vellora::AppDelegate delegate({defaults, notifications, policy, *platform.mouse,
                                   platform.loginItems.get(), platform.scripts.get()},
                                  controller);
    QObject::connect(&instance, &vellora::SingleInstance::reopened, &delegate,
                     &vellora::AppDelegate::applicationShouldHandleReopen);
    QObject::connect(&updater, &vellora::Updater::updateFoundQuietly, &delegate,
                     &vellora::AppDelegate::announceUpdate);
    delegate.applicationDidFinishLaunching(platform.missing);
    return app.exec();
}
