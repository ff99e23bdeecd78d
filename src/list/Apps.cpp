#include "Apps.h"

#include "platform/DesktopEntry.h"

#include <QCollator>

namespace vellora {

namespace {

bool isAscii(const QString& s) {
    for (const QChar c : s) {
        if (c.unicode() > 0x7f)
            return false;
    }
    return true;
}

int compareNames(const QString& a, const QString& b) {
    if (isAscii(a) && isAscii(b))
        return QString::compare(a, b, Qt::CaseSensitive);
    // The common Unicode order (as the root locale has it), the same on every machine.
    static const QCollator collator(QLocale(QLocale::English, QLocale::UnitedStates));
    return collator.compare(a, b);
}

} // namespace

QString displayName(const QString& name) {
    QString last = name.section(QLatin1Char('/'), -1);
    last.remove(QStringLiteral(".app"));
    return last;
}

QString displayName(const Apps& app) {
    return app.shownName.isEmpty() ? displayName(app.name) : app.shownName;
}

bool catalogueLess(const Apps& a, const Apps& b) {
    const bool aFinder = a.name == kFileManagerName;
    const bool bFinder = b.name == kFileManagerName;
    if (aFinder != bFinder)
        return bFinder;
    if (const int byName = compareNames(displayName(a), displayName(b)); byName != 0)
        return byName < 0;
    return a.name < b.name;
}

bool matchesSearch(const Apps& app, const QString& text) {
    // Canonically equivalent texts are equal here as in the table: "é" typed as one character
    // finds a name that spells it as "e" and a combining accent.
    const auto folded = [](const QString& s) {
        return s.toCaseFolded().normalized(QString::NormalizationForm_C);
    };
    const QString needle = folded(text);
    return folded(app.name).contains(needle) || folded(app.shownName).contains(needle);
}

std::optional<QList<Apps>> scanCatalogue(DesktopEntrySource& entries) {
    const auto installed = entries.installed();
    if (!installed)
        return std::nullopt;
    const QString& fileManager = installed->fileManagerId;
    QList<Apps> catalogue;
    catalogue.reserve(installed->entries.size() + 1);
    QString managerIcon;
    for (const DesktopEntry& e : installed->entries) {
        if (!fileManager.isEmpty() && e.id == fileManager) {
            managerIcon = e.icon;
            continue;
        }
        if (e.shown)
            catalogue << Apps{e.path, e.name, e.icon};
    }
    catalogue << Apps{kFileManagerName, QString(), managerIcon};
    return catalogue;
}

} // namespace vellora
