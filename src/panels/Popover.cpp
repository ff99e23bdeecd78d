#include "Popover.h"

#include <QApplication>
#include <QGuiApplication>
#include <QPalette>
#include <QScreen>
#include <QVBoxLayout>

#include <algorithm>

namespace vellora {

namespace {

// The standard light look, whatever the desktop's theme.
QPalette lightPalette() {
    QPalette p;
    p.setColor(QPalette::Window, QColor(0xf4, 0xf4, 0xf4));
    p.setColor(QPalette::WindowText, Qt::black);
    p.setColor(QPalette::Base, Qt::white);
    p.setColor(QPalette::AlternateBase, QColor(0xea, 0xea, 0xea));
    p.setColor(QPalette::Text, Qt::black);
    p.setColor(QPalette::Button, QColor(0xf4, 0xf4, 0xf4));
    p.setColor(QPalette::ButtonText, Qt::black);
    p.setColor(QPalette::Highlight, QColor(0x30, 0x8c, 0xf0));
    p.setColor(QPalette::HighlightedText, Qt::white);
    p.setColor(QPalette::ToolTipBase, Qt::white);
    p.setColor(QPalette::ToolTipText, Qt::black);
    return p;
}

} // namespace

Popover::Popover(ActivationPolicy& policy, QWidget* parent) : QWidget(parent), policy_(policy) {
    setPalette(lightPalette());
    setAutoFillBackground(true);
    setWindowTitle(QStringLiteral("Vellora"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    applyPolicy();
    connect(&policy_, &ActivationPolicy::changed, this, &Popover::applyPolicy);
    // The window manager may hand the focus to a popover after it was hidden; a field focused
    // there would blink its cursor, waking the program twice a second for nothing.
    if (auto* app = qobject_cast<QApplication*>(QCoreApplication::instance())) {
        connect(app, &QApplication::focusChanged, this, [this](QWidget*, QWidget* now) {
            if (now && !isVisible() && isAncestorOf(now))
                now->clearFocus();
        });
    }
}

Popover::~Popover() {
    if (content_ && ownership_ == Ownership::Borrowed)
        content_->setParent(nullptr);
}

void Popover::setContent(QWidget* content, Ownership ownership) {
    if (content_ == content)
        return;
    if (content_) {
        layout()->removeWidget(content_);
        content_->hide();
        if (ownership_ == Ownership::Borrowed)
            content_->setParent(nullptr);
        else
            content_->deleteLater();
    }
    content_ = content;
    ownership_ = ownership;
    if (content_) {
        layout()->addWidget(content_);
        content_->show();
        adjustSize();
        setFixedSize(content_->size());
    }
}

void Popover::showRelativeTo(const QRect& anchor, Edge preferred) {
    const QSize size = content_ ? content_->size() : sizeHint();
    QScreen* screen = QGuiApplication::screenAt(anchor.center());
    if (!screen)
        screen = QGuiApplication::primaryScreen();
    const QRect area = screen ? screen->availableGeometry() : QRect(0, 0, 4096, 4096);

    const int below = anchor.bottom() + 1;
    const int above = anchor.top() - size.height();
    int y = preferred == Edge::Below ? below : above;
    if (preferred == Edge::Below && y + size.height() > area.bottom() + 1 && above >= area.top())
        y = above;
    if (preferred == Edge::Above && y < area.top())
        y = below;
    int x = anchor.center().x() - size.width() / 2;
    x = std::clamp(x, area.left(), std::max(area.left(), area.right() + 1 - size.width()));
    y = std::clamp(y, area.top(), std::max(area.top(), area.bottom() + 1 - size.height()));
    move(x, y);
    show();
    raise();
    activateWindow();
}

void Popover::performClose() {
    hide();
}

void Popover::hideEvent(QHideEvent* event) {
    QWidget::hideEvent(event);
    // A hidden field keeps its cursor blinking until it loses focus: an idle program wakes
    // for nothing.
    if (QWidget* focused = focusWidget())
        focused->clearFocus();
    Q_EMIT closed();
}

bool Popover::event(QEvent* event) {
    // Given the keyboard with nothing focused (the window manager may activate the window after
    // its content asked for the focus), the first field takes it.
    if (event->type() == QEvent::WindowActivate && !focusWidget())
        focusNextChild();
    return QWidget::event(event);
}

void Popover::applyPolicy() {
    // A tool window skips the task bar and pager; a plain window appears there.
    const bool visible = isVisible();
    const Qt::WindowFlags kind =
        policy_.kind() == ActivationPolicy::Kind::Accessory ? Qt::Tool : Qt::Window;
    setWindowFlags(kind | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint);
    if (visible)
        show();
}

} // namespace vellora
