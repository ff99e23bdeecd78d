#pragma once

#include "platform/MusicPlayerSource.h"
#include "platform/VolumeControl.h"

#include <QList>
#include <QMap>
#include <QStringList>
#include <functional>

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
        const QString next = away || captures.isEmpty() ? QString() : captures.takeFirst();
        return next.isNull() ? std::nullopt : std::optional(next);
    }
    bool setOutputVolume(int percent) override {
        sets << QList<int>(away ? 0 : 1, percent);
        return !away;
    }
    int maxPercent() const override { return max; }
    QString output = QStringLiteral("speakers"); // the current output
    QString currentOutput() override { return output; }
    bool setOutputVolume(int percent, const QString& on) override {
        if (on.isEmpty() || on == output)
            return setOutputVolume(percent);
        sets << QList<int>(away ? 0 : 1, -percent); // set on an output no longer current: negated
        return !away;
    }
    Events events;
    void setEvents(Events e) override { events = std::move(e); }
};

// Music players with a chosen playing state each.
class FakeMusicPlayers : public vellora::MusicPlayerSource {
public:
    QMap<QString, bool> players; // name -> playing
    std::function<void()> asked; // runs once, at the next question

    QStringList runningPlayers() override {
        if (asked)
            std::exchange(asked, nullptr)();
        return players.keys();
    }
    bool isPlaying(const QString& player) override { return players.value(player); }
};
