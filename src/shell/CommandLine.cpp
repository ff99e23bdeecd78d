#include "CommandLine.h"

#include "ControlService.h"
#include "base/Diagnostics.h"
#include "core/AppVolumeTable.h"
#include "core/LevelCommands.h"
#include "core/SettingsTrouble.h"
#include "core/UserDefaults.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QFileInfo>
#include <QLockFile>
#include <algorithm>
#include <cstdio>

namespace vellora {

namespace {

void printOut(const QString& text) {
    std::fputs(qPrintable(text + QLatin1Char('\n')), stdout);
}

// The level commands, one per line: level, name, and the output when it is for one only.
QString levelLine(const QString& level, const QString& name, const QString& output) {
    QString line = oneLine(level) + QLatin1Char('\t') + oneLine(name);
    if (!output.isEmpty())
        line += QLatin1Char('\t') + oneLine(output);
    return line;
}

constexpr int kAnswerWaitMs = 5000;

} // namespace

CommandLine::CommandLine()
    : interpreter_(QStringLiteral("volume-interpreter"),
                   QStringLiteral("Read and set the volume by running this script interpreter "
                                  "with one-line scripts, instead of talking to the audio server."),
                   QStringLiteral("path")),
      setLevel_(QStringLiteral("set-level"),
                QStringLiteral("Store a level (a whole number from 0 to 100, given after the "
                               "name) for the application named."),
                QStringLiteral("name")),
      removeLevel_(QStringLiteral("remove-level"),
                   QStringLiteral("Remove the level stored for the application named."),
                   QStringLiteral("name")),
      output_(QStringLiteral("output"),
              QStringLiteral("With --set-level or --remove-level: the level is for this output "
                             "only (as --status or --levels name it)."),
              QStringLiteral("output")),
      levels_(QStringLiteral("levels"),
              QStringLiteral("Print the stored levels, one per line: level, name and, for a level "
                             "of one output only, the output, separated by tabs.")),
      pause_(QStringLiteral("pause"),
             QStringLiteral("Pause switching: the volume stays as it is until --resume.")),
      resume_(QStringLiteral("resume"),
              QStringLiteral("Resume switching: the application in front gets its level.")),
      status_(QStringLiteral("status"),
              QStringLiteral("Print the application in front, the level in force, the volume "
                             "captured before it, the output in use and whether switching is "
                             "paused.")) {
    parser_.setApplicationDescription(
        QStringLiteral("Gives every application its own master output volume. Without options, "
                       "starts Vellora (or opens the list of the one running); with one, asks "
                       "the running Vellora."));
    help_ = parser_.addHelpOption();
    version_ = parser_.addVersionOption();
    parser_.addOptions(
        {interpreter_, setLevel_, removeLevel_, output_, levels_, pause_, resume_, status_});
    // "-platform" is one unknown option, not eight.
    parser_.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
}

void CommandLine::sayOwnTroubleOnly() {
    qInstallMessageHandler(
        [](QtMsgType type, const QMessageLogContext& context, const QString& text) {
            if (type != QtDebugMsg && type != QtInfoMsg && context.category &&
                QByteArray(context.category).startsWith("vellora."))
                std::fputs(qPrintable(QStringLiteral("vellora: %1\n").arg(oneLine(text))), stderr);
        });
}

bool CommandLine::parse(const QStringList& arguments) {
    arguments_ = arguments;
    return parser_.parse(arguments);
}

int CommandLine::failParse() const {
    // A negative level reads as an option.
    if (parser_.isSet(setLevel_))
        for (const QString& argument : arguments_)
            if (argument.size() > 1 && argument.startsWith(QLatin1Char('-')) &&
                argument.at(1).isDigit())
                return fail(*LevelCommands::checkLevel(argument), 2);
    return fail(parser_.errorText(), 2);
}

bool CommandLine::asksForAnswer() const {
    for (const auto* option : {&*help_, &*version_, &setLevel_, &removeLevel_, &output_, &levels_,
                               &pause_, &resume_, &status_})
        if (parser_.isSet(*option))
            return true;
    return !parser_.positionalArguments().isEmpty(); // answered: it is out of place
}

int CommandLine::fail(const QString& line, int status) const {
    std::fputs(qPrintable(QStringLiteral("vellora: %1\n").arg(oneLine(line))), stderr);
    return status;
}

int CommandLine::answer() {
    if (parser_.isSet(*help_))
        parser_.showHelp(0); // exits
    if (parser_.isSet(*version_))
        parser_.showVersion(); // exits
    int commands = 0;
    for (const auto* option : {&setLevel_, &removeLevel_, &levels_, &pause_, &resume_, &status_})
        commands += parser_.isSet(*option) ? std::max(1, int(parser_.values(*option).size())) : 0;
    if (commands > 1)
        return fail(QStringLiteral("one of --set-level, --remove-level, --levels, --pause, "
                                   "--resume and --status at a time"),
                    2);
    const bool changesLevel = parser_.isSet(setLevel_) || parser_.isSet(removeLevel_);
    if (parser_.isSet(output_) && !changesLevel)
        return fail(QStringLiteral("--output goes with --set-level or --remove-level"), 2);
    const QStringList positional = parser_.positionalArguments();
    if (parser_.isSet(setLevel_) && positional.size() != 1)
        return fail(QStringLiteral("--set-level takes a name and a level: "
                                   "vellora --set-level NAME LEVEL"),
                    2);
    if (!parser_.isSet(setLevel_) && !positional.isEmpty())
        return fail(QStringLiteral("unexpected argument \u201c%1\u201d").arg(positional.first()),
                    2);
    if (commands == 0)
        return fail(QStringLiteral("nothing to do; see vellora --help"), 2);

    // Bad input is refused here, before anything is asked.
    const QString name = parser_.value(parser_.isSet(setLevel_) ? setLevel_ : removeLevel_);
    if (changesLevel) {
        if (const auto bad = LevelCommands::checkName(name))
            return fail(*bad);
    }
    if (parser_.isSet(setLevel_)) {
        if (const auto bad = LevelCommands::checkLevel(positional.first()))
            return fail(*bad);
    }
    if (parser_.isSet(output_) && parser_.value(output_).trimmed().isEmpty())
        return fail(QStringLiteral("the output is empty"));

    bool notRunning = false;
    int status = 0;
    if (parser_.isSet(setLevel_))
        status = answerOverBus(QStringLiteral("SetLevel"),
                               {name, *parseLevel(positional.first()), parser_.value(output_)},
                               &notRunning);
    else if (parser_.isSet(removeLevel_))
        status = answerOverBus(QStringLiteral("RemoveLevel"), {name, parser_.value(output_)},
                               &notRunning);
    else if (parser_.isSet(levels_))
        status = answerOverBus(QStringLiteral("Levels"), {}, &notRunning);
    else if (parser_.isSet(pause_) || parser_.isSet(resume_))
        status = answerOverBus(parser_.isSet(pause_) ? QStringLiteral("Pause")
                                                     : QStringLiteral("Resume"),
                               {}, &notRunning);
    else
        status = answerOverBus(QStringLiteral("Status"), {}, &notRunning);
    if (!notRunning)
        return status;
    if (changesLevel || parser_.isSet(levels_))
        return answerFromFile();
    if (!QDBusConnection::sessionBus().isConnected())
        return fail(QStringLiteral("cannot reach Vellora: there is no session bus (%1)")
                        .arg(QDBusConnection::sessionBus().lastError().message()));
    return fail(QStringLiteral("Vellora is not running"));
}

int CommandLine::answerOverBus(const QString& method, const QVariantList& arguments,
                               bool* notRunning) {
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) {
        *notRunning = true;
        return 1;
    }
    QDBusMessage call =
        QDBusMessage::createMethodCall(ControlService::serviceName(), ControlService::objectPath(),
                                       ControlService::interfaceName(), method);
    call.setArguments(arguments);
    call.setAutoStartService(false);
    const QDBusMessage reply = bus.call(call, QDBus::Block, kAnswerWaitMs);
    if (reply.type() == QDBusMessage::ErrorMessage) {
        const QString error = reply.errorName();
        if (error == QLatin1String("org.freedesktop.DBus.Error.ServiceUnknown") ||
            error == QLatin1String("org.freedesktop.DBus.Error.NameHasNoOwner")) {
            *notRunning = true;
            return 1;
        }
        if (error == QLatin1String("org.freedesktop.DBus.Error.NoReply") ||
            error == QLatin1String("org.freedesktop.DBus.Error.Timeout"))
            return fail(QStringLiteral("Vellora did not answer in time; what was asked may "
                                       "still be done when it does"));
        return fail(reply.errorMessage());
    }
    const QVariant value = reply.arguments().value(0);
    if (method == QLatin1String("Levels")) {
        const auto levels = qdbus_cast<QList<QStringList>>(value);
        for (const QStringList& level : levels)
            printOut(levelLine(level.value(0), level.value(1), level.value(2)));
    } else if (method == QLatin1String("Status")) {
        const QVariantMap status = qdbus_cast<QVariantMap>(value);
        const auto text = [&](const char* key) {
            return oneLine(status.value(QLatin1String(key)).toString());
        };
        const QString application = text("Application"), output = text("Output"),
                      description = text("OutputDescription");
        printOut(QStringLiteral("application: ") +
                 (application.isEmpty() ? QStringLiteral("none") : application));
        printOut(QStringLiteral("level: ") + (status.contains(QStringLiteral("Level"))
                                                  ? text("Level")
                                                  : QStringLiteral("none")));
        const QString captured = text("CapturedVolume");
        printOut(QStringLiteral("captured volume: ") +
                 (captured.isEmpty() ? QStringLiteral("none yet") : captured));
        printOut(QStringLiteral("output: ") +
                 (output.isEmpty() ? QStringLiteral("unknown") : output) +
                 (description.isEmpty() ? QString() : QStringLiteral(" (%1)").arg(description)));
        printOut(QStringLiteral("switching: ") + (status.value(QStringLiteral("Paused")).toBool()
                                                      ? QStringLiteral("paused")
                                                      : QStringLiteral("on")));
    }
    return 0;
}

