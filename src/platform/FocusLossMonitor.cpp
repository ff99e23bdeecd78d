#include "FocusLossMonitor.h"

#include <QGuiApplication>

namespace vellora {

void FocusLossMonitor::start() {
    auto* app = qobject_cast<QGuiApplication*>(QCoreApplication::instance());
    if (!app || watch_)
        return;
    watch_ = connect(app, &QGuiApplication::applicationStateChanged, this,
                     [this](Qt::ApplicationState state) {
                         if (state == Qt::ApplicationInactive)
                             emit pressed(0, QPoint());
                     });
}

void FocusLossMonitor::stop() {
    disconnect(watch_);
    watch_ = {};
}

} // namespace vellora
