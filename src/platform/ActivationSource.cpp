#include "ActivationSource.h"

#include "core/HandOver.h"

#include <utility>

namespace vellora {

// The timer is a child, so that it moves along when the source is moved to another thread.
ActivationSource::ActivationSource(QObject* parent) : QObject(parent), settle_(this) {
    settle_.setSingleShot(true);
    connect(&settle_, &QTimer::timeout, this, [this] {
        ownWindowComing_.invalidate();
        report(std::nullopt);
    });
}

void ActivationSource::ownWindowComing() {
    handover::post(this, [this] {
        ownWindowComing_.start();
        if (settle_.isActive())
            settle_.start(kOwnWindowDelay);
    });
}

QString ActivationSource::identity(const std::optional<RunningApplication>& application) {
    if (!application)
        return {};
    if (application->bundleIdentifier && !application->bundleIdentifier->isEmpty())
        return QStringLiteral("id:") + *application->bundleIdentifier;
    if (application->pid > 0)
        return QStringLiteral("pid:") + QString::number(application->pid);
    return QStringLiteral("name:") + application->localizedName.value_or(QString());
}

void ActivationSource::frontChanged(const std::optional<RunningApplication>& application) {
    if (std::exchange(startPending_, false)) {
        settle_.stop();
        known_ = true;
        current_ = identity(application);
        return;
    }
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

void ActivationSource::ownWindowInFront() {
    // A pending "nothing in front" was only the way into this program's window.
    settle_.stop();
    ownWindowComing_.invalidate();
}

void ActivationSource::frontReturned(const std::optional<RunningApplication>& application) {
    if (!application)
        return;
    settle_.stop();
    known_ = false; // not a repeat
    report(application);
}

void ActivationSource::report(const std::optional<RunningApplication>& application) {
    const QString id = identity(application);
    if (known_ && id == current_)
        return;
    known_ = true;
    current_ = id;
    Q_EMIT applicationActivated(application);
}

} // namespace vellora
