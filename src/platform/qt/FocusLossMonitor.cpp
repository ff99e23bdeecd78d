#include "FocusLossMonitor.h"

#include <QEvent>
#include <QGuiApplication>

namespace vellora {

FocusLossMonitor::FocusLossMonitor(QObject* parent) : GlobalMouseMonitor(parent), settle_(this) {
    settle_.setSingleShot(true);
    settle_.setInterval(kSettleDelay);
    connect(&settle_, &QTimer::timeout, this, [this] {
        if (QGuiApplication::applicationState() != Qt::ApplicationActive)
            Q_EMIT pressed(0, QPoint());
    });
}

void FocusLossMonitor::start() {
    auto* app = qobject_cast<QGuiApplication*>(QCoreApplication::instance());
    if (!app || watch_)
        return;
    app->installEventFilter(this);
    watch_ = connect(app, &QGuiApplication::applicationStateChanged, this,
                     [this](Qt::ApplicationState state) {
                         if (state == Qt::ApplicationActive) {
                             settle_.stop();
                         } else if (state != Qt::ApplicationInactive) {
                             return;
                         } else if (ownWindowHidden_.isValid() &&
                                    ownWindowHidden_.elapsed() < kSettleDelay.count()) {
                             // A window of this program went away (an editor closing): the
                             // compositor hands the keyboard back to another of its windows
                             // in a moment, and only a loss that lasts is one to another
                             // application.
                             if (!settle_.isActive())
                                 settle_.start();
                         } else {
                             Q_EMIT pressed(0, QPoint());
                         }
                     });
}

void FocusLossMonitor::stop() {
    if (auto* app = QCoreApplication::instance())
        app->removeEventFilter(this);
    disconnect(watch_);
    watch_ = {};
    settle_.stop();
}

bool FocusLossMonitor::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::Hide && watched->isWindowType())
        ownWindowHidden_.start();
    return false;
}

} // namespace vellora
