#include "VolumeEditor.h"

#include "Popover.h"
#include "base/Diagnostics.h"
#include "core/AppVolumeTable.h"
#include "core/ButtonText.h"
#include "core/EventMonitor.h"
#include "core/OutputLevels.h"

#include <QFontMetrics>
#include <QFrame>
#include <QKeyEvent>
#include <QProxyStyle>
#include <QTextBoundaryFinder>
#include <QTextDocument>

namespace vellora {

namespace {
// What the disable button can show inside the editor: from its left edge to the editor's (it
// draws its text from its very edge).
constexpr int kLabelWidth = 220 - 20;

// The level slider goes where it is clicked. Most styles only step towards a click beside the
// knob, and only while the button is held, which looks like a click that does nothing.
class ClickToPosition : public QProxyStyle {
public:
    int styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                  QStyleHintReturn* returned) const override {
        if (hint == QStyle::SH_Slider_AbsoluteSetButtons)
            return Qt::LeftButton;
        return QProxyStyle::styleHint(hint, option, widget, returned);
    }
};
} // namespace

VolumeEditor::VolumeEditor(AppVolumeTable& table, ActivationPolicy& policy,
                           std::function<EventMonitor*()> monitor, const OutputLevels* outputLevels,
                           QObject* parent)
    : QObject(parent), table_(table), policy_(policy), monitor_(std::move(monitor)),
      outputLevels_(outputLevels), sliderStyle_(std::make_unique<ClickToPosition>()) {}

void VolumeEditor::setOutputInUse(const QString& output, const QString& description) {
    output_ = output;
    outputDescription_ = description;
}

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

void VolumeEditor::openFor(const EditorSubject& subject, QWidget* anchor) {
    // A new editor each time. The previous one may be the very window handling the event that
    // got here: it goes off screen now and is deleted once that event is done with.
    if (popover_) {
        popover_->hide();
        popover_.release()->deleteLater();
    }
    popover_ = std::make_unique<Popover>(policy_);
    popover_->installEventFilter(this);
    if (EventMonitor* monitor = monitor_ ? monitor_() : nullptr) {
        monitor->stop();
        monitor->start();
    }
    subject_ = subject;
    outputChoice_ = nullptr; // the last editor's goes with it
    linked_ = 0;             // the slider starts at 0
    diag(subject.title);
    const QString& name = subject.name;
    // The output's own level where the application has one, as that is the one in force there.
    outputTable_.reset();
    if (auto own = outputLevels_ ? outputLevels_->tableHolding(output_, name) : std::nullopt)
        outputTable_.emplace(std::move(*own));

    // A thin frame keeps the editor apart from the list it lies over.
    auto* view = new QFrame;
    view->setObjectName(QStringLiteral("editor"));
    view->setStyleSheet(QStringLiteral("QFrame#editor { border: 1px solid #b0b0b0; }"));
    view->setFixedSize(220, 70);
    auto* button = new QPushButton(view);
    disableButton_ = button;
    button->setGeometry(20, 5, 220, 20); // its last 20 pixels lie outside the editor
    button->setFlat(true);
    button->setStyleSheet(QStringLiteral("QPushButton { text-align: left; border: none; }"));
    connect(button, &QPushButton::clicked, this, &VolumeEditor::disable);

    auto* slider = new QSlider(Qt::Horizontal, view);
    slider_ = slider;
    slider->setStyle(sliderStyle_.get());
    slider->setMaximum(100);
    slider->setMinimum(0);
    slider->setTickPosition(QSlider::TicksBelow);
    slider->setTickInterval(10); // 11 tick marks
    slider->setSingleStep(10);
    slider->setPageStep(10);
    slider->setToolTip(Qt::convertFromPlainText(name)); // shown as typed, never as markup
    slider->setGeometry(20, 30, 180, 20);
    // Tick values only: a value between two ticks moves to the nearest one, and the level is
    // stored once per tick reached, not for every step of a drag.
    connect(slider, &QSlider::valueChanged, this, [this, slider](int value) {
        const int tick = (value + 5) / 10 * 10;
        if (tick != value)
            slider->setValue(tick);
        else if (tick != linked_)
            link();
    });
    // A move belongs to a press of the knob or the track, which ends in a release, or to a turn
    // of the wheel (see eventFilter).
    connect(slider, &QSlider::actionTriggered, this, [this](int action) {
        if (action != QAbstractSlider::SliderMove)
            storeAfterAction(stores_);
    });
    slider->installEventFilter(this); // counts the stores from the press on (see eventFilter)
    connect(slider, &QSlider::sliderReleased, this, [this] { storeAfterAction(storesAtPress_); });

    showStoredLevel();
    if (outputLevels_ && !output_.isEmpty())
        addOutputChoice(view);

    popover_->setContent(view, Popover::Ownership::Owned);
    const QRect at = anchor ? QRect(anchor->mapToGlobal(QPoint(0, 0)), anchor->size())
                            : QRect(QPoint(0, 0), QSize(1, 1));
    // Above its button, but never out of the list's window: above the first row it would
    // cover the tray, where a click meant for the icon would hit the disable button.
    const QRect list = anchor ? anchor->window()->frameGeometry() : at;
    const bool room = at.top() - view->height() >= list.top();
    popover_->showRelativeTo(at, room ? Popover::Edge::Above : Popover::Edge::Below);
    slider->setFocus(); // the arrow keys move the level at once
}

