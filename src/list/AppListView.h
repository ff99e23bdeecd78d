#pragma once

#include "Apps.h"
#include "ListModel.h"

#include <QColor>
#include <QIcon>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QPushButton>
#include <QToolButton>

class QLineEdit;

namespace vellora {

class AppVolumeTable;
class OutputLevels;

// The paged button grid of the popover: draws the list's model (the page strip and the four
// buttons of the current page) and tells when an application button is clicked.
class AppListView : public QObject {
    Q_OBJECT

public:
    AppListView(AppVolumeTable& table, QWidget* theView, QWidget* outroView, QLineEdit* search,
                const OutputLevels* outputLevels = nullptr, QObject* parent = nullptr);

    ListModel& model() { return model_; }
    const ListModel& model() const { return model_; }

    // Rebuild: filter by the search text, order, page strip, layout of the current page.
    void rebuild();
    // Lays out the current page.
    void layOutPage();
    // Marks the current page in the strip.
    void markCurrentPage();
    // A page button was clicked.
    void change(int tag);
    // Draws the keyboard highlight on its button, and on no other.
    void showHighlight();
    // Re-reads the table for the markers of the buttons shown, without rebuilding them.
    void refreshMarkers();

    // The title of an application's button: its status marker, then its shown name.
    QString titleFor(const Apps& app, const std::optional<QStringList>& table) const;

    const QList<QPointer<QToolButton>>& appButtons() const { return appButtons_; }
    const QList<QPointer<QPushButton>>& pageButtons() const { return pageButtons_; }

    // Gives a widget a background colour.
    static void backgroundColor(QWidget* view, const QColor& color);
    // The whole image redrawn at the given size (aspect ratio not kept).
    static QPixmap resizeImage(const QIcon& icon, int width, int height);
    static QIcon iconFor(const Apps& app);

    QColor pageColor = Qt::gray;         // the strip's page buttons
    QColor currentPageColor = Qt::white; // the current page's
    double buttonSide = 75.0;            // an application button's width and height

Q_SIGNALS:
    // An application button was clicked: its entry, its title and the button to attach to.
    void applicationClicked(const vellora::Apps& app, const QString& title, QWidget* button);

private:
    QToolButton* makeButton(const Apps& app, int index, const std::optional<QStringList>& table);
    // Every stored level's entry, general or for one output (an application with any of them
    // is marked blue); nothing when none is stored.
    std::optional<QStringList> levelEntries() const;
    // Takes widgets off the screen now and deletes them once no event is being delivered to them.
    template <typename W> static void retire(QList<QPointer<W>>& widgets);

    AppVolumeTable& table_;
    const OutputLevels* outputLevels_;
    ListModel model_;
    QPointer<QWidget> theView_;
    QPointer<QWidget> outroView_;
    QPointer<QLineEdit> search_;
    QList<QPointer<QToolButton>> appButtons_;
    QList<QPointer<QPushButton>> pageButtons_;
    QList<Apps> shown_; // the entries of appButtons_, in order
};

} // namespace vellora