int CommandLine::answerFromFile() {
    UserDefaults defaults;
    // Said on standard error: the command has no tray to say it next to.
    QObject::connect(&SettingsTrouble::instance(), &SettingsTrouble::found,
                     [this](const QString& text) { fail(text); });
    // The lines the program writes as it stores a level (the entry, "tap") are its own, not the
    // command's answer, which is the same whether the program runs or not.
    const DiagnosticCapture ownLines;
    LevelCommands levels(defaults, {}, {});
    if (parser_.isSet(levels_)) {
        QStringList unreadable;
        for (const auto& level : levels.levels(&unreadable))
            printOut(levelLine(level.level, level.name, level.output));
        for (const QString& key : std::as_const(unreadable))
            fail(QStringLiteral("the levels under \u201c%1\u201d in %2 cannot be read")
                     .arg(key, defaults.filePath()));
        return unreadable.isEmpty() ? 0 : 1;
    }
    // Changed only under the lock the program takes: when another editor holds it, nothing is.
    QLockFile probe(defaults.filePath() + UserDefaults::kEditLockSuffix);
    if (QFileInfo::exists(defaults.filePath()) && !probe.tryLock(UserDefaults::kEditWaitMs) &&
        probe.error() == QLockFile::LockFailedError)
        return fail(QStringLiteral("%1 is held by another program; nothing was changed")
                        .arg(defaults.filePath()));
    probe.unlock();
    const auto trouble =
        parser_.isSet(setLevel_)
            ? levels.setLevel(parser_.value(setLevel_), parser_.positionalArguments().first(),
                              parser_.value(output_))
            : levels.removeLevel(parser_.value(removeLevel_), parser_.value(output_));
    for (const QString& line : ownLines.loggedSoFar())
        fail(line.section(QStringLiteral(": "), 1));
    return trouble ? fail(*trouble) : 0;
}

} // namespace vellora
