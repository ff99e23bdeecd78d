// VelloraLaunch: started at login, it starts Vellora unless it already runs, then ends.
#include "base/Bundle.h"
#include "launcher/AppDelegate.h"
#include "platform/linux/LinuxWorkspace.h"
#include "vellora/Config.h"

#include <QCoreApplication>
#include <QFileInfo>

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    // A copy outside a bundle counts the folder holding its executable as its bundle.
    const auto bundle = vellora::Bundle::main();
    const QString bundlePath =
        bundle ? bundle->path() : QFileInfo(QCoreApplication::applicationFilePath()).absolutePath();
    vellora::LinuxWorkspace workspace;
    vellora::launcher::AppDelegate delegate({workspace, QLatin1String(vellora::config::kBundleId),
                                             bundlePath, [] { QCoreApplication::exit(0); }});
    delegate.applicationDidFinishLaunching();
    const int status = app.exec();
    delegate.applicationWillTerminate();
    return status;
}
