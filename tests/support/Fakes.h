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
    // Answers to reads, as read (a percent where the text is digits), a null text for
    // "nothing"; nothing once used up.
    QStringList captures;
    int reads = 0;
    QList<int> sets;   // negative: set on an output that is no longer the current one
    int max = 100;     // the largest percent this control accepts
    bool away = false; // no audio server: nothing is read or set
    vellora::OutputId output = QStringLiteral("speakers"); // the current output

    std::optional<vellora::VolumeReading> readOutputVolume() override {
        ++reads;
        const QString next = away || captures.isEmpty() ? QString() : captures.takeFirst();
        if (next.isNull())
            return std::nullopt;
        bool digits = false;
        const int percent = next.trimmed().toInt(&digits);
        return vellora::VolumeReading{digits ? std::optional(percent) : std::nullopt, next};
    }
    bool setOutputVolume(int percent, const vellora::OutputId& on) override {
        const bool current = on == vellora::kCurrentOutput || on == output;
        sets << QList<int>(away ? 0 : 1, current ? percent : -percent);
        return !away;
    }
    int maxPercent() const override { return max; }
    vellora::OutputId currentOutput() override { return output; }
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
