#pragma once

#include "core/AppVolumeTable.h"

#include <QCheckBox>
#include <QObject>
#include <QPointer>
#include <QPushButton>
#include <QSlider>
#include <QStyle>
#include <functional>
#include <memory>
#include <optional>

namespace vellora {

class ActivationPolicy;

class EventMonitor;
class OutputLevels;
class Popover;

// The application the editor opens for, as the list hands it over.
struct EditorSubject {
    QString name;  // the name its level is stored under: the button title without its marker
    QString title; // the list button's title, status marker included
};

// The small per-application editor: a level slider (0 to 100 in steps of 10) that stores the
// level at once, and a button that disables the application by removing its entry. With levels
// for one output on offer and the current output known, a choice below them says whether the
// level shown is the general one or the current output's own.
class VolumeEditor : public QObject {
    Q_OBJECT

public:
    // monitor: the editor's outside-click monitor at the time, if any (it is made anew with the
    // options menu).
    VolumeEditor(AppVolumeTable& table, ActivationPolicy& policy,
                 std::function<EventMonitor*()> monitor, const OutputLevels* outputLevels = nullptr,
                 QObject* parent = nullptr);

    // The output the volume is set on now (none: unknown), for the editors opened from now on.
    void setOutputInUse(const QString& output, const QString& description);
    ~VolumeEditor() override;

    // Opens the editor for an application, attached to the widget that asked for it.
    void openFor(const EditorSubject& subject, QWidget* anchor);
    // Slider action: stores the slider's level for the application shown.
    void link();
    // Disable button action: removes the application's entry.
    void disable();
    // Closes the editor, stops its monitor and refreshes the list.
    void closePopover();
    // The outside-click monitor's handler.
    void outsideClick();
    // Closes the editor as the desktop would when the user turns to the list: it goes away and
    // its monitor stops; nothing else happens.
    void dismiss();

    bool isShown() const;
    Popover* popover() const { return popover_.get(); }
    QPushButton* disableButton() const { return disableButton_; }
    QSlider* slider() const { return slider_; }
    // "Only on <output>": checked, the level shown is the current output's own; else the general
    // one, for all outputs. None when there is no choice.
    QCheckBox* outputChoice() const { return outputChoice_; }
    const EditorSubject& subject() const { return subject_; }
    // The entry most recently composed by the slider.
    const QString& theNewApp() const { return theNewApp_; }

    // The name cut to its first 20 user-perceived characters.
    static QString shortName(const QString& name);

Q_SIGNALS:
    // The list should show what the editor changed: once the current event is done with (the
    // editor closed), or at once (a level stored or removed, a click outside).
    void listOutdated();
    void listOutdatedNow();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // The disable button's label: a name, then the level (or state) kept in sight, then a tail.
    void setLabel(const QString& name, const QString& level, const QString& tail = {});
    void stopMonitor();
    // The table the editor reads and writes: the current output's own, or the general one.
    AppVolumeTable& editedTable() { return outputTable_ ? *outputTable_ : table_; }
    // Puts the slider and the label where the edited table says, storing nothing.
    void showStoredLevel();
    void addOutputChoice(QWidget* view);
    // Whether the level edited is the current output's own (else the general one).
    void editOutputLevel(bool own);
    // Stores the level once the user action in progress is done, unless it stored one.
    void storeAfterAction(int storesBefore);

    AppVolumeTable& table_;
    ActivationPolicy& policy_;
    std::function<EventMonitor*()> monitor_;
    const OutputLevels* outputLevels_;
    QString output_, outputDescription_;
    std::optional<AppVolumeTable> outputTable_; // while the level shown is the output's own
    std::unique_ptr<QStyle> sliderStyle_; // outlives every slider: declared before the popover
    std::unique_ptr<Popover> popover_;
    QPointer<QPushButton> disableButton_;
    QPointer<QSlider> slider_;
    QPointer<QCheckBox> outputChoice_;
    EditorSubject subject_;
    int linked_ = 0; // the level last stored, or shown at opening
    int stores_ = 0; // levels stored by this editor, to tell whether a user action stored one
    int storesAtPress_ = 0;
    QString theNewApp_;
};

} // namespace vellora
