#pragma once

#include "base/Bundle.h"

#include <QString>
#include <optional>

namespace vellora {

class AlertPresenter;
class NotificationCenter;
class Workspace;

// The About dialog: name, version and legal notice, with the way to the vendor's support page
// and to the acknowledgements shipped in the bundle.
class About {
public:
    static inline const QString kLegalNotice =
        QStringLiteral("Copyright \u00a9 2026 The Vellora developers. All rights reserved.");

    struct Services {
        NotificationCenter& notifications;
        AlertPresenter& alerts;
        Workspace* workspace = nullptr; // none: nothing can be opened
        std::optional<Bundle> bundle;   // the program's bundle, if it runs from one
        QString supportPage;            // the vendor's contact page
    };

    explicit About(Services services) : services_(std::move(services)) {}

    // Closes the list, shows the dialog and does what the chosen button says.
    void dialogOKCancel2();
    // Opens the acknowledgements document with the desktop's opener.
    void dialogOKCancel3();

private:
    Services services_;
};

} // namespace vellora
