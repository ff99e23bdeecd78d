#pragma once

#include <QDBusContext>
#include <QObject>
#include <QStringList>
#include <QVariantMap>
#include <functional>

namespace vellora {

class LevelCommands;
class SwitchWorker;
class UserDefaults;

// Vellora on the session bus, for the command line and for scripts: the stored levels, pausing
// switching, and what the switch is doing. A change is the editor's own (the same stored entry,
// the same output line) and the list shows it at once. Lives on the interface's thread.
class ControlService : public QObject, protected QDBusContext {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "com.vellora.Vellora")
    Q_PROPERTY(bool Paused READ paused) // Pause and Resume change it

public:
    // The bus name (the bundle identifier), its object and interface.
    static QString serviceName();
    static QString objectPath();
    static QString interfaceName() { return QStringLiteral("com.vellora.Vellora"); }

    // levelsChanged: told after a level was stored or removed.
    ControlService(UserDefaults& defaults, SwitchWorker& switcher,
                   std::function<void()> levelsChanged, QObject* parent = nullptr);
    ~ControlService() override;

    // Offers the interface on the session bus (said once when there is none, or the name is
    // taken). Never waits on the bus.
    void publish();

    bool paused() const;

public Q_SLOTS:
    // Stores a level (0 to 100) for an application, for every output or for one (output empty:
    // every one). Bad input is an InvalidArgs error, and nothing is stored.
    void SetLevel(const QString& name, int level, const QString& output);
    void RemoveLevel(const QString& name, const QString& output);
    // Every stored level as [level, name, output], output empty for the general ones.
    QList<QStringList> Levels();
    void Pause();
    void Resume();
    // "Application", "Level" (only while one is in force), "CapturedVolume", "Output",
    // "OutputDescription", "Paused".
    QVariantMap Status();

private:
    // After a change: the list is told, and the caller hears of trouble (an error reply).
    void answer(const LevelCommands& levels, const std::optional<QString>& trouble);
    void tellPaused(bool paused); // PropertiesChanged on the bus

    UserDefaults& defaults_;
    SwitchWorker& switcher_;
    std::function<void()> levelsChanged_;
    bool published_ = false;
};

} // namespace vellora
