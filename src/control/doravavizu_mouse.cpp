// The mouse: clicks and multiple clicks, selecting by dragging, drag auto-scroll, hyperlink tokens,
// the gutter, the guide lines; and drag and drop in both directions.

#include <algorithm>
#include <limits>

#include "control/doravavizu.h"
#include "editor/export_writers.h"
#include "editor/tab_stops.h"

namespace tarnwick {

namespace {

constexpr std::uint16_t kFormatTypes = stFiles | stWideText | stText | stHTML;
// Set in the source types given to OnDataDrop: file lists go to OnFilesDropped.
constexpr std::uint16_t stFilesToHandler = 0x0800;
// Set by an OnDataDrop handler that has dealt with the drop itself.
constexpr std::uint16_t stDropHandled = 0x1000;
// The largest column a guide line can be dragged to (the wrap column's limit).
constexpr std::int64_t kMaxGuideColumn = 0xFFFF;

std::int64_t FloorDiv(std::int64_t a, std::int64_t b)
{
    const std::int64_t q = a / b;
    return (a % b != 0 && (a < 0) != (b < 0)) ? q - 1 : q;
}

bool WordChar(const TCustomDoravaVizu& c, char ch) { return c.IsWordChar(ch) || c.IsWordStartChar(ch); }

std::string JoinLines(const std::vector<std::string>& lines)
{
    std::string out;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (i > 0) out += "\r\n";
        out += lines[i];
    }
    return out;
}

}  // namespace

// ---------------------------------------------------------------- positions under the mouse

std::int64_t TCustomDoravaVizu::LastDisplayLine() const { return LineOf(store_->CharCount()); }

TCustomDoravaVizu::MouseHit TCustomDoravaVizu::HitTest(int x, int y, bool clampLeft) const
{
    MouseHit hit;
    const std::int64_t cw = std::max(1, metrics_.charWidth);
    const std::int64_t lh = std::max(1, metrics_.lineHeight);
    const std::int64_t row = topLine_ + FloorDiv(y, lh);
    const std::int64_t last = LastDisplayLine();
    const bool onLines = row >= 0 && row <= last;
    hit.line = std::clamp<std::int64_t>(row, 0, last);

    const std::int64_t left = TextLeftEdge();
    std::int64_t px = x;
    if (clampLeft) px = std::max(px, left);
    // Pixels from the left of column 0 of the line.
    const std::int64_t rel = px - left + leftColumn_ * cw;
    hit.column = FloorDiv(rel, cw);

    std::string_view text;
    bool lastRecord = true;
    bool endsWithBreak = false;
    if (hit.line < store_->LineCount()) {
        const TLineRecord* r = store_->FromLine(hit.line).record;
        text = r->View();
        lastRecord = store_->Next(r) == nullptr;
        endsWithBreak = r->EndsWithBreak();
    }
    hit.lineEnd = endsWithBreak || lastRecord;
    const std::int64_t lastOffset = LastOffsetOf(text, lastRecord);
    const auto length = static_cast<std::int64_t>(TextLengthOf(text));
    const TabRule tabs = TabRule::FromSettings(Settings());

    // One walk (a segment is short) finds the nearest boundary and the character whose columns
    // hold the point.
    std::int64_t at = 0;  // column of character k
    std::int64_t nearest = -1;
    for (std::int64_t k = 0; k < length; ++k) {
        const std::int64_t next = text[static_cast<std::size_t>(k)] == '\t' ? tabs.NextStop(at) : at + 1;
        if (nearest < 0 && rel * 2 < (at + next) * cw) nearest = k;
        if (hit.charAt < 0 && onLines && hit.column >= at && hit.column < next) hit.charAt = k;
        at = next;
    }
    hit.endColumn = at;
    hit.onLines = onLines;
    if (nearest < 0) nearest = length;
    const std::int64_t start = LineStart(hit.line);
    hit.offset = start + std::min(nearest, lastOffset);
    if (hit.charAt >= 0) hit.charAt += start;
    return hit;
}

std::int64_t TCustomDoravaVizu::OffsetAtPoint(int x, int y, bool clampLeft) const
{
    return HitTest(x, y, clampLeft).offset;
}

