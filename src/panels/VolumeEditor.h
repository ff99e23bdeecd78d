#pragma once

#include <QObject>
#include <QPointer>
#include <QPushButton>
#include <QSlider>
#include <functional>
#include <memory>

class QAbstractButton;

namespace vellora {

class AppVolumeTable;
class EventMonitor;
class Popover;

// The small per-application editor: a level slider (0 to 100 in steps of 10) that stores the
// level at once, and a button that disables the application by removing its entry.
class VolumeEditor : public QObject {
    Q_OBJECT

public:
    struct Hooks {
        std::function<void()> fet;              // refresh the list later
        std::function<void()> fetchLog;         // refresh the list now-ish
        std::function<EventMonitor*()> monitor; // the editor's outside-click monitor, if any
    };

    VolumeEditor(AppVolumeTable& table, Hooks hooks, QObject* parent = nullptr);
    ~VolumeEditor() override;

    // Opens the editor for the application the list button names.
    void showsy(QAbstractButton* sender);
    // Slider action: stores the slider's level for the name in its tool tip.
    void link(QSlider* sender);
    // Disable button action: removes the entry for the name the button holds.
    void disable(QPushButton* sender);
    void closePopover();
    // The outside-click monitor's handler.
    void outsideClick();

    Popover* popover() const { return popover_.get(); }
    QPushButton* v1() const { return v1_; }
    QSlider* slider() const { return slider_; }
    // The entry most recently composed by the slider.
    const QString& theNewApp() const { return theNewApp_; }

    // The name cut to its first 20 user-perceived characters.
    static QString shortName(const QString& name);

private:
    void setLabel(const QString& text);

    AppVolumeTable& table_;
    Hooks hooks_;
    std::unique_ptr<Popover> popover_;
    QPointer<QPushButton> v1_;
    QPointer<QSlider> slider_;
    QString theNewApp_;
};

} // namespace vellora
