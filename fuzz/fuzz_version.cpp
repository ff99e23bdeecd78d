// Version ordering: a total order whatever the texts (reflexive, antisymmetric, transitive, and
// equal versions interchangeable), and the rules it promises for trailing zero parts, further
// parts and pre-release letters.
#include "FuzzSupport.h"
#include "core/Version.h"

#include <fuzzer/FuzzedDataProvider.h>

using namespace vellora;
using vellora::fuzz::shown;
using vellora::fuzz::textFrom;

namespace {

const QStringList kSpecials{QStringLiteral("\uFF11"), // full-width 1
                            QStringLiteral("\u0661"), // Arabic-Indic 1 and 0
                            QStringLiteral("\u0660"),
                            QStringLiteral("\u00B2"),     // superscript two: a number, not a digit
                            QStringLiteral("\u2160"),     // Roman numeral one
                            QStringLiteral("\u0130"),     // dotted capital I
                            QStringLiteral("\u0131"),     // dotless i
                            QStringLiteral("\u00DF"),     // sharp s
                            QStringLiteral("\u212A"),     // Kelvin sign
                            QStringLiteral("\u0301"),     // a combining accent
                            QStringLiteral("\U0001D7CF"), // mathematical bold 1 (two units)
                            QString(QChar(0xD835)),
                            QStringLiteral("beta"),
                            QStringLiteral("rc"),
                            QStringLiteral("0000"),
                            QStringLiteral("99999999999999999999")};

int sign(int v) {
    return (v > 0) - (v < 0);
}

QString trio(const QString& a, const QString& b, const QString& c) {
    return shown(a) + " | " + shown(b) + " | " + shown(c);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzedDataProvider in(data, size);
    const QString a = textFrom(in.ConsumeRandomLengthString(100), kSpecials);
    const QString b = textFrom(in.ConsumeRandomLengthString(100), kSpecials);
    const QString c = textFrom(in.ConsumeRemainingBytesAsString(), kSpecials);

    const int ab = sign(compareVersions(a, b)), ba = sign(compareVersions(b, a));
    const int bc = sign(compareVersions(b, c)), ac = sign(compareVersions(a, c));
    FUZZ_CHECK(compareVersions(a, a) == 0, shown(a));
    FUZZ_CHECK(ab == -ba, trio(a, b, c));
    // Transitive, for the order and for equality alike.
    if (ab <= 0 && bc <= 0)
        FUZZ_CHECK(ac <= 0 && (ac < 0 || (ab == 0 && bc == 0)), trio(a, b, c));
    if (ab >= 0 && bc >= 0)
        FUZZ_CHECK(ac >= 0 && (ac > 0 || (ab == 0 && bc == 0)), trio(a, b, c));
    if (ab == 0)
        FUZZ_CHECK(ac == bc, trio(a, b, c));

    // 1.0 equals 1.0.0; 1.0.1 is newer than 1.0; 1.0b2 is older than 1.0.
    FUZZ_CHECK(compareVersions(a + QStringLiteral(".0"), a) == 0, shown(a));
    FUZZ_CHECK(compareVersions(a + QStringLiteral(".1"), a) > 0, shown(a));
    FUZZ_CHECK(compareVersions(a + QStringLiteral(".b2"), a) < 0, shown(a));
    return 0;
}
