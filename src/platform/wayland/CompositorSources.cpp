#include "CompositorSources.h"

#include "base/Logging.h"

#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusVariant>
#include <QFileInfo>

#include <utility>

namespace vellora {

namespace {

// The compositor answers at once; a stalled one does not hold this program longer than this.
constexpr int kCallTimeoutMs = 3000;
// Quitting waits less: the call reaches a stalled KWin all the same, once it gets to it.
constexpr int kQuitTimeoutMs = 500;

QDBusMessage call(const QString& service, const QString& path, const QString& interface,
                  const QString& method, const QVariantList& args = {},
                  int timeoutMs = kCallTimeoutMs) {
    QDBusMessage m = QDBusMessage::createMethodCall(service, path, interface, method);
    m.setArguments(args);
    return QDBusConnection::sessionBus().call(m, QDBus::Block, timeoutMs);
}

QDBusMessage kwin(const QString& method, const QVariantList& args = {},
                  int timeoutMs = kCallTimeoutMs) {
    return call(QStringLiteral("org.kde.KWin"), QStringLiteral("/Scripting"),
                QStringLiteral("org.kde.kwin.Scripting"), method, args, timeoutMs);
}

QDBusMessage shell(const QString& interface, const QString& method, const QVariantList& args) {
    return call(QStringLiteral("org.gnome.Shell"), QStringLiteral("/org/gnome/Shell"), interface,
                method, args);
}

QVariant firstArgument(const QDBusMessage& reply) {
    return reply.type() == QDBusMessage::ReplyMessage ? reply.arguments().value(0) : QVariant();
}

} // namespace

KWinActivationSource::KWinActivationSource(DesktopEntrySource& entries, QString scriptPath,
                                           QObject* parent)
    : BusActivationSource(entries, QStringLiteral("org.kde.KWin"), parent),
      scriptPath_(std::move(scriptPath)), retry_(this) {
    retry_.setSingleShot(true);
    connect(&retry_, &QTimer::timeout, this, [this] { loadScript(); });
    problem_ = unreachable(QStringLiteral("KWin"));
    if (problem_.isEmpty())
        compositorStarted();
    starting_ = false;
}

KWinActivationSource::~KWinActivationSource() {
    if (running_)
        kwin(QStringLiteral("unloadScript"), {kPluginName}, kQuitTimeoutMs);
}

void KWinActivationSource::compositorStarted() {
    restarted_ = restarted_ || !starting_;
    backoff_.reset();
    attemptsLeft_ = kAttempts;
    loadScript();
}

void KWinActivationSource::loadScript() {
    retry_.stop();
    running_ = false;
    if (!QFileInfo(scriptPath_).isFile()) {
        problem_ = QStringLiteral("Vellora's KWin script (%1.js) is missing from its bundle; "
                                  "volumes are not switched.")
                       .arg(kPluginName);
        return;
    }
    // A script left behind by an earlier run that ended abruptly reports to nobody.
    if (firstArgument(kwin(QStringLiteral("isScriptLoaded"), {kPluginName})).toBool())
        kwin(QStringLiteral("unloadScript"), {kPluginName});
    const QDBusMessage loaded = kwin(QStringLiteral("loadScript"), {scriptPath_, kPluginName});
    bool ok = false;
    const int id = firstArgument(loaded).toInt(&ok);
    // Loaded scripts run once KWin is asked to start them (the one call both Plasma 5 and 6 take).
    const QDBusMessage started = ok && id >= 0 ? kwin(QStringLiteral("start")) : QDBusMessage();
    if (started.type() != QDBusMessage::ReplyMessage) {
        const QDBusMessage& failed = loaded.type() == QDBusMessage::ErrorMessage ? loaded : started;
        // Just started, KWin may not offer its scripting yet, or be too busy to answer in time
        // (it still loads the script once it gets to the call, and the next attempt starts
        // afresh from that); a KWin that refuses the script is not asked again and again.
        const QString error = failed.errorName();
        const bool noReply = error == QLatin1String("org.freedesktop.DBus.Error.NoReply");
        if ((error == QLatin1String("org.freedesktop.DBus.Error.UnknownObject") ||
             error == QLatin1String("org.freedesktop.DBus.Error.UnknownMethod") || noReply) &&
            --attemptsLeft_ > 0) {
            retry_.start(backoff_.next());
            return;
        }
        const QString why = noReply ? QStringLiteral("KWin did not answer") : failed.errorMessage();
        problem_ = QStringLiteral("KWin did not run Vellora's script (%1); volumes are not "
                                  "switched.")
                       .arg(why.isEmpty() ? QStringLiteral("it refused it") : why.left(120));
        if (!starting_) // at start-up the start-up lines say it
            qCWarning(lcActivation).noquote() << problem_;
        return;
    }
    problem_.clear();
    running_ = true;
    if (std::exchange(restarted_, false))
        qCInfo(lcActivation, "KWin is back; following a KWin script again");
}

void KWinActivationSource::compositorStopped() {
    retry_.stop();
    const bool wasRunning = std::exchange(running_, false);
    restarted_ = true;
    if (wasRunning)
        qCWarning(lcActivation,
                  "KWin left the session bus; volumes are not switched until it is back");
}

GnomeActivationSource::GnomeActivationSource(DesktopEntrySource& entries, QObject* parent)
    : BusActivationSource(entries, QStringLiteral("org.gnome.Shell"), parent) {
    const QString version =
        firstArgument(shell(QStringLiteral("org.freedesktop.DBus.Properties"),
                            QStringLiteral("Get"),
                            {QStringLiteral("org.gnome.Shell"), QStringLiteral("ShellVersion")}))
            .value<QDBusVariant>()
            .variant()
            .toString();
    const int major = version.section(QLatin1Char('.'), 0, 0).toInt();
    extension_ = major > 0 && major < 45 ? kLegacyExtension : kExtension;

    const QVariantMap info = qdbus_cast<QVariantMap>(
        firstArgument(shell(QStringLiteral("org.gnome.Shell.Extensions"),
                            QStringLiteral("GetExtensionInfo"), {extension_})));
    // The shell's states: 1 is running (ENABLED, or ACTIVE since GNOME 46).
    const int state = info.value(QStringLiteral("state")).toInt();
    problem_ = unreachable(QStringLiteral("GNOME Shell"));
    if (!problem_.isEmpty())
        return;
    if (info.isEmpty())
        problem_ = QStringLiteral("GNOME Shell tells Vellora the active application only "
                                  "through Vellora's extension, which is not installed: install "
                                  "Vellora's package, log out and in, then run "
                                  "\"gnome-extensions enable %1\".")
                       .arg(extension_);
    else if (state == 3 || state == 4) // ERROR, OUT_OF_DATE
        problem_ = QStringLiteral("Vellora's GNOME Shell extension %1 could not start in this "
                                  "version of GNOME Shell; volumes are not switched.")
                       .arg(extension_);
    else if (state != 1)
        problem_ = QStringLiteral("To let Vellora follow the active application on GNOME, "
                                  "turn on its extension: run \"gnome-extensions enable %1\" "
                                  "(or switch on \"Vellora\" in the Extensions app). Volumes "
                                  "are switched from then on.")
                       .arg(extension_);
}

// The user turned the extension on while this program runs.
void GnomeActivationSource::heardFromCompositor() {
    if (problem_.isEmpty())
        return;
    problem_.clear();
    qCInfo(lcActivation).noquote() << QStringLiteral("following ") + description();
}

QString GnomeActivationSource::description() const {
    return QStringLiteral("the GNOME Shell extension %1").arg(extension_);
}

} // namespace vellora
