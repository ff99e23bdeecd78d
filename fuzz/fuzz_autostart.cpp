// Autostart entries written for the login item and the "System Events" scripts. Whatever the
// name and program, a written entry is one file inside the autostart folder that the desktop
// reads back (here GLib, as a GLib-based session does) as exactly the keys written: the Name as
// given, an Exec that starts exactly the program with no field codes, nothing smuggled in.
// Scripts write only such entries, and only there.
#include "FuzzSupport.h"
#include "platform/linux/XdgAutostart.h"

#include <QDir>
#include <QDirIterator>
#include <QFileInfo>
#include <QTemporaryDir>

#include <fuzzer/FuzzedDataProvider.h>
#include <glib.h>

#include <climits>
#include <cstdlib>

using namespace vellora;
using vellora::fuzz::shown;
using vellora::fuzz::textFrom;

namespace {

const QStringList kSpecials{QStringLiteral("%%"),
                            QStringLiteral("%f"),
                            QStringLiteral("\\s"),
                            QStringLiteral("\\\\"),
                            QStringLiteral("$(touch x)"),
                            QStringLiteral("`id`"),
                            QStringLiteral("\"; rm -rf ~; \""),
                            QStringLiteral("../"),
                            QStringLiteral("/Contents/MacOS/"),
                            QStringLiteral("\n[Desktop Entry]\nExec=/bin/sh\n"),
                            QStringLiteral("\r\n"),
                            QStringLiteral("\u2028"),
                            QStringLiteral("\u00e9"),
                            QStringLiteral("\U0001F600"),
                            QStringLiteral("tell application \"System Events\" to "),
                            QStringLiteral("login item ")};

const QStringList kKeys{QStringLiteral("Exec"), QStringLiteral("Name"), QStringLiteral("NoDisplay"),
                        QStringLiteral("Type"), QStringLiteral("X-GNOME-Autostart-enabled")};

// The home of the run's autostart folder ($XDG_CONFIG_HOME), removed when the run ends.
QTemporaryDir& home() {
    static QTemporaryDir dir;
    return dir;
}

// Text as file names and paths carry it: no surrogate halves alone.
QString text(FuzzedDataProvider& in, size_t most) {
    QString t = textFrom(in.ConsumeRandomLengthString(most), kSpecials);
    return QString::fromUtf8(t.toUtf8()).remove(QChar::ReplacementCharacter);
}

struct Entry {
    QString name;
    QStringList argv;              // as GLib splits the Exec line
    std::optional<QString> quoted; // the one argument, unquoted by the desktop-entry rules
};

// The Exec line as the freedesktop.org desktop-entry rules quote one argument: in double
// quotes, with ", `, $ and \ each after a backslash, and no other backslash.
std::optional<QString> quotedArgument(const QString& exec) {
    if (exec.size() < 2 || !exec.startsWith(QLatin1Char('"')) || !exec.endsWith(QLatin1Char('"')))
        return std::nullopt;
    const QString special = QStringLiteral("\"`$\\");
    QString argument;
    for (qsizetype i = 1; i < exec.size() - 1; ++i) {
        QChar c = exec.at(i);
        if (c == QLatin1Char('\\')) {
            if (i + 1 >= exec.size() - 1 || !special.contains(exec.at(i + 1)))
                return std::nullopt;
            c = exec.at(++i);
        } else if (special.contains(c)) {
            return std::nullopt;
        }
        argument += c;
    }
    return argument;
}

// The entry as a GLib-based desktop reads it: its one group and its keys, the Name, and the
// Exec line after field codes and then shell quoting are undone.
Entry readEntry(const QString& path) {
    GKeyFile* file = g_key_file_new();
    GError* error = nullptr;
    const QByteArray local = QFile::encodeName(path);
    FUZZ_CHECK(g_key_file_load_from_file(file, local.constData(), G_KEY_FILE_NONE, &error),
               path + ": " + QString::fromUtf8(error ? error->message : ""));
    gsize groups = 0;
    g_strfreev(g_key_file_get_groups(file, &groups));
    FUZZ_CHECK(groups == 1, path);
    gsize count = 0;
    gchar** keys = g_key_file_get_keys(file, "Desktop Entry", &count, nullptr);
    QStringList found;
    for (gsize k = 0; k < count; ++k)
        found << QString::fromUtf8(keys[k]);
    g_strfreev(keys);
    found.sort();
    FUZZ_CHECK(found == kKeys, shown(found));

    Entry entry;
    gchar* name = g_key_file_get_string(file, "Desktop Entry", "Name", &error);
    FUZZ_CHECK(name, QStringLiteral("Name: ") + QString::fromUtf8(error ? error->message : ""));
    entry.name = QString::fromUtf8(name);
    g_free(name);
    gchar* exec = g_key_file_get_string(file, "Desktop Entry", "Exec", &error);
    FUZZ_CHECK(exec, QStringLiteral("Exec: ") + QString::fromUtf8(error ? error->message : ""));
    QByteArray expanded;
    for (const char* p = exec; *p; ++p) {
        if (*p == '%') {
            FUZZ_CHECK(p[1] == '%', QStringLiteral("a field code in ") + QString::fromUtf8(exec));
            ++p;
        }
        expanded += *p;
    }
    entry.quoted = quotedArgument(QString::fromUtf8(expanded));
    int argc = 0;
    gchar** argv = nullptr;
    FUZZ_CHECK(g_shell_parse_argv(expanded.constData(), &argc, &argv, &error),
               QString::fromUtf8(exec) + ": " + QString::fromUtf8(error ? error->message : ""));
    for (int k = 0; k < argc; ++k)
        entry.argv << QString::fromUtf8(argv[k]);
    g_strfreev(argv);
    g_free(exec);
    g_key_file_free(file);
    return entry;
}

// Every file the code left under the home folder: checked, then removed.
QStringList takeWritten() {
    QStringList files;
    QDirIterator it(home().path(), QDir::Files | QDir::Hidden | QDir::System,
                    QDirIterator::Subdirectories);
    while (it.hasNext())
        files << it.next();
    for (const QString& f : files) {
        const QFileInfo info(f);
        FUZZ_CHECK(info.absolutePath() == autostart::folder() && f.endsWith(".desktop") &&
                       !info.fileName().startsWith(QLatin1Char('.')),
                   shown(f));
        QFile::remove(f);
    }
    return files;
}

void writeEntry(FuzzedDataProvider& in) {
    const QString fileName = text(in, 40);
    const QString name = text(in, 60);
    const QString program = QLatin1Char('/') + text(in, 200);
    const bool written = autostart::writeEntry(fileName, name, program);
    const QStringList files = takeWritten();
    FUZZ_CHECK(files.size() == (written ? 1 : 0), shown(fileName) + " " + shown(files));
    // Anything else is refused; a plain file name, an absolute program and one-line texts are
    // written whenever the file system takes the name.
    const bool plain =
        !fileName.isEmpty() && fileName.size() <= 200 && !fileName.startsWith(QLatin1Char('.')) &&
        std::none_of(fileName.begin(), fileName.end(),
                     [](QChar c) { return c == QLatin1Char('/') || c.unicode() < 0x20; });
    const auto oneLine = [](const QString& t) {
        return !t.contains(QLatin1Char('\n')) && !t.contains(QLatin1Char('\r')) &&
               !t.contains(QChar(0));
    };
    const bool valid = plain && oneLine(name) && oneLine(program);
    const bool fits = QFile::encodeName(fileName + QStringLiteral(".desktop")).size() <= NAME_MAX;
    FUZZ_CHECK(written ? valid : !(valid && fits),
               shown(fileName) + " " + shown(name) + " " + shown(program));
}

void checkWritten(const QString& file, const QString& name, const QString& program) {
    const Entry entry = readEntry(file);
    FUZZ_CHECK(entry.name == name, shown(entry.name) + " written as " + shown(name));
    FUZZ_CHECK(entry.argv == QStringList{program} && entry.quoted == program,
               shown(entry.argv) + " written as " + shown(program));
}

void writeAndRead(FuzzedDataProvider& in) {
    // Names as callers give them: file names too, so no control characters but a tab.
    QString name = text(in, 60);
    name.removeIf([](QChar c) { return c.unicode() < 0x20 && c != QLatin1Char('\t'); });
    const QString program =
        QLatin1Char('/') + text(in, 200).remove(QLatin1Char('\n')).remove(QLatin1Char('\r'));
    if (program.contains(QChar(0)))
        return;
    FUZZ_CHECK(autostart::writeEntry(QStringLiteral("entry"), name, program), shown(program));
    checkWritten(autostart::folder() + QStringLiteral("/entry.desktop"), name, program);
    takeWritten();
}

void runScript(FuzzedDataProvider& in) {
    SystemEventsScripts scripts;
    QString source;
    QString path, name;
    switch (in.ConsumeIntegralInRange(0, 2)) {
    case 0:
        path = text(in, 80);
        name = text(in, 40);
        source = QStringLiteral("tell application \"System Events\" to make login item at end "
                                "with properties {path:\"%1\", hidden:false, name:\"%2\"}")
                     .arg(path, name);
        break;
    case 1:
        name = text(in, 40);
        if (name.contains(QLatin1Char('"'))) // a name the script cannot quote
            return;
        autostart::writeEntry(name, name, QStringLiteral("/bin/true"));
        source = QStringLiteral("tell application \"System Events\" to delete login item \"%1\"")
                     .arg(name);
        break;
    default:
        source = text(in, 400);
        break;
    }
    const ScriptResult result = scripts.execute(source);
    FUZZ_CHECK(result.error || !source.contains(QStringLiteral(" make ")) ||
                   QFileInfo::exists(autostart::folder() + '/' + name + ".desktop"),
               shown(source) + " made nothing");
    QDirIterator it(home().path(), QDir::Files | QDir::Hidden | QDir::System,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString file = it.next();
        // The only file a script may leave: the entry for the item it was asked to make.
        FUZZ_CHECK(!result.error && file == autostart::folder() + '/' + name + ".desktop",
                   shown(source) + " left " + shown(file));
        checkWritten(file, name, QDir::cleanPath(path + "/Contents/MacOS/" + name));
    }
    takeWritten();
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    setenv("XDG_CONFIG_HOME", QFile::encodeName(home().path()).constData(), 1);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzedDataProvider in(data, size);
    switch (in.ConsumeIntegralInRange(0, 2)) {
    case 0:
        writeEntry(in);
        break;
    case 1:
        writeAndRead(in);
        break;
    default:
        runScript(in);
        break;
    }
    return 0;
}
