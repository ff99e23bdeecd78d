#pragma once

#include <QObject>
#include <QTimer>
#include <atomic>
#include <chrono>
#include <optional>

namespace vellora {

class AppVolumeTable;
class MusicPlayerCheck;
class OutputLevels;
class UserDefaults;
class VolumeControl;
class VolumeSwitch;

// With its option on, learns levels from the volume the user sets by hand: a volume that stays
// for kSettle becomes the level of the application in front, its level for the current output
// where it has one, else its general level. Nothing is learnt for an application without a name,
// while a window of this program is in front (the list, the editor), or while a music player
// holds switching. The volume from before the change stays the captured one, so applications
// without a level still get back what they had. Lives on the switch's thread.
class LevelLearner : public QObject {
    Q_OBJECT

public:
    static inline const QString kOption = QStringLiteral("rememberVolumeChanges");
    static constexpr std::chrono::milliseconds kSettle{2000};

    LevelLearner(UserDefaults& defaults, AppVolumeTable& table, const OutputLevels& outputLevels,
                 VolumeSwitch& volumeSwitch, VolumeControl& control, MusicPlayerCheck& players,
                 QObject* parent = nullptr);

    // The user changed the volume to percent: learnt once it stays, the last of a flood.
    void volumeChangedByHand(int percent);
    // The switch is about to set a volume: what was waiting is not learnt.
    void cancel();
    // The volume stayed: learns it now (the timer's end; tests call it directly).
    void settle();
    // Whether a window of this program is in front. From any thread.
    void setOwnWindowInFront(bool inFront) { ownWindowInFront_ = inFront; }

Q_SIGNALS:
    // A level was learnt and stored.
    void learnt();

private:
    UserDefaults& defaults_;
    AppVolumeTable& table_;
    const OutputLevels& outputLevels_;
    VolumeSwitch& switch_;
    VolumeControl& control_;
    MusicPlayerCheck& players_;
    QTimer settle_;
    std::optional<int> waiting_; // the percent set by hand, until it stayed
    std::atomic<bool> ownWindowInFront_ = false;
};

} // namespace vellora
