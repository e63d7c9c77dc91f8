#pragma once
// The editor control's bitmaps and cursors, from the program's resources (resources/resources.qrc):
// the gutter image list (numbered bookmarks 0..9, breakpoint, disabled breakpoint, execution
// point, execution point on a breakpoint, two line marks), the second gutter image list, the
// wrapped-line glyph, the hyperlink cursor and the print preview's zoom cursor.
//
// Gutter glyphs are 15 x 16 pixels, drawn on a key colour: the gutter painting makes
// each glyph's bottom-left pixel colour transparent (WithBottomLeftTransparent).

#include <QCursor>
#include <QPixmap>

namespace tarnwick {

// Indexes into the gutter image list (glyph number g of a breakpoint is index g - 1).
inline constexpr int kGutterBookmark0 = 0;            // .. 9: numbered bookmarks 0..9
inline constexpr int kGutterBreakpoint = 10;          // enabled breakpoint (glyph number 11)
inline constexpr int kGutterDisabledBreakpoint = 11;  // disabled breakpoint (glyph number 12)
inline constexpr int kGutterExecutionPoint = 12;
inline constexpr int kGutterExecutionOnBreakpoint = 13;
inline constexpr int kGutterMarkPointer = 14;
inline constexpr int kGutterMarkDiamond = 15;

// The hot spots of the cursors.
inline constexpr int kHyperlinkHotX = 7, kHyperlinkHotY = 0;  // the fingertip
inline constexpr int kZoomHotX = 11, kZoomHotY = 11;          // the lens centre

// Number of glyphs in each gutter image list (16 and 8).
int GutterGlyphCount();
int SecondGutterGlyphCount();

// One glyph as stored (on its key colour); a null pixmap for an index outside the list.
QPixmap GutterGlyph(int index);
QPixmap SecondGutterGlyph(int index);
// The wrapped-line glyph (resource "SEM_WRAPPED"), 15 x 16, same transparency rule.
QPixmap WrappedGlyph();

// Any picture of the program's resources by its alias ("toolbar/save"); null when there is none.
QPixmap ResourcePixmap(const QString& alias);

// The glyph with every pixel of its bottom-left pixel's colour made transparent.
QPixmap WithBottomLeftTransparent(const QPixmap& glyph);

// The hand shown over a hyperlink ("HYPER_CURSOR") and the zoom tool's magnifier ("ZOOM_CURSOR"),
// 32 x 32 with their hot spots.
QCursor HyperlinkCursor();
QCursor ZoomCursor();

}  // namespace tarnwick