void TCustomDoravaVizu::PlaceCaretAt(std::int64_t offset)
{
    if (!host_ || !measured_) return;
    const std::int64_t line = LineOf(offset);
    const bool virtualCaret = offset == caret_ && beyondEol_ && dropCaret_ < 0;
    const std::int64_t column = virtualCaret ? virtualColumn_ : ColumnOf(offset);
    const std::int64_t x = TextLeftEdge() + (column - leftColumn_) * metrics_.charWidth;
    const std::int64_t y = (line - topLine_) * metrics_.lineHeight;
    const auto fit = [](std::int64_t v) {
        return static_cast<int>(
            std::clamp<std::int64_t>(v, std::numeric_limits<int>::min() / 2, std::numeric_limits<int>::max() / 2));
    };
    host_->PlaceCaret(fit(x), fit(y), 2, metrics_.lineHeight);
}

// ---------------------------------------------------------------- cursor

void TCustomDoravaVizu::SetMouseCursor(CursorKind cursor)
{
    if (cursor == cursor_) return;
    cursor_ = cursor;
    if (host_) host_->SetCursor(cursor);
}

// ---------------------------------------------------------------- hyperlinks

bool TCustomDoravaVizu::HyperlinkAt(std::int64_t offset) const
{
    if (offset < 0 || offset >= store_->CharCount()) return false;
    const LinePosition p = store_->FromOffset(offset);
    if (!p.record || !p.record->Attributes()) return false;
    const std::int64_t i = offset - p.offset;
    if (i < 0 || i >= p.record->Length() || p.record->Text()[i] == '\r') return false;
    const TSM_Settings& s = Settings();
    const StyleRecord& style = s.Style(s.StyleIndex(p.record->Attributes()[i]));
    return style.defined && style.hotSpot;
}

void TCustomDoravaVizu::FireHyperlinkClick(std::int64_t offset)
{
    if (!OnHyperlinkClick) return;
    const LinePosition p = store_->FromOffset(offset);
    const TLineRecord* r = p.record;
    std::int64_t recordStart = p.offset;
    std::int64_t i = offset - recordStart;
    const std::uint8_t value = r->Attributes()[i];

    // Back to the token's first character, across the starts of wrapped segments.
    const TLineRecord* startRecord = r;
    std::int64_t startRecordOffset = recordStart;
    for (;;) {
        if (i > 0 && startRecord->Attributes()[i - 1] == value) {
            --i;
            continue;
        }
        if (i > 0 || !startRecord->IsContinuation()) break;
        const TLineRecord* prev = store_->Prev(startRecord);
        if (!prev || !prev->Attributes() || prev->Length() == 0 || prev->EndsWithBreak() ||
            prev->Attributes()[prev->Length() - 1] != value)
            break;
        startRecord = prev;
        startRecordOffset -= prev->Length();
        i = prev->Length() - 1;
    }
    const std::int64_t start = startRecordOffset + i;

    // On to the end of the run, across the ends of wrapped segments; a line break ends it.
    std::int64_t j = offset - recordStart;
    for (;;) {
        const std::int64_t n = r->Length();
        while (j < n && r->Text()[j] != '\r' && r->Attributes()[j] == value) ++j;
        if (j < n || r->EndsWithBreak()) break;
        const TLineRecord* next = store_->Next(r);
        if (!next || !next->IsContinuation() || !next->Attributes() || next->Length() == 0 ||
            next->Attributes()[0] != value)
            break;
        recordStart += n;
        r = next;
        j = 0;
    }
    const std::int64_t end = recordStart + j;
    OnHyperlinkClick(*this, store_->TextRange(start, end), value);
}

// ---------------------------------------------------------------- clicks

void TCustomDoravaVizu::ClickAt(const MouseHit& hit)
{
    mouseSelecting_ = true;
    const bool virtualCaret =
        HasOption(smoCaretAfterEOL) && metrics_.fixedPitch && hit.lineEnd && hit.column > hit.endColumn;
    const bool wasBeyond = beyondEol_;
    beyondEol_ = virtualCaret;
    if (virtualCaret) virtualColumn_ = std::min(hit.column, kMaxVirtualColumn);
    Select(hit.offset, hit.offset);
    trackedColumn_ = beyondEol_ ? virtualColumn_ : ColumnOf(caret_);
    if (beyondEol_ || wasBeyond) {
        Notify(cfSelection);
        PlaceCaretAt(caret_);
        FlushChange();
    }
    if (Settings().HasHotSpots() && hit.charAt >= 0 && HyperlinkAt(hit.charAt)) FireHyperlinkClick(hit.charAt);
}

