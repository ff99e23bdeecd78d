#include "ControlService.h"

#include "base/Logging.h"
#include "core/LevelCommands.h"
#include "core/SwitchWorker.h"
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

void ControlService::setPaused(bool paused) {
    switcher_.setPaused(paused);
}

void ControlService::Pause() {
    setPaused(true);
}

void ControlService::Resume() {
    setPaused(false);
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

void ControlService::answer(const std::optional<QString>& trouble) {
    if (!trouble) {
        if (levelsChanged_)
            levelsChanged_();
        return;
    }
    qCInfo(lcShell).noquote()
        << QStringLiteral("refused a change from the session bus: %1").arg(*trouble);
    if (calledFromDBus())
        sendErrorReply(QDBusError::InvalidArgs, *trouble);
}

void ControlService::SetLevel(const QString& name, int level, const QString& output) {
    const SwitchStatus now = switcher_.status();
    answer(LevelCommands(defaults_, now.output, now.outputDescription)
               .setLevel(name, QString::number(level), output));
}

void ControlService::RemoveLevel(const QString& name, const QString& output) {
    const SwitchStatus now = switcher_.status();
    answer(LevelCommands(defaults_, now.output, now.outputDescription).removeLevel(name, output));
}

QList<QStringList> ControlService::Levels() {
    QList<QStringList> levels;
    for (const auto& level : LevelCommands(defaults_, {}, {}).levels())
        levels << QStringList{level.level, level.name, level.output};
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
