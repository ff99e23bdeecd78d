// The application table's texts: how an entry splits, list-button titles without their markers,
// the level rule, name lookup, and the settings file's round trip of any list.
#include "FuzzSupport.h"
#include "core/AppVolumeTable.h"
#include "core/UserDefaults.h"

#include <QFile>
#include <QTemporaryDir>

#include <fuzzer/FuzzedDataProvider.h>

using namespace vellora;
using vellora::fuzz::shown;
using vellora::fuzz::textFrom;

namespace {

const QString kSep = AppVolumeTable::kSeparator;
const QString kBlue = QStringLiteral("\U0001F535");
const QString kRed = QStringLiteral("\U0001F534");

const QStringList kSpecials{kSep,
                            kBlue,
                            kRed,
                            QString(QChar(0xD83D)), // the markers' halves, alone
                            QString(QChar(0xDD35)),
                            QString(QChar(0xDD34)),
                            QStringLiteral("\u0301"), // a combining accent
                            QStringLiteral("E\u0301"),
                            QStringLiteral("\uFF15"), // full-width 5 and 0
                            QStringLiteral("\uFF10"),
                            QStringLiteral("\u0665"), // Arabic-Indic 5
                            QStringLiteral("\u2028"),
                            QStringLiteral("\u3000"),
                            QStringLiteral("@Invalid()"),
                            QStringLiteral("[\""),
                            QStringLiteral("\U0001F600")};

// The level a text names: every character an ASCII digit once surrounding white space is gone,
// and the number (of any length) at most max.
std::optional<int> expectedLevel(const QString& text, int max) {
    QString digits = text.trimmed();
    if (digits.isEmpty())
        return std::nullopt;
    for (const QChar c : digits)
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return std::nullopt;
    while (digits.size() > 1 && digits.front() == QLatin1Char('0'))
        digits.remove(0, 1);
    if (digits.size() > 9 || digits.toInt() > max)
        return std::nullopt;
    return digits.toInt();
}

void checkEntry(const QString& entry, const QString& other) {
    const QString level = AppVolumeTable::entryLevel(entry);
    const QString name = AppVolumeTable::entryName(entry);
    if (!entry.contains(kSep)) {
        FUZZ_CHECK(level == entry && name == entry, shown(entry));
    } else {
        FUZZ_CHECK(entry.startsWith(level + kSep) && entry.endsWith(kSep + name) &&
                       !level.contains(kSep) && !name.contains(kSep),
                   shown(entry) + " -> " + shown(level) + " | " + shown(name));
    }
    // Any level without a slash and any name without the separator read back as composed.
    QString plainLevel = other;
    plainLevel.remove(QLatin1Char('/'));
    if (!entry.contains(kSep)) {
        const QString composed = AppVolumeTable::composeEntry(plainLevel, entry);
        FUZZ_CHECK(AppVolumeTable::entryLevel(composed) == plainLevel &&
                       AppVolumeTable::entryName(composed) == entry,
                   shown(composed));
    }
}

void checkTitle(const QString& title) {
    const QString key = AppVolumeTable::titleKey(title);
    FUZZ_CHECK(!key.contains(kBlue) && !key.contains(kRed), shown(title) + " -> " + shown(key));
    FUZZ_CHECK(AppVolumeTable::titleKey(key) == key, shown(title));
    FUZZ_CHECK(AppVolumeTable::titleKey(kBlue + title) == key &&
                   AppVolumeTable::titleKey(kRed + title) == key,
               shown(title));
}

void checkLevel(const QString& text, int max) {
    const auto level = parseLevel(text, max);
    const auto expected = expectedLevel(text, max);
    FUZZ_CHECK(level == expected, shown(text) + QStringLiteral(" within %1: %2, expected %3")
                                                    .arg(max)
                                                    .arg(level.value_or(-1))
                                                    .arg(expected.value_or(-1)));
}

// A name finds the first entry whose name is canonically the same, written composed or not,
// with or without a status marker in front.
void checkLookup(const QStringList& list) {
    for (qsizetype i = 0; i < list.size(); ++i) {
        const QString name = AppVolumeTable::entryName(list.at(i));
        if (name.contains(kBlue) || name.contains(kRed))
            continue;
        const auto found = AppVolumeTable::findEntry(list, name);
        FUZZ_CHECK(found && *found <= i, shown(list) + " " + shown(name));
        for (const QString& asked : {name.normalized(QString::NormalizationForm_D),
                                     AppVolumeTable::titleKey(kBlue + name)})
            FUZZ_CHECK(AppVolumeTable::findEntry(list, asked) == found,
                       shown(list) + " asked " + shown(asked));
    }
}

// Whatever list of texts is saved, a later start reads the same list from the file. (A surrogate
// half alone is no text: the UTF-8 file cannot hold it, and names never carry one.)
void checkStoredForm(QStringList list) {
    for (QString& text : list)
        text = QString::fromUtf8(text.toUtf8());
    static QTemporaryDir dir;
    static int n = 0;
    const QString path = dir.filePath(QStringLiteral("Vellora.conf"));
    const QString copy = dir.filePath(QString::number(++n) + QStringLiteral(".conf"));
    QFile::remove(path);
    {
        UserDefaults defaults(path);
        AppVolumeTable(defaults).saveTable(list);
    }
    // A copy, as Qt shares a file's parse within a process.
    FUZZ_CHECK(QFile::copy(path, copy), path);
    std::optional<QStringList> read;
    {
        UserDefaults later(copy);
        read = AppVolumeTable(later).loadTable();
    }
    QFile::remove(copy);
    FUZZ_CHECK(read == list,
               shown(list) + " read back as " + (read ? shown(*read) : QStringLiteral("nothing")));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzedDataProvider in(data, size);
    const int max = in.ConsumeIntegralInRange(0, 1000);
    // Writing and reading the file is slow: one input in sixteen.
    const bool store = in.ConsumeIntegralInRange(0, 15) == 0;
    QStringList texts;
    while (in.remaining_bytes() > 0 && texts.size() < 8)
        texts << textFrom(in.ConsumeRandomLengthString(400), kSpecials);
    if (texts.isEmpty())
        texts << QString();
    for (qsizetype i = 0; i < texts.size(); ++i) {
        checkEntry(texts.at(i), texts.at((i + 1) % texts.size()));
        checkTitle(texts.at(i));
        checkLevel(texts.at(i), max);
    }
    checkLookup(texts);
    if (store)
        checkStoredForm(texts);
    return 0;
}
