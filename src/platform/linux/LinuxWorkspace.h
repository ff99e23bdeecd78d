#pragma once

#include "platform/Workspace.h"

namespace vellora {

// Programs from /proc, launched with an argument list; URLs through the desktop (xdg-open).
class LinuxWorkspace : public Workspace {
public:
    QList<RunningProcess> runningApplications() override;
    bool launchApplication(const QString& executable, const QStringList& args = {}) override;
    bool openUrl(const QUrl& url) override;
};

} // namespace vellora
