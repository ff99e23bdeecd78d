#include "QuotesViewController.h"

#include "AppListView.h"
#include "ListNavigation.h"
#include "Resources.h"
#include "base/Bundle.h"
#include "base/Diagnostics.h"
#include "base/Logging.h"
#include "core/AppVolumeTable.h"
#include "core/EventMonitor.h"
#include "core/NotificationCenter.h"
#include "core/SwitchWorker.h"
#include "core/VolumeSwitch.h"
#include "panels/About.h"
#include "panels/Alert.h"
#include "panels/LaunchAtLogin.h"
#include "panels/OptionsMenu.h"
#include "panels/Popover.h"
#include "panels/VolumeEditor.h"
#include "ui_QuotesViewController.h"
#include "vellora/Config.h"

#include <QApplication>
#include <QCursor>
#include <QLineEdit>
#include <QProgressDialog>
#include <QShortcut>
#include <QTimer>
#include <QToolButton>
#include <limits>

namespace vellora {

QuotesViewController::QuotesViewController(Services services, QObject* parent)
    : QObject(parent), services_(std::move(services)),
      table_(std::make_unique<AppVolumeTable>(services_.defaults)),
      outputLevels_(std::make_unique<OutputLevels>(services_.defaults)),
      switcher_(services_.switcher) {
    if (!switcher_) {
        ownSwitcher_ =
            std::make_unique<SwitchWorker>(services_.defaults, services_.volume, services_.players);
        switcher_ = ownSwitcher_.get();
    }
    initResources();
    editor_ = std::make_unique<VolumeEditor>(
        *table_, services_.policy, [this] { return eventMonitor_.get(); }, outputLevels_.get());
    // Levels for one output are offered for the output the switch sets.
    connect(switcher_, &SwitchWorker::outputInUse, editor_.get(), &VolumeEditor::setOutputInUse);
    QMetaObject::invokeMethod(switcher_, &SwitchWorker::retellOutputInUse); // on its thread
    // A level learnt shows in the list's markers.
    connect(&switcher_->learner(), &LevelLearner::learnt, this, [this] {
        if (list_)
            list_->refreshMarkers();
    });
    connect(editor_.get(), &VolumeEditor::listOutdated, this, &QuotesViewController::fet);
    connect(editor_.get(), &VolumeEditor::listOutdatedNow, this, &QuotesViewController::fetchLog);
    if (!services_.alerts) {
        ownAlerts_ = std::make_unique<MessageBoxAlerts>();
        services_.alerts = ownAlerts_.get();
    }
    launchAtLogin_ = std::make_unique<LaunchAtLogin>(services_.defaults, services_.loginItems,
                                                     services_.scripts, *services_.alerts);
    about_ = std::make_unique<About>(About::Services{services_.notifications, *services_.alerts,
                                                     services_.workspace, Bundle::main(),
                                                     supportURLText()});
    menu_ = std::make_unique<OptionsMenu>(
        services_.defaults, services_.policy,
        OptionsMenu::Offers{services_.loginItems != nullptr, services_.updater});
    connect(menu_.get(), &OptionsMenu::rebuilding, this,
            &QuotesViewController::replaceEditorMonitor);
    connect(menu_.get(), &OptionsMenu::resetAllChosen, this, &QuotesViewController::resetAll);
    connect(menu_.get(), &OptionsMenu::launchAtLoginChosen, this,
            &QuotesViewController::launchLogin);
    connect(menu_.get(), &OptionsMenu::checkForUpdatesChosen, this,
            &QuotesViewController::checkNow);
    connect(menu_.get(), &OptionsMenu::aboutChosen, this, &QuotesViewController::dialogOKCancel2);
    if (services_.quit)
        connect(menu_.get(), &OptionsMenu::quitChosen, this, services_.quit);
}

void QuotesViewController::replaceEditorMonitor() {
    // Rebuilding the menu while the editor is open must not leave it without its monitor.
    const bool running = eventMonitor_ && eventMonitor_->isRunning();
    eventMonitor_ = std::make_unique<EventMonitor>(
        services_.mouse, EventMonitor::kLeftMouseDown | EventMonitor::kRightMouseDown,
        [this](const auto&) { editor_->outsideClick(); });
    if (running)
        eventMonitor_->start();
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
    services_.notifications.addObserver(notification::kAtu, this, [this] { fet(); });

    list_ = std::make_unique<AppListView>(*table_, ui_->theView, ui_->outroView,
                                          ui_->searchController, outputLevels_.get());
    connect(list_.get(), &AppListView::applicationClicked, this, &QuotesViewController::openEditor);
    navigation_ = std::make_unique<ListNavigation>(*list_);
    navigationFilter_ = std::make_unique<NavigationFilter>(*navigation_, view_.get());
    connect(navigationFilter_.get(), &NavigationFilter::listPressed, this,
            &QuotesViewController::listPressed);
    connect(navigationFilter_.get(), &NavigationFilter::escapePressed, this, [this] {
        // Once the key is delivered: closing takes the focus from the field it reached.
        QMetaObject::invokeMethod(
            this, [this] { services_.notifications.post(notification::kClosePop); },
            Qt::QueuedConnection);
    });
    qApp->installEventFilter(navigationFilter_.get());

    connect(ui_->searchController, &QLineEdit::textChanged, this, &QuotesViewController::performX);

    ui_->configButton->setIcon(bundleImage(QStringLiteral("options")));
    ui_->configButton->setAutoRaise(true);
    connect(ui_->configButton, &QToolButton::clicked, this, &QuotesViewController::openMenu);
    // The keys the options menu shows work while the list is open, too.
    const QKeySequence checkKey(QStringLiteral("Ctrl+U")), quitKey(QStringLiteral("Ctrl+Q"));
    navigationFilter_->setCommandKeys({checkKey, quitKey});
    if (services_.updater)
        connect(new QShortcut(checkKey, view_.get()), &QShortcut::activated, this,
                &QuotesViewController::checkNow);
    if (services_.quit)
        connect(new QShortcut(quitKey, view_.get()), &QShortcut::activated, this,
                [this] { services_.quit(); });

    menu_->scheduleRebuild();

    if (services_.updater) {
        services_.updater->setFeedURL(QUrl(feedURLText(), QUrl::StrictMode));
        services_.updater->setUpdateCheckInterval(86400.0);
        followUpdater(*services_.updater);
    }
}

QString QuotesViewController::feedURLText() {
    return QStringLiteral("https://%1/downloads/VelloraAppCast.xml")
        .arg(QLatin1String(config::kVendorHost));
}

QString QuotesViewController::supportURLText() {
    return QStringLiteral("https://%1/contact.html").arg(QLatin1String(config::kVendorHost));
}

void QuotesViewController::fet() {
    diag(QStringLiteral("fet"));
    QMetaObject::invokeMethod(this, &QuotesViewController::fetchLog, Qt::QueuedConnection);
}

void QuotesViewController::fetchLog() {
    diag(QStringLiteral("update"));
    QMetaObject::invokeMethod(this, &QuotesViewController::scanCatalogue, Qt::QueuedConnection);
}

void QuotesViewController::scanCatalogue() {
    if (!list_)
        return;
    if (auto catalogue = vellora::scanCatalogue(services_.entries))
        list_->model().setCatalogue(std::move(*catalogue));
    else
        qCWarning(lcList, "the applications could not be listed; keeping the previous list");
    performX();
}

void QuotesViewController::performX() {
    if (list_)
        list_->rebuild();
}

void QuotesViewController::layOutPage() {
    if (list_)
        list_->layOutPage();
}

void QuotesViewController::setPreviousApplication(
    const std::optional<RunningApplication>& application) {
    switcher_->post(application);
}

void QuotesViewController::openEditor(const Apps& app, const QString& title, QWidget* button) {
    // Levels are stored under the shown name, without the status markers.
    editor_->openFor({AppVolumeTable::titleKey(displayName(app)), title}, button);
    // The editor is a window of its own and has the keyboard while it shows: the keys of the
    // list's commands work there too. They go with the editor, which every opening makes anew.
    if (QWidget* editor = editor_->popover()) {
        for (QShortcut* key : view_->findChildren<QShortcut*>(Qt::FindDirectChildrenOnly))
            connect(new QShortcut(key->key(), editor), &QShortcut::activated, key,
                    &QShortcut::activated);
    }
}

void QuotesViewController::closePopover() {
    editor_->closePopover();
}

void QuotesViewController::listClosed() {
    if (editor_->isShown())
        editor_->closePopover();
}

void QuotesViewController::listPressed() {
    if (!editor_->isShown())
        return;
    editor_->dismiss();
    // The markers follow what the editor stored, without rebuilding the buttons under the press.
    if (list_)
        list_->refreshMarkers();
}

void QuotesViewController::resetAll() {
    table_->resetAll();
    outputLevels_->resetAll();
    fet();
}

void QuotesViewController::openMenu() {
    // At the pointer, where the button was clicked; under the button when the keyboard chose it.
    QPoint at = QCursor::pos();
    const QToolButton* button = configButton();
    if (button && !button->rect().contains(button->mapFromGlobal(at)))
        at = button->mapToGlobal(QPoint(0, button->height()));
    menu_->openMenu(at);
}

void QuotesViewController::newMenu() {
    menu_->newMenu();
}

void QuotesViewController::launchLogin(QAction* sender) {
    launchAtLogin_->launchLogin(sender);
    // Whatever came of it, the list closes and the menu is rebuilt from "login".
    services_.notifications.post(notification::kClosePop);
    menu_->scheduleRebuild();
}

void QuotesViewController::addToLoginItems() {
    launchAtLogin_->addToLoginItems();
}

void QuotesViewController::checkNow() {
    services_.notifications.post(notification::kClosePop);
    if (!services_.updater)
        return;
    services_.updater->checkForUpdates();
    if (!services_.updater->isChecking() || checking_)
        return;
    // A check that takes a moment shows that it runs, and can be called off.
    checking_ = std::make_unique<QProgressDialog>(QStringLiteral("Checking for updates\u2026"),
                                                  QStringLiteral("Cancel"), 0, 0);
    checking_->setWindowTitle(QStringLiteral("Vellora"));
    checking_->setAutoReset(false);
    checking_->setMinimumDuration(std::numeric_limits<int>::max()); // shown by the timer below
    QTimer::singleShot(400, checking_.get(), &QWidget::show);
    connect(checking_.get(), &QProgressDialog::canceled, services_.updater, &Updater::cancelCheck);
    connect(
        services_.updater, &Updater::checkFinished, checking_.get(),
        [this] {
            checking_->hide();
            const auto drop = [this] { checking_.reset(); };
            QMetaObject::invokeMethod(this, drop, Qt::QueuedConnection);
        },
        Qt::SingleShotConnection);
}

void QuotesViewController::dialogOKCancel2() {
    about_->dialogOKCancel2();
}

void QuotesViewController::dialogOKCancel3() {
    about_->dialogOKCancel3();
}

void QuotesViewController::followUpdater(Updater& updater) {
    connect(&updater, &Updater::feedLoaded, this, &QuotesViewController::didFinishLoadingAppcast);
    connect(&updater, &Updater::updateFound, this, &QuotesViewController::didFindValidUpdate);
    connect(&updater, &Updater::noUpdateFound, this,
            &QuotesViewController::updaterDidNotFindUpdate);
}

void QuotesViewController::didFinishLoadingAppcast(const Appcast& appcast) {
    diag(QStringLiteral("didFinishLoadingAppcast"));
    if (!appcast.userAgentString.isEmpty())
        diag(appcast.userAgentString);
}

void QuotesViewController::didFindValidUpdate(const AppcastItem&) {
    diag(QStringLiteral("didFindValidUpdate"));
}

void QuotesViewController::updaterDidNotFindUpdate() {
    diag(QStringLiteral("updaterDidNotFindUpdate"));
}

} // namespace vellora
