#include "Resources.h"

#include <QtGlobal>

// Q_INIT_RESOURCE must be used outside any namespace.
static void initVelloraResources() {
    Q_INIT_RESOURCE(resources);
}

namespace vellora {

void initResources() {
    static const bool done = (initVelloraResources(), true);
    Q_UNUSED(done);
}

} // namespace vellora
