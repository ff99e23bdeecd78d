#pragma once

#include "Apps.h"

#include <QColor>
#include <QIcon>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QPushButton>
#include <QToolButton>

class QAbstractButton;
class QLineEdit;

namespace vellora {

class AppVolumeTable;

// The paged button grid of the popover: filters the catalogue by the search text, orders it,
// builds the page strip and lays out the current page, four buttons at a time.
class AppListView : public QObject {
    Q_OBJECT

public:
    static inline const QString kRedMarker = QStringLiteral("\U0001F534");
    static inline const QString kBlueMarker = QStringLiteral("\U0001F535");

    AppListView(AppVolumeTable& table, QWidget* theView, QWidget* outroView, QLineEdit* search,
                QObject* parent = nullptr);

    // Rebuild: filter, order, page strip, layout of page i.
    void performX();
    // Lays out page i.
    void coix();
    // Marks page i in the strip.
    void vai();
    // A page button was clicked.
    void change(int tag);

    int pageCount() const;

    // Gives a widget a background colour.
    static void backgroundColor(QWidget* view, const QColor& color);
    // The whole image redrawn at the given size (aspect ratio not kept).
    static QPixmap resizeImage(const QIcon& icon, int width, int height);
    static QIcon iconFor(const Apps& app);

    // State shared with navigation and the editor.
    QList<Apps> fil;        // the catalogue as scanned
    QList<Apps> sortedApps; // filtered, in catalogue order
    int i = 1;              // current page, from 1
    int num = 0;            // buttons on the current page
    int highlated = 0;      // keyboard highlight, index into bts
    QList<QPointer<QToolButton>> bts;
    QList<QPointer<QPushButton>> bs;
    QColor fc = Qt::gray;
    QColor fu = Qt::white;
    double lado = 75.0;

signals:
    // An application button was clicked (the editor opens for it).
    void applicationClicked(QAbstractButton* button);

private:
    QToolButton* makeButton(const Apps& app, int index, const std::optional<QStringList>& table);

    AppVolumeTable& table_;
    QPointer<QWidget> theView_;
    QPointer<QWidget> outroView_;
    QPointer<QLineEdit> search_;
};

} // namespace vellora
