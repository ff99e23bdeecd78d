#pragma once

#include "AppVolumeTable.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <optional>

namespace vellora {

class UserDefaults;

// The stored levels as the command line and the session bus read and change them. Input is
// checked first and a change is the editor's own: the same stored entry, the same output line.
// Each change answers with nothing when done, else with one line saying why nothing was done.
class LevelCommands {
public:
    struct Level {
        QString level;
        QString name;
        QString output; // the output it is stored for; empty: every output
    };

    // outputInUse: the output the volume is set on now, by its server name and its description
    // (empty when unknown, as when the program does not run).
    LevelCommands(UserDefaults& defaults, QString outputInUse, QString outputDescription);

    std::optional<QString> setLevel(const QString& name, const QString& level,
                                    const QString& output = {});
    std::optional<QString> removeLevel(const QString& name, const QString& output = {});
    // Every stored level: the general ones first, then each output's, each in stored order.
    // unreadable: the keys of the tables that could not be read.
    QList<Level> levels(QStringList* unreadable = nullptr) const;
    // The last change was made, but lives in memory only: the file could not take it.
    bool unsaved() const { return unsaved_; }

    // Why a name or a level cannot be taken; nothing when it can.
    static std::optional<QString> checkName(const QString& name);
    static std::optional<QString> checkLevel(const QString& level);

private:
    // The key an output's levels are stored under: an output stored already (by that key or the
    // server's name), or the one in use (by name or description). Else why it is unknown.
    std::optional<QString> storedOutput(const QString& output, QString* why) const;
    // The table a level for the output goes to (the general one for no output); else why not.
    std::optional<AppVolumeTable> tableFor(const QString& output, QString* why) const;
    std::optional<QString> saved(); // after a change: why it did not reach the file
    static constexpr int kLongestName = 256;

    UserDefaults& defaults_;
    QString outputInUse_, outputDescription_;
    bool unsaved_ = false;
};

} // namespace vellora
