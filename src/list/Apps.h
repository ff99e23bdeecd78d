#pragma once

#include "platform/RunningApplication.h"

#include <QList>
#include <QString>
#include <optional>

namespace vellora {

class DesktopEntrySource;

// One application of the catalogue: an installed application, or the Finder entry, which
// stands for the desktop's file manager.
class Apps {
public:
    QString name;      // absolute path of the application (its desktop entry), or "Finder"
    QString shownName; // the desktop's localized name; empty for a bundle-style path
    QString icon;      // icon name or absolute path; empty for the generic icon

    friend bool operator==(const Apps&, const Apps&) = default;
};

// The shown name, which is also the name a level is stored under: the desktop's name when
// there is one, else the last piece of the path with every ".app" removed.
QString displayName(const Apps& app);
QString displayName(const QString& name);

// Catalogue order: by shown name, upper-case ASCII before lower-case, Finder last.
bool catalogueLess(const Apps& a, const Apps& b);

// Whether an entry passes the search text: its path or shown name contains it, case folded.
bool matchesSearch(const Apps& app, const QString& text);

// The catalogue: the applications a desktop menu lists, but the file manager (the Finder entry
// at the end stands for it). Nothing when the listing failed.
std::optional<QList<Apps>> scanCatalogue(DesktopEntrySource& entries);

} // namespace vellora
