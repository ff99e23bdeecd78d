#pragma once

#include <QList>
#include <QString>
#include <QUrl>
#include <optional>

namespace vellora {

// One release of an update feed (an RSS item with the sparkle: version attributes).
struct AppcastItem {
    QString title;
    QString version;        // sparkle:version, compared with the bundle's version
    QString displayVersion; // sparkle:shortVersionString, else the version; one short line
    QUrl downloadPage;      // the item's link, else its enclosure; only http(s), else empty
};

// An update feed as read: its releases, and the user-agent text it was fetched with.
struct Appcast {
    QList<AppcastItem> items; // those that name a version, in the feed's order
    QString userAgentString;

    // Reads an RSS appcast; nothing, with the reason in error, when it is not one.
    static std::optional<Appcast> parse(const QByteArray& xml, QString* error = nullptr);
    // A text from a feed or its server made fit for a sentence: one line of at most longest
    // characters, cut with an ellipsis.
    static QString brief(const QString& text, qsizetype longest);
    // The newest release, or nothing when the feed lists none.
    std::optional<AppcastItem> newest() const;
};

} // namespace vellora
