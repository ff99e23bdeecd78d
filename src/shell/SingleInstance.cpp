#include "SingleInstance.h"

#include <QLocalServer>
#include <QLocalSocket>

namespace vellora {

SingleInstance::SingleInstance(const QString& name, QObject* parent) : QObject(parent) {
    // The session's runtime folder is private to the user and to this login.
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    const QString key = runtime.isEmpty()
                            ? name + QLatin1Char('-') + qEnvironmentVariable("USER", "user")
                            : runtime + QLatin1Char('/') + name + QStringLiteral(".instance");
    QLocalSocket probe;
    probe.connectToServer(key);
    if (probe.waitForConnected(500)) {
        probe.write("reopen\n");
        probe.waitForBytesWritten(500);
        handedOver_ = true;
        return;
    }
    QLocalServer::removeServer(key); // a file left by a program that ended abruptly
    server_ = std::make_unique<QLocalServer>();
    server_->setSocketOptions(QLocalServer::UserAccessOption);
    server_->listen(key);
    connect(server_.get(), &QLocalServer::newConnection, this, [this] {
        while (QLocalSocket* peer = server_->nextPendingConnection()) {
            connect(peer, &QLocalSocket::disconnected, peer, &QObject::deleteLater);
            peer->disconnectFromServer();
            emit reopened();
        }
    });
}

SingleInstance::~SingleInstance() = default;

} // namespace vellora
