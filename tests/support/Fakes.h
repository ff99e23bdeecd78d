#pragma once

#include "platform/MusicPlayerSource.h"
#include "platform/VolumeControl.h"

#include <QList>
#include <QMap>
#include <deque>

// A volume control that records what it is asked and answers reads from a queue.
class FakeVolumeControl : public vellora::VolumeControl {
public:
    std::deque<std::optional<QString>> captures; // answers to reads; nothing once empty
    int reads = 0;
    QList<int> sets;

    std::optional<QString> readOutputVolume() override {
        ++reads;
        if (captures.empty())
            return std::nullopt;
        auto next = captures.front();
        captures.pop_front();
        return next;
    }
    void setOutputVolume(int percent) override { sets << percent; }
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
