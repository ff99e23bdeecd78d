#include "ApplicationResolver.h"

#include <QFileInfo>
#include <QRegularExpression>

namespace vellora {

namespace {

QString withoutSuffix(const QString& id) {
    return id.endsWith(QLatin1String(".desktop")) ? id.chopped(8) : id;
}

// The first index wins, as it does across the desktop's folders.
void index(QHash<QString, qsizetype>& map, const QString& key, qsizetype at) {
    if (!key.isEmpty() && !map.contains(key))
        map.insert(key, at);
}

} // namespace

void ApplicationResolver::setEntries(const QList<DesktopEntry>& entries,
                                     const QString& fileManagerId) {
    // The desktop's list is kept until it changes: the same list needs no new index.
    if (holds(entries, fileManagerId))
        return;
    entries_ = entries;
    fileManagerId_ = fileManagerId;
    byId_.clear();
    byLowerId_.clear();
    byLastIdPart_.clear();
    byWmClass_.clear();
    byExecutable_.clear();
    for (qsizetype i = 0; i < entries_.size(); ++i) {
        const DesktopEntry& e = entries_.at(i);
        const QString bare = withoutSuffix(e.id);
        index(byId_, e.id, i);
        index(byLowerId_, bare.toLower(), i);
        index(byLastIdPart_, bare.section(QLatin1Char('.'), -1).toLower(), i);
        index(byWmClass_, e.startupWmClass, i);
        index(byExecutable_, e.executable, i);
    }
}

const DesktopEntry* ApplicationResolver::byId(const QString& id) const {
    if (id.isEmpty())
        return nullptr;
    const QString full =
        id.endsWith(QLatin1String(".desktop")) ? id : id + QLatin1String(".desktop");
    const auto it = byId_.constFind(QFileInfo(full).fileName());
    return it == byId_.constEnd() ? nullptr : &entries_.at(*it);
}

const DesktopEntry* ApplicationResolver::match(const WindowFacts& f) const {
    auto at = [this](const QHash<QString, qsizetype>& map,
                     const QString& key) -> const DesktopEntry* {
        if (key.isEmpty())
            return nullptr;
        const auto it = map.constFind(key);
        return it == map.constEnd() ? nullptr : &entries_.at(*it);
    };

    // The window or its sandbox names its desktop file outright.
    for (const QString& id : {f.gtkApplicationId, f.kdeDesktopFile, f.sandboxAppId}) {
        if (const DesktopEntry* e = byId(id))
            return e;
    }
    // The entry names the window's class.
    for (const QString& cls : {f.wmInstance, f.wmClass}) {
        if (const DesktopEntry* e = at(byWmClass_, cls))
            return e;
    }
    // The desktop-file id names the class: exactly, ignoring case, or as its last part.
    for (const QString& cls : {f.wmClass, f.wmInstance}) {
        if (const DesktopEntry* e = byId(cls))
            return e;
    }
    for (const QString& cls : {f.wmClass, f.wmInstance}) {
        if (const DesktopEntry* e = at(byLowerId_, cls.toLower()))
            return e;
    }
    for (const QString& cls : {f.wmClass, f.wmInstance}) {
        if (const DesktopEntry* e = at(byLastIdPart_, cls.toLower()))
            return e;
    }
    // The program that runs is the one the entry starts.
    if (const DesktopEntry* e = at(byExecutable_, QFileInfo(f.exePath).fileName()))
        return e;
    if (!f.cmdline.isEmpty())
        return at(byExecutable_, QFileInfo(f.cmdline.first()).fileName());
    return nullptr;
}

std::optional<RunningApplication> ApplicationResolver::resolve(const WindowFacts& facts) const {
    RunningApplication app;
    app.pid = facts.pid;
    if (const DesktopEntry* e = match(facts)) {
        const bool fileManager = !fileManagerId_.isEmpty() && e->id == fileManagerId_;
        app.localizedName = fileManager ? kFileManagerName : e->name;
        app.bundleIdentifier = withoutSuffix(e->id);
        return app;
    }
    const QString last = !facts.wmClass.isEmpty() ? facts.wmClass : facts.wmInstance;
    if (last.isEmpty())
        return std::nullopt;
    app.localizedName = last;
    return app;
}

QString ApplicationResolver::sandboxAppIdFromCgroup(const QString& cgroup) {
    // Flatpak: ".../app-flatpak-org.example.App-12345.scope"
    static const QRegularExpression flatpak(
        QStringLiteral("app-flatpak-([A-Za-z0-9_.\\-]+?)-\\d+\\.scope"));
    // Snap: ".../snap.name.app.<uuid>.scope" or ".../snap.name.app-<n>.scope"
    static const QRegularExpression snap(QStringLiteral(
        "snap\\.([A-Za-z0-9\\-]+)\\.([A-Za-z0-9\\-]+?)(?:[.\\-][0-9a-f\\-]+)?\\.scope"));
    if (const auto m = flatpak.match(cgroup); m.hasMatch())
        return m.captured(1) + QStringLiteral(".desktop");
    if (const auto m = snap.match(cgroup); m.hasMatch())
        return m.captured(1) + QLatin1Char('_') + m.captured(2) + QStringLiteral(".desktop");
    return {};
}

} // namespace vellora
