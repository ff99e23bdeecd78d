#include "Appcast.h"

#include "Version.h"

#include <QXmlStreamReader>

namespace vellora {

namespace {

const QString kSparkle = QStringLiteral("http://www.andymatuschak.org/xml-namespaces/sparkle");

// Only web pages may be opened from a feed: a file: or script address is not a download page.
QUrl webPage(const QString& text) {
    const QUrl url(text.trimmed(), QUrl::StrictMode);
    const QString scheme = url.scheme().toLower();
    if (!url.isValid() || url.host().isEmpty() ||
        (scheme != QLatin1String("https") && scheme != QLatin1String("http")))
        return {};
    return url;
}

// The versions of an item may stand as elements of it or as attributes of its enclosure;
// the elements win.
struct ItemReader {
    QString title, link, enclosure;
    QString version, shortVersion, enclosureVersion, enclosureShortVersion;

    void read(QXmlStreamReader& xml) {
        while (xml.readNextStartElement()) {
            const auto name = xml.name();
            const bool sparkle = xml.namespaceUri() == kSparkle;
            if (xml.namespaceUri().isEmpty() && name == QLatin1String("enclosure")) {
                const auto attrs = xml.attributes();
                enclosure = attrs.value(QStringLiteral("url")).toString();
                enclosureVersion = attrs.value(kSparkle, QStringLiteral("version")).toString();
                enclosureShortVersion =
                    attrs.value(kSparkle, QStringLiteral("shortVersionString")).toString();
                xml.skipCurrentElement();
            } else if (xml.namespaceUri().isEmpty() && name == QLatin1String("title")) {
                title = xml.readElementText(QXmlStreamReader::IncludeChildElements).trimmed();
            } else if (xml.namespaceUri().isEmpty() && name == QLatin1String("link")) {
                link = xml.readElementText(QXmlStreamReader::IncludeChildElements);
            } else if (sparkle && name == QLatin1String("version")) {
                version = xml.readElementText(QXmlStreamReader::IncludeChildElements).trimmed();
            } else if (sparkle && name == QLatin1String("shortVersionString")) {
                shortVersion =
                    xml.readElementText(QXmlStreamReader::IncludeChildElements).trimmed();
            } else {
                xml.skipCurrentElement();
            }
        }
    }

    std::optional<AppcastItem> item() const {
        const QString v = !version.isEmpty() ? version : enclosureVersion.trimmed();
        if (v.isEmpty())
            return std::nullopt;
        QString shown = !shortVersion.isEmpty() ? shortVersion : enclosureShortVersion.trimmed();
        if (shown.isEmpty())
            shown = v;
        shown = Appcast::brief(shown, 40); // shown in dialogs and notifications
        QUrl page = webPage(link);
        if (page.isEmpty())
            page = webPage(enclosure);
        return AppcastItem{title, v, shown, page};
    }
};

} // namespace

std::optional<Appcast> Appcast::parse(const QByteArray& data, QString* error) {
    QXmlStreamReader xml(data);
    Appcast appcast;
    bool sawChannel = false;
    if (xml.readNextStartElement()) {
        if (xml.name() != QLatin1String("rss")) {
            xml.raiseError(QStringLiteral("the document is not an RSS feed"));
        } else {
            while (xml.readNextStartElement()) {
                if (xml.name() != QLatin1String("channel")) {
                    xml.skipCurrentElement();
                    continue;
                }
                sawChannel = true;
                while (xml.readNextStartElement()) {
                    if (xml.name() != QLatin1String("item")) {
                        xml.skipCurrentElement();
                        continue;
                    }
                    ItemReader reader;
                    reader.read(xml);
                    if (auto item = reader.item())
                        appcast.items.append(*item);
                }
            }
        }
    }
    // Read to the end so that anything malformed after the channel is noticed as well.
    while (!xml.hasError() && !xml.atEnd())
        xml.readNext();
    if (!xml.hasError() && !sawChannel)
        xml.raiseError(QStringLiteral("the feed has no channel"));
    if (xml.hasError()) {
        if (error)
            *error = QStringLiteral("line %1: %2").arg(xml.lineNumber()).arg(xml.errorString());
        return std::nullopt;
    }
    return appcast;
}

QString Appcast::brief(const QString& text, qsizetype longest) {
    const QString line = text.simplified();
    if (line.size() <= longest)
        return line;
    if (longest < 2) // no room for a character and the ellipsis
        return longest < 1 ? QString() : QString(QChar(0x2026));
    const qsizetype cut = line.at(longest - 2).isHighSurrogate() ? longest - 2 : longest - 1;
    return line.left(cut) + QChar(0x2026);
}

std::optional<AppcastItem> Appcast::newest() const {
    std::optional<AppcastItem> best;
    for (const AppcastItem& item : items)
        if (!best || compareVersions(item.version, best->version) > 0)
            best = item;
    return best;
}

} // namespace vellora
