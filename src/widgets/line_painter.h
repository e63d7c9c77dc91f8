#pragma once
// Draws an editor's lines with a QPainter: the gutter with its glyphs and line numbers, the left
// margin, the text in runs of one style, the selection, the all-characters marks, range marks and
// the guide lines. The widget paints its window with it; printing paints pages with it.

#include <QPainter>
#include <QPalette>
#include <QPixmap>
#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

#include "control/doravavizu.h"
#include "widgets/font_set.h"

namespace tarnwick::ui {

// The pictures of the gutter, with their transparent pixels masked out.
struct GutterGlyphs {
    std::vector<QPixmap> first;   // bookmarks 0..9 and the other marks, by bit or glyph number
    std::vector<QPixmap> second;  // the marks of the second mark word
    QPixmap wrapped;              // the continuation of a wrapped line
};

// Where and how lines are drawn.
struct PaintSetup {
    QRect area;                 // the client area (or the page's print area)
    bool printing = false;      // a printer or another external surface
    bool mono = false;          // black on white
    bool showSelection = true;  // the selection is visible
    bool enabled = true;        // a disabled control draws its background in silver
    const GutterGlyphs* glyphs = nullptr;
    // Printing draws with the measures of the target device and its own text left edge (absolute
    // x, -1: the area's left plus the control's edge); 0 means the control's measures.
    int charWidth = 0;
    int lineHeight = 0;
    int textLeft = -1;
    bool transparent = false;  // text without its background (a header handler asked for it)
    // Draws a range mark instead of the default frame (OnDrawMark).
    std::function<void(QPainter&, const QRect&, std::uint32_t tag)> drawMark;
};

class LinePainter {
public:
    LinePainter(const TCustomDoravaVizu& control, const FontSet& fonts, const QPalette& palette,
                const PaintSetup& setup);

    // Draws display line `line` (a record index) with its top at `y`; a line past the end of the
    // text draws the empty area.
    void PaintLine(QPainter& p, std::int64_t line, int y) const;

    // The x position of a display column on the screen.
    int XOfColumn(std::int64_t column) const;

    // Draws one printed piece of a logical line: `text` without its line break, with one token
    // value per character (or none), its first character at the text left edge, in the row at
    // `y`. Tabs expand from the piece's start; the piece is clipped at the area's right edge.
    void PaintPiece(QPainter& p, std::string_view text, const std::uint8_t* attributes, int y) const;

private:
    struct Run {
        std::int64_t column;  // first display column
        std::int64_t columns;
        QString text;  // tabs expanded to blanks
        std::uint8_t token;
        bool selected;
        std::int32_t firstChar;  // index of the first character in the record
    };
    // Runs of one token value and one selection state from the first visible column on; `column`
    // ends as the column after the last character taken.
    std::vector<Run> BuildRuns(std::string_view text, std::size_t length, const std::uint8_t* attributes,
                               std::int64_t selFrom, std::int64_t selTo, std::int64_t& column) const;
    // Draws the runs in the row at `y`; returns the x after the last one.
    int DrawRuns(QPainter& p, const std::vector<Run>& runs, std::int64_t endColumn, int y,
                 const std::optional<BreakpointStyle>& marker) const;
    QColor Color(TColor c) const;
    QColor DefaultForeground() const;
    QColor DefaultBackground() const;
    void PaintGutter(QPainter& p, std::int64_t line, const TLineRecord* r, int y) const;
    void PaintText(QPainter& p, std::int64_t line, const TLineRecord* r, int y) const;
    void PaintAllChars(QPainter& p, const TLineRecord* r, const std::vector<Run>& runs, int y, int endX) const;
    void PaintRangeMarks(QPainter& p, const TLineRecord* r, std::int64_t start, int y) const;
    void PaintGuides(QPainter& p, int y) const;
    // The baseline of text in font style `fontStyle` (the painter's font) in the row at `y`.
    qreal BaselineIn(QPainter& p, std::uint8_t fontStyle, int y) const;

    const TCustomDoravaVizu& c_;
    const TTextStore& store_;
    const TSM_Settings& settings_;
    const FontSet& fonts_;
    const QPalette& palette_;
    PaintSetup setup_;
    int textLeft_;
    int charWidth_;
    int lineHeight_;
    std::int64_t leftColumn_;
    std::int64_t selStart_;
    std::int64_t selEnd_;
    bool highlight_;
    struct Centring {
        qreal top;  // offset of the text's top in the row
        qreal ascent;
    };
    mutable std::array<std::optional<Centring>, 16> centring_;  // by font style, filled as used
};

}  // namespace tarnwick::ui
