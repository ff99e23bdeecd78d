#pragma once

#include <QString>

namespace vellora {

// Shows a modal alert with a message and the single default button.
class AlertPresenter {
public:
    virtual ~AlertPresenter() = default;
    // Returns once the user has dismissed the alert.
    virtual void runModal(const QString& messageText) = 0;
};

// The alert as a message box of the desktop.
class MessageBoxAlerts : public AlertPresenter {
public:
    void runModal(const QString& messageText) override;
};

} // namespace vellora
