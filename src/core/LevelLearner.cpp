#include "LevelLearner.h"

#include "AppVolumeTable.h"
#include "MusicPlayerCheck.h"
#include "OutputLevels.h"
#include "UserDefaults.h"
#include "VolumeSwitch.h"
#include "base/Diagnostics.h"
#include "base/Logging.h"

namespace vellora {

LevelLearner::LevelLearner(UserDefaults& defaults, AppVolumeTable& table,
                           const OutputLevels& outputLevels, VolumeSwitch& volumeSwitch,
                           VolumeControl& control, MusicPlayerCheck& players, QObject* parent)
    : QObject(parent), defaults_(defaults), table_(table), outputLevels_(outputLevels),
      switch_(volumeSwitch), control_(control), players_(players) {
    settle_.setSingleShot(true);
    settle_.setInterval(kSettle);
    connect(&settle_, &QTimer::timeout, this, &LevelLearner::settle);
}

void LevelLearner::volumeChangedByHand(int percent) {
    if (!defaults_.boolValue(kOption)) // as last read: each switch reads the file again
        return;
    if (ownWindowInFront_) { // the list or the editor has the keyboard, not the application
        cancel();
        return;
    }
    waiting_ = percent;
    settle_.start(); // a flood of changes (a slider dragged) is learnt once, the last one
}

void LevelLearner::cancel() {
    settle_.stop();
    waiting_.reset();
}

void LevelLearner::settle() {
    settle_.stop();
    const auto percent = std::exchange(waiting_, std::nullopt);
    const auto& front = switch_.frontApplication();
    const auto skip = [](const char* why) {
        qCDebug(lcSettings, "a volume set by hand is not learnt: %s", why);
    };
    if (!percent)
        return;
    if (*percent > 100)
        return skip("above 100 %, which no level can be");
    if (ownWindowInFront_ || !front || !front->localizedName || front->localizedName->isEmpty())
        return skip("no application with a name in front");
    defaults_.reload(); // the option may have been chosen since, in another store
    if (!defaults_.boolValue(kOption))
        return skip("the option is off");
    if (players_.holdsSwitching()) // asked again: one may have started since the switch
        return skip("a music player holds switching");
    // It must still be the volume now: one put back meanwhile (a change of mind, a switch)
    // is no level to learn.
    const auto now = control_.readOutputVolume();
    if (!now || now->percent != *percent)
        return skip("the volume did not stay");
    const QString& name = *front->localizedName;
    auto ownTable = outputLevels_.tableHolding(control_.currentOutput(), name);
    (ownTable ? *ownTable : table_).putEntry(QString::number(*percent), name);
    switch_.levelLearnt(*percent);
    qCInfo(lcSettings).noquote() << QStringLiteral("learnt %1 % for \"%2\"%3")
                                        .arg(QString::number(*percent), oneLine(name),
                                             ownTable ? QStringLiteral(" on this output")
                                                      : QString());
    Q_EMIT learnt();
}

} // namespace vellora
