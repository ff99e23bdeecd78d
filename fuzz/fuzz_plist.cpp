// Info.plist reading. Any bytes: nothing but texts, numbers and Booleans come out. A property
// list written from fuzzed keys and values reads back as written: the top dictionary only
// (nested containers skipped whole), the last value of a key winning.
#include "FuzzSupport.h"
#include "base/Bundle.h"

#include <QTemporaryFile>
#include <QXmlStreamWriter>

#include <fuzzer/FuzzedDataProvider.h>

using namespace vellora;
using vellora::fuzz::shown;
using vellora::fuzz::textFrom;

namespace {

const QStringList kSpecials{QStringLiteral("<key>"),
                            QStringLiteral("</key>"),
                            QStringLiteral("<string>"),
                            QStringLiteral("</string>"),
                            QStringLiteral("<integer>"),
                            QStringLiteral("</integer>"),
                            QStringLiteral("<true/>"),
                            QStringLiteral("<dict>"),
                            QStringLiteral("</dict>"),
                            QStringLiteral("<array>"),
                            QStringLiteral("</array>"),
                            QStringLiteral("<plist version=\"1.0\">"),
                            QStringLiteral("</plist>"),
                            QStringLiteral("CFBundleIdentifier"),
                            QStringLiteral("<!DOCTYPE plist>"),
                            QStringLiteral("&amp;")};

QVariantMap readBytes(const QByteArray& bytes) {
    static QTemporaryFile file;
    if (!file.isOpen() && !file.open())
        std::abort();
    file.resize(0);
    file.seek(0);
    file.write(bytes);
    file.flush();
    return Bundle::readInfoPlist(file.fileName());
}

void anyBytes(const QByteArray& bytes) {
    const QVariantMap map = readBytes(bytes);
    for (auto it = map.cbegin(); it != map.cend(); ++it) {
        const int type = it.value().typeId();
        FUZZ_CHECK(type == QMetaType::QString || type == QMetaType::LongLong ||
                       type == QMetaType::Bool,
                   shown(it.key()) + " " + it.value().typeName());
    }
}

QString xmlText(FuzzedDataProvider& in) {
    QString text = textFrom(in.ConsumeRandomLengthString(40), kSpecials);
    text.removeIf([](QChar c) {
        return (c.unicode() < 0x20 && c != QLatin1Char('\t') && c != QLatin1Char('\n')) ||
               (c.unicode() >= 0x7f && c.unicode() < 0xa0) || c.unicode() >= 0xfffe;
    });
    return text;
}

// A value the reader skips whole, holding keys and values of its own.
void writeNested(QXmlStreamWriter& xml, FuzzedDataProvider& in, int depth) {
    xml.writeStartElement(in.ConsumeBool() ? QStringLiteral("dict") : QStringLiteral("array"));
    while (in.remaining_bytes() > 0 && in.ConsumeIntegralInRange(0, 3) != 0) {
        if (depth < 3 && in.ConsumeBool())
            writeNested(xml, in, depth + 1);
        else
            xml.writeTextElement(
                in.ConsumeBool() ? QStringLiteral("key") : QStringLiteral("string"), xmlText(in));
    }
    xml.writeEndElement();
}

void writtenList(FuzzedDataProvider& in) {
    QVariantMap expected;
    QByteArray bytes;
    QXmlStreamWriter xml(&bytes);
    xml.writeStartDocument();
    xml.writeDTD(QStringLiteral("<!DOCTYPE plist PUBLIC \"-//Apple//DTD PLIST 1.0//EN\" "
                                "\"http://www.apple.com/DTDs/PropertyList-1.0.dtd\">"));
    xml.writeStartElement(QStringLiteral("plist"));
    xml.writeAttribute(QStringLiteral("version"), QStringLiteral("1.0"));
    xml.writeStartElement(QStringLiteral("dict"));
    while (in.remaining_bytes() > 0) {
        const QString key = xmlText(in);
        xml.writeTextElement(QStringLiteral("key"), key);
        switch (in.ConsumeIntegralInRange(0, 4)) {
        case 0: {
            const QString value = xmlText(in);
            xml.writeTextElement(QStringLiteral("string"), value);
            expected.insert(key, value);
            break;
        }
        case 1: {
            const qint64 value = in.ConsumeIntegral<qint64>();
            xml.writeTextElement(QStringLiteral("integer"), QString::number(value));
            expected.insert(key, value);
            break;
        }
        case 2:
        case 3: {
            const bool value = in.ConsumeBool();
            xml.writeEmptyElement(value ? QStringLiteral("true") : QStringLiteral("false"));
            expected.insert(key, value);
            break;
        }
        default:
            writeNested(xml, in, 0);
            break;
        }
    }
    xml.writeEndDocument();
    const QVariantMap read = readBytes(bytes);
    FUZZ_CHECK(read == expected, QString::fromUtf8(bytes));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzedDataProvider in(data, size);
    if (in.ConsumeBool()) {
        const std::string rest = in.ConsumeRemainingBytesAsString();
        anyBytes(QByteArray(rest.data(), qsizetype(rest.size())));
        anyBytes(textFrom(rest, kSpecials).toUtf8());
    } else {
        writtenList(in);
    }
    return 0;
}
