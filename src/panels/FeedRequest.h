#pragma once

#include <QByteArray>
#include <QObject>
#include <QPointer>
#include <QTimer>
#include <QUrl>
#include <chrono>

class QNetworkAccessManager;
class QNetworkReply;

namespace vellora {

// One download of an update feed, bounded in time and size. Plain HTTP is accepted only for
// this computer (tests, a local mirror); every redirect must lead to HTTPS.
class FeedRequest : public QObject {
    Q_OBJECT

public:
    struct Limits {
        std::chrono::milliseconds timeout{30000}; // for the whole download
        qint64 maxBytes = qint64{2} * 1024 * 1024;
    };

    // Why the address may not be fetched, or empty when it may.
    static QString refusal(const QUrl& url);

    FeedRequest(QNetworkAccessManager& network, Limits limits, QObject* parent = nullptr);
    ~FeedRequest() override;

    // Starts the download; finished follows exactly once, also for a refused address.
    void start(const QUrl& url, const QString& userAgent);

Q_SIGNALS:
    // The body on success; otherwise an empty body and a sentence saying what went wrong.
    void finished(const QByteArray& body, const QString& error);

private:
    void fail(const QString& error);
    // Lets go of the reply, and of the manager's connections when it was still running.
    void dropReply();
    void onReadyRead();
    void onFinished();

    QNetworkAccessManager& network_;
    Limits limits_;
    QPointer<QNetworkReply> reply_;
    QByteArray body_;
    QTimer deadline_;
    bool done_ = false;
};

} // namespace vellora
