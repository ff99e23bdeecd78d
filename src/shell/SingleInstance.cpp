#include "SingleInstance.h"

#include "base/Logging.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QLocalServer>
#include <QLocalSocket>
#include <QLockFile>
#include <QThread>

namespace vellora {

namespace {

// Every wait on the other instance, or on the lock it holds, ends after this long.
constexpr int kLockWaitMs = 3000;
constexpr int kPeerWaitMs = 500;

QString lockError(QLockFile::LockError error) {
    switch (error) {
    case QLockFile::LockFailedError:
        return QStringLiteral("another start holds it");
    case QLockFile::PermissionError:
        return QStringLiteral("no permission");
    default:
        return QStringLiteral("it cannot be created");
    }
}

} // namespace

SingleInstance::SingleInstance(const QString& name, QObject* parent) : QObject(parent) {
    // The session's runtime folder is private to the user and to this login.
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    const QString key =
        runtime.isEmpty()
            ? name + QLatin1Char('-') + qEnvironmentVariable("USER", QStringLiteral("user"))
            : runtime + QLatin1Char('/') + name + QStringLiteral(".instance");
    // Starts at the same moment take turns: probing, clearing a stale socket and listening
    // happen as one step, so a later start always finds the earlier one listening.
    const QString lockPath = (runtime.isEmpty() ? QDir::tempPath() + QLatin1Char('/') + key : key) +
                             QStringLiteral(".lock");
    QLockFile lock(lockPath);
    // Retried often rather than with the lock's own growing pauses: every holder is quick.
    const QDeadlineTimer deadline(kLockWaitMs);
    bool locked = lock.tryLock(0);
    while (!locked && lock.error() == QLockFile::LockFailedError && !deadline.hasExpired()) {
        QThread::msleep(10);
        locked = lock.tryLock(0);
    }
    if (!locked)
        qCWarning(lcShell).noquote()
            << QStringLiteral("Cannot take the lock %1 (%2); starting without it.")
                   .arg(lockPath, lockError(lock.error()));

    QLocalSocket probe;
    probe.connectToServer(key);
    if (probe.waitForConnected(kPeerWaitMs)) {
        probe.write("reopen\n");
        probe.waitForBytesWritten(kPeerWaitMs);
        probe.disconnectFromServer();
        handedOver_ = true;
        return;
    }
    // Nobody answering on an existing name: a file left by a program that ended abruptly.
    // A peer too busy to answer in time keeps its name.
    if (probe.error() == QLocalSocket::ConnectionRefusedError)
        QLocalServer::removeServer(key);
    server_ = std::make_unique<QLocalServer>();
    server_->setSocketOptions(QLocalServer::UserAccessOption);
    if (!server_->listen(key)) {
        qCWarning(lcShell).noquote()
            << QStringLiteral("Cannot listen for other starts (%1); this one runs unguarded.")
                   .arg(server_->errorString());
        return;
    }
    connect(server_.get(), &QLocalServer::newConnection, this, [this] {
        while (QLocalSocket* peer = server_->nextPendingConnection()) {
            connect(peer, &QLocalSocket::disconnected, peer, &QObject::deleteLater);
            peer->disconnectFromServer();
            Q_EMIT reopened();
        }
    });
}

SingleInstance::~SingleInstance() = default;

} // namespace vellora
