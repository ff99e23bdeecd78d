#pragma once

#include <QPointer>
#include <QWidget>

namespace vellora {

// A small frameless window shown next to a rectangle of the screen, like a popover: the
// main one under the tray icon, the editor above an application button.
class Popover : public QWidget {
    Q_OBJECT

public:
    enum class Edge { Below, Above };
    // Whether popovers show in the task bar (regular) or not (accessory, "Menu Bar Only").
    enum class ActivationPolicy { Regular, Accessory };

    explicit Popover(QWidget* parent = nullptr);
    ~Popover() override;

    enum class Ownership { Borrowed, Owned };
    // Shows content inside; a borrowed content is handed back (unparented) when the popover
    // goes, an owned one goes with it.
    void setContent(QWidget* content, Ownership ownership = Ownership::Borrowed);
    QWidget* content() const { return content_; }

    // Shows the popover beside the given rectangle (global coordinates), kept on screen.
    void showRelativeTo(const QRect& anchor, Edge preferred);
    void performClose();
    bool isShown() const { return isVisible(); }

    static void setActivationPolicy(ActivationPolicy policy);
    static ActivationPolicy activationPolicy();

signals:
    void closed();

protected:
    void hideEvent(QHideEvent* event) override;

private:
    void applyPolicy();

    QPointer<QWidget> content_;
    Ownership ownership_ = Ownership::Borrowed;
};

} // namespace vellora
