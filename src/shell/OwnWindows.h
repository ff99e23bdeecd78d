#pragma once

#include "core/ActivationFilter.h"

#include <QEvent>
#include <QWidget>

namespace vellora {

// Tells the activation filter whenever a window of this program is about to show (the list,
// the editor, a menu, an alert), before the window manager hands it the focus: the moment in
// between, with the focus on no window, is then not taken for the user leaving the application
// in front. Installed on the application, it sees every window's show event.
class OwnWindows : public QObject {
public:
    explicit OwnWindows(ActivationFilter* activations, QObject* parent = nullptr)
        : QObject(parent), activations_(activations) {}

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (activations_ && event->type() == QEvent::Show && watched->isWidgetType() &&
            static_cast<QWidget*>(watched)->isWindow())
            activations_->ownWindowComing();
        return false;
    }

private:
    ActivationFilter* activations_;
};

} // namespace vellora
