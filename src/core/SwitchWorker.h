#pragma once

#include "AppVolumeTable.h"
#include "LevelLearner.h"
#include "MusicPlayerCheck.h"
#include "OutputLevels.h"
#include "VolumeSwitch.h"

#include <QObject>
#include <atomic>
#include <mutex>
#include <optional>

namespace vellora {

class MusicPlayerSource;

// What the switch is doing, as the command line and the session bus tell it.
struct SwitchStatus {
    QString application;          // the application in front; empty: none, or one without a name
    std::optional<QString> level; // the level in force, as stored; nothing: none in force
    QString capturedVolume; // put back when an application without a level comes; empty: none yet
    QString output, outputDescription; // the output in use, as the server and the user name it
    bool paused = false;
};
class UserDefaults;
class VolumeControl;

// Runs the volume switch on the thread this object lives on, away from the interface when that
// is a thread of its own. Activations are handed over from any thread; while a switch is under
// way only the latest activation waits, so a burst of window switches costs one more switch,
// not one wait on the audio server each. The end state is the one the activations one by one
// would have left: a restore only ever returns to the volume captured first.
class SwitchWorker : public QObject {
    Q_OBJECT

public:
    // defaults: a settings store of this thread's own (the table and the music-player option).
    SwitchWorker(UserDefaults& defaults, VolumeControl& volume, MusicPlayerSource* players,
                 QObject* parent = nullptr);
    ~SwitchWorker() override;

    // From any thread. On this object's own thread the switch runs before this returns.
    void post(const std::optional<RunningApplication>& application);

    VolumeSwitch& volumeSwitch() { return switch_; }
    LevelLearner& learner() { return learner_; }
    // Tells the output in use again, for a newcomer to outputInUse. On this object's thread.
    void retellOutputInUse();
    // Whether a window of this program is in front (nothing is learnt then). From any thread.
    void setOwnWindowInFront(bool inFront) { learner_.setOwnWindowInFront(inFront); }

    // Pauses or resumes switching, from any thread. While paused the volume stays as it is:
    // activations are only noted, a change of output sets nothing and nothing is learnt.
    // Resuming runs the switch for the application in front. Says pausedChanged when it changes.
    void setPaused(bool paused);
    bool paused() const { return paused_; }
    // The latest status, from any thread; never waits on the audio server.
    SwitchStatus status() const;

    // On this object's thread, at quit: puts back the volume from before a level in force and
    // says so in one line. Bounded by the volume control's own bound on each call. Switching
    // ends with it: an activation or server news still on its way sets no level after it.
    void putCapturedVolumeBack();

Q_SIGNALS:
    // A switch (or a run of them) ended; for whoever waits on the outcome.
    void switched();
    // The output the volume is set on now, as the server names it and as the user knows it; told
    // after a switch or a change of output when it is another than the one told last.
    void outputInUse(const QString& output, const QString& description);
    // Switching was paused or resumed (from this object's thread).
    void pausedChanged(bool paused);

private:
    void drain();
    void rerun(); // told by the volume control, on this object's thread
    void tellOutputInUse();
    void publishStatus(); // after anything that changes it, on this object's thread
    void pausedNow(bool paused);

    VolumeControl& volume_;
    AppVolumeTable table_;
    OutputLevels outputLevels_;
    MusicPlayerCheck players_;
    VolumeSwitch switch_;
    LevelLearner learner_;
    std::optional<std::pair<OutputId, QString>> toldOutput_; // and its description

    std::atomic<bool> paused_ = false;
    mutable std::mutex mutex_; // guards the four below
    SwitchStatus status_;
    std::optional<std::optional<RunningApplication>> pending_;
    bool scheduled_ = false;
    bool closed_ = false; // the volume is put back for quitting
};

} // namespace vellora
