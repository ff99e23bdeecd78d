#include "AppDelegate.h"

#include "base/Diagnostics.h"
#include "base/Logging.h"

#include <QDir>
#include <QTimer>

namespace vellora::launcher {

void AppDelegate::applicationDidFinishLaunching() {
    bool alreadyRunning = false;
    // Every running instance logs its own line; the walk does not stop at the first.
    for (const RunningProcess& p : deps_.workspace.runningApplications()) {
        if (p.bundleIdentifier && *p.bundleIdentifier == deps_.mainBundleIdentifier) {
            alreadyRunning = true;
            systemLog(QStringLiteral("alreadyRunning"));
        }
    }
    if (!alreadyRunning) {
        systemLog(QStringLiteral("notRunning"));
        const QString executable = mainExecutablePath(deps_.ownBundlePath);
        if (executable.isEmpty()) // said in the log, beside the three system-log lines
            qCWarning(lcShell).noquote()
                << QStringLiteral("no launch: bundle path %1 lies too close to the root")
                       .arg(deps_.ownBundlePath);
        else
            deps_.workspace.launchApplication(executable); // a refused launch goes unnoticed
    }
    // Precise: a coarse timer may end up to half a second early.
    QTimer::singleShot(deps_.delay, Qt::PreciseTimer, this, [this] {
        systemLog(QStringLiteral("exit"));
        deps_.exit();
    });
}

QString AppDelegate::mainExecutablePath(const QString& ownBundlePath) {
    const QString clean = QDir::cleanPath(ownBundlePath);
    QStringList components = clean.split(QLatin1Char('/'), Qt::SkipEmptyParts);
    if (components.size() < 3)
        return {};
    components.resize(components.size() - 3);
    components << QStringLiteral("MacOS") << QStringLiteral("Vellora");
    const QString root = clean.startsWith(QLatin1Char('/')) ? QStringLiteral("/") : QString();
    return root + components.join(QLatin1Char('/'));
}

} // namespace vellora::launcher
