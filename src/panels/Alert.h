#pragma once

#include <QString>
#include <QStringList>

namespace vellora {

// A modal alert: a message, an explanation and buttons, the first of them the default.
struct AlertSpec {
    enum class Style { Warning = 0, Informational = 1, Critical = 2 };

    QString messageText;
    QString informativeText;
    QStringList buttons = {QStringLiteral("OK")}; // in the order added
    QString iconName = {};                        // an image of the program; none: the style's
    Style style = Style::Warning;
};

// Shows modal alerts.
class AlertPresenter {
public:
    // The answer of the first button; the next ones count up from it.
    static constexpr int kFirstButton = 1000;

    virtual ~AlertPresenter() = default;
    // Returns once the user has chosen a button, with that button's answer; closing the
    // alert any other way (Escape, the window's close button) chooses the last button.
    virtual int runModal(const AlertSpec& alert) = 0;

    // A message with the single button "OK".
    void alert(const QString& messageText) { runModal(AlertSpec{messageText, {}}); }
};

// The alert as a message box of the desktop.
class MessageBoxAlerts : public AlertPresenter {
public:
    int runModal(const AlertSpec& alert) override;
};

} // namespace vellora
