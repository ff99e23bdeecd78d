#include "SettingsTrouble.h"

#include "base/Logging.h"

namespace vellora {

SettingsTrouble& SettingsTrouble::instance() {
    static SettingsTrouble trouble;
    return trouble;
}

void SettingsTrouble::report(const QString& line, const QString& file) {
    qCWarning(lcSettings).noquote() << line;
    tell(line.contains(file) ? line : line + QStringLiteral(" (") + file + QLatin1Char(')'), file);
}

void SettingsTrouble::tell(const QString& text, const QString& file) {
    SettingsTrouble& self = instance();
    {
        const std::lock_guard lock(self.mutex_);
        if (self.told_.contains(file))
            return;
        self.told_.insert(file);
    }
    Q_EMIT self.found(text);
}

} // namespace vellora
