#include "ActivationFilter.h"

#include "base/HandOver.h"

#include <QThread>

namespace vellora {

// The timer is a child, so that it moves along when the filter is moved to another thread.
ActivationFilter::ActivationFilter(ActivationSource& source, QObject* parent)
    : QObject(parent), settle_(this) {
    settle_.setSingleShot(true);
    connect(&settle_, &QTimer::timeout, this, [this] {
        ownWindowComing_.invalidate();
        report(std::nullopt);
    });
    connect(&source, &ActivationSource::frontAtStart, this, &ActivationFilter::frontAtStart);
    connect(&source, &ActivationSource::frontChanged, this, &ActivationFilter::frontChanged);
    connect(&source, &ActivationSource::ownWindowInFront, this,
            &ActivationFilter::ownWindowInFront);
    connect(&source, &ActivationSource::frontReturned, this, &ActivationFilter::frontReturned);
}

void ActivationFilter::ownWindowComing() {
    handover::post(this, [this] {
        ownWindowComing_.start();
        if (settle_.isActive())
            settle_.start(kOwnWindowDelay);
    });
}

QString ActivationFilter::identity(const std::optional<RunningApplication>& application) {
    if (!application)
        return {};
    if (application->bundleIdentifier && !application->bundleIdentifier->isEmpty())
        return QStringLiteral("id:") + *application->bundleIdentifier;
    if (application->pid > 0)
        return QStringLiteral("pid:") + QString::number(application->pid);
    return QStringLiteral("name:") + application->localizedName.value_or(QString());
}

void ActivationFilter::frontAtStart(const std::optional<RunningApplication>& application) {
    settle_.stop();
    known_ = true;
    current_ = identity(application);
}

void ActivationFilter::frontChanged(const std::optional<RunningApplication>& application) {
    if (!application) {
        // Wait: a window following at once makes this instant nothing.
        if (!known_ || !current_.isEmpty()) {
            const bool own =
                ownWindowComing_.isValid() && !ownWindowComing_.hasExpired(kOwnWindowDelay.count());
            if (!settle_.isActive())
                settle_.start(own ? kOwnWindowDelay : kSettleDelay);
        }
        return;
    }
    settle_.stop();
    report(application);
}

void ActivationFilter::ownWindowInFront() {
    settle_.stop();
    ownWindowComing_.invalidate();
}

void ActivationFilter::frontReturned(const std::optional<RunningApplication>& application) {
    if (!application)
        return;
    settle_.stop();
    known_ = false; // not a repeat
    report(application);
}

void ActivationFilter::report(const std::optional<RunningApplication>& application) {
    Q_ASSERT(QThread::currentThread() == thread()); // the source's, which reports here
    const QString id = identity(application);
    if (known_ && id == current_)
        return;
    known_ = true;
    current_ = id;
    Q_EMIT applicationActivated(application);
}

} // namespace vellora
