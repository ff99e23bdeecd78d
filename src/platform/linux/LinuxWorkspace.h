#pragma once

#include "platform/Workspace.h"

namespace vellora {

// Programs from /proc, launched with an argument list; URLs and documents through
// the desktop's opener (xdg-open).
class LinuxWorkspace : public Workspace {
public:
    QList<RunningProcess> runningApplications() override;
    bool launchApplication(const QString& executable, const QStringList& args = {}) override;
    bool openUrl(const QUrl& url) override;
    bool openDocument(const QString& path) override;
    bool postNotification(const QString& title, const QString& text) override;
};

} // namespace vellora
