#include "widgets/line_painter.h"

#include <QFontMetricsF>
#include <algorithm>
#include <cmath>

#include "editor/marks.h"
#include "editor/tab_stops.h"
#include "platform/qt/qt_text.h"
#include "widgets/colors.h"

namespace tarnwick::ui {

namespace {

constexpr QColor kSilver(0xC0, 0xC0, 0xC0);
constexpr int kMaxLineNumberDigits = 7;

int HighestBit(unsigned bits)
{
    int n = -1;
    while (bits) {
        bits >>= 1;
        ++n;
    }
    return n;
}

}  // namespace

LinePainter::LinePainter(const TCustomDoravaVizu& control, const FontSet& fonts, const QPalette& palette,
                         const PaintSetup& setup)
    : c_(control),
      store_(control.Store()),
      settings_(control.Settings()),
      fonts_(fonts),
      palette_(palette),
      setup_(setup),
      textLeft_(setup.textLeft >= 0 ? setup.textLeft : setup.area.left() + control.TextLeftEdge()),
      charWidth_(std::max(1, setup.charWidth > 0 ? setup.charWidth : control.Metrics().charWidth)),
      lineHeight_(std::max(1, setup.lineHeight > 0 ? setup.lineHeight : control.Metrics().lineHeight)),
      leftColumn_(setup.printing ? 0 : control.LeftColumn()),
      selStart_(control.SelStart()),
      selEnd_(control.SelEnd()),
      highlight_(control.HasOption(smoSyntaxHighlight))
{
    if (!setup_.showSelection || setup_.printing) selStart_ = selEnd_ = 0;
}

QColor LinePainter::Color(TColor c) const { return ToQColor(c, palette_); }

QColor LinePainter::DefaultForeground() const
{
    if (setup_.mono) return Qt::black;
    const StyleRecord& s = settings_.Style(0);
    return s.foregroundDefault ? palette_.color(QPalette::Active, QPalette::Text) : Color(s.foreground);
}

QColor LinePainter::DefaultBackground() const
{
    if (setup_.mono) return Qt::white;
    const StyleRecord& s = settings_.Style(0);
    return s.backgroundDefault ? palette_.color(QPalette::Active, QPalette::Base) : Color(s.background);
}

qreal LinePainter::BaselineIn(QPainter& p, std::uint8_t fontStyle, int y) const
{
    // Text of height ascent + descent centred in the row, its top on a 1/64 pixel as text layout
    // positions it.
    std::optional<Centring>& c = centring_[fontStyle & 0x0F];
    if (!c) {
        const QFontMetricsF m(p.font(), p.device());
        c = Centring{(lineHeight_ - (m.ascent() + m.descent())) / 2, m.ascent()};
    }
    return std::round((y + c->top) * 64) / 64 + c->ascent;
}

int LinePainter::XOfColumn(std::int64_t column) const
{
    return textLeft_ + static_cast<int>((column - leftColumn_) * charWidth_);
}

void LinePainter::PaintLine(QPainter& p, std::int64_t line, int y) const
{
    const TLineRecord* r = line >= 0 && line < store_.LineCount() ? store_.FromLine(line).record : nullptr;
    PaintGutter(p, line, r, y);
    if (settings_.marginWidth > 0) {
        const int marginLeft = textLeft_ - settings_.marginWidth;
        const QColor margin = settings_.marginColorDefault ? DefaultBackground() : Color(settings_.marginColor);
        p.fillRect(QRect(marginLeft, y, settings_.marginWidth, lineHeight_), setup_.mono ? QColor(Qt::white) : margin);
    }
    if (!r) {
        // Past the end of the text: the default background and the guide lines.
        QColor back = DefaultBackground();
        if (!setup_.enabled && !setup_.printing) back = kSilver;
        p.fillRect(QRect(textLeft_, y, setup_.area.right() + 1 - textLeft_, lineHeight_), back);
        PaintGuides(p, y);
        return;
    }
    PaintText(p, line, r, y);
    PaintGuides(p, y);
}

void LinePainter::PaintGutter(QPainter& p, std::int64_t line, const TLineRecord* r, int y) const
{
    const int width = c_.HasOption(smoShowGutter) ? settings_.gutterWidth : 0;
    if (width <= 0) return;
    const int left = setup_.area.left();
    QColor face = settings_.gutterColorDefault ? palette_.color(QPalette::Active, QPalette::Button)
                                               : Color(settings_.gutterColor);
    if (setup_.mono) face = Qt::white;
    p.fillRect(QRect(left, y, width, lineHeight_), face);
    if (width > 9) {
        p.setPen(Qt::white);
        p.drawLine(left + width - 2, y, left + width - 2, y + lineHeight_ - 1);
    }
    if (!r) return;
    auto glyphY = [&](const QPixmap& g) { return g.height() >= lineHeight_ ? y : y + (lineHeight_ - g.height()) / 2; };
    const GutterGlyphs* glyphs = setup_.glyphs;
    unsigned marks = r->Marks();
    if (!c_.HasOption(smoShowWrapGlyph)) marks &= ~unsigned(kContinuationMark);
    if (glyphs && marks) {
        const int bit = HighestBit(marks);
        const QPixmap* g = nullptr;
        if (bit == 12) g = &glyphs->wrapped;
        else if (bit < static_cast<int>(glyphs->first.size())) g = &glyphs->first[static_cast<std::size_t>(bit)];
        if (g && !g->isNull()) p.drawPixmap(left + 1, glyphY(*g), *g);
    }
    const std::int64_t offset = store_.OffsetOf(r);
    auto& codeBreaks = const_cast<TTextStore&>(store_).CodeBreaks();
    auto& breakpoints = const_cast<TTextStore&>(store_).Breakpoints();
    std::optional<BreakpointStyle> marker = codeBreaks.LineStyle(offset);
    if (!marker) marker = breakpoints.LineStyle(offset);
    const bool markerGlyph =
        glyphs && marker && marker->Glyph >= 1 && marker->Glyph - 1 < static_cast<int>(glyphs->first.size());
    if (markerGlyph) {
        const QPixmap& g = glyphs->first[static_cast<std::size_t>(marker->Glyph - 1)];
        p.drawPixmap(left + (marks ? 5 : 1), glyphY(g), g);
    }
    const unsigned second = r->MarkData();
    if (glyphs && second) {
        const int bit = HighestBit(second);
        if (bit < static_cast<int>(glyphs->second.size())) {
            const QPixmap& g = glyphs->second[static_cast<std::size_t>(bit)];
            p.drawPixmap(left, glyphY(g), g);
        }
    }
    // The number makes room for every glyph, a breakpoint's included.
    if (c_.HasOption(smoLineNumbers) && r->Marks() == 0 && second == 0 && !markerGlyph) {
        QString number = QString::number(store_.LogicalLineOf(line) + 1);
        if (number.size() > kMaxLineNumberDigits) number = number.right(kMaxLineNumberDigits);
        p.setFont(fonts_.Gutter());
        QColor ink = ToQColor(settings_.gutterFont.color, palette_);
        if (setup_.mono) ink = Qt::black;
        p.setPen(ink);
        p.setClipRect(QRect(left, y, width, lineHeight_));
        p.drawText(QRect(left + 2, y, width - 2, lineHeight_), Qt::AlignLeft | Qt::AlignVCenter, number);
        p.setClipping(false);
    }
}

std::vector<LinePainter::Run> LinePainter::BuildRuns(std::string_view text, std::size_t length,
                                                     const std::uint8_t* attributes, std::int64_t selFrom,
                                                     std::int64_t selTo, std::int64_t& column) const
{
    const TabRule tabs = TabRule::FromSettings(settings_);
    const int right = setup_.area.right() + 1;
    const std::int64_t lastColumn = leftColumn_ + (right - textLeft_) / charWidth_ + 1;
    std::vector<Run> runs;
    column = 0;
    for (std::size_t i = 0; i < length && column <= lastColumn; ++i) {
        const unsigned char ch = static_cast<unsigned char>(text[i]);
        const std::int64_t width = ch == '\t' ? tabs.NextStop(column) - column : 1;
        if (column + width <= leftColumn_) {
            column += width;
            continue;
        }
        const std::uint8_t token = attributes ? attributes[i] : 0;
        const bool selected = static_cast<std::int64_t>(i) >= selFrom && static_cast<std::int64_t>(i) < selTo;
        if (runs.empty() || runs.back().token != token || runs.back().selected != selected)
            runs.push_back({column, 0, QString(), token, selected, static_cast<std::int32_t>(i)});
        Run& run = runs.back();
        if (ch == '\t') run.text.append(QString(static_cast<qsizetype>(width), QLatin1Char(' ')));
        else run.text.append(QChar(Cp1252ToUnicode(ch)));
        run.columns += width;
        column += width;
    }
    return runs;
}

int LinePainter::DrawRuns(QPainter& p, const std::vector<Run>& runs, std::int64_t endColumn, int y,
                          const std::optional<BreakpointStyle>& marker) const
{
    const QColor defaultBack = DefaultBackground();
    auto colorsOf = [&](const Run& run, QColor& fore, QColor& back, std::uint8_t& fontStyle) {
        const StyleRecord& def = settings_.Style(0);
        const StyleRecord& style = settings_.Style(settings_.StyleIndex(run.token));
        fontStyle = highlight_ ? style.fontStyle : def.fontStyle;
        if (setup_.printing && setup_.mono) {
            fore = Qt::black;
            back = Qt::white;
        } else if (run.selected) {
            fore = settings_.selectedTextColorDefault ? palette_.color(QPalette::Active, QPalette::HighlightedText)
                                                      : Color(settings_.selectedTextColor);
            back = settings_.selectedTextBackgroundDefault ? palette_.color(QPalette::Active, QPalette::Highlight)
                                                           : Color(settings_.selectedTextBackground);
        } else if (!highlight_) {
            fore = DefaultForeground();
            back = defaultBack;
        } else if (marker) {
            fore = Color(marker->Foreground);
            back = Color(marker->Background);
        } else {
            fore = style.foregroundDefault ? DefaultForeground() : Color(style.foreground);
            back = style.backgroundDefault ? defaultBack : Color(style.background);
        }
        if (!setup_.enabled && !setup_.printing) back = kSilver;
    };

    int x = XOfColumn(runs.empty() ? endColumn : runs.front().column);
    const bool fixed = fonts_.Metrics().fixedPitch;
    // A run is drawn at its font's baseline in a line centred vertically in the row, which is where
    // drawing it into the row's rectangle with AlignVCenter puts it, without laying it out as a
    // paragraph first. The font is set only when it changes: every setFont costs a font lookup at
    // the next drawText.
    const QFont* current = nullptr;
    qreal baseline = 0;
    // On paper every text call is costly: neighbouring runs of one look are drawn as one.
    const bool merge = setup_.printing && fixed;
    for (std::size_t i = 0; i < runs.size(); ++i) {
        const Run* run = &runs[i];
        QColor fore, back;
        std::uint8_t fontStyle = 0;
        colorsOf(*run, fore, back, fontStyle);
        Run merged;
        for (std::size_t j = i + 1; merge && j < runs.size(); ++j) {
            QColor nextFore, nextBack;
            std::uint8_t nextStyle = 0;
            colorsOf(runs[j], nextFore, nextBack, nextStyle);
            if (nextFore != fore || nextBack != back || nextStyle != fontStyle) break;
            if (run != &merged) {
                merged = *run;
                run = &merged;
            }
            merged.text += runs[j].text;
            merged.columns += runs[j].columns;
            i = j;
        }
        const QFont& font = fonts_.Text(fontStyle);
        if (fixed) x = XOfColumn(run->column);
        const int width = fixed ? static_cast<int>(run->columns * charWidth_)
                                : QFontMetrics(font, p.device()).horizontalAdvance(run->text);
        if (!setup_.transparent && !(setup_.printing && back == Qt::white))
            p.fillRect(QRect(x, y, width, lineHeight_), back);
        if (&font != current) {
            p.setFont(font);
            current = &font;
            baseline = BaselineIn(p, fontStyle, y);
        }
        if (p.pen().color() != fore) p.setPen(fore);
        p.drawText(QPointF(x, baseline), run->text);
        x += width;
    }
    return x;
}

void LinePainter::PaintPiece(QPainter& p, std::string_view text, const std::uint8_t* attributes, int y) const
{
    std::int64_t column = 0;
    const std::vector<Run> runs = BuildRuns(text, text.size(), highlight_ ? attributes : nullptr, 0, 0, column);
    // A piece that fits needs no clipping (on paper every clip is written out).
    const int right = setup_.area.right() + 1;
    if (fonts_.Metrics().fixedPitch && XOfColumn(column) <= right) {
        DrawRuns(p, runs, column, y, std::nullopt);
        return;
    }
    p.save();
    p.setClipRect(QRect(textLeft_, y, right - textLeft_, lineHeight_));
    DrawRuns(p, runs, column, y, std::nullopt);
    p.restore();
}

void LinePainter::PaintText(QPainter& p, std::int64_t line, const TLineRecord* r, int y) const
{
    const std::string_view text = r->View();
    const std::size_t length = TextLengthOf(text);
    const std::uint8_t* attributes = highlight_ ? r->Attributes() : nullptr;
    const std::int64_t start = store_.OffsetOf(r);
    const int right = setup_.area.right() + 1;

    // Marker colours of a breakpoint or execution-point line.
    std::optional<BreakpointStyle> marker;
    if (!setup_.printing) {
        marker = const_cast<TTextStore&>(store_).CodeBreaks().LineStyle(start);
        if (!marker) marker = const_cast<TTextStore&>(store_).Breakpoints().LineStyle(start);
    }

    const std::int64_t selFrom = std::clamp<std::int64_t>(selStart_ - start, 0, static_cast<std::int64_t>(text.size()));
    const std::int64_t selTo = std::clamp<std::int64_t>(selEnd_ - start, 0, static_cast<std::int64_t>(text.size()));
    std::int64_t column = 0;
    const std::vector<Run> runs = BuildRuns(text, length, attributes, selFrom, selTo, column);

    p.save();
    p.setClipRect(QRect(textLeft_, y, right - textLeft_, lineHeight_));
    const int x = DrawRuns(p, runs, column, y, marker);
    const bool fixed = fonts_.Metrics().fixedPitch;
    // Right of the text: the selection's background when it runs on past the end of this line.
    const bool selectionGoesOn = selEnd_ > start + static_cast<std::int64_t>(length) &&
                                 selStart_ <= start + static_cast<std::int64_t>(length) && selEnd_ > selStart_ &&
                                 (text.size() > length || store_.Next(r));
    QColor tail = DefaultBackground();
    if (marker && highlight_ && !setup_.printing) tail = Color(marker->Background);
    if (selectionGoesOn) {
        tail = settings_.selectedTextBackgroundDefault ? palette_.color(QPalette::Active, QPalette::Highlight)
                                                       : Color(settings_.selectedTextBackground);
    }
    if (!setup_.enabled && !setup_.printing) tail = kSilver;
    const int endX = fixed ? XOfColumn(std::max(column, leftColumn_)) : x;
    if (endX < right)
        p.fillRect(QRect(std::max(endX, textLeft_), y, right - std::max(endX, textLeft_), lineHeight_), tail);
    if (x < textLeft_ && runs.empty()) p.fillRect(QRect(textLeft_, y, right - textLeft_, lineHeight_), tail);

    if (c_.HasOption(smoShowAllChars) && !setup_.printing) PaintAllChars(p, r, runs, y, endX);
    if (store_.RangeMarksIfAny()) PaintRangeMarks(p, r, start, y);
    p.restore();
    (void)line;
}

void LinePainter::PaintAllChars(QPainter& p, const TLineRecord* r, const std::vector<Run>& runs, int y, int endX) const
{
    const std::string_view text = r->View();
    const int middle = y + lineHeight_ / 2;
    const TabRule tabs = TabRule::FromSettings(settings_);
    for (const Run& run : runs) {
        p.setPen(run.selected
                     ? (settings_.selectedTextColorDefault ? palette_.color(QPalette::Active, QPalette::HighlightedText)
                                                           : Color(settings_.selectedTextColor))
                     : DefaultForeground());
        std::int64_t column = run.column;
        std::size_t i = static_cast<std::size_t>(run.firstChar);
        std::int64_t done = 0;
        while (done < run.columns && i < text.size()) {
            const char ch = text[i];
            const std::int64_t width = ch == '\t' ? tabs.NextStop(column) - column : 1;
            const int x = XOfColumn(column);
            if (ch == '\t') {
                // An arrow centred in the tab's width.
                const int w = static_cast<int>(width * charWidth_);
                const int cx = x + w / 2;
                const int half = std::min(charWidth_, w / 2 - 1);
                p.drawLine(cx - half, middle, cx + half, middle);
                p.drawLine(cx + half - 2, middle - 2, cx + half, middle);
                p.drawLine(cx + half - 2, middle + 2, cx + half, middle);
            } else if (ch == ' ') {
                // A middle dot, raised by a quarter of the line height.
                const int cx = x + charWidth_ / 2;
                const int cy = middle - lineHeight_ / 4 + 1;
                p.drawPoint(cx, cy);
                p.drawPoint(cx + 1, cy);
                p.drawPoint(cx, cy + 1);
                p.drawPoint(cx + 1, cy + 1);
            }
            column += width;
            done += width;
            ++i;
        }
    }
    // The end of a logical line, or the end of a wrapped segment.
    p.setPen(DefaultForeground());
    const int x = endX + 1;
    if (r->EndsWithBreak()) {
        // A pilcrow: a filled bowl and two stems.
        const int top = y + 2, bottom = y + lineHeight_ - 3;
        const int w = std::max(4, charWidth_ - 2);
        p.fillRect(QRect(x, top, w / 2 + 1, (bottom - top) / 2), p.pen().color());
        p.drawLine(x + w / 2, top, x + w / 2, bottom);
        p.drawLine(x + w - 1, top, x + w - 1, bottom);
        p.drawLine(x + w / 2, top, x + w - 1, top);
    } else if (store_.Next(r)) {
        // The wrap mark: an arrow turning down and back.
        const int w = std::max(5, charWidth_ - 1);
        p.drawLine(x + w - 1, y + 3, x + w - 1, middle);
        p.drawLine(x + 1, middle, x + w - 1, middle);
        p.drawLine(x + 1, middle, x + 3, middle - 2);
        p.drawLine(x + 1, middle, x + 3, middle + 2);
    }
}

void LinePainter::PaintRangeMarks(QPainter& p, const TLineRecord* r, std::int64_t start, int y) const
{
    const RangeMarkList* marks = store_.RangeMarksIfAny();
    const std::string_view text = r->View();
    const std::int64_t length = static_cast<std::int64_t>(TextLengthOf(text));
    const TabRule tabs = TabRule::FromSettings(settings_);
    for (const RangeMark& m : marks->Items()) {
        if (m.Start > start + length) break;
        if (m.End < start) continue;
        const std::int64_t from = std::max<std::int64_t>(m.Start - start, 0);
        const std::int64_t to = std::min<std::int64_t>(m.End - start, length);
        const QRect box(
            XOfColumn(ColumnOfOffset(text, from, tabs)), y,
            static_cast<int>((ColumnOfOffset(text, to, tabs) - ColumnOfOffset(text, from, tabs)) * charWidth_),
            lineHeight_);
        if (setup_.drawMark) {
            setup_.drawMark(p, box, m.Tag);
        } else {
            p.setPen(QPen(DefaultForeground(), 1, Qt::DotLine));
            p.setBrush(Qt::NoBrush);
            p.drawRect(box.adjusted(0, 0, -1, -1));
        }
    }
}

void LinePainter::PaintGuides(QPainter& p, int y) const
{
    if (setup_.printing) return;
    const int right = setup_.area.right() + 1;
    if (c_.HasOption(smoShowRMargin)) {
        const int x = XOfColumn(settings_.rightMargin);
        if (x >= textLeft_ && x < right) {
            p.setPen(QPen(kSilver, 1, Qt::SolidLine));
            p.drawLine(x, y, x, y + lineHeight_ - 1);
        }
    }
    if (c_.HasOption(smoShowWrapColumn) && settings_.wordWrapColumn >= 1) {
        const int x = XOfColumn(settings_.wordWrapColumn);
        if (x >= textLeft_ && x < right) {
            p.setPen(QPen(kSilver, 1, Qt::DotLine));
            p.drawLine(x, y, x, y + lineHeight_ - 1);
        }
    }
}

}  // namespace tarnwick::ui
