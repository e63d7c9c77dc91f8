#include "platform/qt/qt_glyphs.h"

#include <QBitmap>
#include <QImage>
#include <QString>

// The resources live in this static library: register them once before the first use (outside
// any namespace, as Q_INIT_RESOURCE requires).
static void InitTarnwickResources()
{
    static const bool done = [] {
        Q_INIT_RESOURCE(resources);
        return true;
    }();
    (void)done;
}

namespace tarnwick {
namespace {

constexpr int kGutterCount = 16;
constexpr int kSecondGutterCount = 8;

QPixmap Load(const QString& name)
{
    InitTarnwickResources();
    return QPixmap(QStringLiteral(":/") + name);
}

}  // namespace

QPixmap ResourcePixmap(const QString& alias) { return Load(alias); }

int GutterGlyphCount() { return kGutterCount; }
int SecondGutterGlyphCount() { return kSecondGutterCount; }

QPixmap GutterGlyph(int index)
{
    if (index < 0 || index >= kGutterCount) return {};
    return Load(QStringLiteral("gutter/%1").arg(index));
}

QPixmap SecondGutterGlyph(int index)
{
    if (index < 0 || index >= kSecondGutterCount) return {};
    return Load(QStringLiteral("gutter2/%1").arg(index));
}

QPixmap WrappedGlyph() { return Load(QStringLiteral("SEM_WRAPPED")); }

QPixmap WithBottomLeftTransparent(const QPixmap& glyph)
{
    if (glyph.isNull()) return glyph;
    const QImage image = glyph.toImage();
    const QColor key = QColor::fromRgb(image.pixel(0, image.height() - 1));
    QPixmap out = glyph;
    out.setMask(glyph.createMaskFromColor(key, Qt::MaskInColor));  // pixels of the key colour: transparent
    return out;
}

QCursor HyperlinkCursor() { return QCursor(Load(QStringLiteral("HYPER_CURSOR")), kHyperlinkHotX, kHyperlinkHotY); }

QCursor ZoomCursor() { return QCursor(Load(QStringLiteral("ZOOM_CURSOR")), kZoomHotX, kZoomHotY); }

}  // namespace tarnwick
