#include "Bundle.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QXmlStreamReader>

namespace vellora {

std::optional<Bundle> Bundle::containing(const QString& executablePath) {
    // NAME.app/Contents/MacOS/executable
    const QFileInfo exe(executablePath);
    QDir dir = exe.absoluteDir();
    if (dir.dirName() != QLatin1String("MacOS") || !dir.cdUp() ||
        dir.dirName() != QLatin1String("Contents") || !dir.cdUp())
        return std::nullopt;
    if (!dir.dirName().endsWith(QLatin1String(".app")) ||
        !QFileInfo::exists(dir.filePath(QStringLiteral("Contents/Info.plist"))))
        return std::nullopt;
    return Bundle(dir.absolutePath());
}

std::optional<Bundle> Bundle::main() {
    return containing(QCoreApplication::applicationFilePath());
}

QVariantMap Bundle::infoDictionary() const {
    return readInfoPlist(path_ + QStringLiteral("/Contents/Info.plist"));
}

QString Bundle::bundleIdentifier() const {
    return infoDictionary().value(QStringLiteral("CFBundleIdentifier")).toString();
}

QString Bundle::pathForResource(const QString& name, const QString& type) const {
    const QString file = path_ + QStringLiteral("/Contents/Resources/") + name +
                         (type.isEmpty() ? QString() : QLatin1Char('.') + type);
    return QFileInfo(file).isFile() ? file : QString();
}

QVariantMap Bundle::readInfoPlist(const QString& file) {
    QFile f(file);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    QXmlStreamReader xml(&f);
    QVariantMap map;
    // plist > dict > (key, value)*; nested containers are skipped whole.
    int depth = 0;
    QString key;
    while (!xml.atEnd()) {
        const auto token = xml.readNext();
        if (token == QXmlStreamReader::EndElement) {
            --depth;
            continue;
        }
        if (token != QXmlStreamReader::StartElement)
            continue;
        ++depth;
        const auto tag = xml.name();
        if (depth <= 2)
            continue; // <plist> and the top <dict>
        if (tag == QLatin1String("key")) {
            key = xml.readElementText();
            --depth;
        } else if (tag == QLatin1String("string")) {
            map.insert(key, xml.readElementText());
            --depth;
        } else if (tag == QLatin1String("integer")) {
            map.insert(key, xml.readElementText().toLongLong());
            --depth;
        } else if (tag == QLatin1String("true") || tag == QLatin1String("false")) {
            map.insert(key, tag == QLatin1String("true"));
        } else {
            xml.skipCurrentElement();
            --depth;
        }
    }
    return xml.hasError() ? QVariantMap() : map;
}

} // namespace vellora
