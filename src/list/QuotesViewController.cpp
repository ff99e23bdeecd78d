#include "QuotesViewController.h"

#include "AppListView.h"
#include "ListNavigation.h"
#include "Resources.h"
#include "core/AppVolumeTable.h"
#include "core/Diagnostics.h"
#include "core/EventMonitor.h"
#include "core/MusicPlayerCheck.h"
#include "core/NotificationCenter.h"
#include "core/VolumeSwitch.h"
#include "panels/OptionsMenu.h"
#include "panels/VolumeEditor.h"
#include "platform/ActivationSource.h"
#include "ui_QuotesViewController.h"

#include <QApplication>
#include <QCursor>
#include <QLineEdit>
#include <QToolButton>

namespace vellora {

QuotesViewController::QuotesViewController(Services services, QObject* parent)
    : QObject(parent), services_(std::move(services)),
      table_(std::make_unique<AppVolumeTable>(services_.defaults)),
      playerCheck_(std::make_unique<MusicPlayerCheck>(services_.defaults, services_.players)),
      switch_(std::make_unique<VolumeSwitch>(*table_, services_.volume, *playerCheck_)) {
    initResources();
    editor_ = std::make_unique<VolumeEditor>(
        *table_, VolumeEditor::Hooks{[this] { fet(); }, [this] { fetchLog(); },
                                     [this] { return eventMonitor_.get(); }});
    menu_ = std::make_unique<OptionsMenu>(
        services_.defaults,
        OptionsMenu::Hooks{[this] { resetAll(); },
                           [this] {
                               eventMonitor_ = std::make_unique<EventMonitor>(
                                   services_.mouse,
                                   EventMonitor::kLeftMouseDown | EventMonitor::kRightMouseDown,
                                   [this](const auto&) { editor_->outsideClick(); });
                           },
                           services_.quit});
}

QuotesViewController::~QuotesViewController() {
    // The filter refers to the navigation: take it off the application first.
    if (navigationFilter_ && qApp)
        qApp->removeEventFilter(navigationFilter_.get());
}

QWidget* QuotesViewController::view() {
    if (!view_) {
        view_ = std::make_unique<QWidget>();
        ui_ = std::make_unique<Ui::QuotesViewController>();
        ui_->setupUi(view_.get());
        viewDidLoad();
    }
    return view_.get();
}

QWidget* QuotesViewController::theView() const {
    return ui_ ? ui_->theView : nullptr;
}
QWidget* QuotesViewController::outroView() const {
    return ui_ ? ui_->outroView : nullptr;
}
QLineEdit* QuotesViewController::searchController() const {
    return ui_ ? ui_->searchController : nullptr;
}
QToolButton* QuotesViewController::configButton() const {
    return ui_ ? ui_->configButton : nullptr;
}

void QuotesViewController::viewDidLoad() {
    NotificationCenter::defaultCenter().addObserver(QStringLiteral("atu"), this, [this] { fet(); });

    list_ =
        std::make_unique<AppListView>(*table_, ui_->theView, ui_->outroView, ui_->searchController);
    connect(list_.get(), &AppListView::applicationClicked, this, &QuotesViewController::showsy);
    navigation_ = std::make_unique<ListNavigation>(*list_);
    navigationFilter_ = std::make_unique<NavigationFilter>(*navigation_, view_.get());
    qApp->installEventFilter(navigationFilter_.get());
    list_->i = 1;

    connect(ui_->searchController, &QLineEdit::textChanged, this, &QuotesViewController::performX);

    ui_->configButton->setIcon(bundleImage(QStringLiteral("options")));
    ui_->configButton->setAutoRaise(true);
    connect(ui_->configButton, &QToolButton::clicked, this, &QuotesViewController::openMenu);

    if (services_.activations) {
        connect(services_.activations, &ActivationSource::applicationActivated, this,
                &QuotesViewController::setPreviousApplication);
    }
    menu_->scheduleRebuild();
}

void QuotesViewController::fet() {
    diag(QStringLiteral("fet"));
    QMetaObject::invokeMethod(this, &QuotesViewController::fetchLog, Qt::QueuedConnection);
}

void QuotesViewController::fetchLog() {
    diag(QStringLiteral("update"));
    if (list_)
        list_->sortedApps.clear();
    QMetaObject::invokeMethod(this, &QuotesViewController::scanCatalogue, Qt::QueuedConnection);
}

void QuotesViewController::scanCatalogue() {
    if (!list_)
        return;
    if (auto catalogue = vellora::scanCatalogue(services_.entries))
        list_->fil = std::move(*catalogue);
    else
        diag(QStringLiteral("catalogue: the applications could not be listed; keeping the "
                            "previous list"));
    performX();
}

void QuotesViewController::performX() {
    if (list_)
        list_->performX();
}

void QuotesViewController::coix() {
    if (list_)
        list_->coix();
}

void QuotesViewController::setPreviousApplication(const RunningApplication& application) {
    switch_->setPreviousApplication(application);
}

void QuotesViewController::showsy(QAbstractButton* sender) {
    editor_->showsy(sender);
}

void QuotesViewController::closePopover() {
    editor_->closePopover();
}

void QuotesViewController::resetAll() {
    table_->resetAll();
    fet();
}

void QuotesViewController::openMenu() {
    menu_->openMenu(QCursor::pos());
}

void QuotesViewController::newMenu() {
    menu_->newMenu();
}

} // namespace vellora
