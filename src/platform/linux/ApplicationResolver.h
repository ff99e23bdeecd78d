#pragma once

#include "platform/DesktopEntry.h"
#include "platform/RunningApplication.h"

#include <QHash>
#include <QStringList>

namespace vellora {

// What is known of the process and window that became active.
struct WindowFacts {
    QString gtkApplicationId; // _GTK_APPLICATION_ID
    QString kdeDesktopFile;   // _KDE_NET_WM_DESKTOP_FILE
    QString wmInstance;       // WM_CLASS, first part
    QString wmClass;          // WM_CLASS, second part
    qint64 pid = 0;
    QString sandboxAppId; // Flatpak application id, or a Snap's "<snap>_<app>"
    QString exePath;      // /proc/PID/exe
    QStringList cmdline;  // /proc/PID/cmdline
};

// Finds the desktop entry of an active window, so that the name an activation reports is the
// name the catalogue shows. Windows of the default file manager are called "Finder".
class ApplicationResolver {
public:
    void setEntries(const QList<DesktopEntry>& entries, const QString& fileManagerId);
    // Whether these are the entries in use (the same reading, not a copy of one).
    bool holds(const QList<DesktopEntry>& entries, const QString& fileManagerId) const {
        return entries.isSharedWith(entries_) && fileManagerId == fileManagerId_;
    }

    // The entry the window belongs to, or nothing.
    const DesktopEntry* match(const WindowFacts& facts) const;
    // The running application for the window; nothing when not even WM_CLASS names it.
    std::optional<RunningApplication> resolve(const WindowFacts& facts) const;

    // The desktop id a sandboxed process belongs to, from the text of /proc/PID/cgroup.
    static QString sandboxAppIdFromCgroup(const QString& cgroup);

private:
    const DesktopEntry* byId(const QString& id) const;

    QList<DesktopEntry> entries_;
    QString fileManagerId_;
    QHash<QString, qsizetype> byId_;         // id -> index
    QHash<QString, qsizetype> byLowerId_;    // lower-cased id without ".desktop"
    QHash<QString, qsizetype> byLastIdPart_; // lower-cased last reverse-DNS part of the id
    QHash<QString, qsizetype> byWmClass_;    // StartupWMClass
    QHash<QString, qsizetype> byExecutable_; // executable file name
};

} // namespace vellora
