#include "XdgAutostart.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSaveFile>
#include <QStandardPaths>

namespace vellora {

namespace {

// A name usable as a file name in the autostart folder: no separators, no hidden files, no
// control characters (a line break at the end too: "$" would let one through).
bool isPlainName(const QString& name) {
    static const QRegularExpression plain(QStringLiteral("^[^/\\x00-\\x1f.][^/\\x00-\\x1f]*\\z"));
    return plain.match(name).hasMatch() && name.size() <= 200;
}

// A string value as desktop entries write it: backslashes doubled, and white space in front
// (which readers skip) escaped.
QString stringValue(const QString& text) {
    QString value = text;
    value.replace(QLatin1Char('\\'), QStringLiteral("\\\\"));
    if (value.startsWith(QLatin1Char(' ')))
        value.replace(0, 1, QStringLiteral("\\s"));
    else if (value.startsWith(QLatin1Char('\t')))
        value.replace(0, 1, QStringLiteral("\\t"));
    return value;
}

QString entryPath(const QString& fileName) {
    return autostart::folder() + QLatin1Char('/') + fileName + QStringLiteral(".desktop");
}

// Removes an entry; true when it is gone (or never was).
bool removeEntry(const QString& fileName) {
    const QString path = entryPath(fileName);
    const QFileInfo info(path);
    if (!info.exists() && !info.isSymLink())
        return true;
    return QFile::remove(path);
}

ScriptResult failure(const QString& message, int number) {
    return {{},
            std::nullopt,
            QStringLiteral("{NSAppleScriptErrorMessage = \"%1\"; NSAppleScriptErrorNumber = %2;}")
                .arg(message)
                .arg(number)};
}

} // namespace

QString autostart::folder() {
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
           QStringLiteral("/autostart");
}

QString autostart::execValue(const QString& program) {
    // Inside a quoted argument ", `, $ and \ take a backslash; then the value as a whole is a
    // string, whose own escaping doubles every backslash; % is doubled for field codes.
    QString quoted;
    for (const QChar c : program) {
        if (c == QLatin1Char('"') || c == QLatin1Char('`') || c == QLatin1Char('$') ||
            c == QLatin1Char('\\'))
            quoted += QLatin1Char('\\');
        quoted += c;
    }
    quoted = QLatin1Char('"') + quoted + QLatin1Char('"');
    return quoted.replace(QLatin1Char('\\'), QStringLiteral("\\\\"))
        .replace(QLatin1Char('%'), QStringLiteral("%%"));
}

bool autostart::writeEntry(const QString& fileName, const QString& name, const QString& program) {
    // A line break would end the value early and smuggle in keys of its own.
    static const QRegularExpression lineBreak(QStringLiteral("[\\r\\n\\x00]"));
    if (!isPlainName(fileName) || !QFileInfo(program).isAbsolute() || program.contains(lineBreak) ||
        name.contains(lineBreak))
        return false;
    if (!QDir().mkpath(folder()))
        return false;
    QSaveFile file(entryPath(fileName));
    if (!file.open(QIODevice::WriteOnly))
        return false;
    const QString text = QStringLiteral("[Desktop Entry]\nType=Application\nName=%1\nExec=%2\n"
                                        "NoDisplay=true\nX-GNOME-Autostart-enabled=true\n")
                             .arg(stringValue(name), execValue(program));
    file.write(text.toUtf8());
    return file.commit();
}

QString XdgLoginItems::launcherPath() const {
    if (mainBundle_.isEmpty())
        return {};
    return QDir(mainBundle_)
        .absoluteFilePath(QStringLiteral(
            "Contents/Library/LoginItems/VelloraLaunch.app/Contents/MacOS/VelloraLaunch"));
}

bool XdgLoginItems::setEnabled(const QString& identifier, bool enabled) {
    if (!isPlainName(identifier))
        return false;
    if (!enabled)
        return removeEntry(identifier);
    // An entry for a launcher that is not there would fail at every login instead of now.
    const QString launcher = launcherPath();
    if (launcher.isEmpty() || !QFileInfo(launcher).isExecutable())
        return false;
    return autostart::writeEntry(identifier, QStringLiteral("VelloraLaunch"), launcher);
}

ScriptResult SystemEventsScripts::execute(const QString& source) {
    static const QRegularExpression make(QStringLiteral(
        "^tell application \"System Events\" to make login item at end with properties "
        "\\{path:\"([^\"]+)\", hidden:false, name:\"([^\"]+)\"\\}$"));
    static const QRegularExpression remove(
        QStringLiteral("^tell application \"System Events\" to delete login item \"([^\"]+)\"$"));

    if (const auto m = make.match(source); m.hasMatch()) {
        const QString path = m.captured(1), name = m.captured(2);
        // The entry is checked as it is written: a plain name, an absolute path, one line.
        if (!QFileInfo(path).isAbsolute() ||
            !autostart::writeEntry(
                name, name, QDir::cleanPath(path + QLatin1String("/Contents/MacOS/") + name)))
            return failure(
                QStringLiteral("System Events got an error: Can’t make login item \\\"%1\\\".")
                    .arg(name),
                -10000);
        return {QStringLiteral("login item \"%1\"").arg(name), std::nullopt, std::nullopt};
    }
    if (const auto m = remove.match(source); m.hasMatch()) {
        const QString name = m.captured(1);
        const QFileInfo entry(entryPath(name));
        if (!isPlainName(name) || !entry.isFile())
            return failure(QStringLiteral("System Events got an error: Can’t get login item "
                                          "\\\"%1\\\".")
                               .arg(name),
                           -1728);
        if (!QFile::remove(entry.filePath()))
            return failure(QStringLiteral("System Events got an error: Can’t delete login item "
                                          "\\\"%1\\\".")
                               .arg(name),
                           -10000);
        return {QStringLiteral("null()"), std::nullopt, std::nullopt};
    }
    return failure(QStringLiteral("The script is not understood."), -2741);
}

} // namespace vellora
