#include "BusActivationSource.h"

#include "base/Logging.h"
#include "platform/linux/SessionBus.h"
#include "platform/linux/WindowNamer.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusServiceWatcher>

#include <utility>

namespace vellora {

namespace {

// Longer texts are not names of applications: what is kept of them is only ever looked up.
constexpr qsizetype kLongestText = 255;
constexpr qint64 kLargestPid = 1 << 22; // the kernel's own limit

QString tidy(const QString& text) {
    QString out = text.left(kLongestText).trimmed();
    for (QChar& c : out) {
        if (!c.isPrint())
            c = QLatin1Char(' ');
    }
    return out;
}

} // namespace

struct BusActivationSource::Impl {
    WindowNamer namer;
    QDBusServiceWatcher watcher;
    QString compositorOwner; // the unique name of the compositor's own connection
    bool strangerTold = false;
    bool heard = false; // from the compositor, since this program started

    Impl(DesktopEntrySource& entries, const QString& service, QObject* owner)
        : namer(entries), watcher(service, QDBusConnection::sessionBus(),
                                  QDBusServiceWatcher::WatchForOwnerChange, owner) {}
};

BusActivationSource::BusActivationSource(DesktopEntrySource& entries,
                                         const QString& compositorService, QObject* parent)
    : ActivationSource(parent), d(std::make_unique<Impl>(entries, compositorService, this)) {
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected())
        return;
    if (!bus.registerObject(kPath, this, QDBusConnection::ExportScriptableSlots) ||
        !sessionbus::requestName(kService)) {
        qCWarning(lcActivation).noquote()
            << QStringLiteral("the bus name %1 is taken; the compositor cannot reach "
                              "Vellora")
                   .arg(kService);
        return;
    }
    registered_ = true;
    startFromFirstReport();
    connect(&d->watcher, &QDBusServiceWatcher::serviceOwnerChanged, this,
            [this](const QString&, const QString&, const QString& owner) {
                d->compositorOwner = owner;
                if (owner.isEmpty())
                    compositorStopped();
                else
                    compositorStarted(); // restarted: it knows nothing of us any more
            });
    d->compositorOwner = sessionbus::nameOwner(compositorService);
}

BusActivationSource::~BusActivationSource() {
    if (!registered_)
        return;
    QDBusConnection bus = QDBusConnection::sessionBus();
    bus.unregisterObject(kPath);
    sessionbus::releaseName(kService);
}

QString BusActivationSource::unreachable(const QString& compositor) const {
    return registered_ ? QString()
                       : QStringLiteral("Vellora cannot take calls on the session bus; %1 cannot "
                                        "tell it the active application.")
                             .arg(compositor);
}

void BusActivationSource::WindowActivated(const QString& applicationId, const QString& windowClass,
                                          const QString& pid) {
    if (calledFromDBus() && message().service() != d->compositorOwner) {
        if (!std::exchange(d->strangerTold, true))
            qCWarning(lcActivation).noquote()
                << QStringLiteral("ignored window reports from %1, which is not the "
                                  "compositor")
                       .arg(tidy(message().service()));
        return;
    }
    if (!std::exchange(d->heard, true))
        heardFromCompositor();
    WindowFacts facts;
    bool ok = false;
    facts.pid = pid.trimmed().toLongLong(&ok);
    if (!ok || facts.pid < 0 || facts.pid > kLargestPid)
        facts.pid = 0;
    if (facts.pid == QCoreApplication::applicationPid()) {
        Q_EMIT ownWindowInFront(); // a popover or menu of this program: not an application switch
        return;
    }
    // Windows the shell cannot place with an application get an id of its own making.
    const QString id = tidy(applicationId);
    facts.kdeDesktopFile = id.startsWith(QLatin1String("window:")) ? QString() : id;
    facts.wmClass = tidy(windowClass);
    if (facts.kdeDesktopFile.isEmpty() && facts.wmClass.isEmpty()) {
        reportFront(std::nullopt);
        return;
    }
    reportFront(d->namer.name(std::move(facts)));
}

} // namespace vellora
