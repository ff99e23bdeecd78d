#include "VolumeEditor.h"

#include "Popover.h"
#include "core/AppVolumeTable.h"
#include "core/Diagnostics.h"
#include "core/EventMonitor.h"

#include <QAbstractButton>
#include <QPushButton>
#include <QSlider>
#include <QTextBoundaryFinder>

namespace vellora {

namespace {
const char* const kKeyEquivalent = "keyEquivalent";
}

VolumeEditor::VolumeEditor(AppVolumeTable& table, Hooks hooks, QObject* parent)
    : QObject(parent), table_(table), hooks_(std::move(hooks)) {}

VolumeEditor::~VolumeEditor() = default;

QString VolumeEditor::shortName(const QString& name) {
    QTextBoundaryFinder graphemes(QTextBoundaryFinder::Grapheme, name);
    int count = 0;
    while (graphemes.toNextBoundary() != -1) {
        if (++count == 20)
            return name.left(graphemes.position());
    }
    return name;
}

void VolumeEditor::showsy(QAbstractButton* sender) {
    // A new editor each time; the previous one is dropped.
    popover_ = std::make_unique<Popover>();
    if (EventMonitor* monitor = hooks_.monitor ? hooks_.monitor() : nullptr) {
        monitor->stop();
        monitor->start();
    }
    diag(sender->text());
    const auto table = table_.loadTable();
    const QString name = AppVolumeTable::titleKey(sender->text());

    auto* view = new QWidget;
    view->setFixedSize(220, 70);
    auto* button = new QPushButton(view);
    v1_ = button;
    button->setProperty(kKeyEquivalent, name);
    button->setGeometry(20, 5, 220, 20);
    button->setFlat(true);
    button->setStyleSheet(QStringLiteral("QPushButton { text-align: left; border: none; }"));
    connect(button, &QPushButton::clicked, this, [this, button] { disable(button); });

    auto* slider = new QSlider(Qt::Horizontal, view);
    slider_ = slider;
    slider->setMaximum(100);
    slider->setMinimum(0);
    slider->setTickPosition(QSlider::TicksBelow);
    slider->setTickInterval(10); // 11 tick marks
    slider->setSingleStep(10);
    slider->setPageStep(10);
    slider->setToolTip(name);
    slider->setGeometry(20, 30, 180, 20);
    // Tick values only: a value between two ticks moves to the nearest one.
    connect(slider, &QSlider::valueChanged, this, [this, slider](int value) {
        const int tick = (value + 5) / 10 * 10;
        if (tick != value)
            slider->setValue(tick);
        else
            link(slider);
    });

    const QString shortened = shortName(name);
    setLabel(shortened + QStringLiteral(" - Disabled"));
    if (table && !table->isEmpty()) {
        if (const auto index = AppVolumeTable::findEntry(*table, name)) {
            const QString level = AppVolumeTable::entryLevel(table->at(*index));
            const QSignalBlocker quiet(slider); // showing the stored level stores nothing
            slider->setValue(parseLevel(level).value_or(0));
            setLabel(shortened + QStringLiteral(":  ") + level + QStringLiteral(" Disable?"));
        }
    }

    popover_->setContent(view, Popover::Ownership::Owned);
    const QRect anchor(sender->mapToGlobal(QPoint(0, 0)), sender->size());
    popover_->showRelativeTo(anchor, Popover::Edge::Above);
    slider->setFocus(); // the arrow keys move the level at once
}

void VolumeEditor::link(QSlider* sender) {
    const QString level = QString::number(sender->value());
    const QString name = sender->toolTip();
    theNewApp_ = table_.putEntry(level, name);
    setLabel(name + QStringLiteral(":   ") + level);
}

void VolumeEditor::disable(QPushButton* sender) {
    table_.removeEntry(sender->property(kKeyEquivalent).toString());
    if (hooks_.fetchLog)
        hooks_.fetchLog();
}

void VolumeEditor::closePopover() {
    if (popover_)
        popover_->performClose();
    if (EventMonitor* monitor = hooks_.monitor ? hooks_.monitor() : nullptr)
        monitor->stop();
    diag(QStringLiteral("close"));
    if (hooks_.fet)
        hooks_.fet();
}

void VolumeEditor::outsideClick() {
    if (!popover_ || !popover_->isShown())
        return;
    closePopover();
    if (hooks_.fetchLog)
        hooks_.fetchLog();
}

void VolumeEditor::setLabel(const QString& text) {
    if (v1_)
        v1_->setText(text);
}

} // namespace vellora
