#include "Updater.h"

#include "Alert.h"
#include "base/Logging.h"
#include "core/UserDefaults.h"
#include "core/Version.h"
#include "platform/Workspace.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <utility>

namespace vellora {

namespace {

constexpr double kMinimumInterval = 3600; // never ask the vendor's server more than hourly
constexpr qint64 kRetrySeconds = 3600;    // after a failed check (no network yet at login)

} // namespace

Updater::Updater(Services services, QObject* parent)
    : QObject(parent), services_(std::move(services)) {
    schedule_.setSingleShot(true);
    connect(&schedule_, &QTimer::timeout, this, &Updater::checkIfDue);
}

Updater::~Updater() = default;

void Updater::setFeedURL(const QUrl& url) {
    feedURL_ = url;
    reschedule();
}

void Updater::setUpdateCheckInterval(double seconds) {
    interval_ = std::isfinite(seconds) ? std::max(seconds, kMinimumInterval) : 86400;
    reschedule();
}

bool Updater::automaticallyChecksForUpdates() const {
    return services_.defaults.boolValue(kAutomaticChecks);
}

void Updater::setAutomaticallyChecksForUpdates(bool on) {
    services_.defaults.setBool(kAutomaticChecks, on);
    reschedule();
}

bool Updater::automaticallyDownloadsUpdates() const {
    return services_.defaults.boolValue(kAutomaticDownloads);
}

void Updater::setAutomaticallyDownloadsUpdates(bool on) {
    // Kept for the menu's sake; this updater never downloads on its own.
    services_.defaults.setBool(kAutomaticDownloads, on);
}

QString Updater::userAgentString() const {
    return QStringLiteral("Vellora/") + services_.currentVersion;
}

void Updater::checkForUpdates() {
    // A quiet check under way becomes the user's: its outcome is shown when it ends.
    userWaiting_ = true;
    if (!isChecking())
        startCheck(true);
}

void Updater::checkForUpdatesInBackground() {
    if (!isChecking())
        startCheck(false);
}

std::optional<QDateTime> Updater::lastCheckTime() const {
    const QDateTime t = QDateTime::fromString(services_.defaults.value(kLastCheckTime).toString(),
                                              Qt::ISODateWithMs);
    return t.isValid() ? std::optional(t) : std::nullopt;
}

void Updater::storeLastCheckTime(const QDateTime& when) {
    services_.defaults.setValue(kLastCheckTime, when.toUTC().toString(Qt::ISODateWithMs));
}

std::optional<QDateTime> Updater::nextCheckTime() const {
    if (!automaticallyChecksForUpdates() || !feedURL_.isValid())
        return std::nullopt;
    const QDateTime now = services_.now();
    const auto last = lastCheckTime();
    if (!last)
        return now; // never checked: due at once
    // A last check "in the future" means the clock was set back: count from now.
    return std::min(*last, now).addMSecs(qint64(interval_ * 1000));
}

void Updater::checkIfDue() {
    const auto due = nextCheckTime();
    if (due && *due <= services_.now())
        checkForUpdatesInBackground();
    else
        reschedule();
}

void Updater::reschedule() {
    schedule_.stop();
    // A last check "in the future" (the clock set back, or a stored time that is garbage) would
    // hold every check off until that day: the interval counts from now instead.
    const QDateTime now = services_.now();
    if (const auto last = lastCheckTime(); last && *last > now)
        storeLastCheckTime(now);
    const auto due = nextCheckTime();
    if (!due || isChecking())
        return; // the check under way schedules the next one
    const qint64 wait = std::clamp<qint64>(now.msecsTo(*due), 0, std::numeric_limits<int>::max());
    schedule_.start(int(wait));
}

void Updater::startCheck(bool userInitiated) {
    userWaiting_ = userInitiated;
    // Stored at the start, so that a check that fails is not repeated before the next interval.
    storeLastCheckTime(services_.now());
    request_ = std::make_unique<FeedRequest>(network_, services_.limits);
    connect(request_.get(), &FeedRequest::finished, this, &Updater::finish, Qt::QueuedConnection);
    request_->start(feedURL_, userAgentString());
}

void Updater::cancelCheck() {
    if (!isChecking())
        return;
    request_.reset();
    userWaiting_ = false;
    retryWithinTheHour(); // what was called off did not count as a check
    reschedule();
    Q_EMIT checkFinished();
}

void Updater::retryWithinTheHour() {
    const QDateTime retry = services_.now().addSecs(kRetrySeconds - qint64(interval_));
    storeLastCheckTime(retry);
}

void Updater::finish(const QByteArray& body, const QString& fetchError) {
    request_.reset();
    const bool user = std::exchange(userWaiting_, false);

    QString error = fetchError;
    std::optional<Appcast> appcast;
    if (error.isEmpty()) {
        QString why;
        appcast = Appcast::parse(body, &why);
        if (!appcast)
            error = QStringLiteral("the update information could not be read (%1).").arg(why);
        else if (services_.currentVersion.isEmpty())
            error = QStringLiteral("this copy of Vellora does not know its own version.");
        if (!error.isEmpty())
            appcast.reset();
    }
    // Try again within the hour rather than a day later: the check that failed may have run
    // before the network was up.
    if (!error.isEmpty())
        retryWithinTheHour();
    reschedule();

    std::optional<AppcastItem> newer;
    if (appcast) {
        appcast->userAgentString = userAgentString();
        Q_EMIT feedLoaded(*appcast);
        const auto newest = appcast->newest();
        if (newest && compareVersions(newest->version, services_.currentVersion) > 0)
            newer = newest;
        if (newer)
            Q_EMIT updateFound(*newer);
        else
            Q_EMIT noUpdateFound();
    } else {
        qCWarning(lcUpdates).noquote() << "the update check failed:" << error;
    }

    Q_EMIT checkFinished();
    if (user)
        answerUser(newer, error);
    else if (newer)
        Q_EMIT updateFoundQuietly(*newer);
}

void Updater::answerUser(const std::optional<AppcastItem>& newer, const QString& error) {
    AlertSpec alert;
    alert.style = AlertSpec::Style::Informational;
    if (!error.isEmpty()) {
        alert.style = AlertSpec::Style::Warning;
        alert.messageText = QStringLiteral("Update Error!");
        alert.informativeText =
            QStringLiteral("Vellora could not check for updates: %1 Please try again later.")
                .arg(error);
        services_.alerts.runModal(alert);
        return;
    }
    if (!newer) {
        alert.messageText = QStringLiteral("You\u2019re up to date!");
        alert.informativeText =
            QStringLiteral("Vellora %1 is currently the newest version available.")
                .arg(services_.currentVersion);
        services_.alerts.runModal(alert);
        return;
    }
    const bool canOpen = services_.workspace && !newer->downloadPage.isEmpty();
    alert.messageText = QStringLiteral("A new version of Vellora is available!");
    alert.informativeText = QStringLiteral("Vellora %1 is now available\u2014you have %2.")
                                .arg(newer->displayVersion, services_.currentVersion);
    if (canOpen) {
        alert.informativeText += QStringLiteral(" Would you like to open its download page?");
        alert.buttons = {QStringLiteral("Download"), QStringLiteral("Later")};
    }
    if (services_.alerts.runModal(alert) == AlertPresenter::kFirstButton && canOpen)
        services_.workspace->openUrl(newer->downloadPage);
}

} // namespace vellora
