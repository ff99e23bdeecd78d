#pragma once

// What the fuzz targets share: a property check that stops the run with a readable message,
// and a way to turn input bytes into text that reaches the interesting characters quickly.

#include <QString>
#include <QStringList>

#include <cstdio>
#include <cstdlib>
#include <string_view>

namespace vellora::fuzz {

// A text with every character outside printable ASCII shown as \u{...}, for failure messages.
inline QString shown(const QString& text) {
    QString out;
    for (const QChar c : text) {
        if (c.unicode() >= 0x20 && c.unicode() < 0x7f && c != QLatin1Char('\\'))
            out += c;
        else
            out += QStringLiteral("\\u{%1}").arg(c.unicode(), 0, 16);
    }
    return out;
}

inline QString shown(const QStringList& list) {
    QStringList parts;
    for (const QString& text : list)
        parts << QLatin1Char('"') + shown(text) + QLatin1Char('"');
    return QLatin1Char('[') + parts.join(QStringLiteral(", ")) + QLatin1Char(']');
}

[[noreturn]] inline void failed(const char* property, const char* file, int line,
                                const QString& detail) {
    std::fprintf(stderr, "\n%s:%d: property failed: %s\n    %s\n", file, line, property,
                 detail.toUtf8().constData());
    std::abort();
}

// Text from input bytes: each byte below the specials stands for that Latin-1 character
// (controls included); the highest bytes stand for the given special texts, one each, so that
// separators, markers, surrogate halves and the like are one mutation away.
inline QString textFrom(std::string_view bytes, const QStringList& specials) {
    const int first = 256 - int(specials.size());
    QString text;
    for (const char b : bytes) {
        const int v = static_cast<unsigned char>(b);
        if (v >= first)
            text += specials.at(v - first);
        else
            text += QChar(char16_t(v));
    }
    return text;
}

} // namespace vellora::fuzz

// Stops the run when a property does not hold; detail (a QString) is only built on failure.
#define FUZZ_CHECK(condition, detail)                                                              \
    ((condition) ? void() : vellora::fuzz::failed(#condition, __FILE__, __LINE__, (detail)))
