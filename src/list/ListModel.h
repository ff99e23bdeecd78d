#pragma once

#include "Apps.h"

#include <QList>
#include <QString>

namespace vellora {

// The list's paging state, free of widgets: the catalogue as scanned, the entries shown (all,
// or those the search text finds, in catalogue order), the current page and the keyboard
// highlight. The view draws it; the navigation moves it.
class ListModel {
public:
    static constexpr int kPageSize = 4; // two rows of two
    static constexpr int kColumns = 2;

    // The catalogue as scanned; shown after the next filter().
    void setCatalogue(QList<Apps> catalogue) { fil_ = std::move(catalogue); }
    const QList<Apps>& catalogue() const { return fil_; }

    // Rebuild: keeps the entries the text finds, in catalogue order, and drops the highlight.
    // A search starts at page 1; an empty one keeps the page shown, or the last when it is gone.
    void filter(const QString& text);
    const QList<Apps>& sortedApps() const { return sortedApps_; }

    int pageCount() const { return int((sortedApps_.size() + kPageSize - 1) / kPageSize); }
    int page() const { return i_; }
    // Shows page n (from 1), as a click on its marker in the strip does.
    void setPage(int n) { i_ = n; }
    // The entries of the current page, at most four.
    QList<Apps> pageItems() const;

    int highlighted() const { return highlighted_; }
    void setHighlighted(int index) { highlighted_ = index; }
    // Moves the highlight by a step within the page: ±1 sideways, ±2 a row; false at an edge.
    bool moveHighlight(int step);
    // The highlighted slot when it holds an entry.
    bool highlightInRange() const { return highlighted_ >= 0 && highlighted_ < pageItems().size(); }

    // One page forward (+1) or back (-1); false when there is none that way.
    bool turnPage(int direction);

private:
    QList<Apps> fil_;
    QList<Apps> sortedApps_;
    int i_ = 1;
    int highlighted_ = 0;
};

} // namespace vellora
