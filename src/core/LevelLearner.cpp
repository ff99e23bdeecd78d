#include "LevelLearner.h"

#include "AppVolumeTable.h"
#include "OutputLevels.h"
#include "UserDefaults.h"
#include "VolumeSwitch.h"
#include "base/Diagnostics.h"
#include "base/Logging.h"

namespace vellora {

LevelLearner::LevelLearner(UserDefaults& defaults, AppVolumeTable& table,
                           const OutputLevels& outputLevels, VolumeSwitch& volumeSwitch,
                           VolumeControl& control, QObject* parent)
    : QObject(parent), defaults_(defaults), table_(table), outputLevels_(outputLevels),
      switch_(volumeSwitch), control_(control) {
    settle_.setSingleShot(true);
    settle_.setInterval(kSettle);
    connect(&settle_, &QTimer::timeout, this, &LevelLearner::settle);
}

void LevelLearner::volumeChangedByHand(int percent) {
    defaults_.reload(); // the option may have been chosen in another instance's store
    if (!defaults_.boolValue(kOption))
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
    if (switch_.playersHoldSwitching()) // asked again: one may have started since the switch
        return skip("a music player holds switching");
    if (!defaults_.boolValue(kOption))
        return skip("the option is off");
    // It must still be the volume now: one put back meanwhile (a change of mind, a switch)
    // is no level to learn.
    const auto now = control_.readOutputVolume();
    if (!now || now->percent != *percent)
        return skip("the volume did not stay");
    const QString& name = *front->localizedName;
    auto ownTable = outputLevels_.tableFor(control_.currentOutput());
    if (ownTable) {
        const auto own = ownTable->loadTable();
        if (!own || !AppVolumeTable::findEntry(*own, name))
            ownTable.reset();
    }
    const QString entry = (ownTable ? *ownTable : table_).putEntry(QString::number(*percent), name);
    switch_.levelLearnt();
    qCInfo(lcSettings).noquote() << QStringLiteral("learnt %1 % for \"%2\"%3")
                                        .arg(QString::number(*percent), oneLine(name),
                                             ownTable ? QStringLiteral(" on this output")
                                                      : QString());
    Q_EMIT learnt(entry);
}

} // namespace vellora
