#include "FeedRequest.h"

#include "core/Appcast.h"

#include <QHostAddress>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>

namespace vellora {

namespace {

bool isLoopback(const QUrl& url) {
    const QString host = url.host();
    return host.compare(QLatin1String("localhost"), Qt::CaseInsensitive) == 0 ||
           QHostAddress(host).isLoopback();
}

QString megabytes(qint64 bytes) {
    return QString::number(double(bytes) / (1024 * 1024), 'g', 3);
}

} // namespace

QString FeedRequest::refusal(const QUrl& url) {
    if (!url.isValid() || url.host().isEmpty())
        return QStringLiteral("the update address is not a valid web address.");
    const QString scheme = url.scheme().toLower();
    if (scheme == QLatin1String("https"))
        return {};
    if (scheme == QLatin1String("http") && isLoopback(url))
        return {};
    return QStringLiteral("the update address (%1) is not a secure HTTPS address.")
        .arg(url.toDisplayString());
}

FeedRequest::FeedRequest(QNetworkAccessManager& network, Limits limits, QObject* parent)
    : QObject(parent), network_(network), limits_(limits) {
    deadline_.setSingleShot(true);
    connect(&deadline_, &QTimer::timeout, this, [this] {
        fail(QStringLiteral("the server did not answer within %1 seconds.")
                 .arg(std::chrono::duration<double>(limits_.timeout).count()));
    });
}

FeedRequest::~FeedRequest() {
    dropReply();
}

void FeedRequest::dropReply() {
    if (!reply_)
        return;
    const bool running = reply_->isRunning();
    reply_->disconnect(this);
    reply_->abort();
    reply_->deleteLater();
    // A download given up half way (a server that stalls in the handshake, a cap, a cancel)
    // can leave its connection stuck in the manager, and the next request to that host waits
    // behind it instead of connecting anew: every later check would time out the same way.
    if (running)
        network_.clearConnectionCache();
}

void FeedRequest::start(const QUrl& url, const QString& userAgent) {
    if (const QString why = refusal(url); !why.isEmpty()) {
        // Said after the caller has returned, as any other outcome.
        const auto failLater = [this, why] { fail(why); };
        QMetaObject::invokeMethod(this, failLater, Qt::QueuedConnection);
        return;
    }
    QNetworkRequest request(url);
    request.setHeader(QNetworkRequest::UserAgentHeader, userAgent);
    request.setRawHeader("Accept", "application/rss+xml, application/xml;q=0.9, */*;q=0.5");
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute,
                         QNetworkRequest::UserVerifiedRedirectPolicy);
    request.setMaximumRedirectsAllowed(5);
    request.setAttribute(QNetworkRequest::CacheLoadControlAttribute,
                         QNetworkRequest::AlwaysNetwork);

    reply_ = network_.get(request);
    reply_->setReadBufferSize(0);
    connect(reply_, &QNetworkReply::redirected, this, [this](const QUrl& target) {
        if (target.scheme().compare(QLatin1String("https"), Qt::CaseInsensitive) == 0)
            Q_EMIT reply_->redirectAllowed();
        else
            fail(QStringLiteral("the server sent the request on to an insecure address (%1).")
                     .arg(Appcast::brief(target.toDisplayString(), 80)));
    });
    connect(reply_, &QNetworkReply::metaDataChanged, this, [this] {
        const QVariant length = reply_->header(QNetworkRequest::ContentLengthHeader);
        if (length.isValid() && length.toLongLong() > limits_.maxBytes)
            fail(QStringLiteral("the update information is larger than %1 MB.")
                     .arg(megabytes(limits_.maxBytes)));
    });
    connect(reply_, &QNetworkReply::readyRead, this, &FeedRequest::onReadyRead);
    connect(reply_, &QNetworkReply::finished, this, &FeedRequest::onFinished);
    deadline_.start(limits_.timeout);
}

void FeedRequest::onReadyRead() {
    if (done_)
        return;
    // A server may send more than it announced, or announce nothing: count what arrives.
    body_ += reply_->read(limits_.maxBytes + 1 - body_.size());
    if (body_.size() > limits_.maxBytes)
        fail(QStringLiteral("the update information is larger than %1 MB.")
                 .arg(megabytes(limits_.maxBytes)));
}

void FeedRequest::onFinished() {
    if (done_)
        return;
    onReadyRead();
    if (done_)
        return;
    const int status = reply_->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    if (reply_->error() != QNetworkReply::NoError && status == 0) {
        fail(reply_->errorString() + QLatin1Char('.'));
        return;
    }
    // Lost after the server said yes: what arrived is cut short, not a feed.
    if (reply_->error() != QNetworkReply::NoError && status == 200) {
        fail(QStringLiteral("the connection broke off before the update information arrived."));
        return;
    }
    if (status != 200) {
        const QString reason = Appcast::brief(
            reply_->attribute(QNetworkRequest::HttpReasonPhraseAttribute).toString(), 80);
        fail(QStringLiteral("the server answered %1%2.")
                 .arg(status)
                 .arg(reason.isEmpty() ? QString() : QLatin1Char(' ') + reason));
        return;
    }
    done_ = true;
    deadline_.stop();
    reply_->deleteLater();
    Q_EMIT finished(body_, {});
}

void FeedRequest::fail(const QString& error) {
    if (done_)
        return;
    done_ = true;
    deadline_.stop();
    dropReply();
    body_.clear();
    Q_EMIT finished({}, error);
}

} // namespace vellora
