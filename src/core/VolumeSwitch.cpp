#include "VolumeSwitch.h"

#include "AppVolumeTable.h"
#include "MusicPlayerCheck.h"
#include "OutputLevels.h"
#include "base/Logging.h"

#include <algorithm>

namespace vellora {

VolumeSwitch::VolumeSwitch(AppVolumeTable& table, VolumeControl& control, MusicPlayerCheck& players,
                           const OutputLevels* outputLevels)
    : table_(table), control_(control), players_(players), outputLevels_(outputLevels) {}

void VolumeSwitch::switchFor(const std::optional<RunningApplication>& application) {
    frontApplication_ = application;
    activated_ = true;
    qCDebug(lcAudio).noquote() << "switch for"
                               << (application
                                       ? application->localizedName.value_or(QStringLiteral("?"))
                                       : QStringLiteral("none"))
                               << "on" << control_.currentOutput() << "level in force"
                               << levelInForce_ << "on" << volumeOutput_;
    leaveMovedOutput();

    // Capture only while no per-application level is in force, so the restore puts back the
    // volume from before the first change of a chain of configured applications. A captured
    // volume belongs to the output it was read from.
    bool captured = false;
    for (int attempt = 0; !levelInForce_ && !captured && attempt < 2; ++attempt) {
        const OutputId output = control_.currentOutput();
        auto reading = control_.readOutputVolume();
        if (!reading)
            break;
        if (control_.currentOutput() != output)
            continue; // the output moved while it was read: read the new one
        volume_ = std::move(*reading);
        volumeOutput_ = output;
        captured = hasCaptured_ = true;
        const auto owed = std::find_if(owed_.cbegin(), owed_.cend(),
                                       [&](const auto& entry) { return entry.first == output; });
        if (owed != owed_.cend()) {
            // Back after it went away under a level: the volume from before is the one owed, and
            // the level it shows is still in force (an application without one puts it back).
            volume_ = owed->second;
            owed_.erase(owed);
            levelInForce_ = true;
        }
    }

    frontCaptured_ = captured;
    suspendedForPlayer_ = players_.holdsSwitching();
    if (suspendedForPlayer_)
        return;

    // The level goes to the output whose volume is kept, even if another became the current
    // one meanwhile (that one is captured first when the switch runs again for it).
    const OutputId output = captured || levelInForce_ ? volumeOutput_ : kCurrentOutput;
    const auto level = storedLevel(output.isEmpty() ? control_.currentOutput() : output);
    if (!level)
        return;
    if (*level) {
        // A level that never reached the audio server leaves nothing to restore later. One sent
        // to a server that did not answer in time (a stalled one) may still land: with the volume
        // before it just captured, it counts, so the restore is not lost.
        if (applyLevel(parseLevel(**level, 100), **level, 100, output) != Applied::Failed ||
            captured) {
            levelInForce_ = true;
            levelText_ = **level;
        }
        return;
    }

    if (levelInForce_) {
        // The captured volume is the server's own value: it goes back as it was, above 100 %
        // too where the output was boosted, within what the control accepts. When the server
        // cannot take it now, the level stays in force and the next activation tries again.
        levelInForce_ = putBack(volume_, volumeOutput_) == Applied::Failed;
    }
}

void VolumeSwitch::leaveMovedOutput() {
    // Looked at by every switch, not only when the move is announced: a switch may run between
    // the move and its announcement, and must not set a level on the new output before its own
    // volume is captured. An unknown output (the server away) is no move.
    const OutputId now = control_.currentOutput();
    if (!levelInForce_ || now.isEmpty() || now == volumeOutput_)
        return;
    // Whether or not the output left behind is still there to take it, the new one starts
    // free: its own volume is captured before a level is applied to it. One that is not there
    // is owed its volume for when it comes back.
    if (putBack(volume_, volumeOutput_) == Applied::Failed) {
        owed_.removeIf([&](const auto& entry) { return entry.first == volumeOutput_; });
        owed_.append({volumeOutput_, volume_});
        if (owed_.size() > kOwedKept)
            owed_.removeFirst();
    }
    levelInForce_ = false;
}

void VolumeSwitch::levelLearnt(int percent) {
    // Without a capture from this output for the application in front, there is no volume from
    // before to put back: the level is stored, but nothing is owed.
    if (!levelInForce_ && frontCaptured_ && volumeOutput_ == control_.currentOutput())
        levelInForce_ = true;
    if (levelInForce_)
        levelText_ = QString::number(percent);
}

void VolumeSwitch::replay() {
    if (activated_)
        switchFor(std::optional(frontApplication_)); // a copy: it is assigned anew
}

std::optional<VolumeSwitch::Applied> VolumeSwitch::putCapturedVolumeBack() {
    if (!levelInForce_)
        return std::nullopt;
    const Applied applied = putBack(volume_, volumeOutput_);
    levelInForce_ = applied == Applied::Failed;
    return applied;
}

std::optional<std::optional<QString>> VolumeSwitch::storedLevel(const OutputId& output) const {
    const QString name =
        frontApplication_ ? frontApplication_->localizedName.value_or(QString()) : QString();
    std::optional<std::optional<QString>> found;
    const auto outputTable = outputLevels_ ? outputLevels_->tableFor(output) : std::nullopt;
    if (const auto table = outputTable ? outputTable->loadTable() : std::nullopt) {
        found.emplace(AppVolumeTable::levelIn(*table, name));
        if (*found)
            return found; // the general table is not read
    }
    if (const auto table = table_.loadTable())
        found.emplace(AppVolumeTable::levelIn(*table, name));
    return found;
}

VolumeSwitch::Applied VolumeSwitch::applyLevel(std::optional<int> percent, const QString& level,
                                               int max, const OutputId& output) {
    if (percent && *percent >= 0 && *percent <= max)
        return control_.setOutputVolume(*percent, output) ? Applied::Set : Applied::Failed;
    QString shown = level;
    shown.replace(QLatin1Char('\n'), QLatin1String("\\n"))
        .replace(QLatin1Char('\r'), QLatin1String("\\r"));
    qCWarning(lcSettings).noquote()
        << QStringLiteral("refused level \"%1\": not a whole number from 0 to %2")
               .arg(shown, QString::number(max)); // at once: the text may hold "%2"
    return Applied::Refused;
}

} // namespace vellora
