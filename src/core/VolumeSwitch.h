#pragma once

#include "platform/RunningApplication.h"
#include "platform/VolumeControl.h"

#include <QList>
#include <QString>
#include <optional>
#include <utility>

namespace vellora {

class AppVolumeTable;
class MusicPlayerCheck;
class OutputLevels;

// Sets the master volume to the level stored for the application that became active (its level
// for the output it plays on, else its general level), and puts back the volume captured before
// the first per-application change when an application without a level comes to the front.
class VolumeSwitch {
public:
    VolumeSwitch(AppVolumeTable& table, VolumeControl& control, MusicPlayerCheck& players,
                 const OutputLevels* outputLevels = nullptr);

    // Runs the switch for one activation; nothing when the activated application is unknown.
    void switchFor(const std::optional<RunningApplication>& application);
    // Runs the switch again for the application in front: the audio server is back (what was
    // asked while it was away did not happen), or the current output changed. Like every switch,
    // it first gives an output left behind the volume captured from it.
    void replay();

    // How a level or a captured volume fared: set; refused (and said) as no whole number from 0
    // to what the output takes; or failed because the audio server did not take it.
    enum class Applied { Set, Refused, Failed };

    // At quit: a level in force gives way to the volume captured before it, on the output it was
    // captured from, so the user's own volume outlives the program. Nothing when no level is in
    // force.
    std::optional<Applied> putCapturedVolumeBack();
    const OutputId& capturedOutput() const { return volumeOutput_; }

    const std::optional<RunningApplication>& frontApplication() const { return frontApplication_; }
    const VolumeReading& capturedVolume() const { return volume_; }
    bool hasCaptured() const { return hasCaptured_; } // else capturedVolume() is a stand-in
    bool levelInForce() const { return levelInForce_; }
    // The level set for the application in front, as stored, while it is in force.
    std::optional<QString> levelInForceText() const {
        return levelInForce_ ? std::optional(levelText_) : std::nullopt;
    }
    // A level (percent) was learnt for the application in front from the volume set by hand: it
    // is in force now, and the volume captured before it stays the one to put back.
    void levelLearnt(int percent);
    // The user set the volume by hand while switching was paused: it is theirs, and no volume
    // from before is put back over it.
    void forgetLevelInForce() { levelInForce_ = false; }
    // Switching is paused: the application in front is only noted, and nothing is set; the next
    // switch (or a replay) acts for it.
    void noteFront(const std::optional<RunningApplication>& application) {
        frontApplication_ = application;
        activated_ = true;
    }
    bool suspendedForPlayer() const { return suspendedForPlayer_; }

private:
    // The output the level in force was set on is no longer the current one: put back the volume
    // captured from it and go free.
    void leaveMovedOutput();
    // The level stored for the application in front, for the output or else in general; the
    // outer nothing when no table is stored at all (then nothing changes), the inner when the
    // tables hold no level for it.
    std::optional<std::optional<QString>> storedLevel(const OutputId& output) const;
    // Sets a percent from 0 to max on an output; shown names it in the refusal of any other.
    Applied applyLevel(std::optional<int> percent, const QString& shown, int max,
                       const OutputId& output);
    Applied putBack(const VolumeReading& volume, const OutputId& output) {
        return applyLevel(volume.percent, volume.text, control_.maxPercent(), output);
    }

    AppVolumeTable& table_;
    VolumeControl& control_;
    MusicPlayerCheck& players_;
    const OutputLevels* outputLevels_;

    std::optional<RunningApplication> frontApplication_;
    bool activated_ = false;                         // whether any activation came yet
    VolumeReading volume_{10, QStringLiteral("10")}; // until the first capture
    OutputId volumeOutput_;                          // the output volume_ was captured from
    // Outputs left while a level was in force on them, gone before their volume could go back (a
    // server restarting shows a stand-in output first, and drops it again): what one shows when
    // it is back is that level, and the volume owed is the one from before. The latest few.
    QList<std::pair<OutputId, VolumeReading>> owed_;
    static constexpr qsizetype kOwedKept = 4;
    bool levelInForce_ = false;
    QString levelText_; // the level last set, while one is in force
    bool hasCaptured_ = false;
    bool frontCaptured_ = false; // the last switch captured the volume, on volumeOutput_
    bool suspendedForPlayer_ = false;
};

} // namespace vellora
