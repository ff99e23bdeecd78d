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

private:
    DesktopEntrySource& entries_;
    ApplicationResolver resolver_;
};

} // namespace vellora
