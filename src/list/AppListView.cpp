#include "AppListView.h"

#include "core/AppVolumeTable.h"

#include <QFileInfo>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <QToolButton>

#include <algorithm>

namespace vellora {

AppListView::AppListView(AppVolumeTable& table, QWidget* theView, QWidget* outroView,
                         QLineEdit* search, QObject* parent)
    : QObject(parent), table_(table), theView_(theView), outroView_(outroView), search_(search) {}

int AppListView::pageCount() const {
    return int((sortedApps.size() + 3) / 4);
}

void AppListView::performX() {
    sortedApps.clear();
    highlated = 0;
    sortedApps = fil;

    const QString text = search_ ? search_->text() : QString();
    if (!text.isEmpty()) {
        i = 1;
        sortedApps.removeIf([&](const Apps& app) { return !matchesSearch(app, text); });
    }
    std::stable_sort(sortedApps.begin(), sortedApps.end(), catalogueLess);

    // The strip: one page button per page, sharing the strip's width.
    const int pages = pageCount();
    if (outroView_) {
        for (QWidget* child : outroView_->findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
            delete child;
    }
    bs.clear();
    for (int k = 0; outroView_ && k < pages; ++k) {
        const double w = double(outroView_->width()) / pages;
        auto* page = new QPushButton(outroView_);
        page->setFlat(true);
        page->setFocusPolicy(Qt::NoFocus);
        page->setProperty("tag", k);
        page->setGeometry(qRound(k * w), 0, qRound((k + 1) * w) - qRound(k * w),
                          outroView_->height());
        connect(page, &QPushButton::clicked, this, [this, k] { change(k); });
        page->show();
        bs << page;
    }
    // The current page is marked; after a rebuild that kept a later page, that one.
    i = std::clamp(i, 1, std::max(1, pages));
    vai();
    coix();
}

void AppListView::coix() {
    bts.clear();
    if (theView_) {
        const auto children = theView_->findChildren<QWidget*>(Qt::FindDirectChildrenOnly);
        for (QWidget* child : children) {
            // Only plain application buttons: other widgets placed in the grid stay.
            if (qstrcmp(child->metaObject()->className(), "QToolButton") == 0)
                delete child;
        }
    }
    const int start = 4 * i - 4;
    num = 0;
    const auto table = table_.loadTable();
    for (int s = 0; s < 4; ++s) {
        const int idx = start + s;
        if (idx >= sortedApps.size() || !theView_)
            continue;
        QToolButton* button = makeButton(sortedApps.at(idx), idx, table);
        const int w = theView_->width() / 2;
        const int h = theView_->height() / 2;
        button->setGeometry((s % 2) * w, (s / 2) * h, w, h);
        button->show();
        bts << button;
        ++num;
    }
}

QToolButton* AppListView::makeButton(const Apps& app, int index,
                                     const std::optional<QStringList>& table) {
    auto* button = new QToolButton(theView_);
    const QString name = displayName(app);
    QString title = kRedMarker + name;
    if (table && AppVolumeTable::findEntry(*table, AppVolumeTable::titleKey(title)))
        title = kBlueMarker + name;
    button->setText(title);
    button->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    button->setAutoRaise(true);
    button->setFocusPolicy(Qt::NoFocus);
    button->setStyleSheet(QStringLiteral("QToolButton { color: black; }"));
    const int side = int(lado);
    button->setIconSize(QSize(side, side));
    button->setIcon(QIcon(resizeImage(iconFor(app), side, side)));
    button->setProperty("keyEquivalent", QString::number(index));
    if (index < 10)
        button->setShortcut(QKeySequence(Qt::CTRL | Qt::Key(Qt::Key_0 + index)));
    connect(button, &QToolButton::clicked, this,
            [this, button] { emit applicationClicked(button); });
    return button;
}

void AppListView::vai() {
    for (QPushButton* page : std::as_const(bs))
        backgroundColor(page, fc);
    if (i >= 1 && i <= bs.size())
        backgroundColor(bs.at(i - 1), fu);
}

void AppListView::change(int tag) {
    i = tag + 1;
    vai();
    coix();
}

void AppListView::backgroundColor(QWidget* view, const QColor& color) {
    if (!view)
        return;
    QPalette palette = view->palette();
    palette.setColor(QPalette::Window, color);
    palette.setColor(QPalette::Button, color);
    view->setPalette(palette);
    view->setAutoFillBackground(true);
}

QPixmap AppListView::resizeImage(const QIcon& icon, int width, int height) {
    const QSize size(width, height);
    QPixmap source = icon.pixmap(size);
    if (source.size() == size)
        return source;
    QPixmap result(size);
    result.fill(Qt::transparent);
    QPainter painter(&result);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.drawPixmap(QRect(QPoint(0, 0), size), source);
    return result;
}

QIcon AppListView::iconFor(const Apps& app) {
    QIcon icon;
    if (QFileInfo(app.icon).isAbsolute())
        icon = QIcon(app.icon);
    else if (!app.icon.isEmpty())
        icon = QIcon::fromTheme(app.icon);
    if (icon.isNull() && app.name == Apps::kFinder)
        icon = QIcon::fromTheme(QStringLiteral("system-file-manager"));
    if (icon.isNull())
        icon = QIcon::fromTheme(QStringLiteral("application-x-executable"));
    return icon;
}

} // namespace vellora
