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

// The installed applications.
class DesktopEntrySource {
public:
    virtual ~DesktopEntrySource() = default;
    // Every installed entry, listed or not (first id wins across folders); nothing on failure.
    virtual std::optional<QList<DesktopEntry>> entries() = 0;
    // The desktop-file id of the default file manager, or an empty text.
    virtual QString defaultFileManagerId() = 0;
};

} // namespace vellora