void TCustomDoravaVizu::SelectSegment(std::int64_t line)
{
    const std::int64_t start = LineStart(line);
    const std::int64_t end = line < store_->LineCount() ? start + store_->FromLine(line).record->Length() : start;
    beyondEol_ = false;
    Select(start, end);
}

void TCustomDoravaVizu::SelectWordAtCaret()
{
    beyondEol_ = false;
    const std::int64_t line = LineOf(caret_);
    const std::int64_t start = LineStart(line);
    const std::string text = store_->TextRange(start, start + LineLength(line));
    const auto n = static_cast<std::int64_t>(text.size());
    const std::int64_t i = std::clamp<std::int64_t>(caret_ - start, 0, n);
    const auto word = [&](std::int64_t k) { return WordChar(*this, text[static_cast<std::size_t>(k)]); };
    std::int64_t s = i;
    if (!((i < n && word(i)) || (i > 0 && word(i - 1)))) {
        // Between two characters outside words: the next word to the right on this line.
        while (s < n && !word(s)) ++s;
        if (s == n) {
            Select(start, start);
            return;
        }
    }
    std::int64_t e = s;
    while (s > 0 && word(s - 1)) --s;
    while (e < n && word(e)) ++e;
    Select(start + s, start + e);
}

void TCustomDoravaVizu::MouseDown(int x, int y, std::uint16_t shift, std::int64_t timeMs)
{
    if (!Enabled || !TabStop) return;
    if (host_) host_->TakeFocus();
    if (x < 0 || (host_ && x >= host_->ClientWidth())) return;

    // The click count: 1, 2 and 3 while the presses come quickly, then 4, then 1 again.
    const std::int64_t limit = host_ ? host_->DoubleClickTime() : 500;
    const bool quick = lastPressTime_ >= 0 && timeMs >= lastPressTime_ && timeMs - lastPressTime_ <= limit;
    switch (clicks_) {
    case 1: clicks_ = quick ? 2 : 1; break;
    case 2: clicks_ = quick ? 3 : 1; break;
    case 3: clicks_ = quick ? 4 : 1; break;
    default: clicks_ = 1; break;
    }
    lastPressTime_ = timeMs;
    mouseX_ = x;
    mouseY_ = y;
    dragPending_ = false;
    mouseSelecting_ = false;

    const int textLeft = TextLeftEdge();
    if (x < textLeft - Margin()) {
        // The gutter: the logical line's first segment, numbered from 1.
        const std::int64_t lh = std::max(1, metrics_.lineHeight);
        std::int64_t line = topLine_ + FloorDiv(y, lh);
        if (line < 0 || line > LastDisplayLine()) return;
        while (line > 0 && line < store_->LineCount() && store_->FromLine(line).record->IsContinuation()) --line;
        if (OnGutterClick) OnGutterClick(*this, line + 1);
        return;
    }
    const MouseHit hit = HitTest(x, y, true);
    if (x < textLeft) {
        SelectSegment(hit.line);
        return;
    }
    bool rightMargin = false;
    if (GuideAt(x, y, rightMargin)) {
        guideArmed_ = true;
        guideDragging_ = true;
        guideIsRightMargin_ = rightMargin;
        MoveGuide(x);
        return;
    }
    if (shift & scShift) {
        beyondEol_ = false;
        const std::int64_t start = SelStart(), end = SelEnd();
        Select(hit.offset < start ? end : start, hit.offset);
        mouseSelecting_ = true;
        return;
    }
    switch (clicks_) {
    case 2:
        lastClickLine_ = hit.line;
        beyondEol_ = false;
        Select(hit.offset, hit.offset);
        break;
    case 3:
        if (hit.line == lastClickLine_) {
            if (OnTripleClick) OnTripleClick(*this, x, y, hit.offset);
            else SelectSegment(hit.line);
        } else {
            ClickAt(hit);
        }
        break;
    default: {
        // A press on the selection may start dragging it; otherwise the caret goes there.
        std::int64_t under = hit.charAt;
        if (under < 0 && hit.lineEnd && hit.line < store_->LineCount() &&
            store_->FromLine(hit.line).record->EndsWithBreak())
            under = LineStart(hit.line) + LineLength(hit.line);
        if (anchor_ != caret_ && HasOption(smoOLEDragSource) && under >= SelStart() && under < SelEnd())
            dragPending_ = true;
        else ClickAt(hit);
        break;
    }
    }
}

