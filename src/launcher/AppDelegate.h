#pragma once

#include "platform/Workspace.h"

#include <QObject>
#include <QString>
#include <chrono>
#include <functional>

namespace vellora::launcher {

// VelloraLaunch's start-up: start Vellora unless it already runs, then end after a delay.
class AppDelegate : public QObject {
public:
    struct Deps {
        Workspace& workspace;
        QString mainBundleIdentifier; // Vellora's identifier
        QString ownBundlePath;        // the launcher's own bundle folder
        std::function<void()> exit;   // ends the process with status 0
        std::chrono::milliseconds delay = std::chrono::seconds(10);
    };
    explicit AppDelegate(Deps deps) : deps_(std::move(deps)) {}

    // Looks for running instances, launches Vellora when there is none, schedules the end.
    void applicationDidFinishLaunching();
    void applicationWillTerminate() {}

    // Vellora's executable for a launcher bundle at Vellora.app/Contents/Library/LoginItems:
    // three components removed, then MacOS/Vellora. Empty when fewer than three components
    // lie above the root.
    static QString mainExecutablePath(const QString& ownBundlePath);

private:
    Deps deps_;
};

} // namespace vellora::launcher
