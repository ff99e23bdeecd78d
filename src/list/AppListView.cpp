#include "AppListView.h"

#include "core/OutputLevels.h"

#include "core/AppVolumeTable.h"
#include "core/ButtonText.h"

#include <QFileInfo>
#include <QLineEdit>
#include <QPainter>

namespace vellora {

AppListView::AppListView(AppVolumeTable& table, QWidget* theView, QWidget* outroView,
                         QLineEdit* search, const OutputLevels* outputLevels, QObject* parent)
    : QObject(parent), table_(table), outputLevels_(outputLevels), theView_(theView),
      outroView_(outroView), search_(search) {}

std::optional<QStringList> AppListView::levelEntries() const {
    auto entries = table_.loadTable();
    if (const QStringList more = outputLevels_ ? outputLevels_->allEntries() : QStringList();
        !more.isEmpty())
        entries = entries.value_or(QStringList{}) + more;
    return entries;
}

template <typename W> void AppListView::retire(QList<QPointer<W>>& widgets) {
    for (W* widget : std::as_const(widgets)) {
        if (widget) {
            widget->hide();
            widget->deleteLater();
        }
    }
    widgets.clear();
}

void AppListView::rebuild() {
    model_.filter(search_ ? search_->text() : QString());

    // The strip: one page button per page, sharing the strip's width. Buttons are kept from one
    // refresh to the next: showing a new one costs a round trip to the display server, which
    // with thousands of entries (hundreds of pages) would be most of a refresh.
    const int pages = outroView_ ? model_.pageCount() : 0;
    if (pageButtons_.contains(nullptr))
        retire(pageButtons_);
    while (pageButtons_.size() > pages) {
        QList<QPointer<QPushButton>> surplus{pageButtons_.takeLast()};
        retire(surplus);
    }
    for (int k = 0; k < pages; ++k) {
        if (k == pageButtons_.size()) {
            auto* page = new QPushButton(outroView_);
            page->setFlat(true);
            page->setFocusPolicy(Qt::NoFocus);
            page->setProperty("tag", k);
            connect(page, &QPushButton::clicked, this, [this, k] { change(k); });
            pageButtons_ << page;
        }
        const double w = double(outroView_->width()) / pages;
        pageButtons_.at(k)->setGeometry(qRound(k * w), 0, qRound((k + 1) * w) - qRound(k * w),
                                        outroView_->height());
        pageButtons_.at(k)->show();
    }
    markCurrentPage();
    layOutPage();
}

void AppListView::layOutPage() {
    retire(appButtons_);
    shown_ = model_.pageItems();
    const auto table = levelEntries();
    const int first = (model_.page() - 1) * ListModel::kPageSize;
    for (int s = 0; theView_ && s < shown_.size(); ++s) {
        QToolButton* button = makeButton(shown_.at(s), first + s, table);
        const int w = theView_->width() / ListModel::kColumns;
        const int h = theView_->height() / 2;
        button->setGeometry((s % ListModel::kColumns) * w, (s / ListModel::kColumns) * h, w, h);
        button->show();
        appButtons_ << button;
    }
    showHighlight(); // what Return would open is in sight from the start
}

QString AppListView::titleFor(const Apps& app, const std::optional<QStringList>& table) const {
    const QString name = displayName(app);
    const bool configured =
        table && AppVolumeTable::findEntry(*table, AppVolumeTable::titleKey(name));
    return (configured ? AppVolumeTable::kBlueMarker : AppVolumeTable::kRedMarker) + name;
}

QToolButton* AppListView::makeButton(const Apps& app, int index,
                                     const std::optional<QStringList>& table) {
    auto* button = new QToolButton(theView_);
    button->setText(buttonText(titleFor(app, table)));
    button->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    button->setAutoRaise(true);
    button->setFocusPolicy(Qt::NoFocus);
    button->setStyleSheet(QStringLiteral("QToolButton { color: black; }"));
    const int side = int(buttonSide);
    button->setIconSize(QSize(side, side));
    button->setIcon(QIcon(resizeImage(iconFor(app), side, side)));
    if (index < 10)
        button->setShortcut(QKeySequence(Qt::CTRL | Qt::Key(Qt::Key_0 + index)));
    connect(button, &QToolButton::clicked, this, [this, app, button] {
        Q_EMIT applicationClicked(app, titleFor(app, levelEntries()), button);
    });
    return button;
}

void AppListView::showHighlight() {
    for (qsizetype k = 0; k < appButtons_.size(); ++k) {
        if (appButtons_.at(k))
            appButtons_.at(k)->setDown(k == model_.highlighted());
    }
}

void AppListView::refreshMarkers() {
    const auto table = levelEntries();
    for (qsizetype k = 0; k < appButtons_.size() && k < shown_.size(); ++k) {
        if (appButtons_.at(k))
            appButtons_.at(k)->setText(buttonText(titleFor(shown_.at(k), table)));
    }
}

void AppListView::markCurrentPage() {
    for (QPushButton* page : std::as_const(pageButtons_))
        backgroundColor(page, pageColor);
    if (model_.page() >= 1 && model_.page() <= pageButtons_.size())
        backgroundColor(pageButtons_.at(model_.page() - 1), currentPageColor);
}

void AppListView::change(int tag) {
    model_.setPage(tag + 1);
    markCurrentPage();
    layOutPage();
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
    if (icon.isNull() && app.name == kFileManagerName)
        icon = QIcon::fromTheme(QStringLiteral("system-file-manager"));
    if (icon.isNull())
        icon = QIcon::fromTheme(QStringLiteral("application-x-executable"));
    return icon;
}

} // namespace vellora
