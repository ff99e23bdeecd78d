#pragma once

#include "FeedRequest.h"
#include "core/Appcast.h"

#include <QDateTime>
#include <QNetworkAccessManager>
#include <QObject>
#include <QTimer>
#include <functional>
#include <memory>
#include <optional>

namespace vellora {

class AlertPresenter;
class Updater;
class UserDefaults;
class Workspace;

// Keeps the program up to date: reads the vendor's update feed, compares its newest release
// with this version and tells the user. A check the user asks for answers with a dialog; when
// automatic checks are on, at most one quiet check runs per interval, at the time it falls
// due (the time of the last check is stored), and a newer version is only announced.
class Updater : public QObject {
    Q_OBJECT

public:
    static inline const QString kAutomaticChecks = QStringLiteral("SUEnableAutomaticChecks");
    static inline const QString kAutomaticDownloads = QStringLiteral("SUAutomaticallyUpdate");
    static inline const QString kLastCheckTime = QStringLiteral("SULastCheckTime");

    struct Services {
        UserDefaults& defaults;
        AlertPresenter& alerts;
        Workspace* workspace = nullptr; // opens a download page; none: no such button
        QString currentVersion;         // this program's version (the bundle's)
        std::function<QDateTime()> now = [] { return QDateTime::currentDateTimeUtc(); };
        FeedRequest::Limits limits = {};
    };

    explicit Updater(Services services, QObject* parent = nullptr);
    ~Updater() override;

    void setFeedURL(const QUrl& url);
    QUrl feedURL() const { return feedURL_; }
    // Seconds between automatic checks; at least an hour.
    void setUpdateCheckInterval(double seconds);
    double updateCheckInterval() const { return interval_; }

    bool automaticallyChecksForUpdates() const;
    void setAutomaticallyChecksForUpdates(bool on);
    bool automaticallyDownloadsUpdates() const;
    void setAutomaticallyDownloadsUpdates(bool on);
    // "Vellora/<version>": sent with every request, and the text of every feed read.
    QString userAgentString() const;

    // A check the user asked for; its outcome is shown in a dialog.
    void checkForUpdates();
    // A quiet check: only a newer version is announced (updateFoundQuietly).
    void checkForUpdatesInBackground();
    bool isChecking() const { return request_ != nullptr; }
    // Stops the check under way without a word; checkFinished follows.
    void cancelCheck();
    // When the next automatic check falls due; nothing while automatic checks are off.
    std::optional<QDateTime> nextCheckTime() const;
    // Runs the automatic check when it is due, else waits for it.
    void checkIfDue();

Q_SIGNALS:
    // What each check found, in this order: the feed was read; it lists a newer version than
    // this one, or nothing newer.
    void feedLoaded(const Appcast& appcast);
    void updateFound(const AppcastItem& item);
    void noUpdateFound();
    void updateFoundQuietly(const AppcastItem& item);
    // A check ended, whatever came of it (before the user's dialog, if any, is shown).
    void checkFinished();

private:
    void startCheck(bool userInitiated);
    void finish(const QByteArray& body, const QString& error);
    void answerUser(const std::optional<AppcastItem>& newer, const QString& error);
    std::optional<QDateTime> lastCheckTime() const;
    void storeLastCheckTime(const QDateTime& when);
    void retryWithinTheHour();
    void reschedule();

    Services services_;
    QNetworkAccessManager network_;
    QUrl feedURL_;
    double interval_ = 86400;
    QTimer schedule_;
    std::unique_ptr<FeedRequest> request_;
    bool userWaiting_ = false;
};

} // namespace vellora
