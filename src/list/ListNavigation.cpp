#include "ListNavigation.h"

#include "AppListView.h"
#include "base/Diagnostics.h"

#include <QApplication>
#include <QKeyEvent>
#include <QToolButton>
#include <QWheelEvent>
#include <QWidget>

namespace vellora {

namespace {

// Keys that only modify others: pressed alone they are no navigation.
bool isModifierOnly(int key) {
    switch (key) {
    case Qt::Key_Shift:
    case Qt::Key_Control:
    case Qt::Key_Meta:
    case Qt::Key_Alt:
    case Qt::Key_AltGr:
    case Qt::Key_CapsLock:
    case Qt::Key_NumLock:
    case Qt::Key_ScrollLock:
    case Qt::Key_Super_L:
    case Qt::Key_Super_R:
    case Qt::Key_Hyper_L:
    case Qt::Key_Hyper_R:
    case Qt::Key_unknown:
        return true;
    default:
        return false;
    }
}

} // namespace

ListNavigation::ListNavigation(AppListView& list, QObject* parent) : QObject(parent), list_(list) {}

void ListNavigation::processForceClickLocally(const QKeyEvent& event) {
    if (isModifierOnly(event.key()))
        return;
    diag(QString::number(quint32(event.modifiers().toInt())));
    ListModel& model = list_.model();
    switch (event.key()) {
    case Qt::Key_Right:
        diag(QStringLiteral("right arrow"));
        model.moveHighlight(+1);
        break;
    case Qt::Key_Down:
        diag(QStringLiteral("down arrow"));
        model.moveHighlight(+ListModel::kColumns);
        break;
    case Qt::Key_Up:
        diag(QStringLiteral("up arrow"));
        model.moveHighlight(-ListModel::kColumns);
        break;
    case Qt::Key_Left:
        diag(QStringLiteral("left arrow"));
        model.moveHighlight(-1);
        break;
    case Qt::Key_PageDown:
    case Qt::Key_PageUp:
    case Qt::Key_Home:
    case Qt::Key_End:
        diag(QStringLiteral("default")); // as any key but the arrows
        showPage(event.key() == Qt::Key_PageDown ? model.page() + 1
                 : event.key() == Qt::Key_PageUp ? model.page() - 1
                 : event.key() == Qt::Key_Home   ? 1
                                                 : model.pageCount());
        break;
    default:
        diag(QStringLiteral("default"));
        break;
    }
    list_.showHighlight();

    const bool enter = event.key() == Qt::Key_Return || event.key() == Qt::Key_Enter;
    if (enter && model.highlightInRange()) {
        QPointer<QToolButton> button = list_.appButtons().value(model.highlighted());
        QMetaObject::invokeMethod(
            this,
            [button] {
                if (button) {
                    button->setDown(false);
                    button->click();
                }
            },
            Qt::QueuedConnection);
    }
}

void ListNavigation::showPage(int page) {
    ListModel& model = list_.model();
    if (page < 1 || page > model.pageCount() || page == model.page())
        return;
    model.setPage(page);
    model.setHighlighted(0);
    list_.markCurrentPage();
    list_.layOutPage();
}

void ListNavigation::scrollWheel(double deltaX, double deltaY) {
    ListModel& model = list_.model();
    model.setHighlighted(0);
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

    diag(direction > 0 ? QStringLiteral("pra la") : QStringLiteral("pra ca"));
    if (!model.turnPage(direction))
        return;
    list_.markCurrentPage();
    list_.layOutPage();
}

NavigationFilter::NavigationFilter(ListNavigation& navigation, QWidget* listRoot, QObject* parent)
    : QObject(parent), navigation_(navigation), listRoot_(listRoot) {}

bool NavigationFilter::inList(QObject* object) const {
    if (!listRoot_ || !object || !object->isWidgetType())
        return false;
    auto* widget = static_cast<QWidget*>(object);
    return widget == listRoot_ || listRoot_->isAncestorOf(widget);
}

bool NavigationFilter::eventFilter(QObject* watched, QEvent* event) {
    switch (event->type()) {
    case QEvent::KeyPress: {
        // A press travels from the focus widget up its parents: take it once, at the start,
        // and only when it is meant for the list's window.
        QWidget* focus = QApplication::focusWidget();
        const bool start =
            focus ? watched == focus
                  : watched->isWidgetType() && static_cast<QWidget*>(watched)->isWindow();
        const bool forList = inList(watched) || (listRoot_ && watched == listRoot_->window());
        if (start && forList) {
            const auto* key = static_cast<QKeyEvent*>(event);
            navigation_.processForceClickLocally(*key);
            if (key->key() == Qt::Key_Escape)
                Q_EMIT escapePressed();
        }
        break;
    }
    case QEvent::ShortcutOverride: {
        const auto* key = static_cast<QKeyEvent*>(event);
        if ((inList(watched) || (listRoot_ && watched == listRoot_->window())) &&
            commandKeys_.contains(QKeySequence(key->keyCombination())))
            return true; // not taken by the focused field: the shortcut runs
        break;
    }
    case QEvent::MouseButtonPress:
        if (inList(watched))
            Q_EMIT listPressed();
        break;
    case QEvent::Wheel:
        if (inList(watched)) {
            Q_EMIT listPressed();
            auto* wheel = static_cast<QWheelEvent*>(event);
            const QPointF delta = !wheel->pixelDelta().isNull()
                                      ? QPointF(wheel->pixelDelta())
                                      : QPointF(wheel->angleDelta()) / 8.0;
            navigation_.scrollWheel(delta.x(), delta.y());
            return true;
        }
        break;
    default:
        break;
    }
    return false;
}

} // namespace vellora
