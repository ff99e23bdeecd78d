#pragma once

#include <QObject>
#include <QSet>
#include <QString>
#include <mutex>

namespace vellora {

// Trouble with a settings file (it cannot be read, holds a table of the wrong type, cannot be
// written). Said on standard output where it is found, and told once per file to whoever tells
// the user on the desktop: a tray user sees no standard output, only markers turned red.
// One object for the process, since settings are read on more than one thread.
class SettingsTrouble : public QObject {
    Q_OBJECT

public:
    static SettingsTrouble& instance();

    // Says line on standard output, and tells it on the desktop if nothing was told about this
    // file yet; a line that does not name the file gets its name added there.
    static void report(const QString& line, const QString& file);
    // Tells text on the desktop only, once per file.
    static void tell(const QString& text, const QString& file);

Q_SIGNALS:
    // From the thread that found it: connect with a queued connection.
    void found(const QString& text);

private:
    std::mutex mutex_;
    QSet<QString> told_; // the files said on the desktop already
};

} // namespace vellora
