#include "Version.h"

#include <QList>
#include <QStringView>

namespace vellora {

namespace {

enum class Kind { Number, Letters };

struct Part {
    Kind kind;
    QStringView text;
};

// The digit and letter runs of a version; everything else separates them.
QList<Part> parts(const QString& version) {
    QList<Part> result;
    qsizetype k = 0;
    while (k < version.size()) {
        const QChar c = version.at(k);
        if (!c.isLetterOrNumber()) {
            ++k;
            continue;
        }
        const bool digits = c.isDigit();
        const qsizetype start = k;
        while (k < version.size() && version.at(k).isLetterOrNumber() &&
               version.at(k).isDigit() == digits)
            ++k;
        result.append(
            {digits ? Kind::Number : Kind::Letters, QStringView(version).mid(start, k - start)});
    }
    return result;
}

// Numbers of any length, without overflow: drop leading zeros, then longer is larger.
int compareNumbers(QStringView a, QStringView b) {
    while (a.size() > 1 && a.front() == QLatin1Char('0'))
        a = a.mid(1);
    while (b.size() > 1 && b.front() == QLatin1Char('0'))
        b = b.mid(1);
    if (a.size() != b.size())
        return a.size() < b.size() ? -1 : 1;
    return a.compare(b);
}

bool isZero(const Part& p) {
    return p.kind == Kind::Number && compareNumbers(p.text, u"0") == 0;
}

// How the version with the extra parts compares with the one without them.
int compareTail(const QList<Part>& longer, qsizetype from) {
    for (qsizetype k = from; k < longer.size(); ++k) {
        if (longer.at(k).kind == Kind::Letters)
            return -1; // 1.0b is a pre-release of 1.0
        if (!isZero(longer.at(k)))
            return 1; // 1.0.1 is newer than 1.0
    }
    return 0;
}

int sign(int v) {
    return (v > 0) - (v < 0);
}

} // namespace

int compareVersions(const QString& a, const QString& b) {
    const QList<Part> pa = parts(a);
    const QList<Part> pb = parts(b);
    const qsizetype common = std::min(pa.size(), pb.size());
    for (qsizetype k = 0; k < common; ++k) {
        const Part& x = pa.at(k);
        const Part& y = pb.at(k);
        if (x.kind != y.kind)
            return x.kind == Kind::Number ? 1 : -1; // 1.0.1 is newer than 1.0b1
        const int order = x.kind == Kind::Number ? compareNumbers(x.text, y.text)
                                                 : x.text.compare(y.text, Qt::CaseInsensitive);
        if (order != 0)
            return sign(order);
    }
    if (pa.size() > common)
        return compareTail(pa, common);
    if (pb.size() > common)
        return -compareTail(pb, common);
    return 0;
}

} // namespace vellora
