#pragma once

#include <QList>
#include <QString>
#include <QUrl>
#include <optional>

namespace vellora {

// A process of the current user, with the identifier of the bundle it runs from.
struct RunningProcess {
    qint64 pid = 0;
    QString executable;                      // the program file
    std::optional<QString> bundleIdentifier; // when the program lies in a bundle
};

// The desktop's handling of programs and documents.
class Workspace {
public:
    virtual ~Workspace() = default;
    // The processes of the current user, in ascending order of process id.
    virtual QList<RunningProcess> runningApplications() = 0;
    // Starts a program (detached, no shell); true when it started.
    virtual bool launchApplication(const QString& executable, const QStringList& args = {}) = 0;
    // Opens a URL with the desktop's default handler; true when handed over.
    virtual bool openUrl(const QUrl& url) = 0;
    // Opens a document with the desktop's opener (detached); true when the opener started.
    virtual bool openDocument(const QString& path) = 0;
    // Shows a notification of the desktop's, for what must be said where no tray shows it;
    // false when it could not be handed over.
    virtual bool postNotification(const QString& /*title*/, const QString& /*text*/) {
        return false;
    }
};

} // namespace vellora
