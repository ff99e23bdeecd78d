// Update feeds. Any bytes: what is read is fit to show and to open (a version, one short line,
// only web pages), the newest release is the newest, and a refusal gives its reason. A feed
// written from fuzzed fields reads back field by field. brief() keeps any text to one line of
// at most the length asked, cut between characters.
#include "FuzzSupport.h"
#include "core/Appcast.h"
#include "core/Version.h"

#include <QXmlStreamWriter>

#include <fuzzer/FuzzedDataProvider.h>

using namespace vellora;
using vellora::fuzz::shown;
using vellora::fuzz::textFrom;

namespace {

const QString kSparkle = QStringLiteral("http://www.andymatuschak.org/xml-namespaces/sparkle");

const QStringList kSpecials{QStringLiteral("https://example.org/"),
                            QStringLiteral("file:///etc/passwd"),
                            QStringLiteral("javascript:alert(1)"),
                            QStringLiteral("<item>"),
                            QStringLiteral("</item>"),
                            QStringLiteral("<sparkle:version>"),
                            QStringLiteral("</sparkle:version>"),
                            QStringLiteral("sparkle:version=\""),
                            QStringLiteral("<enclosure url=\""),
                            QStringLiteral("<![CDATA["),
                            QStringLiteral("&#10;"),
                            QStringLiteral("\u2028"),
                            QStringLiteral("\U0001F600"),
                            QStringLiteral("\u0301"),
                            QStringLiteral("<rss xmlns:sparkle=\"") + kSparkle +
                                QStringLiteral("\"><channel>"),
                            QStringLiteral("</channel></rss>")};

bool isOneLine(const QString& text) {
    for (const QChar c : text)
        if (c.isSpace() && c != QLatin1Char(' '))
            return false;
    return text == text.trimmed();
}

void checkRead(const Appcast& feed) {
    for (const AppcastItem& item : feed.items) {
        FUZZ_CHECK(!item.version.trimmed().isEmpty(), shown(item.version));
        FUZZ_CHECK(isOneLine(item.displayVersion) && item.displayVersion.size() <= 40 &&
                       !item.displayVersion.isEmpty(),
                   shown(item.displayVersion));
        const QString scheme = item.downloadPage.scheme();
        FUZZ_CHECK(item.downloadPage.isEmpty() ||
                       ((scheme == QLatin1String("https") || scheme == QLatin1String("http")) &&
                        !item.downloadPage.host().isEmpty()),
                   item.downloadPage.toString());
    }
    const auto newest = feed.newest();
    FUZZ_CHECK(newest.has_value() == !feed.items.isEmpty(), QString());
    for (const AppcastItem& item : feed.items)
        FUZZ_CHECK(compareVersions(item.version, newest->version) <= 0,
                   shown(item.version) + " > " + shown(newest->version));
}

void anyBytes(const QByteArray& bytes) {
    QString error;
    const auto feed = Appcast::parse(bytes, &error);
    FUZZ_CHECK(feed.has_value() == error.isEmpty(), error);
    if (feed)
        checkRead(*feed);
}

// Texts XML can carry: no control characters but tab and line feed, no surrogate halves alone.
QString xmlText(FuzzedDataProvider& in) {
    QString text = textFrom(in.ConsumeRandomLengthString(60), kSpecials);
    text.removeIf([](QChar c) {
        return (c.unicode() < 0x20 && c != QLatin1Char('\t') && c != QLatin1Char('\n')) ||
               (c.unicode() >= 0x7f && c.unicode() < 0xa0) || c.unicode() >= 0xfffe;
    });
    return text;
}

void writtenFeed(FuzzedDataProvider& in) {
    struct Fields {
        QString title, version, shortVersion, link, enclosure, enclosureVersion;
        bool element;
    };
    QList<Fields> written;
    QByteArray bytes;
    QXmlStreamWriter xml(&bytes);
    xml.writeStartDocument();
    xml.writeNamespace(kSparkle, QStringLiteral("sparkle"));
    xml.writeStartElement(QStringLiteral("rss"));
    xml.writeStartElement(QStringLiteral("channel"));
    xml.writeTextElement(QStringLiteral("title"), xmlText(in));
    while (in.remaining_bytes() > 0 && written.size() < 5) {
        Fields f{xmlText(in), xmlText(in), xmlText(in),     xmlText(in),
                 xmlText(in), xmlText(in), in.ConsumeBool()};
        written << f;
        xml.writeStartElement(QStringLiteral("item"));
        xml.writeTextElement(QStringLiteral("title"), f.title);
        if (f.element)
            xml.writeTextElement(kSparkle, QStringLiteral("version"), f.version);
        xml.writeTextElement(kSparkle, QStringLiteral("shortVersionString"), f.shortVersion);
        xml.writeStartElement(QStringLiteral("description")); // unknown, nested: skipped
        xml.writeTextElement(QStringLiteral("title"), f.link);
        xml.writeEndElement();
        xml.writeTextElement(QStringLiteral("link"), f.link);
        xml.writeEmptyElement(QStringLiteral("enclosure"));
        xml.writeAttribute(QStringLiteral("url"), f.enclosure);
        xml.writeAttribute(kSparkle, QStringLiteral("version"), f.enclosureVersion);
        xml.writeEndElement();
    }
    xml.writeEndDocument();

    QString error;
    const auto feed = Appcast::parse(bytes, &error);
    FUZZ_CHECK(feed.has_value(), error + "\n" + QString::fromUtf8(bytes));
    checkRead(*feed);
    qsizetype k = 0;
    for (const Fields& f : written) {
        // The element wins over the enclosure's attribute; an item naming no version is left out.
        const QString version = f.element && !f.version.trimmed().isEmpty()
                                    ? f.version.trimmed()
                                    : f.enclosureVersion.trimmed();
        if (version.isEmpty())
            continue;
        FUZZ_CHECK(k < feed->items.size(), QString::fromUtf8(bytes));
        const AppcastItem& item = feed->items.at(k++);
        const QString shownVersion =
            f.shortVersion.trimmed().isEmpty() ? version : f.shortVersion.trimmed();
        FUZZ_CHECK(item.title == f.title.trimmed() && item.version == version &&
                       item.displayVersion == Appcast::brief(shownVersion, 40),
                   shown(item.title) + " " + shown(item.version) + " " +
                       shown(item.displayVersion) + "\n" + QString::fromUtf8(bytes));
    }
    FUZZ_CHECK(k == feed->items.size(), QString::fromUtf8(bytes));
}

void briefText(FuzzedDataProvider& in) {
    const qsizetype longest = in.ConsumeIntegralInRange(1, 100);
    const std::string raw = in.ConsumeRemainingBytesAsString();
    QString text(reinterpret_cast<const QChar*>(raw.data()), qsizetype(raw.size() / 2));
    const QString line = Appcast::brief(text, longest);
    FUZZ_CHECK(line.size() <= longest && isOneLine(line), shown(text) + " -> " + shown(line));
    if (text.simplified().size() <= longest) {
        FUZZ_CHECK(line == text.simplified(), shown(text) + " -> " + shown(line));
    } else {
        FUZZ_CHECK(line.endsWith(QChar(0x2026)) && text.simplified().startsWith(line.chopped(1)),
                   shown(text) + " -> " + shown(line));
        const qsizetype kept = line.size() - 1;
        FUZZ_CHECK(kept == 0 || !line.at(kept - 1).isHighSurrogate() ||
                       !text.simplified().at(kept).isLowSurrogate(),
                   shown(text) + " -> " + shown(line) + ": a character cut in two");
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzedDataProvider in(data, size);
    switch (in.ConsumeIntegralInRange(0, 2)) {
    case 0: {
        const std::string rest = in.ConsumeRemainingBytesAsString();
        anyBytes(QByteArray(rest.data(), qsizetype(rest.size())));
        // The same text with the feed's markup one byte away.
        anyBytes(textFrom(rest, kSpecials).toUtf8());
        break;
    }
    case 1:
        writtenFeed(in);
        break;
    default:
        briefText(in);
        break;
    }
    return 0;
}
