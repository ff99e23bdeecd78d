#pragma once

#include "ApplicationResolver.h"

namespace vellora {

// Names the application of an active window, for any activation source: adds what /proc tells
// of the window's process to what the window tells, and matches it against the desktop entries
// as they are now.
class WindowNamer {
public:
    explicit WindowNamer(DesktopEntrySource& entries) : entries_(entries) {}
    std::optional<RunningApplication> name(WindowFacts facts);
    // Whether the desktop entries changed since the last naming: names given before may not be
    // the ones the list shows now.
    bool entriesChanged();

private:
    DesktopEntrySource& entries_;
    ApplicationResolver resolver_;
};

} // namespace vellora
