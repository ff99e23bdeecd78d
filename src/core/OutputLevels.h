#pragma once

#include "AppVolumeTable.h"
#include "platform/VolumeControl.h"

#include <optional>

namespace vellora {

// Levels stored for one output only, beside the general table: per output, a list of entries in
// the general table's own form, kept in the same settings file under "OutputLevels/<output>",
// where the general table's readers never look. A level for an output that is not there now is
// kept for when it comes back.
class OutputLevels {
public:
    static inline const QString kGroup = QStringLiteral("OutputLevels");

    explicit OutputLevels(UserDefaults& defaults) : defaults_(defaults) {}

    // The table of one output; nothing for no output (a control that knows a single output).
    std::optional<AppVolumeTable> tableFor(const OutputId& output) const;
    // The table of one output when it holds a level for the application; else nothing.
    std::optional<AppVolumeTable> tableHolding(const OutputId& output, const QString& name) const;
    // Every entry stored for any output, present or not: which applications have a level
    // somewhere.
    QStringList allEntries() const;
    // The outputs, by stored name, that have a level of their own for the application.
    QStringList outputsWithLevelFor(const QString& name) const;
    // The outputs with levels stored, by the names they are stored under.
    QStringList storedOutputs() const;
    // The table of an output by the name it is stored under.
    AppVolumeTable tableStoredAs(const QString& storedName) const { return tableAt(storedName); }
    // Removes the levels of every output (each kept aside first if it cannot be read).
    void resetAll();

    // The name an output's levels are stored under: the audio server's name of the output, except
    // for a Bluetooth device, whose output is renamed with each profile ("…a2dp_sink" and
    // "…headset_head_unit" on PulseAudio, ".1" or a profile on PipeWire's server; "bluez_sink."
    // on the one and "bluez_output." on the other): all of its outputs share the device's
    // address.
    static QString storedName(const OutputId& output);

private:
    AppVolumeTable tableAt(const QString& storedName) const {
        return AppVolumeTable(defaults_, kGroup + QLatin1Char('/') + storedName);
    }

    UserDefaults& defaults_;
};

} // namespace vellora
