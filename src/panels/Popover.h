#pragma once

#include <QPointer>
#include <QWidget>

namespace vellora {

// Whether this program's windows show in the task bar (regular) or not (accessory, "Menu Bar
// Only"); every popover follows it, those shown now and those made later.
class ActivationPolicy : public QObject {
    Q_OBJECT

public:
    enum class Kind { Regular, Accessory };
    using QObject::QObject;

    Kind kind() const { return kind_; }
    void set(Kind kind) {
        if (kind == kind_)
            return;
        kind_ = kind;
        Q_EMIT changed();
    }

Q_SIGNALS:
    void changed();

private:
    Kind kind_ = Kind::Regular;
};

// A small frameless window shown next to a rectangle of the screen, like a popover: the
// main one under the tray icon, the editor above an application button.
class Popover : public QWidget {
    Q_OBJECT

public:
    enum class Edge { Below, Above };

    explicit Popover(ActivationPolicy& policy, QWidget* parent = nullptr);
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

Q_SIGNALS:
    void closed();

protected:
    void hideEvent(QHideEvent* event) override;
    bool event(QEvent* event) override;

private:
    void applyPolicy();

    ActivationPolicy& policy_;
    QPointer<QWidget> content_;
    Ownership ownership_ = Ownership::Borrowed;
};

} // namespace vellora
