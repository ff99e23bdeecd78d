#pragma once

#include "platform/DesktopEntryIndex.h"

#include <QObject>
#include <QTimer>
#include <memory>

namespace vellora {

// Desktop entries of $XDG_DATA_HOME and $XDG_DATA_DIRS through GIO, which applies the
// desktop rules (first id wins, Hidden, TryExec; NoDisplay, OnlyShowIn and NotShowIn for shown).
// Lives on the thread that reads the folders, off the interface's, and is asked there only: GIO
// tells that thread's main context when the installed applications change. The folders are read
// once, as soon as that thread's event loop runs (or at the first question asked before), and
// again a second after a change; every reading also goes to the index the other threads read.
// (GIO also says "changed" for any file written at the top of the configuration folder, where
// the default applications are kept: one reading then, on this thread, costs what the first did.)
class GioDesktopEntries : public QObject, public DesktopEntrySource {
    Q_OBJECT
public:
    explicit GioDesktopEntries(DesktopEntryIndex& index);
    ~GioDesktopEntries() override;
    GioDesktopEntries(const GioDesktopEntries&) = delete;
    GioDesktopEntries& operator=(const GioDesktopEntries&) = delete;

    std::optional<InstalledApplications> installed() override;

private:
    void read();

    struct Impl;
    std::unique_ptr<Impl> d;
    DesktopEntryIndex& index_;
    // A package manager writes many files in a row: one reading after they settle.
    QTimer settle_;
};

} // namespace vellora
