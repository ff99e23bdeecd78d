#include "WindowNamer.h"

#include "ProcessInfo.h"

namespace vellora {

std::optional<RunningApplication> WindowNamer::name(WindowFacts facts) {
    facts.sandboxAppId = ApplicationResolver::sandboxAppIdFromCgroup(proc::cgroup(facts.pid));
    facts.exePath = proc::exePath(facts.pid);
    facts.cmdline = proc::cmdline(facts.pid);
    if (const auto installed = entries_.installed())
        resolver_.setEntries(installed->entries, installed->fileManagerId);
    return resolver_.resolve(facts);
}

bool WindowNamer::entriesChanged() {
    const auto installed = entries_.installed();
    return installed && !resolver_.holds(installed->entries, installed->fileManagerId);
}

} // namespace vellora
