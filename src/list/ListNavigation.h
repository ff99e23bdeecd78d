#pragma once

#include <QKeySequence>
#include <QObject>
#include <QPointer>

class QKeyEvent;
class QWidget;

namespace vellora {

class AppListView;

// Keyboard highlight over the buttons of a page (arrows, Return, keypad Enter), page turning
// with Page Up and Page Down (Home and End: the first and last page), and with the scroll
// wheel: one page per event that has a direction.
class ListNavigation : public QObject {
    Q_OBJECT

public:
    ListNavigation(AppListView& list, QObject* parent = nullptr);

    // A key press meant for the list; never consumes it. Return and Enter click the highlighted
    // button once the key has been delivered, so nothing it rebuilds is still handling it.
    void processForceClickLocally(const QKeyEvent& event);
    void scrollWheel(double deltaX, double deltaY);

    double ix = 0.0; // horizontal scroll threshold
    double iy = 0.0; // vertical scroll threshold

private:
    void showPage(int page); // from 1; nothing when there is no such page

    AppListView& list_;
};

// Hands the key presses and wheel events of the list's window to the navigation, and tells when
// the list is pressed with the mouse. Keys meant for other windows (the editor) stay theirs.
class NavigationFilter : public QObject {
    Q_OBJECT

public:
    NavigationFilter(ListNavigation& navigation, QWidget* listRoot, QObject* parent = nullptr);
    bool eventFilter(QObject* watched, QEvent* event) override;
    // Keys that run commands of the list's window: the search field does not keep them as its
    // own editing keys (Ctrl+U would clear it).
    void setCommandKeys(QList<QKeySequence> keys) { commandKeys_ = std::move(keys); }

Q_SIGNALS:
    // The user turned to the list: a mouse button went down in it, or the wheel turned there.
    void listPressed();
    // Escape was pressed in the list's window.
    void escapePressed();

private:
    bool inList(QObject* object) const;

    ListNavigation& navigation_;
    QPointer<QWidget> listRoot_;
    QList<QKeySequence> commandKeys_;
};

} // namespace vellora
