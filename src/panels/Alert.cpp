#include "Alert.h"

#include <QMessageBox>

namespace vellora {

void MessageBoxAlerts::runModal(const QString& messageText) {
    QMessageBox box;
    box.setWindowTitle(QStringLiteral("Vellora"));
    box.setIcon(QMessageBox::Warning);
    box.setText(messageText);
    box.setStandardButtons(QMessageBox::Ok);
    box.exec();
}

} // namespace vellora
