#include "About.h"

#include "Alert.h"
#include "base/Diagnostics.h"
#include "core/NotificationCenter.h"
#include "platform/Workspace.h"

#include <QUrl>

namespace vellora {

void About::dialogOKCancel2() {
    services_.notifications.post(notification::kClosePop);

    const QVariantMap info = services_.bundle ? services_.bundle->infoDictionary() : QVariantMap();
    const QVariant version = info.value(QStringLiteral("CFBundleVersion"));
    const QString versionText =
        version.typeId() == QMetaType::QString ? version.toString() : QString();
    const QString name = info.value(QStringLiteral("CFBundleName")).toString();

    AlertSpec alert;
    alert.messageText = QStringLiteral("About");
    alert.informativeText =
        name + QLatin1Char('\n') + versionText + QLatin1Char('\n') + kLegalNotice;
    alert.buttons = {QStringLiteral("Support"), QStringLiteral("Acknowledgements"),
                     QStringLiteral("OK")};
    alert.iconName = QStringLiteral("AppIcon");
    alert.style = AlertSpec::Style::Informational;

    switch (services_.alerts.runModal(alert)) {
    case AlertPresenter::kFirstButton: {
        const QUrl url(services_.supportPage, QUrl::StrictMode);
        if (!url.isValid() || url.scheme().isEmpty() || url.host().isEmpty())
            diag(QStringLiteral("invalid url"));
        else if (services_.workspace && services_.workspace->openUrl(url))
            diag(QStringLiteral("url successfully opened"));
        break;
    }
    case AlertPresenter::kFirstButton + 1:
        diag(QStringLiteral("Second button"));
        dialogOKCancel3();
        break;
    default:
        break;
    }
}

void About::dialogOKCancel3() {
    const QString path = services_.bundle
                             ? services_.bundle->pathForResource(QStringLiteral("Acknowledgments"),
                                                                 QStringLiteral("pdf"))
                             : QString();
    if (path.isEmpty() || !services_.workspace)
        return;
    services_.workspace->openDocument(path); // not waited for; its outcome is the opener's
}

} // namespace vellora
