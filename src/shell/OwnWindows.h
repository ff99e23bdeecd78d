#pragma once

#include "platform/ActivationSource.h"

#include <QEvent>
#include <QWidget>

namespace vellora {

// Tells the activation source whenever a window of this program is about to show (the list,
// the editor, a menu, an alert), before the window manager hands it the focus: the moment in
// between, with the focus on no window, is then not taken for the user leaving the application
// in front. Installed on the application, it sees every window's show event.
class OwnWindows : public QObject {
public:
    explicit OwnWindows(ActivationSource* source, QObject* parent = nullptr)
        : QObject(parent), source_(source) {}

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (source_ && event->type() == QEvent::Show && watched->isWidgetType() &&
            static_cast<QWidget*>(watched)->isWindow())
            source_->ownWindowComing();
        return false;
    }

private:
    ActivationSource* source_;
};

} // namespace vellora
