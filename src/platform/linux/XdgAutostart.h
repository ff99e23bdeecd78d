#pragma once

#include "platform/LoginItems.h"
#include "platform/ScriptHost.h"

namespace vellora {

// The desktop's autostart folder ($XDG_CONFIG_HOME/autostart): each entry there is started at
// login by any XDG-compliant session.
namespace autostart {
QString folder();
// Writes NAME.desktop starting the program at this absolute path; false on any I/O failure.
bool writeEntry(const QString& fileName, const QString& name, const QString& program);
// The Exec value for one program path, quoted as desktop entries require.
QString execValue(const QString& program);
} // namespace autostart

// Login items as autostart entries named after the helper's identifier. The helper is the
// launcher packaged inside the main bundle (Contents/Library/LoginItems/VelloraLaunch.app).
class XdgLoginItems : public LoginItems {
public:
    // mainBundle: the main application's NAME.app folder; empty when it runs outside one.
    explicit XdgLoginItems(QString mainBundle) : mainBundle_(std::move(mainBundle)) {}
    bool setEnabled(const QString& identifier, bool enabled) override;
    QString launcherPath() const;

private:
    QString mainBundle_;
};

// Understands the two "System Events" scripts that make and delete a login item; any other
// source is an error.
class SystemEventsScripts : public ScriptHost {
public:
    ScriptResult execute(const QString& source) override;
};

} // namespace vellora