void TCustomDoravaVizu::DoubleClick(int x, int /*y*/)
{
    if (!Enabled || !TabStop || clicks_ != 2) return;
    if (!HasOption(smoWordSelect) || x < TextLeftEdge()) return;
    SelectWordAtCaret();
}

// ---------------------------------------------------------------- guide lines

bool TCustomDoravaVizu::GuideAt(int x, int y, bool& rightMargin) const
{
    const std::int64_t cw = std::max(1, metrics_.charWidth);
    const std::int64_t column = leftColumn_ + FloorDiv(std::int64_t{x} - TextLeftEdge() + cw / 2, cw);
    const MouseHit hit = HitTest(x, y, true);
    // The text of the line under the mouse must not reach the guide's column.
    const std::int64_t lineColumns = hit.onLines ? hit.endColumn : 0;
    const bool right = HasOption(smoShowRMargin) && column == RightMargin();
    const bool wrap = WordWrap() && HasOption(smoShowWrapColumn) && WrapAtColumn() >= 1 && column == WrapAtColumn();
    if (!right && !wrap) return false;
    if (lineColumns >= column) return false;
    rightMargin = right;
    return true;
}

void TCustomDoravaVizu::MoveGuide(int x)
{
    const std::int64_t cw = std::max(1, metrics_.charWidth);
    const std::int64_t column = leftColumn_ + FloorDiv(std::int64_t{x} - TextLeftEdge() + cw / 2, cw);
    guideColumn_ = std::clamp<std::int64_t>(column, 1, kMaxGuideColumn);
    int guideX = -1;
    if (guideColumn_ >= leftColumn_ && guideColumn_ <= leftColumn_ + visibleColumns_)
        guideX = TextLeftEdge() + static_cast<int>((guideColumn_ - leftColumn_) * cw);
    guideX_ = guideX;
}

// ---------------------------------------------------------------- moving

void TCustomDoravaVizu::FollowMouse()
{
    if (mouseSelecting_) {
        // The caret end follows the mouse, kept inside the text area.
        int x = std::max(mouseX_, TextLeftEdge());
        int y = std::max(mouseY_, 0);
        if (host_) {
            x = std::min(x, std::max(TextLeftEdge(), host_->ClientWidth() - 1));
            y = std::min(y, std::max(0, host_->ClientHeight() - 1));
        }
        const MouseHit hit = HitTest(x, y, true);
        const bool virtualCaret =
            HasOption(smoCaretAfterEOL) && metrics_.fixedPitch && hit.lineEnd && hit.column > hit.endColumn;
        const bool changed = hit.offset != caret_ || virtualCaret != beyondEol_ ||
                             (virtualCaret && std::min(hit.column, kMaxVirtualColumn) != virtualColumn_);
        if (!changed) return;
        beyondEol_ = virtualCaret;
        if (virtualCaret) virtualColumn_ = std::min(hit.column, kMaxVirtualColumn);
        Select(anchor_, hit.offset, true);
        if (HasOption(smoCaretAfterEOL)) trackedColumn_ = beyondEol_ ? virtualColumn_ : ColumnOf(caret_);
        Notify(cfSelection);
        PlaceCaretAt(caret_);
        FlushChange();
    } else if (guideDragging_) {
        MoveGuide(mouseX_);
    } else if (dropCaret_ >= 0) {
        const std::int64_t at = OffsetAtPoint(mouseX_, mouseY_, true);
        if (at != dropCaret_) {
            InvalidateRange(dropCaret_, dropCaret_);
            dropCaret_ = at;
            InvalidateRange(dropCaret_, dropCaret_);
        }
        PlaceCaretAt(dropCaret_);
    }
}

