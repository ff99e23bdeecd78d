#pragma once

#include "platform/MusicPlayerSource.h"
#include "platform/VolumeControl.h"

#include <QList>
#include <QMap>
#include <QStringList>

// A volume control that records what it is asked and answers reads from a queue.
class FakeVolumeControl : public vellora::VolumeControl {
public:
    QStringList captures; // answers to reads, a null text for "nothing"; nothing once used up
    int reads = 0;
    QList<int> sets;
    int max = 100;     // the largest percent this control accepts
    bool away = false; // no audio server: nothing is read or set

    std::optional<QString> readOutputVolume() override {
        ++reads;
        if (away)
            return std::nullopt;
        const QString next = captures.isEmpty() ? QString() : captures.takeFirst();
        if (next.isNull())
            return std::nullopt;
        return next;
    }
    bool setOutputVolume(int percent) override {
        if (!away)
            sets << percent;
        return !away;
    }
    int maxPercent() const override { return max; }
};

// Music players with a chosen playing state each.
class FakeMusicPlayers : public vellora::MusicPlayerSource {
public:
    QMap<QString, bool> players; // name -> playing
    int queries = 0;

    QStringList runningPlayers() override {
        ++queries;
        return players.keys();
    }
    bool isPlaying(const QString& player) override { return players.value(player); }
};
