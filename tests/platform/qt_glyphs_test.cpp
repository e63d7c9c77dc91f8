// The gutter glyphs and cursors load from the resources with the right sizes, and the painting
// rule (the bottom-left pixel's colour is transparent) gives each glyph a mask. With the
// environment variable TARNWICK_GLYPH_SHEET set, every glyph and cursor is also drawn four times
// enlarged, on a light and a dark ground, into that PNG file, to be looked at.

#include <QImage>
#include <QPainter>
#include <QPixmap>
#include <QtTest>

#include "platform/qt/qt_glyphs.h"

using namespace tarnwick;

namespace {

struct Coverage {
    int transparent = 0;
    int opaque = 0;
};

Coverage Count(const QPixmap& pixmap)
{
    const QImage image = pixmap.toImage().convertToFormat(QImage::Format_ARGB32);
    Coverage c;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) (qAlpha(image.pixel(x, y)) == 0 ? c.transparent : c.opaque)++;
    return c;
}

void CheckGutterGlyph(const QPixmap& glyph, const char* what)
{
    QVERIFY2(!glyph.isNull(), what);
    QCOMPARE(glyph.size(), QSize(15, 16));
    const QImage raw = glyph.toImage();
    const QRgb key = raw.pixel(0, 15);
    QVERIFY2(qAlpha(key) == 255, what);  // a colour, not an already transparent pixel
    const QPixmap masked = WithBottomLeftTransparent(glyph);
    QVERIFY2(!masked.mask().isNull(), what);
    const QImage image = masked.toImage().convertToFormat(QImage::Format_ARGB32);
    QCOMPARE(qAlpha(image.pixel(0, 15)), 0);
    const Coverage c = Count(masked);
    QVERIFY2(c.opaque >= 8, what);  // something is drawn
    QVERIFY2(c.transparent >= 40, what);
    // Exactly the key-coloured pixels went transparent.
    int keyPixels = 0;
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 15; ++x) keyPixels += raw.pixel(x, y) == key;
    QCOMPARE(c.transparent, keyPixels);
}

void DrawSheet(const QString& file)
{
    // Two rows of gutter glyphs (the second row ends with the wrapped-line glyph and four glyphs
    // as stored, on their key colour), then the cursors on a light and on a dark ground, with a
    // red square on each hot spot, then gutter glyphs on the dark ground.
    const int scale = 4, cell = 18 * scale, band = 36 * scale;
    QImage sheet(16 * cell, 2 * cell + 2 * band, QImage::Format_RGB32);
    sheet.fill(QColor(0xF0, 0xF0, 0xF0));
    QPainter p(&sheet);
    p.fillRect(0, 2 * cell + band, sheet.width(), band, QColor(0x30, 0x30, 0x30));
    auto draw = [&](const QPixmap& pm, int x, int y) {
        p.drawPixmap(QRect(x, y, pm.width() * scale, pm.height() * scale), pm);
    };
    for (int i = 0; i < GutterGlyphCount(); ++i)
        draw(WithBottomLeftTransparent(GutterGlyph(i)), i * cell + scale, scale);
    for (int i = 0; i < SecondGutterGlyphCount(); ++i)
        draw(WithBottomLeftTransparent(SecondGutterGlyph(i)), i * cell + scale, cell + scale);
    draw(WithBottomLeftTransparent(WrappedGlyph()), 9 * cell + scale, cell + scale);
    for (int i = 0; i < 4; ++i) draw(GutterGlyph(i * 4), (11 + i) * cell + scale, cell + scale);
    const QPixmap hand = HyperlinkCursor().pixmap(), zoom = ZoomCursor().pixmap();
    for (int b = 0; b < 2; ++b) {
        const int y = 2 * cell + b * band + 2 * scale;
        draw(hand, scale, y);
        draw(zoom, band + scale, y);
        p.setPen(Qt::red);
        p.drawRect(scale + kHyperlinkHotX * scale, y + kHyperlinkHotY * scale, scale - 1, scale - 1);
        p.drawRect(band + scale + kZoomHotX * scale, y + kZoomHotY * scale, scale - 1, scale - 1);
    }
    for (int i = 0; i < GutterGlyphCount(); ++i)
        draw(WithBottomLeftTransparent(GutterGlyph(i)), 2 * band + (i % 8) * cell,
             2 * cell + band + (i / 8) * cell + scale);
    p.end();
    QVERIFY(sheet.save(file, "PNG"));
}

}  // namespace

class QtGlyphsTest : public QObject {
    Q_OBJECT

private slots:
    void GutterGlyphsLoadWithTheirMask()
    {
        QCOMPARE(GutterGlyphCount(), 16);
        QCOMPARE(SecondGutterGlyphCount(), 8);
        for (int i = 0; i < GutterGlyphCount(); ++i)
            CheckGutterGlyph(GutterGlyph(i), qPrintable(QStringLiteral("gutter %1").arg(i)));
        for (int i = 0; i < SecondGutterGlyphCount(); ++i)
            CheckGutterGlyph(SecondGutterGlyph(i), qPrintable(QStringLiteral("second gutter %1").arg(i)));
        CheckGutterGlyph(WrappedGlyph(), "wrapped");
        QVERIFY(GutterGlyph(-1).isNull());
        QVERIFY(GutterGlyph(16).isNull());
        QVERIFY(SecondGutterGlyph(8).isNull());
        QVERIFY(WithBottomLeftTransparent(QPixmap()).isNull());
        // The numbered bookmarks differ from each other.
        for (int i = 1; i < 10; ++i) QVERIFY(GutterGlyph(i).toImage() != GutterGlyph(i - 1).toImage());
    }

    void CursorsHaveTheirSizeAndHotSpot()
    {
        const QCursor hand = HyperlinkCursor();
        QCOMPARE(hand.shape(), Qt::BitmapCursor);
        QCOMPARE(hand.pixmap().size(), QSize(32, 32));
        QCOMPARE(hand.hotSpot(), QPoint(kHyperlinkHotX, kHyperlinkHotY));
        const QCursor zoom = ZoomCursor();
        QCOMPARE(zoom.pixmap().size(), QSize(32, 32));
        QCOMPARE(zoom.hotSpot(), QPoint(kZoomHotX, kZoomHotY));
        for (const QPixmap& pm : {hand.pixmap(), zoom.pixmap()}) {
            const Coverage c = Count(pm);
            QVERIFY(c.opaque > 60);
            QVERIFY(c.transparent > 400);
        }
        // The hot spots lie on drawn pixels.
        QCOMPARE(qAlpha(hand.pixmap().toImage().pixel(kHyperlinkHotX, kHyperlinkHotY)), 255);
        QCOMPARE(qAlpha(zoom.pixmap().toImage().pixel(kZoomHotX, kZoomHotY)), 255);
    }

    void SheetForTheEye()
    {
        const QByteArray file = qgetenv("TARNWICK_GLYPH_SHEET");
        if (file.isEmpty()) QSKIP("set TARNWICK_GLYPH_SHEET to a PNG file name to draw the sheet");
        DrawSheet(QString::fromLocal8Bit(file));
    }
};

QTEST_MAIN(QtGlyphsTest)
#include "qt_glyphs_test.moc"
