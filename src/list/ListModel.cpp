#include "ListModel.h"

#include <algorithm>

namespace vellora {

void ListModel::filter(const QString& text) {
    highlighted_ = 0;
    sortedApps_ = fil_;
    if (!text.isEmpty()) {
        i_ = 1;
        sortedApps_.removeIf([&](const Apps& app) { return !matchesSearch(app, text); });
    }
    std::stable_sort(sortedApps_.begin(), sortedApps_.end(), catalogueLess);
    i_ = std::clamp(i_, 1, std::max(1, pageCount()));
}

QList<Apps> ListModel::pageItems() const {
    const qsizetype start = qsizetype(i_ - 1) * kPageSize;
    if (start < 0 || start >= sortedApps_.size())
        return {};
    return sortedApps_.mid(start, kPageSize);
}

bool ListModel::moveHighlight(int step) {
    // Back moves need only room before them: they also bring a highlight left beyond a
    // smaller page back towards it.
    const int target = highlighted_ + step;
    if (target < 0 || (step > 0 && target > int(pageItems().size()) - 1))
        return false;
    highlighted_ = target;
    return true;
}

bool ListModel::turnPage(int direction) {
    highlighted_ = 0;
    if (direction > 0 && i_ < pageCount()) {
        ++i_;
        return true;
    }
    if (direction < 0 && i_ >= 2) {
        --i_;
        return true;
    }
    return false;
}

} // namespace vellora
