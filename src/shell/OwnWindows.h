#pragma once

#include "core/ActivationFilter.h"

#include <QEvent>
#include <QGuiApplication>
#include <QWidget>
#include <QWindow>
#include <functional>

namespace vellora {

// Tells the activation filter whenever a window of this program is about to show (the list,
// the editor, a menu, an alert), before the window manager hands it the focus: the moment in
// between, with the focus on no window, is then not taken for the user leaving the application
// in front. Installed on the application, it sees every window's show event. And it tells
// whether one of them has the focus: Qt keeps a window that had it as the focus window after it
// hides, so a window hidden counts as a change too.
class OwnWindows : public QObject {
public:
    OwnWindows(ActivationFilter* activations, std::function<void(bool)> focused,
               QObject* parent = nullptr)
        : QObject(parent), activations_(activations), focused_(std::move(focused)) {
        connect(qApp, &QGuiApplication::focusWindowChanged, this, &OwnWindows::tellFocus);
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        const bool window = watched->isWidgetType() && static_cast<QWidget*>(watched)->isWindow();
        if (activations_ && event->type() == QEvent::Show && window)
            activations_->ownWindowComing();
        if (window && (event->type() == QEvent::Show || event->type() == QEvent::Hide))
            QMetaObject::invokeMethod(this, &OwnWindows::tellFocus, Qt::QueuedConnection);
        return false;
    }

private:
    void tellFocus() {
        const QWindow* window = QGuiApplication::focusWindow();
        focused_(window && window->isVisible());
    }

    ActivationFilter* activations_;
    std::function<void(bool)> focused_;
};

} // namespace vellora
