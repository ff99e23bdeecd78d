#include "ControlService.h"

#include "base/Logging.h"
#include "core/LevelCommands.h"
#include "core/SwitchWorker.h"
#include "core/UserDefaults.h"
#include "vellora/Config.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>

namespace vellora {

QString ControlService::serviceName() {
    return QLatin1String(config::kBundleId);
}

QString ControlService::objectPath() {
    QString path = QLatin1Char('/') + serviceName();
    path.replace(QLatin1Char('.'), QLatin1Char('/'));
    path.replace(QLatin1Char('-'), QLatin1Char('_')); // not allowed in an object path
    return path;
}

ControlService::ControlService(UserDefaults& defaults, SwitchWorker& switcher,
                               std::function<void()> levelsChanged, QObject* parent)
    : QObject(parent), defaults_(defaults), switcher_(switcher),
      levelsChanged_(std::move(levelsChanged)) {
    qDBusRegisterMetaType<QList<QStringList>>();
    connect(&switcher_, &SwitchWorker::pausedChanged, this, &ControlService::tellPaused);
}

ControlService::~ControlService() {
    if (published_)
        QDBusConnection::sessionBus().unregisterObject(objectPath());
}

void ControlService::publish() {
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) {
        qCWarning(lcShell, "no session bus: the vellora command cannot reach this program");
        return;
    }
    // A bus over the network may admit other users: only the user's own local bus is listened to.
    const QString address = qEnvironmentVariable("DBUS_SESSION_BUS_ADDRESS");
    if (address.contains(QLatin1String("tcp:"))) {
        qCWarning(lcShell, "the session bus is reached over the network: the vellora command is "
                           "not listened to there");
        return;
    }
    published_ = bus.registerObject(
        objectPath(), this, QDBusConnection::ExportAllSlots | QDBusConnection::ExportAllProperties);
    // Asked without waiting: the interface's thread never waits on the bus.
    constexpr uint kDoNotQueue = 4, kPrimaryOwner = 1;
    auto* watcher = new QDBusPendingCallWatcher(
        bus.interface()->asyncCall(QStringLiteral("RequestName"), serviceName(), kDoNotQueue),
        this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [](QDBusPendingCallWatcher* call) {
        const QDBusPendingReply<uint> reply = *call;
        if (reply.isError() || reply.value() != kPrimaryOwner)
            qCWarning(lcShell).noquote()
                << QStringLiteral("the session bus name %1 is taken: the vellora "
                                  "command cannot reach this program")
                       .arg(serviceName());
        call->deleteLater();
    });
}

bool ControlService::paused() const {
    return switcher_.paused();
}

void ControlService::Pause() {
    switcher_.setPaused(true);
}

void ControlService::Resume() {
    switcher_.setPaused(false);
}

void ControlService::tellPaused(bool paused) {
    if (!published_)
        return;
    QDBusMessage changed =
        QDBusMessage::createSignal(objectPath(), QStringLiteral("org.freedesktop.DBus.Properties"),
                                   QStringLiteral("PropertiesChanged"));
    changed << interfaceName() << QVariantMap{{QStringLiteral("Paused"), paused}} << QStringList();
    QDBusConnection::sessionBus().send(changed);
}

void ControlService::answer(const LevelCommands& levels, const std::optional<QString>& trouble) {
    if (!trouble || levels.unsaved()) {
        if (levelsChanged_)
            levelsChanged_();
    }
    if (!trouble)
        return;
    const QString text =
        levels.unsaved() ? *trouble + QStringLiteral("; Vellora uses it until it quits") : *trouble;
    qCInfo(lcShell).noquote() << QStringLiteral("a change asked on the session bus: %1").arg(text);
    if (calledFromDBus())
        sendErrorReply(levels.unsaved() ? QDBusError::Failed : QDBusError::InvalidArgs, text);
}

void ControlService::SetLevel(const QString& name, int level, const QString& output) {
    const SwitchStatus now = switcher_.status();
    LevelCommands levels(defaults_, now.output, now.outputDescription);
    const auto trouble = levels.setLevel(name, QString::number(level), output);
    answer(levels, trouble);
}

void ControlService::RemoveLevel(const QString& name, const QString& output) {
    const SwitchStatus now = switcher_.status();
    LevelCommands levels(defaults_, now.output, now.outputDescription);
    const auto trouble = levels.removeLevel(name, output);
    answer(levels, trouble);
}

QList<QStringList> ControlService::Levels() {
    QList<QStringList> levels;
    QStringList unreadable;
    for (const auto& level : LevelCommands(defaults_, {}, {}).levels(&unreadable))
        levels << QStringList{level.level, level.name, level.output};
    if (!unreadable.isEmpty() && calledFromDBus())
        sendErrorReply(
            QDBusError::Failed,
            QStringLiteral("the levels under \u201c%1\u201d in %2 cannot be read")
                .arg(unreadable.join(QStringLiteral("\u201d, \u201c")), defaults_.filePath()));
    return levels;
}

QVariantMap ControlService::Status() {
    const SwitchStatus now = switcher_.status();
    QVariantMap status{{QStringLiteral("Application"), now.application},
                       {QStringLiteral("CapturedVolume"), now.capturedVolume},
                       {QStringLiteral("Output"), now.output},
                       {QStringLiteral("OutputDescription"), now.outputDescription},
                       {QStringLiteral("Paused"), now.paused}};
    if (now.level)
        status.insert(QStringLiteral("Level"), *now.level);
    return status;
}

} // namespace vellora
