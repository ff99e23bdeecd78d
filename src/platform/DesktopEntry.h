#pragma once

#include <QList>
#include <QString>
#include <optional>

namespace vellora {

// One installed application as the desktop describes it.
struct DesktopEntry {
    QString id;             // desktop-file id, e.g. "org.example.Editor.desktop"
    QString path;           // absolute path of the entry's file
    QString name;           // localized shown name
    QString icon;           // icon name, or an absolute path
    QString startupWmClass; // the WM_CLASS its windows carry, when the entry says
    QString executable;     // file name of the program its command line starts
    bool shown = true;      // whether a desktop menu lists it

    friend bool operator==(const DesktopEntry&, const DesktopEntry&) = default;
};

// The installed applications, as one reading found them.
struct InstalledApplications {
    QList<DesktopEntry> entries; // listed or not (first id wins across folders)
    QString fileManagerId;       // the default file manager's desktop-file id, or an empty text
};

// Where the installed applications are read.
class DesktopEntrySource {
public:
    virtual ~DesktopEntrySource() = default;
    // The applications as installed now; nothing on failure.
    virtual std::optional<InstalledApplications> installed() = 0;
};

} // namespace vellora
