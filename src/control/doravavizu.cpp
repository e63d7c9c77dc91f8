// The editor control's logic: construction and the text store it shows, the window's services,
// positions, the selection, editing and undo replay, change notification and scrolling.

#include "control/doravavizu.h"

#include <algorithm>
#include <limits>
#include <new>

#include "editor/editor_errors.h"
#include "editor/marks.h"
#include "editor/tab_stops.h"

namespace tarnwick {

// What undo and redo act on: the text and the selection, with recording off.
class TCustomDoravaVizu::ReplayTarget : public UndoTarget {
public:
    explicit ReplayTarget(TCustomDoravaVizu& c) : c_(c) {}
    void ReplaceRange(std::int64_t start, std::int64_t end, std::string_view text) override
    {
        c_.RawReplace(start, end, text);
        c_.anchor_ = c_.caret_ = start + static_cast<std::int64_t>(NormalizeText(text).size());
        c_.beyondEol_ = false;
    }
    void SetSelection(LogSelection s) override { c_.Select(s.anchor, s.caret, true); }
    bool Holds(std::int64_t start, std::int64_t end, std::string_view text) const override
    {
        const TTextStore& store = *c_.store_;
        if (start < 0 || end > store.CharCount() || end - start != static_cast<std::int64_t>(text.size())) return false;
        char buffer[4096];
        while (!text.empty()) {
            const std::size_t n = store.CopyText(start, buffer, std::min(text.size(), sizeof buffer));
            if (n == 0 || text.compare(0, n, std::string_view(buffer, n)) != 0) return false;
            text.remove_prefix(n);
            start += static_cast<std::int64_t>(n);
        }
        return true;
    }

private:
    TCustomDoravaVizu& c_;
};

// ---------------------------------------------------------------- construction

TCustomDoravaVizu::TCustomDoravaVizu(ControlHost* host)
    : host_(host),
      ownStore_(std::make_unique<TTextStore>()),
      store_(ownStore_.get()),
      ownSettings_(std::make_unique<TSM_Settings>()),
      activeSettings_(ownSettings_.get())
{
    if (ownSettings_->fontName.empty()) {
        ownSettings_->fontName = "Courier New";
        ownSettings_->fontSize = 10;
    }
    ownSettings_->Attach(this);
    store_->AddView(this);
    WireMarkEvents();
    MeasureFont();
}

void TCustomDoravaVizu::WireMarkEvents()
{
    store_->Bookmarks().OnFree = [this](TCustomBookmarks&, const std::string& name) {
        if (OnCustomBookmarkFree) OnCustomBookmarkFree(*this, name);
    };
    TSM_Breakpoints& breakpoints = store_->Breakpoints();
    breakpoints.OnBreakpointFree = [this](TSM_BreakpointData& b) {
        if (OnBreakpointFree) OnBreakpointFree(*this, b);
    };
    breakpoints.OnBreakpointStateChange = [this](TSM_BreakpointData& b) {
        if (OnBreakpointStateChange) OnBreakpointStateChange(*this, b);
    };
    breakpoints.OnRepaintLine = [this](std::int64_t offset) { InvalidateRange(offset, offset); };
    RangeMarkList& marks = store_->RangeMarks();
    marks.OnChange = [this](const RangeMark& mark) {
        if (OnMarkChange) OnMarkChange(*this, static_cast<std::uint32_t>(mark.Id));
    };
    marks.OnFree = [this](const RangeMark& mark) {
        if (OnMarkFree) OnMarkFree(*this, static_cast<std::uint32_t>(mark.Id));
    };
}

void TCustomDoravaVizu::AttachStore(TTextStore* store)
{
    if (!store) store = ownStore_.get();
    if (store != store_) {
        store_->RemoveView(this);
        store_ = store;
        store_->AddView(this);
        WireMarkEvents();
    }
    anchor_ = caret_ = 0;
    beyondEol_ = false;
    topLine_ = leftColumn_ = 0;
    frontierHint_ = 0;
    MarkRescan(0);
    Notify(cfText | cfSelection);
    Invalidate();
}

void TCustomDoravaVizu::TextChanged(std::int64_t offset, std::int64_t delta)
{
    if (editing_ || destroying_) return;
    // Another view changed the text: keep the selection on the same characters, and colour and
    // repaint from the changed line on.
    auto follow = [&](std::int64_t& at) {
        if (delta > 0 && at >= offset) at += delta;
        else if (delta < 0 && at > offset) at = std::max(offset, at + delta);
    };
    follow(anchor_);
    follow(caret_);
    const std::int64_t size = store_->CharCount();
    anchor_ = std::min(anchor_, size);
    caret_ = std::min(caret_, size);
    beyondEol_ = false;
    const std::int64_t line = LineOf(offset);
    frontierHint_ = std::min(frontierHint_, line);
    MarkRescan(line);
    if (host_ && repaintEnabled_ && lockCount_ == 0)
        host_->InvalidateLines(line, std::numeric_limits<std::int64_t>::max());
    Notify(cfText);
}

bool TCustomDoravaVizu::UndoLogBroken()
{
    Beep();
    return true;
}

TCustomDoravaVizu::~TCustomDoravaVizu()
{
    destroying_ = true;
    for (VOzuvavIdavParser*& p : parsers_)
        if (p) {
            p->DetachControl(this);
            p = nullptr;
        }
    ownSettings_->Detach(this);
    store_->RemoveView(this);
}

void TCustomDoravaVizu::SetHost(ControlHost* host)
{
    host_ = host;
    MeasureFont();
    Resized();
}

// ---------------------------------------------------------------- window services

void TCustomDoravaVizu::Invalidate()
{
    if (host_ && repaintEnabled_ && lockCount_ == 0) host_->InvalidateAll();
}

void TCustomDoravaVizu::InvalidateRange(std::int64_t from, std::int64_t to)
{
    if (!host_ || !repaintEnabled_ || lockCount_ > 0) return;
    if (from > to) std::swap(from, to);
    host_->InvalidateLines(LineOf(from), LineOf(to));
}

void TCustomDoravaVizu::Beep()
{
    if (host_) host_->Beep();
}

void TCustomDoravaVizu::Message(std::string_view text, MessageKind kind)
{
    if (host_) host_->MessageBox(text, kind);
}

void TCustomDoravaVizu::MeasureFont()
{
    const TSM_Settings& s = Settings();
    if (host_) {
        metrics_ = host_->MeasureFont(s.fontName, s.fontSize, s.fontCharset);
        if (metrics_.charWidth <= 0) metrics_.charWidth = 7;
        if (metrics_.lineHeight <= 0) metrics_.lineHeight = 1;
        measured_ = true;
    }
}

int TCustomDoravaVizu::TextLeftEdge() const { return Margin() + (HasOption(smoShowGutter) ? Gutter() : 0); }

void TCustomDoravaVizu::Resized()
{
    const std::int64_t oldColumns = visibleColumns_;
    if (host_ && measured_) {
        visibleColumns_ = std::max<std::int64_t>(0, (host_->ClientWidth() - TextLeftEdge()) / metrics_.charWidth);
        visibleLines_ = std::max<std::int64_t>(0, host_->ClientHeight() / metrics_.lineHeight);
    } else {
        visibleColumns_ = 80;
        visibleLines_ = 40;
    }
    Notify(cfSize);
    if (WordWrap() && WrapAtColumn() == 0 && oldColumns != visibleColumns_) RewrapAll();
}

// ---------------------------------------------------------------- positions

std::int64_t TCustomDoravaVizu::LineOf(std::int64_t offset) const
{
    const LinePosition p = store_->FromOffset(offset);
    if (p.record) return p.line;
    // At the end: after a closing line break the caret stands on the empty line below.
    const TLineRecord* last = store_->LastLine();
    if (!last) return 0;
    return last->EndsWithBreak() ? store_->LineCount() : store_->LineCount() - 1;
}

std::int64_t TCustomDoravaVizu::LineStart(std::int64_t line) const
{
    if (line <= 0) return 0;
    if (line >= store_->LineCount()) return store_->CharCount();
    return store_->FromLine(line).offset;
}

std::int64_t TCustomDoravaVizu::LineLength(std::int64_t line) const
{
    if (line < 0 || line >= store_->LineCount()) return 0;
    const TLineRecord* r = store_->FromLine(line).record;
    return r->Length() - (r->EndsWithBreak() ? 1 : 0);
}

std::int64_t TCustomDoravaVizu::ColumnOf(std::int64_t offset) const
{
    const std::int64_t line = LineOf(offset);
    if (line >= store_->LineCount()) return 0;
    const LinePosition p = store_->FromLine(line);
    return ColumnOfOffset(p.record->View(), offset - p.offset, TabRule::FromSettings(Settings()));
}

std::int64_t TCustomDoravaVizu::OffsetOfColumn(std::int64_t line, std::int64_t column) const
{
    if (line >= store_->LineCount()) return store_->CharCount();
    const LinePosition p = store_->FromLine(std::max<std::int64_t>(0, line));
    const bool last = store_->Next(p.record) == nullptr;
    return p.offset + tarnwick::OffsetOfColumn(p.record->View(), column, TabRule::FromSettings(Settings()), last);
}

std::string TCustomDoravaVizu::Filler(std::int64_t fromColumn, std::int64_t toColumn) const
{
    return WhitespaceFiller(fromColumn, toColumn, TabRule::FromSettings(Settings()), HasOption(smoUseTAB),
                            HasOption(smoSmartFill));
}

std::pair<std::int64_t, std::int64_t> TCustomDoravaVizu::GetCaretPos() const
{
    const std::int64_t column = beyondEol_ ? virtualColumn_ : ColumnOf(caret_);
    return {column + 1, LineOf(caret_) + 1};
}

void TCustomDoravaVizu::CaretToLineColumn(std::int64_t line, std::int64_t column)
{
    line = std::clamp<std::int64_t>(line, 0, store_->LineCount());
    const std::int64_t at = OffsetOfColumn(line, std::max<std::int64_t>(0, column));
    beyondEol_ = false;
    trackPending_ = false;
    Select(at, at);
}

// ---------------------------------------------------------------- selection

std::int64_t TCustomDoravaVizu::SelLength() const
{
    const std::int64_t n = SelEnd() - SelStart();
    if (store_->LineStyle() != lsCRLF || n == 0) return n;
    const std::string text = store_->TextRange(SelStart(), SelEnd());
    return n + static_cast<std::int64_t>(std::count(text.begin(), text.end(), '\r'));
}

void TCustomDoravaVizu::SetSelStart(std::int64_t start) { Select(start, start); }

void TCustomDoravaVizu::SetSelLength(std::int64_t length)
{
    const std::int64_t start = SelStart();
    Select(start, start + length);
}

std::string TCustomDoravaVizu::SelText() const
{
    std::string text = store_->TextRange(SelStart(), SelEnd());
    if (store_->LineStyle() != lsCRLF) return text;
    std::string out;
    out.reserve(text.size() + text.size() / 16);
    for (const char c : text) {
        out += c;
        if (c == '\r') out += '\n';
    }
    return out;
}

void TCustomDoravaVizu::Select(std::int64_t anchor, std::int64_t caret, bool quiet)
{
    const std::int64_t oldAnchor = anchor_, oldCaret = caret_;
    const std::int64_t size = store_->CharCount();
    if (anchor == -1) {
        anchor = 0;
        caret = size;
    } else {
        anchor = std::clamp<std::int64_t>(anchor, 0, size);
        caret = std::clamp<std::int64_t>(caret, 0, size);
    }
    if (!HasOption(smoCaretAfterEOL)) {
        if (trackPending_ && HasOption(smoColumnTrack)) {
            const bool empty = anchor == caret;
            caret = OffsetOfColumn(LineOf(caret), trackedColumn_);
            // An extending move keeps its anchor.
            if (empty) anchor = caret;
        } else {
            trackedColumn_ = ColumnOf(caret);
        }
    }
    trackPending_ = false;
    anchor_ = anchor;
    caret_ = caret;
    if (oldAnchor != oldCaret || ShowFocusLine) InvalidateRange(oldAnchor, oldCaret);
    if (anchor_ != caret_ || ShowFocusLine) InvalidateRange(anchor_, caret_);
    if (quiet || !repaintEnabled_) return;
    if (oldAnchor == anchor_ && oldCaret == caret_) {
        RescanPending();
    } else {
        Notify(cfSelection);
    }
    if (!beyondEol_) ScrollCaretIntoView();
    FlushChange();
}

// ---------------------------------------------------------------- editing

void TCustomDoravaVizu::BeginGroup(int group)
{
    if (openGroup_ != 0) return;
    openGroup_ = group;
    if (!replaying_) UndoStack().OpenCaretGroup(group, {anchor_, caret_});
}

void TCustomDoravaVizu::EndGroup(int group)
{
    if (openGroup_ != group) return;
    openGroup_ = 0;
    if (!replaying_) UndoStack().CloseCaretGroup(group, {anchor_, caret_});
}

void TCustomDoravaVizu::DeleteRange(std::int64_t start, std::int64_t end)
{
    if (end <= start) return;
    ScopedValue editing(editing_, true);
    if (start == 0 && end == store_->CharCount()) {
        store_->Clear();
        if (OnTextChange) OnTextChange(*this, 0, 0);
        return;
    }
    store_->Delete(start, end);
    if (OnTextChange) OnTextChange(*this, start, -(end - start));
}

void TCustomDoravaVizu::InsertChunked(std::int64_t at, std::string_view text)
{
    ScopedValue editing(editing_, true);
    while (!text.empty()) {
        std::size_t n = std::min(text.size(), kInsertChunk);
        // Never split CR LF between two chunks.
        if (n < text.size() && n > 1 && text[n - 1] == '\r') --n;
        const std::int64_t before = store_->CharCount();
        store_->Insert(at, text.substr(0, n));
        const std::int64_t inserted = store_->CharCount() - before;
        if (OnTextChange) OnTextChange(*this, at, inserted);
        at += inserted;
        text.remove_prefix(n);
    }
}

void TCustomDoravaVizu::RawReplace(std::int64_t start, std::int64_t end, std::string_view text)
{
    const std::int64_t size = store_->CharCount();
    start = std::clamp<std::int64_t>(start, 0, size);
    end = std::clamp<std::int64_t>(end, start, size);
    const std::int64_t firstLine = LineOf(start);
    DeleteRange(start, end);
    InsertChunked(start, text);
    const std::int64_t lastLine = LineOf(start + static_cast<std::int64_t>(NormalizeText(text).size()));
    RewrapAround(firstLine, lastLine);
    MarkRescan(firstLine);
    if (lockCount_ == 0 && repaintEnabled_ && host_) {
        if (lastLine != firstLine || text.find('\r') != std::string_view::npos || end - start > 0)
            host_->InvalidateLines(firstLine, std::numeric_limits<std::int64_t>::max());
        else host_->InvalidateLines(firstLine, lastLine);
    }
    Notify(cfText);
}

void TCustomDoravaVizu::ReplaceSelection(std::string_view text)
{
    if (ReadOnly && !loading_) return;
    EditGroup group(*this, egReplaceSel);
    const std::int64_t start = SelStart();
    const std::int64_t end = SelEnd();
    std::string filled;
    if (beyondEol_ && start == end) {
        const std::int64_t line = LineOf(start);
        filled = Filler(ColumnOf(LineStart(line) + LineLength(line)), virtualColumn_);
        beyondEol_ = false;
    }
    filled.append(text);
    const bool plain = std::none_of(filled.begin(), filled.end(),
                                    [](char c) { return static_cast<unsigned char>(c) < 32 && c != '\t'; });
    const std::string normalized = plain ? std::string() : NormalizeText(filled);
    const std::string_view inserted = plain ? std::string_view(filled) : std::string_view(normalized);
    const bool record = !replaying_ && UndoStack().Recording();
    try {
        if (record) UndoStack().BeginTextTransaction({anchor_, caret_}, store_->TextRange(start, end), inserted);
        RawReplace(start, end, inserted);
    } catch (const std::bad_alloc&) {
        throw EDoravaVizu(msg::kNotEnoughMemory);
    }
    anchor_ = caret_ = start + static_cast<std::int64_t>(inserted.size());
    trackedColumn_ = ColumnOf(caret_);
    Notify(cfSelection);
    if (record) UndoStack().EndTransaction(kTransText, {anchor_, caret_});
    if (!loading_) RescanPending();
}

void TCustomDoravaVizu::InsertStream(TStream& stream, bool quiet)
{
    std::string text;
    const std::int64_t remaining = stream.Remaining();
    if (remaining > 0) {
        text.resize(static_cast<std::size_t>(remaining));
        text.resize(stream.Read(text.data(), text.size()));
    }
    ReplaceSelection(text);
    if (!quiet) FinishEdit();
}

void TCustomDoravaVizu::Replay(bool forward)
{
    if (ReadOnly || !(forward ? UndoStack().CanRedo() : UndoStack().CanUndo())) return;
    ReplayTarget target(*this);
    {
        ScopedValue replaying(replaying_, true);
        UpdateLock lock(*this);
        if (forward) UndoStack().Redo(target);
        else UndoStack().Undo(target);
    }
    Notify(cfText | cfSelection);
    FinishEdit(true);
}

void TCustomDoravaVizu::FinishEdit(bool repaintAll)
{
    RescanPending();
    ScrollCaretIntoView();
    if (repaintAll) Invalidate();
    FlushChange();
}

// ---------------------------------------------------------------- change notification

void TCustomDoravaVizu::FlushChange()
{
    if (lockCount_ > 0 || loading_ || destroying_ || !repaintEnabled_) return;
    RescanPending();
    if (changeFlags_ != 0 && OnChange) OnChange(*this);
    changeFlags_ = 0;
    rescanLine_ = -1;
    rescanUntil_ = -1;
    if (host_) {
        host_->UpdateScrollBars(VerticalScrollInfo(), HorizontalScrollInfo());
    }
}

void TCustomDoravaVizu::LockUpdate(bool lock)
{
    if (lock) {
        ++lockCount_;
        return;
    }
    if (lockCount_ == 0) return;
    if (--lockCount_ == 0) {
        Invalidate();
        FlushChange();
    }
}

// ---------------------------------------------------------------- scrolling

std::int64_t TCustomDoravaVizu::VerticalScrollScale() const { return store_->LineCount() / 32000 + 1; }

TScrollInfo TCustomDoravaVizu::VerticalScrollInfo() const
{
    const std::int64_t scale = VerticalScrollScale();
    const std::int64_t lines = store_->LineCount();
    std::int64_t page = visibleLines_;
    if (topLine_ != 0 && lines < visibleLines_) page = lines - topLine_;
    return {0, lines / scale, page / scale, topLine_ / scale};
}

TScrollInfo TCustomDoravaVizu::HorizontalScrollInfo() const
{
    if (WordWrap() || ScrollBars == ssNone || ScrollBars == ssVertical) return {0, 0, 0, 0};
    return {0, store_->LongestLine(), visibleColumns_, leftColumn_};
}

void TCustomDoravaVizu::VerticalThumb(std::int64_t position)
{
    ScrollTo(leftColumn_, position * VerticalScrollScale(), true);
}

void TCustomDoravaVizu::ScrollTo(std::int64_t column, std::int64_t line, bool repaint)
{
    const std::int64_t lines = std::max<std::int64_t>(1, store_->LineCount());
    const std::int64_t longest = std::max<std::int64_t>(1, store_->LongestLine());
    column = std::clamp<std::int64_t>(column, 0, longest - 1);
    line = std::clamp<std::int64_t>(line, 0, lines - 1);
    if (column == leftColumn_ && line == topLine_) return;
    topLine_ = line;
    leftColumn_ = column;
    // The newly visible lines may not be coloured yet.
    WantColoured(topLine_, topLine_ + visibleLines_);
    Notify(cfScrolled);
    if (repaint) {
        Invalidate();
        FlushChange();
    }
}

void TCustomDoravaVizu::ScrollCaretIntoView()
{
    const std::int64_t line = LineOf(caret_);
    std::int64_t top = topLine_;
    std::int64_t left = leftColumn_;
    const std::int64_t visible = std::max<std::int64_t>(1, visibleLines_);
    if (line < top) top = line;
    else if (line >= top + visible) top = line - visible + 1;
    const std::int64_t column = beyondEol_ ? virtualColumn_ : ColumnOf(caret_);
    const std::int64_t columns = std::max<std::int64_t>(1, visibleColumns_);
    if (WordWrap() && column < columns) {
        left = 0;
    } else {
        while (column < left) left = std::max<std::int64_t>(0, left - 8);
        while (column >= left + columns) left += 8;
    }
    if (top == topLine_ && left == leftColumn_) {
        if (host_ && measured_) {
            const int x = TextLeftEdge() + static_cast<int>((column - leftColumn_) * metrics_.charWidth);
            const int y = static_cast<int>((line - topLine_) * metrics_.lineHeight);
            host_->PlaceCaret(x, y, 2, metrics_.lineHeight);
        }
        return;
    }
    topLine_ = top;
    leftColumn_ = left;
    WantColoured(topLine_, topLine_ + visibleLines_);
    Notify(cfScrolled);
    Invalidate();
}

}  // namespace tarnwick