void VolumeEditor::showStoredLevel() {
    const QString shortened = shortName(subject_.name);
    const auto table = editedTable().loadTable();
    const auto level = table ? AppVolumeTable::levelIn(*table, subject_.name) : std::nullopt;
    if (slider_) {
        const QSignalBlocker quiet(slider_.data()); // showing the stored level stores nothing
        slider_->setValue(parseLevel(level.value_or(QString())).value_or(0));
        linked_ = slider_->value();
    }
    if (level)
        setLabel(shortened, QStringLiteral(":  ") + *level, QStringLiteral(" Disable?"));
    else
        setLabel(shortened, QStringLiteral(" - Disabled"));
    // Levels of its own elsewhere are said beside the general one: they win on their output.
    const QStringList elsewhere = outputLevels_ && !outputTable_
                                      ? outputLevels_->outputsWithLevelFor(subject_.name)
                                      : QStringList();
    if (disableButton_)
        disableButton_->setToolTip(
            elsewhere.isEmpty()
                ? QString()
                : Qt::convertFromPlainText(QStringLiteral("Also a level of its own on: ") +
                                           oneLine(elsewhere.join(QLatin1String(", ")))));
}

void VolumeEditor::editOutputLevel(bool own) {
    outputTable_.reset();
    if (auto table = own && outputLevels_ ? outputLevels_->tableFor(output_) : std::nullopt)
        outputTable_.emplace(std::move(*table));
}

void VolumeEditor::addOutputChoice(QWidget* view) {
    // A smaller text than the rest: the choice has the editor's last 20 pixels.
    QFont small = view->font();
    small.setPointSizeF(small.pointSizeF() * 0.85);
    auto* choice = new QCheckBox(view);
    outputChoice_ = choice;
    choice->setFont(small);
    choice->setGeometry(20, 50, 190, 19); // below the slider's ticks, within the editor
    // A long description is cut to the editor's width; all of it shows as the tooltip.
    const QString only = QStringLiteral("Only on ") +
                         oneLine(outputDescription_.isEmpty() ? output_ : outputDescription_);
    const int room = 190 - choice->style()->pixelMetric(QStyle::PM_IndicatorWidth) - 8;
    choice->setText(
        buttonText(QFontMetrics(choice->font()).elidedText(only, Qt::ElideRight, room)));
    choice->setToolTip(Qt::convertFromPlainText(only));
    choice->setChecked(outputTable_.has_value());
    // Tab reaches it and Space toggles it; a toggle gives the slider the arrow keys back.
    choice->setFocusPolicy(Qt::StrongFocus);
    connect(choice, &QCheckBox::toggled, this, [this](bool checked) {
        editOutputLevel(checked);
        showStoredLevel();
        if (slider_)
            slider_->setFocus();
    });
}

void VolumeEditor::link() {
    if (!slider_)
        return;
    linked_ = slider_->value();
    ++stores_;
    const QString level = QString::number(linked_);
    theNewApp_ = editedTable().putEntry(level, subject_.name);
    setLabel(subject_.name, QStringLiteral(":   ") + level);
}

void VolumeEditor::disable() {
    editedTable().removeEntry(subject_.name);
    // The editor shows what is stored now: no level, or for an output the general one, which
    // is in force there now.
    if (outputTable_ && outputChoice_)
        outputChoice_->setChecked(false); // shows it
    else
        showStoredLevel();
    if (slider_) // the click gave the button the keyboard: the arrow keys move the level again
        slider_->setFocus();
    Q_EMIT listOutdatedNow();
}

bool VolumeEditor::isShown() const {
    return popover_ && popover_->isShown();
}

void VolumeEditor::closePopover() {
    if (popover_)
        popover_->performClose();
    stopMonitor();
    diag(QStringLiteral("close"));
    Q_EMIT listOutdated();
}

void VolumeEditor::outsideClick() {
    if (!isShown())
        return;
    closePopover();
    Q_EMIT listOutdatedNow();
}

void VolumeEditor::dismiss() {
    if (!isShown())
        return;
    popover_->performClose();
    stopMonitor();
}

// Every user action stores the level, also one that leaves the slider where it was (Left or Home
// at 0, a click on the knob, a drag or a turn of the wheel towards the end it is at): what the
// slider shows is then what is stored. An action that moved the slider has stored already.
void VolumeEditor::storeAfterAction(int storesBefore) {
    QMetaObject::invokeMethod(
        this,
        [this, storesBefore] {
            if (slider_ && !slider_->isSliderDown() && stores_ == storesBefore)
                link();
        },
        Qt::QueuedConnection);
}

bool VolumeEditor::eventFilter(QObject* watched, QEvent* event) {
    // Before the slider handles the press: a click on the track moves it, and stores, at once.
    if (event->type() == QEvent::MouseButtonPress && watched == slider_)
        storesAtPress_ = stores_;
    if (event->type() == QEvent::Wheel && watched == slider_)
        storeAfterAction(stores_);
    // Return, Enter and Escape in the editor are done with it: it closes, once the key has been
    // delivered to the slider that has it.
    if (event->type() == QEvent::KeyPress && watched == popover_.get()) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter || key == Qt::Key_Escape) {
            QMetaObject::invokeMethod(
                this,
                [this] {
                    if (isShown())
                        closePopover();
                },
                Qt::QueuedConnection);
            return true;
        }
    }
    return QObject::eventFilter(watched, event);
}

void VolumeEditor::stopMonitor() {
    if (EventMonitor* monitor = monitor_ ? monitor_() : nullptr)
        monitor->stop();
}

void VolumeEditor::setLabel(const QString& name, const QString& level, const QString& tail) {
    if (!disableButton_)
        return;
    // The name as given, unless the level after it would not be in sight: then the name is cut
    // further, visibly. The tail may run past the editor's edge, as the button does.
    const QFontMetrics metrics(disableButton_->font());
    const QString shown =
        metrics.elidedText(name, Qt::ElideRight, kLabelWidth - metrics.horizontalAdvance(level));
    disableButton_->setText(buttonText(shown + level + tail));
}

} // namespace vellora
