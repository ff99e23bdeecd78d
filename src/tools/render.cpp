// vellora_render: makes the bundle's generated resources at build time.
//   vellora_render pdf IN.md OUT.pdf         typesets Markdown as an A4 PDF
//   vellora_render png IN.svg SIZE OUT.png   renders an image as a SIZE x SIZE PNG
// Any failure is reported on stderr and ends with a non-zero status, so that the build stops
// instead of shipping an empty document or icon. The output is written whole or not at all.
#include <QAbstractTextDocumentLayout>
#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QImageReader>
#include <QPageLayout>
#include <QPainter>
#include <QPdfWriter>
#include <QSaveFile>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>

#include <cstdio>

namespace {

int fail(const QString& message) {
    std::fprintf(stderr, "vellora_render: %s\n", qPrintable(message));
    return 1;
}

int renderPdf(const QString& in, const QString& out) {
    QFile source(in);
    if (!source.open(QIODevice::ReadOnly))
        return fail(QStringLiteral("cannot read %1: %2").arg(in, source.errorString()));
    const QByteArray markdown = source.readAll();
    if (source.error() != QFileDevice::NoError)
        return fail(QStringLiteral("cannot read %1: %2").arg(in, source.errorString()));

    QSaveFile file(out);
    if (!file.open(QIODevice::WriteOnly))
        return fail(QStringLiteral("cannot write %1: %2").arg(out, file.errorString()));
    QPdfWriter writer(&file);
    writer.setResolution(300);
    writer.setPageLayout(QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait,
                                     QMarginsF(22, 20, 22, 20), QPageLayout::Millimeter));
    writer.setCreator(QStringLiteral("Vellora"));

    // Laid out for the writer itself, so point sizes and line breaks are the page's own.
    QTextDocument document;
    document.documentLayout()->setPaintDevice(&writer);
    const QFont font(QStringLiteral("DejaVu Sans"), 10); // the font the document credits
    if (QFontInfo(font).family() != font.family())
        return fail(QStringLiteral("the DejaVu Sans font is missing (fonts-dejavu-core)"));
    document.setDefaultFont(font);
    document.setDocumentMargin(0);
    document.setMarkdown(QString::fromUtf8(markdown));
    if (document.toPlainText().trimmed().isEmpty())
        return fail(QStringLiteral("%1 holds no text").arg(in));
    QTextCharFormat title; // the first line is the title: large, in the icon's blue
    title.setFontPointSize(20);
    title.setFontWeight(QFont::Bold);
    title.setForeground(QColor(0x3d, 0x6f, 0xd9));
    QTextCursor cursor(document.begin());
    cursor.movePosition(QTextCursor::EndOfBlock, QTextCursor::KeepAnchor);
    cursor.mergeCharFormat(title);
    writer.setTitle(cursor.selectedText());

    const QSizeF page = writer.pageLayout().paintRectPixels(writer.resolution()).size();
    document.setPageSize(page);
    QPainter painter;
    if (!painter.begin(&writer))
        return fail(QStringLiteral("cannot start a PDF in %1").arg(out));
    for (int i = 0; i < document.pageCount(); ++i) {
        if (i > 0 && !writer.newPage())
            return fail(QStringLiteral("cannot add page %1 to %2").arg(i + 1).arg(out));
        // The layout may start the next page's first line a fraction of a pixel early: one
        // pixel less keeps it off this page, where it would be clipped yet still be text.
        const QRectF area(0, i * page.height(), page.width(), page.height() - 1);
        painter.save();
        painter.translate(0, -area.top());
        document.drawContents(&painter, area);
        painter.restore();
    }
    if (!painter.end() || !file.commit())
        return fail(QStringLiteral("cannot write %1: %2").arg(out, file.errorString()));
    return 0;
}

bool hasInk(const QImage& image) {
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (qAlpha(image.pixel(x, y)) != 0)
                return true;
    return false;
}

int renderPng(const QString& in, const QString& sizeText, const QString& out) {
    bool ok = false;
    const int size = sizeText.toInt(&ok);
    if (!ok || size < 1 || size > 4096)
        return fail(QStringLiteral("%1 is not a size in pixels (1 to 4096)").arg(sizeText));
    // SVG is read by Qt's SVG image plug-in: without it there is no image, and no icon.
    QImageReader reader(in);
    const QSize natural = reader.size();
    if (!natural.isValid())
        return fail(QStringLiteral("cannot read %1 as an image: %2 (SVG needs Qt's SVG plug-in)")
                        .arg(in, reader.errorString()));
    reader.setScaledSize(natural.scaled(size, size, Qt::KeepAspectRatio));
    const QImage art = reader.read();
    if (art.isNull())
        return fail(QStringLiteral("cannot render %1: %2").arg(in, reader.errorString()));
    if (!hasInk(art))
        return fail(QStringLiteral("%1 renders as an empty image").arg(in));

    QImage icon(size, size, QImage::Format_ARGB32_Premultiplied); // centred, never stretched
    icon.fill(Qt::transparent);
    QPainter(&icon).drawImage((size - art.width()) / 2, (size - art.height()) / 2, art);
    QSaveFile file(out);
    if (!file.open(QIODevice::WriteOnly) || !icon.save(&file, "PNG") || !file.commit())
        return fail(QStringLiteral("cannot write %1: %2").arg(out, file.errorString()));
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    QGuiApplication app(argc, argv); // fonts and image plug-ins need a GUI application
    const QStringList args = app.arguments().mid(1);
    if (args.size() == 3 && args[0] == QLatin1String("pdf"))
        return renderPdf(args[1], args[2]);
    if (args.size() == 4 && args[0] == QLatin1String("png"))
        return renderPng(args[1], args[2], args[3]);
    std::fprintf(stderr, "usage: vellora_render pdf IN.md OUT.pdf\n"
                         "       vellora_render png IN.svg SIZE OUT.png\n");
    return 2;
}
