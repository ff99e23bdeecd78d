#pragma once

#include <QObject>

class QKeyEvent;
class QWheelEvent;

namespace vellora {

class AppListView;

// Keyboard highlight over the buttons of a page (arrows, Return, keypad Enter) and page
// turning with the scroll wheel: one page per event that has a direction.
class ListNavigation : public QObject {
    Q_OBJECT

public:
    ListNavigation(AppListView& list, QObject* parent = nullptr);

    // Every key press in this program's windows; never consumes it.
    void processForceClickLocally(const QKeyEvent& event);
    void scrollWheel(double deltaX, double deltaY);

    double ix = 0.0; // horizontal scroll threshold
    double iy = 0.0; // vertical scroll threshold

private:
    AppListView& list_;
};

// Hands every key press of the application, and wheel events over the list, to the navigation.
class NavigationFilter : public QObject {
    Q_OBJECT

public:
    NavigationFilter(ListNavigation& navigation, QWidget* listRoot, QObject* parent = nullptr);
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    ListNavigation& navigation_;
    QWidget* listRoot_;
};

} // namespace vellora
