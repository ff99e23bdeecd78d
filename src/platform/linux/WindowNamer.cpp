#include "WindowNamer.h"

#include "ProcessInfo.h"

namespace vellora {

std::optional<RunningApplication> WindowNamer::name(WindowFacts facts) {
    facts.sandboxAppId = ApplicationResolver::sandboxAppIdFromCgroup(proc::cgroup(facts.pid));
    facts.exePath = proc::exePath(facts.pid);
    facts.cmdline = proc::cmdline(facts.pid);
    if (const auto list = entries_.entries())
        resolver_.setEntries(*list, entries_.defaultFileManagerId());
    return resolver_.resolve(facts);
}

} // namespace vellora