bool TCustomDoravaVizu::AutoScrollStep()
{
    const bool dataOver = dropCaret_ >= 0;
    if (!mouseSelecting_ && !guideDragging_ && !dataOver) return false;
    const std::int64_t cw = std::max(1, metrics_.charWidth);
    const std::int64_t lh = std::max(1, metrics_.lineHeight);
    const std::int64_t width = host_ ? host_->ClientWidth() : TextLeftEdge() + visibleColumns_ * cw;
    const std::int64_t height = host_ ? host_->ClientHeight() : visibleLines_ * lh;
    const std::int64_t x = mouseX_, y = mouseY_;

    std::int64_t lines = 0, columns = 0;
    if (dataOver ? y < 2 * lh : y < 0) lines = -1;
    else if (dataOver ? y > height - 2 * lh : y >= height) lines = 1;
    const std::int64_t leftEdge = TextLeftEdge() - Margin();
    if ((dataOver || guideDragging_) ? x < leftEdge + 2 * cw : x < leftEdge) columns = -1;
    else if ((dataOver || (guideDragging_ && guideIsRightMargin_)) ? x > width - 2 * cw : x >= width) columns = 1;
    // Down only while lines lie below the view; left only while there is room.
    if (lines > 0 && topLine_ + visibleLines_ > LastDisplayLine()) lines = 0;
    if (lines < 0 && topLine_ == 0) lines = 0;
    if (columns < 0 && leftColumn_ == 0) columns = 0;

    bool moved = false;
    if (lines != 0 || columns != 0) {
        const std::int64_t top = topLine_, left = leftColumn_;
        ScrollTo(leftColumn_ + columns, topLine_ + lines, true);
        moved = top != topLine_ || left != leftColumn_;
    }
    FollowMouse();
    return moved;
}

void TCustomDoravaVizu::HoverAt(int x, int y)
{
    hoverHyperlink_ = false;
    if (x < TextLeftEdge()) {
        guideArmed_ = false;
        SetMouseCursor(CursorKind::crDefault);
        return;
    }
    bool rightMargin = false;
    guideArmed_ = GuideAt(x, y, rightMargin);
    const MouseHit hit = HitTest(x, y, true);
    if (Settings().HasHotSpots() && hit.charAt >= 0 && HyperlinkAt(hit.charAt)) {
        hoverHyperlink_ = true;
        SetMouseCursor(CursorKind::crHyperlink);
        if (OnHyperlinkHover) OnHyperlinkHover(*this);
        return;
    }
    if (guideArmed_) {
        SetMouseCursor(CursorKind::crHSplit);
        return;
    }
    bool overSelection = false;
    if (anchor_ != caret_ && HasOption(smoOLEDragSource)) {
        std::int64_t under = hit.charAt;
        if (under < 0 && hit.lineEnd && hit.line < store_->LineCount() &&
            store_->FromLine(hit.line).record->EndsWithBreak() && hit.column >= hit.endColumn)
            under = LineStart(hit.line) + LineLength(hit.line);
        overSelection = under >= SelStart() && under < SelEnd();
    }
    SetMouseCursor(overSelection ? CursorKind::crArrow : CursorKind::crIBeam);
}

void TCustomDoravaVizu::MouseMove(int x, int y, std::uint16_t shift, bool leftButton)
{
    if (!Enabled || !TabStop) return;
    const bool moved = x != mouseX_ || y != mouseY_;
    if (!leftButton && (mouseSelecting_ || dragPending_ || guideDragging_)) {
        // The release went elsewhere: end what the press began.
        MouseUp(x, y, shift);
        return;
    }
    mouseX_ = x;
    mouseY_ = y;
    if (dragPending_) {
        if (!moved) return;
        dragPending_ = false;
        StartOwnDrag();
        return;
    }
    if (mouseSelecting_ || guideDragging_) {
        // A repeated position is no move: the scroll steps while the mouse rests come from the
        // window's timer.
        if (moved) AutoScrollStep();
        else FollowMouse();
        return;
    }
    HoverAt(x, y);
}

