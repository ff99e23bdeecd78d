#include "LinuxWorkspace.h"

#include "ProcessInfo.h"
#include "base/Bundle.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDesktopServices>
#include <QHash>
#include <QProcess>

namespace vellora {

QList<RunningProcess> LinuxWorkspace::runningApplications() {
    QList<RunningProcess> result;
    QHash<QString, std::optional<QString>> identifiers; // per executable, read once per call
    for (const qint64 pid : proc::userProcesses()) {
        RunningProcess p;
        p.pid = pid;
        p.executable = proc::exePath(pid);
        if (p.executable.isEmpty())
            continue; // kernel threads, or gone meanwhile
        auto it = identifiers.find(p.executable);
        if (it == identifiers.end()) {
            std::optional<QString> id;
            if (const auto bundle = Bundle::containing(p.executable)) {
                if (const QString text = bundle->bundleIdentifier(); !text.isEmpty())
                    id = text;
            }
            it = identifiers.insert(p.executable, id);
        }
        p.bundleIdentifier = *it;
        result << p;
    }
    return result;
}

bool LinuxWorkspace::launchApplication(const QString& executable, const QStringList& args) {
    return QProcess::startDetached(executable, args);
}

bool LinuxWorkspace::openUrl(const QUrl& url) {
    return QDesktopServices::openUrl(url);
}

bool LinuxWorkspace::openDocument(const QString& path) {
    return launchApplication(QStringLiteral("xdg-open"), {path});
}

// The desktop's notification service; nothing is waited for.
bool LinuxWorkspace::postNotification(const QString& title, const QString& text) {
    QDBusMessage notify = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.Notifications"),
        QStringLiteral("/org/freedesktop/Notifications"),
        QStringLiteral("org.freedesktop.Notifications"), QStringLiteral("Notify"));
    // Notification servers may read the body as markup: it is shown as the text it is.
    notify << QStringLiteral("Vellora") << uint(0) << QString() << title << text.toHtmlEscaped()
           << QStringList() << QVariantMap() << -1;
    return QDBusConnection::sessionBus().send(notify);
}

} // namespace vellora
