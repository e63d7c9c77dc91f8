#include "widgets/font_set.h"

#include <QFontDatabase>
#include <QFontInfo>
#include <QFontMetrics>
#include <cmath>

namespace tarnwick::ui {

QFont ResolveFont(const std::string& name, int pointSize, bool wantFixedPitch)
{
    const int size = pointSize > 0 ? pointSize : 10;
    QFont font(QString::fromStdString(name.empty() ? std::string("Courier New") : name));
    font.setPointSize(size);
    if (wantFixedPitch) font.setStyleHint(QFont::TypeWriter);
    const QFontInfo info(font);
    // Font matching always finds something; keep it when it is the family asked for, an alias of
    // it (a metric-compatible family), or at least as fixed-pitch as asked for.
    if (info.exactMatch() || !wantFixedPitch || info.fixedPitch()) return font;
    QFont fixed = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    fixed.setPointSize(size);
    return fixed;
}

void FontSet::Build(const std::string& name, int pointSize, int /*charset*/, QPaintDevice* device)
{
    QFont base = ResolveFont(name, pointSize, true);
    if (device) {
        const int points = pointSize > 0 ? pointSize : 10;
        base.setPixelSize(std::max(1, static_cast<int>(std::lround(points * device->logicalDpiY() / 72.0))));
    }
    for (int bits = 0; bits < 16; ++bits) {
        QFont f = base;
        f.setBold(bits & fsBold);
        f.setItalic(bits & fsItalic);
        f.setUnderline(bits & fsUnderline);
        f.setStrikeOut(bits & fsStrikeOut);
        variants_[static_cast<std::size_t>(bits)] = f;
    }
    const QFontMetrics plain = device ? QFontMetrics(variants_[0], device) : QFontMetrics(variants_[0]);
    const QFontMetrics boldItalic =
        device ? QFontMetrics(variants_[fsBold | fsItalic], device) : QFontMetrics(variants_[fsBold | fsItalic]);
    metrics_.fixedPitch = plain.horizontalAdvance(QLatin1Char('i')) == plain.horizontalAdvance(QLatin1Char('W'));
    metrics_.charWidth =
        metrics_.fixedPitch ? plain.horizontalAdvance(QLatin1Char('W')) : std::max(1, boldItalic.averageCharWidth());
    // Every style must fit: the height of the bold italic face, its leading, one pixel apart.
    metrics_.lineHeight = std::max(boldItalic.height(), plain.height()) + std::max(0, boldItalic.leading()) + 1;
    if (metrics_.fixedPitch) {
        // Glyphs sit on a grid of whole pixels: a variant whose advance is not the grid's (a bold
        // face a fraction wider, say) is spaced to it.
        for (QFont& f : variants_) {
            const qreal advance =
                (device ? QFontMetricsF(f, device) : QFontMetricsF(f)).horizontalAdvance(QLatin1Char('W'));
            const qreal delta = metrics_.charWidth - advance;
            if (std::abs(delta) > 0.001) f.setLetterSpacing(QFont::AbsoluteSpacing, delta);
        }
    }
    device_ = device;
    built_ = true;
}

void FontSet::BuildGutter(const FontData& font)
{
    gutter_ =
        ResolveFont(font.name.empty() ? std::string("MS Sans Serif") : font.name, font.size > 0 ? font.size : 8, false);
    gutter_.setBold(font.style & fsBold);
    gutter_.setItalic(font.style & fsItalic);
}

int FontSet::CharacterWidth(QChar c) const
{
    return (device_ ? QFontMetrics(variants_[0], device_) : QFontMetrics(variants_[0])).horizontalAdvance(c);
}

}  // namespace tarnwick::ui
