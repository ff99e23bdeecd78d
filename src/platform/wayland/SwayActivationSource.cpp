#include "SwayActivationSource.h"

#include "base/Logging.h"
#include "platform/Backoff.h"
#include "platform/linux/WindowNamer.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLocalSocket>
#include <QTimer>

#include <cstring>
#include <unistd.h>
#include <utility>

namespace vellora {

namespace {

// Every message on the socket: the magic text, the payload's length and the message's type
// (both 32-bit, in the machine's byte order), then the payload.
constexpr char kMagic[] = "i3-ipc";
constexpr qsizetype kMagicSize = sizeof(kMagic) - 1;
constexpr qsizetype kHeaderSize = kMagicSize + 8;
// A tree of thousands of windows is a few megabytes; more than this is not sway talking.
constexpr quint32 kLargestPayload = 32u << 20;

constexpr quint32 kSubscribe = 2;
constexpr quint32 kGetTree = 4;
constexpr quint32 kWorkspaceEvent = 0x80000000;
constexpr quint32 kWindowEvent = 0x80000003;

QByteArray frame(quint32 type, const QByteArray& payload) {
    QByteArray out(kMagic, kMagicSize);
    const quint32 header[2] = {quint32(payload.size()), type};
    out.append(reinterpret_cast<const char*>(header), sizeof header);
    return out + payload;
}

// The focused node of a tree, or an empty object.
QJsonObject focusedNode(const QJsonObject& node) {
    if (node.value(QLatin1String("focused")).toBool())
        return node;
    for (const char* children : {"nodes", "floating_nodes"}) {
        for (const QJsonValue child : node.value(QLatin1String(children)).toArray()) {
            if (QJsonObject found = focusedNode(child.toObject()); !found.isEmpty())
                return found;
        }
    }
    return {};
}

bool isWindow(const QJsonObject& node) {
    const QString type = node.value(QLatin1String("type")).toString();
    return (type == QLatin1String("con") || type == QLatin1String("floating_con")) &&
           (node.contains(QLatin1String("app_id")) ||
            node.contains(QLatin1String("window_properties")));
}

} // namespace

struct SwayActivationSource::Impl {
    WindowNamer namer;
    QString configuredPath;
    QLocalSocket socket; // children of the source: they move with it
    QTimer retry;
    QByteArray buffer;
    Backoff backoff;
    bool lossReported = false;
    qint64 currentWindow = 0; // the container last in front
    qint64 pendingWindow = 0; // in front, but not naming an application yet

    Impl(DesktopEntrySource& entries, QString path, QObject* owner)
        : namer(entries), configuredPath(std::move(path)), socket(owner), retry(owner) {}