void TCustomDoravaVizu::MouseUp(int x, int y, std::uint16_t /*shift*/)
{
    mouseX_ = x;
    mouseY_ = y;
    if (dragPending_) {
        // Pressed on the selection and released without dragging: a plain click.
        dragPending_ = false;
        if (Enabled && TabStop) ClickAt(HitTest(x, y, true));
    }
    mouseSelecting_ = false;
    if (dropCaret_ >= 0 && !ownDragRunning_) {
        InvalidateRange(dropCaret_, dropCaret_);
        dropCaret_ = -1;
        dragSourceTypes_ = 0;
    }
    if (guideDragging_) {
        MoveGuide(x);
        guideDragging_ = false;
        guideArmed_ = false;
        guideX_ = -1;
        Invalidate();
        const int column = static_cast<int>(guideColumn_);
        if (guideIsRightMargin_) SetRightMargin(column);
        else SetWrapAtColumn(column);
        Notify(cfOptions);
        FlushChange();
    }
}

// ---------------------------------------------------------------- dragging the selection out

void TCustomDoravaVizu::StartOwnDrag()
{
    if (!host_ || !HasOption(smoOLEDragSource) || anchor_ == caret_) return;
    const std::string text = SelText();
    ownDropAt_ = -1;
    DropEffect effect = DropEffect::deNone;
    try {
        ScopedValue running(ownDragRunning_, true);
        effect = host_->StartDrag(text, ReadOnly);
    } catch (...) {
        // A drop on the control itself may have opened the group.
        if (openGroup_ == egDragDrop) EndGroup(egDragDrop);
        throw;
    }
    const std::int64_t dropAt = ownDropAt_;
    ownDropAt_ = -1;
    dropCaret_ = -1;
    dragSourceTypes_ = 0;
    {
        UpdateLock lock(*this);
        // Closes the group a drop on the control itself opened, or holds the deletion of a move.
        EditGroup group(*this, egDragDrop);
        if (effect == DropEffect::deMove && !ReadOnly) {
            if (anchor_ != caret_) DeleteSelection();
            else if (dropAt >= 0) Select(dropAt, caret_, true);
        } else if (effect == DropEffect::deCopy && dropAt >= 0) {
            Select(dropAt, caret_, true);
        }
        Notify(cfSelection);
    }
    FinishEdit(true);
}

// ---------------------------------------------------------------- dropping on the control

std::uint16_t TCustomDoravaVizu::UsableSourceTypes(std::uint16_t offered) const
{
    std::uint16_t usable = offered & kFormatTypes;
    if (!HasOption(smoProcessDroppedFiles)) usable &= static_cast<std::uint16_t>(~stFiles);
    // A read-only control takes nothing but files, and those only to report them.
    if (ReadOnly) usable &= OnFilesDropped ? stFiles : 0;
    return usable;
}

namespace {

// Copy with Ctrl, else move; files are only ever copied, so that their source keeps them.
DropEffect ProposedEffect(std::uint16_t usable, std::uint16_t shift)
{
    if (usable == 0) return DropEffect::deNone;
    if ((shift & scCtrl) || (usable & stFiles)) return DropEffect::deCopy;
    return DropEffect::deMove;
}

}  // namespace

DropEffect TCustomDoravaVizu::DragEnter(std::uint16_t sourceTypes, std::uint16_t shift, int x, int y)
{
    dragSourceTypes_ = (Enabled && TabStop) ? UsableSourceTypes(sourceTypes) : 0;
    if (dragSourceTypes_ == 0) {
        if (dropCaret_ >= 0) DragLeave();
        return DropEffect::deNone;
    }
    mouseX_ = x;
    mouseY_ = y;
    dropCaret_ = OffsetAtPoint(x, y, true);
    InvalidateRange(dropCaret_, dropCaret_);
    PlaceCaretAt(dropCaret_);
    return ProposedEffect(dragSourceTypes_, shift);
}

DropEffect TCustomDoravaVizu::DragOver(std::uint16_t shift, int x, int y)
{
    DropEffect effect = DropEffect::deNone;
    if (dragSourceTypes_ != 0 && Enabled && TabStop) {
        if (dropCaret_ < 0) dropCaret_ = OffsetAtPoint(x, y, true);
        mouseX_ = x;
        mouseY_ = y;
        AutoScrollStep();
        effect = ProposedEffect(dragSourceTypes_, shift);
    }
    if (OnOLEDragOver) OnOLEDragOver(*this, dragSourceTypes_, x, y, effect);
    return effect;
}

