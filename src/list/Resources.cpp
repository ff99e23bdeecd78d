#include "Resources.h"

#include "base/Bundle.h"

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

QIcon bundleImage(const QString& name) {
    if (const auto bundle = Bundle::main()) {
        const QString path = bundle->pathForResource(name, QStringLiteral("svg"));
        if (!path.isEmpty())
            return QIcon(path);
    }
    initResources();
    return QIcon(QStringLiteral(":/vellora/%1.svg").arg(name));
}

} // namespace vellora