    // The socket to try: the one named at start, or the newest sway socket of this user
    // beside it once that one is gone (a restarted sway names a new one).
    QString path() const {
        if (QFileInfo::exists(configuredPath))
            return configuredPath;
        const QString pattern = QStringLiteral("sway-ipc.%1.*.sock").arg(getuid());
        const QFileInfoList found =
            QFileInfo(configuredPath).dir().entryInfoList({pattern}, QDir::System, QDir::Time);
        // Only this user's own: in a shared folder such as /tmp anyone may make one by that name.
        for (const QFileInfo& candidate : found) {
            if (candidate.ownerId() == getuid())
                return candidate.filePath();
        }
        return configuredPath;
    }
};

SwayActivationSource::SwayActivationSource(DesktopEntrySource& entries, const QString& socketPath,
                                           QObject* parent)
    : ActivationSource(parent), d(std::make_unique<Impl>(entries, socketPath, this)) {
    d->retry.setSingleShot(true);
    connect(&d->retry, &QTimer::timeout, this, &SwayActivationSource::connectToCompositor);
    connect(&d->socket, &QLocalSocket::connected, this, &SwayActivationSource::connected);
    connect(&d->socket, &QLocalSocket::readyRead, this, &SwayActivationSource::readMessages);
    // A drop, and an attempt that found no compositor, both end here. (A failed attempt tells
    // its error while the socket still says it is connecting: the state that follows is the
    // one to go by.)
    connect(&d->socket, &QLocalSocket::stateChanged, this,
            [this](QLocalSocket::LocalSocketState state) {
                if (state == QLocalSocket::UnconnectedState)
                    lost();
            });
    startFromFirstReport();
    connectToCompositor();
}

SwayActivationSource::~SwayActivationSource() {
    d->socket.disconnect(this); // no loss to report while going away
}

bool SwayActivationSource::isAvailable() const {
    return d->socket.state() == QLocalSocket::ConnectedState;
}

QString SwayActivationSource::problem() const {
    return isAvailable() ? QString()
                         : QStringLiteral("The compositor's IPC socket %1 does not answer; volumes "
                                          "are switched once it does.")
                               .arg(d->configuredPath);
}

QString SwayActivationSource::socketFromEnvironment() {
    const QString sway = qEnvironmentVariable("SWAYSOCK");
    return sway.isEmpty() ? qEnvironmentVariable("I3SOCK") : sway;
}

void SwayActivationSource::connectToCompositor() {
    d->buffer.clear();
    d->socket.connectToServer(d->path());
}

void SwayActivationSource::connected() {
    // Told of every change of focus from now on; then asked what is in front already.
    d->socket.write(frame(kSubscribe, R"(["window","workspace"])"));
    d->socket.write(frame(kGetTree, {}));
}

void SwayActivationSource::lost() {
    if (d->retry.isActive())
        return; // told twice of one loss (aborting below tells again)
    if (!std::exchange(d->lossReported, true))
        qCWarning(lcActivation, "no answer on the compositor's IPC socket; retrying");
    d->retry.start(d->backoff.next());
    d->socket.abort();
}

void SwayActivationSource::readMessages() {
    d->buffer += d->socket.readAll();
    while (d->buffer.size() >= kHeaderSize) {
        quint32 header[2];
        std::memcpy(header, d->buffer.constData() + kMagicSize, sizeof header);
        if (!d->buffer.startsWith(QByteArray(kMagic, kMagicSize)) || header[0] > kLargestPayload) {
            if (!d->lossReported) // said once, not at every attempt on the same socket
                qCWarning(lcActivation,
                          "the compositor's IPC socket speaks another protocol; reconnecting");
            lost();
            return;
        }
        if (d->buffer.size() < kHeaderSize + qsizetype(header[0]))
            return; // the rest comes later
        const QByteArray payload = d->buffer.mid(kHeaderSize, header[0]);
        d->buffer.remove(0, kHeaderSize + header[0]);
        message(header[1], payload);
    }
}

void SwayActivationSource::message(quint32 type, const QByteArray& payload) {
    const QJsonObject body = QJsonDocument::fromJson(payload).object();
    const QString change = body.value(QLatin1String("change")).toString();
    if (type == kSubscribe) {
        if (!body.value(QLatin1String("success")).toBool()) {
            qCWarning(lcActivation, "the compositor refused to report window changes");
            return;
        }
        // The compositor is back once it answers in its own protocol, not as soon as something
        // accepts the connection: a socket that takes it and then talks nonsense or hangs up
        // is tried again ever more slowly, and quietly.
        d->backoff.reset();
        if (std::exchange(d->lossReported, false))
            qCInfo(lcActivation, "connected to the compositor's IPC socket");
    } else if (type == kGetTree) {
        const QJsonObject focused = focusedNode(body);
        if (isWindow(focused))
            windowFocused(focused);
        else
            reportFront(std::nullopt); // an empty workspace, or nothing at all
    } else if (type == kWindowEvent) {
        const QJsonObject window = body.value(QLatin1String("container")).toObject();
        const qint64 id = window.value(QLatin1String("id")).toInteger();
        if (change == QLatin1String("focus")) {
            windowFocused(window);
        } else if (change == QLatin1String("close") && id == d->currentWindow) {
            d->currentWindow = 0; // unless another window takes the focus, none is in front
            reportFront(std::nullopt);
        } else if (change == QLatin1String("move") && id == d->currentWindow) {
            // Moved to another workspace or the scratchpad, it leaves the focus behind, on a
            // window or an empty workspace, and sway tells nothing more: ask what is in front.
            d->socket.write(frame(kGetTree, {}));
        } else if (id == d->pendingWindow && change != QLatin1String("close")) {
            windowFocused(window); // the window in front may name its application now
        }
    } else if (type == kWorkspaceEvent && change == QLatin1String("focus")) {
        const QJsonObject current = body.value(QLatin1String("current")).toObject();
        if (current.value(QLatin1String("nodes")).toArray().isEmpty() &&
            current.value(QLatin1String("floating_nodes")).toArray().isEmpty()) {
            d->currentWindow = 0; // an empty workspace: no application in front
            reportFront(std::nullopt);
        }
    }
}

void SwayActivationSource::windowFocused(const QJsonObject& window) {
    WindowFacts facts;
    facts.pid = window.value(QLatin1String("pid")).toInteger();
    d->currentWindow = window.value(QLatin1String("id")).toInteger();
    d->pendingWindow = 0;
    if (facts.pid == QCoreApplication::applicationPid()) {
        Q_EMIT ownWindowInFront(); // a popover or menu of this program: not an application switch
        return;
    }
    // A Wayland window's app_id names its desktop entry; the class stands in where it does not.
    const QString appId = window.value(QLatin1String("app_id")).toString();
    const QJsonObject x11 = window.value(QLatin1String("window_properties")).toObject();
    facts.gtkApplicationId = appId;
    facts.wmClass = appId.isEmpty() ? x11.value(QLatin1String("class")).toString() : appId;
    facts.wmInstance = x11.value(QLatin1String("instance")).toString();
    if (facts.wmClass.isEmpty() && facts.wmInstance.isEmpty()) {
        d->pendingWindow = d->currentWindow; // until it names an application, none is in front
        reportFront(std::nullopt);
        return;
    }
    reportFront(d->namer.name(std::move(facts)));
}

} // namespace vellora