void TCustomDoravaVizu::DragLeave()
{
    if (dropCaret_ >= 0) InvalidateRange(dropCaret_, dropCaret_);
    dropCaret_ = -1;
    dragSourceTypes_ = 0;
    PlaceCaretAt(caret_);
}

DropEffect TCustomDoravaVizu::Drop(const DropData& data, std::uint16_t shift, int x, int y, bool own)
{
    // Our own data only while our drag runs: anything else is foreign.
    const bool isOwn = own && ownDragRunning_;
    DragLeave();
    if (!Enabled || !TabStop) return DropEffect::deNone;
    const std::uint16_t offered = UsableSourceTypes(data.sourceTypes);
    if (offered == 0) return DropEffect::deNone;
    DropEffect effect = ProposedEffect(offered, shift);

    std::uint16_t types = offered | stNoHTMLFilter | stFilesToHandler;
    if (OnDataDrop) OnDataDrop(*this, types);
    if (types & stDropHandled) return DropEffect::deNone;
    // A handler may refuse formats, not add ones that were not offered.
    types = static_cast<std::uint16_t>((types & ~kFormatTypes) | (types & offered));
    const std::uint16_t handlerBits = types & static_cast<std::uint16_t>(~kFormatTypes);

    // The text stays in the caller's data until it is inserted (it may be large).
    std::uint16_t chosen = 0;
    std::string_view text;
    std::string names;
    if (types & stHTML) {
        chosen = stHTML;
        text = data.html;
    } else if (types & stText) {
        chosen = stText;
        text = data.text;
    } else if (types & stWideText) {
        chosen = stWideText;
        text = data.wideText;
    } else if (types & stFiles) {
        chosen = stFiles;
    } else {
        return DropEffect::deNone;
    }
    types = chosen | handlerBits;
    text = FilterHtmlPaste(text, types);

    if (chosen == stFiles) {
        // Files reported to the program end the drop: their names are not typed into the text
        // (the drop's own 0x0400 would otherwise always let them through).
        effect = DropEffect::deCopy;
        if ((types & stFilesToHandler) && HasOption(smoProcessDroppedFiles) && OnFilesDropped) {
            std::vector<std::string> files = data.files;
            OnFilesDropped(*this, files, x, y);
            if (host_) host_->TakeFocus();
            return effect;
        }
        // Without a handler (or with 0x0800 cleared) the names are dropped as text, one a line.
        names = JoinLines(data.files);
        text = names;
    }

    if (ReadOnly) return DropEffect::deNone;
    std::int64_t at = OffsetAtPoint(x, y, true);
    const std::int64_t selStart = SelStart(), selEnd = SelEnd();
    if (isOwn && selStart != selEnd) {
        // Our own selection dropped on itself changes nothing.
        const bool inside =
            effect == DropEffect::deMove ? (at >= selStart && at <= selEnd) : (at > selStart && at < selEnd);
        if (inside) return DropEffect::deNone;
    }

    if (effect == DropEffect::deMove && isOwn) {
        // The dragged text leaves its place; the source side closes the group when the drag ends.
        if (text.empty() || selStart == selEnd) return DropEffect::deNone;
        if (at > selEnd) at -= selEnd - selStart;
        BeginGroup(egDragDrop);
        UpdateLock lock(*this);
        DeleteSelection();
        beyondEol_ = false;
        anchor_ = caret_ = std::clamp<std::int64_t>(at, 0, store_->CharCount());
        ownDropAt_ = caret_;
        ReplaceSelection(text);
        return effect;
    }
    if (isOwn) {
        BeginGroup(egDragDrop);
        UpdateLock lock(*this);
        beyondEol_ = false;
        anchor_ = caret_ = at;
        ownDropAt_ = at;
        ReplaceSelection(text);
        return effect;
    }
    {
        UpdateLock lock(*this);
        EditGroup group(*this, egDragDrop);
        beyondEol_ = false;
        anchor_ = caret_ = at;
        ReplaceSelection(text);
        Notify(cfSelection);
    }
    FinishEdit(true);
    return effect;
}

}  // namespace tarnwick
