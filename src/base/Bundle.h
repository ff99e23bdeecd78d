#pragma once

#include <QString>
#include <QVariantMap>
#include <optional>

namespace vellora {

// An application bundle: NAME.app/Contents/{Info.plist, MacOS/, Resources/}.
class Bundle {
public:
    // The bundle whose Contents/MacOS holds the given executable, if it lies in one.
    static std::optional<Bundle> containing(const QString& executablePath);
    // The bundle of this program (from its executable's location), if it runs from one.
    static std::optional<Bundle> main();

    QString path() const { return path_; } // the NAME.app folder
    QVariantMap infoDictionary() const;    // Contents/Info.plist; empty when unreadable
    QString bundleIdentifier() const;      // CFBundleIdentifier, or empty
    // A resource's path (Contents/Resources/NAME.TYPE), or empty when there is none.
    QString pathForResource(const QString& name, const QString& type) const;

    // Reads the top-level dictionary of an XML property list (strings, numbers, Booleans).
    static QVariantMap readInfoPlist(const QString& file);

private:
    explicit Bundle(QString path) : path_(std::move(path)) {}
    QString path_;
};

} // namespace vellora
