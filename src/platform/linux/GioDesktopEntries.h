#pragma once

#include "platform/DesktopEntry.h"

#include <memory>

namespace vellora {

// Desktop entries of $XDG_DATA_HOME and $XDG_DATA_DIRS through GIO, which applies the
// desktop rules (first id wins, Hidden, TryExec; NoDisplay, OnlyShowIn and NotShowIn for shown).
// The list is read once and kept until the desktop says the installed applications changed.
class GioDesktopEntries : public DesktopEntrySource {
public:
    GioDesktopEntries();
    ~GioDesktopEntries() override;
    GioDesktopEntries(const GioDesktopEntries&) = delete;
    GioDesktopEntries& operator=(const GioDesktopEntries&) = delete;

    std::optional<QList<DesktopEntry>> entries() override;
    QString defaultFileManagerId() override;

    // Forgets the kept list, so the next call reads the folders again.
    void invalidate();

private:
    struct Impl;
    std::unique_ptr<Impl> d;
};

} // namespace vellora
