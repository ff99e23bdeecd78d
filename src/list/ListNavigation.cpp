#include "ListNavigation.h"

#include "AppListView.h"
#include "core/Diagnostics.h"

#include <QApplication>
#include <QKeyEvent>
#include <QToolButton>
#include <QWheelEvent>
#include <QWidget>

namespace vellora {

ListNavigation::ListNavigation(AppListView& list, QObject* parent) : QObject(parent), list_(list) {}

void ListNavigation::processForceClickLocally(const QKeyEvent& event) {
    diag(QString::number(quint32(event.modifiers().toInt())));
    int& h = list_.highlated;
    const int num = list_.num;
    switch (event.key()) {
    case Qt::Key_Right:
        diag(QStringLiteral("right arrow"));
        if (h < num - 1)
            h += 1;
        break;
    case Qt::Key_Down:
        diag(QStringLiteral("down arrow"));
        if (h + 2 <= num - 1)
            h += 2;
        break;
    case Qt::Key_Up:
        diag(QStringLiteral("up arrow"));
        if (h - 2 >= 0)
            h -= 2;
        break;
    case Qt::Key_Left:
        diag(QStringLiteral("left arrow"));
        if (h > 0)
            h -= 1;
        break;
    default:
        diag(QStringLiteral("default"));
        break;
    }

    for (QToolButton* button : std::as_const(list_.bts)) {
        if (button)
            button->setDown(false);
    }
    const bool inRange = h >= 0 && h < num && h < list_.bts.size() && list_.bts.at(h);
    if (inRange)
        list_.bts.at(h)->setDown(true);

    const bool enter = event.key() == Qt::Key_Return || event.key() == Qt::Key_Enter;
    if (enter && inRange) {
        QToolButton* button = list_.bts.at(h);
        button->setDown(false);
        button->click();
    }
}

void ListNavigation::scrollWheel(double deltaX, double deltaY) {
    list_.highlated = 0;
    const int pages = list_.pageCount();
    int direction = 0; // +1 forward, -1 backward
    if (deltaY < iy)
        direction = 1;
    else if (deltaY > iy)
        direction = -1;
    else if (deltaX < ix)
        direction = 1;
    else if (deltaX > ix)
        direction = -1;
    if (direction == 0)
        return;

    if (direction > 0) {
        diag(QStringLiteral("pra la"));
        if (list_.i >= pages)
            return;
        list_.i += 1;
    } else {
        diag(QStringLiteral("pra ca"));
        if (list_.i < 2)
            return;
        list_.i -= 1;
    }
    list_.vai();
    list_.coix();
}

NavigationFilter::NavigationFilter(ListNavigation& navigation, QWidget* listRoot, QObject* parent)
    : QObject(parent), navigation_(navigation), listRoot_(listRoot) {}

bool NavigationFilter::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::KeyPress && watched->isWidgetType()) {
        // A press travels from the focus widget up its parents: take it once, at the start.
        QWidget* focus = QApplication::focusWidget();
        auto* widget = static_cast<QWidget*>(watched);
        if (widget == focus || (!focus && widget->isWindow()))
            navigation_.processForceClickLocally(*static_cast<QKeyEvent*>(event));
    } else if (event->type() == QEvent::Wheel && listRoot_ && watched->isWidgetType() &&
               (watched == listRoot_ || listRoot_->isAncestorOf(static_cast<QWidget*>(watched)))) {
        auto* wheel = static_cast<QWheelEvent*>(event);
        const QPointF delta = !wheel->pixelDelta().isNull() ? QPointF(wheel->pixelDelta())
                                                            : QPointF(wheel->angleDelta()) / 8.0;
        navigation_.scrollWheel(delta.x(), delta.y());
        return true;
    }
    return false;
}

} // namespace vellora
