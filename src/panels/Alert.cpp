#include "Alert.h"

#include "list/Resources.h"

#include <QAbstractButton>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QTextDocument>

namespace vellora {

int MessageBoxAlerts::runModal(const AlertSpec& alert) {
    QMessageBox box;
    box.setWindowTitle(QStringLiteral("Vellora"));
    // Texts may come from outside (an update feed): shown as written, never as markup.
    box.setTextFormat(Qt::RichText);
    box.setText(QStringLiteral("<b>%1</b>").arg(alert.messageText.toHtmlEscaped()));
    box.setInformativeText(Qt::convertFromPlainText(alert.informativeText, Qt::WhiteSpaceNormal));
    if (auto* informative = box.findChild<QLabel*>(QStringLiteral("qt_msgbox_informativelabel")))
        informative->setMinimumWidth(380); // a line of the notice fits on one line
    const QIcon icon = alert.iconName.isEmpty() ? QIcon() : bundleImage(alert.iconName);
    if (!icon.isNull())
        box.setIconPixmap(icon.pixmap(64, 64));
    else
        box.setIcon(alert.style == AlertSpec::Style::Informational ? QMessageBox::Information
                    : alert.style == AlertSpec::Style::Critical    ? QMessageBox::Critical
                                                                   : QMessageBox::Warning);
    // One role for all keeps the buttons in the order they were added, on every desktop.
    QList<QAbstractButton*> buttons;
    for (const QString& title : alert.buttons) {
        QString label = title;
        buttons << box.addButton(label.replace(QLatin1Char('&'), QLatin1String("&&")),
                                 QMessageBox::ActionRole);
    }
    if (buttons.isEmpty())
        buttons << box.addButton(QMessageBox::Ok);
    box.setDefaultButton(qobject_cast<QPushButton*>(buttons.first()));
    box.setEscapeButton(buttons.last());
    box.exec();
    const qsizetype chosen = buttons.indexOf(box.clickedButton());
    return kFirstButton + int(chosen < 0 ? buttons.size() - 1 : chosen);
}

} // namespace vellora
