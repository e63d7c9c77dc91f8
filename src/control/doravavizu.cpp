#include "control/doravavizu.h"

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <limits>
#include <new>

#include "base/file_io.h"
#include "editor/editor_errors.h"
#include "editor/export_writers.h"
#include "editor/marks.h"
#include "editor/tab_stops.h"
#include "editor/word_wrap.h"
#include "highlight/rescan.h"

namespace tarnwick {

namespace m = control_msg;

std::uint32_t OptionsToWord(VOzuvavIdavOptions options)
{
    std::uint32_t word = 0;
    for (int i = 0; i < kOptionCount; ++i)
        if (options & (VOzuvavIdavOptions(1) << i)) word |= kOptionWordBits[static_cast<std::size_t>(i)];
    return word;
}

VOzuvavIdavOptions OptionsFromWord(std::uint32_t word)
{
    VOzuvavIdavOptions options = 0;
    for (int i = 0; i < kOptionCount; ++i)
        if (word & kOptionWordBits[static_cast<std::size_t>(i)]) options |= VOzuvavIdavOptions(1) << i;
    return options;
}

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

// ---------------------------------------------------------------- settings record and highlighters

VOzuvavIdavParser* TCustomDoravaVizu::Parser(int slot) const
{
    if (slot < 1 || slot > kParserSlots) throw EDoravaVizu(m::kParserIndex);
    return parsers_[static_cast<std::size_t>(slot - 1)];
}

void TCustomDoravaVizu::SetParser(int slot, VOzuvavIdavParser* parser)
{
    if (slot < 1 || slot > kParserSlots) throw EDoravaVizu(m::kParserIndex);
    VOzuvavIdavParser*& entry = parsers_[static_cast<std::size_t>(slot - 1)];
    if (entry == parser) return;
    const bool active = slot == activeParser_;
    if (entry && std::count(parsers_.begin(), parsers_.end(), entry) == 1) entry->DetachControl(this);
    entry = parser;
    if (parser) parser->AttachControl(this);
    if (active) SwitchSettings(parser ? &parser->Settings() : ownSettings_.get());
}

void TCustomDoravaVizu::ParserFreed(VOzuvavIdavParser* parser)
{
    for (int slot = 1; slot <= kParserSlots; ++slot)
        if (parsers_[static_cast<std::size_t>(slot - 1)] == parser) SetParser(slot, nullptr);
}

void TCustomDoravaVizu::SetActiveParser(int slot)
{
    if (slot < 1 || slot > kParserSlots) throw EDoravaVizu(m::kParserIndex);
    if (slot == activeParser_) return;
    activeParser_ = slot;
    VOzuvavIdavParser* p = ActiveHighlighter();
    SwitchSettings(p ? &p->Settings() : ownSettings_.get());
}

void TCustomDoravaVizu::SwitchSettings(TSM_Settings* settings)
{
    TSM_Settings* old = activeSettings_;
    const bool oldWrap = (old->options & kOptionWordBits[smoWordWrap]) != 0;
    const std::int32_t oldColumn = old->wordWrapColumn;
    if (old != settings) {
        if (old == ownSettings_.get()) old->Detach(this);
        activeSettings_ = settings;
        settings->Attach(this);
    }
    MeasureFont();
    Resized();
    // Token values and scanner states belong to one highlighter.
    DropAllAttributes();
    const bool newWrap = WordWrap();
    if (oldWrap != newWrap || (newWrap && oldColumn != WrapAtColumn())) RewrapAll();
    Notify(cfOptions | cfColours);
    Invalidate();
    FlushChange();
}

void TCustomDoravaVizu::SettingsChanged()
{
    if (destroying_) return;
    Notify(cfColours | cfOptions);
    Invalidate();
}

void TCustomDoravaVizu::RefreshHighlighter()
{
    VOzuvavIdavParser* p = ActiveHighlighter();
    SwitchSettings(p ? &p->Settings() : ownSettings_.get());
}

void TCustomDoravaVizu::ApplySettings()
{
    MeasureFont();
    Resized();
    DropAllAttributes();
    // The font, the wrap column or the mode may have changed: lay every line out again.
    RewrapAll();
    Notify(cfColours | cfOptions);
    Invalidate();
    FlushChange();
}

void TCustomDoravaVizu::EditOptions()
{
    VOzuvavIdavParser* p = ActiveHighlighter();
    if (!p) {
        Message(m::kNoActiveParser, MessageKind::Error);
        return;
    }
    const bool wrap = WordWrap();
    const int column = WrapAtColumn();
    const bool accepted = OnEditOptions ? OnEditOptions(*this, *p, VisiblePropEdPages) : p->EditProperties();
    if (!accepted) return;
    MeasureFont();
    Resized();
    if (wrap != WordWrap() || column != WrapAtColumn()) RewrapAll();
    Notify(cfOptions | cfColours);
    Invalidate();
    FlushChange();
}

// ---------------------------------------------------------------- properties

void TCustomDoravaVizu::SetOptions(VOzuvavIdavOptions options)
{
    SetOptionWord((Settings().options & ~OptionsToWord(~VOzuvavIdavOptions(0))) | OptionsToWord(options));
}

void TCustomDoravaVizu::SetOptionWord(std::uint32_t word, bool quiet)
{
    TSM_Settings& s = Settings();
    const std::uint32_t old = s.options;
    if (old == word) return;
    s.options = word;
    const auto changed = [&](VOzuvavIdavOption o) {
        return ((old ^ word) & kOptionWordBits[static_cast<std::size_t>(o)]) != 0;
    };
    if (changed(smoShowGutter)) Resized();
    if (changed(smoWordWrap) || (WordWrap() && changed(smoWrapOverride))) RewrapAll();
    if (changed(smoSyntaxHighlight)) DropAllAttributes();
    if (!HasOption(smoCaretAfterEOL)) beyondEol_ = false;
    Notify(cfOptions);
    if (!quiet) {
        Invalidate();
        FlushChange();
    }
}

void TCustomDoravaVizu::SetGutter(int width)
{
    if (width != 0) {
        const int client = host_ ? host_->ClientWidth() : 0;
        if (client <= 0 || width < 34) return;
        // At most 20 percent of the client width, the percentage rounded to the nearest integer.
        const long long percent = (static_cast<long long>(width) * 100 + client / 2) / client;
        if (percent > 20) return;
    }
    if (Settings().gutterWidth == width) return;
    Settings().gutterWidth = width;
    Resized();
    Invalidate();
}

void TCustomDoravaVizu::SetMargin(int width)
{
    if (width < 0 || width > metrics_.charWidth) return;
    Settings().marginWidth = width;
    Resized();
    Invalidate();
}

void TCustomDoravaVizu::SetIndentStep(int step)
{
    if (step <= 0 || step >= 20) return;
    Settings().indentStep = step;
}

void TCustomDoravaVizu::SetTabDefault(int width)
{
    if (width <= 0) throw EDoravaVizu(m::kTabDefault);
    Settings().defaultTabWidth = width;
    Invalidate();
}

std::string TCustomDoravaVizu::TabColumns() const { return TabColumnsText(Settings()); }

void TCustomDoravaVizu::SetTabColumns(std::string_view text)
{
    SetTabColumnsText(Settings(), text);
    Invalidate();
}

void TCustomDoravaVizu::SetRightMargin(int column)
{
    Settings().rightMargin = column;
    Invalidate();
}

void TCustomDoravaVizu::SetWrapAtColumn(int column)
{
    if (column < 0 || column > 0xFFFF) return;
    if (Settings().wordWrapColumn == column) return;
    Settings().wordWrapColumn = column;
    if (WordWrap()) {
        RewrapAll();
        ScrollCaretIntoView();
        Invalidate();
    }
}

void TCustomDoravaVizu::SetWrapOverride(std::string_view chars)
{
    if (Settings().wrapOverride == chars) return;
    Settings().wrapOverride = std::string(chars);
    if (WordWrap()) RewrapAll();
}

void TCustomDoravaVizu::SetWordWrap(bool on)
{
    const std::uint32_t bit = kOptionWordBits[smoWordWrap];
    SetOptionWord(on ? (OptionWord() | bit) : (OptionWord() & ~bit));
}

void TCustomDoravaVizu::SetGutterColor(TColor c)
{
    Settings().gutterColor = c;
    Invalidate();
}

void TCustomDoravaVizu::SetMarginColor(TColor c)
{
    Settings().marginColor = c;
    Invalidate();
}

void TCustomDoravaVizu::SetSelTextColor(TColor c)
{
    Settings().selectedTextColor = c;
    Invalidate();
}

void TCustomDoravaVizu::SetSelTextBack(TColor c)
{
    Settings().selectedTextBackground = c;
    Invalidate();
}

void TCustomDoravaVizu::SetDefTextColor(TColor c)
{
    StyleRecord style = Settings().Style(0);
    style.foreground = c;
    style.defined = true;
    Settings().SetStyle(0, style);
    Invalidate();
}

void TCustomDoravaVizu::SetDefBackColor(TColor c)
{
    StyleRecord style = Settings().Style(0);
    style.background = c;
    style.defined = true;
    Settings().SetStyle(0, style);
    Invalidate();
}

void TCustomDoravaVizu::SetDefFontStyle(std::uint8_t fontStyle)
{
    StyleRecord style = Settings().Style(0);
    style.fontStyle = fontStyle & (fsBold | fsItalic | fsUnderline | fsStrikeOut);
    style.defined = true;
    Settings().SetStyle(0, style);
    Invalidate();
}

void TCustomDoravaVizu::SetGutterFont(const FontData& font)
{
    Settings().gutterFont = font;
    Invalidate();
}

void TCustomDoravaVizu::SetFont(const std::string& name, int size, int charset)
{
    TSM_Settings& s = Settings();
    s.fontName = name;
    s.fontSize = size;
    s.fontCharset = static_cast<std::uint8_t>(charset);
    MeasureFont();
    Resized();
    DropAllAttributes();
    if (WordWrap()) RewrapAll();
    Notify(cfColours);
    Invalidate();
}

void TCustomDoravaVizu::SetHideSelection(bool hide)
{
    if (hideSelection_ == hide) return;
    hideSelection_ = hide;
    if (anchor_ != caret_) InvalidateRange(anchor_, caret_);
}

void TCustomDoravaVizu::SetModified(bool modified)
{
    if (!modified) UndoStack().Clear();
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

// ---------------------------------------------------------------- files and streams

void TCustomDoravaVizu::SetText(std::string_view text)
{
    ReadOnlyMemoryStream stream(text);
    LoadFromStream(stream);
}

void TCustomDoravaVizu::LoadFromFile(const std::string& name)
{
    std::unique_ptr<TFileStream> file;
    try {
        file = std::make_unique<TFileStream>(name, TFileStream::Mode::fmOpenRead);
    } catch (const Exception&) {
        char buffer[1024];
        std::snprintf(buffer, sizeof buffer, m::kCannotOpen, name.c_str());
        throw EFOpenError(name, buffer);
    }
    LoadFromStream(*file);
    UndoStack().Clear();
    if (HasOption(smoTitleAsFilename)) Title = name;
}

void TCustomDoravaVizu::SaveToFile(const std::string& name)
{
    // The file is written beside the old one and takes its place in one step: a failed save
    // leaves the previous contents as they were.
    TMemoryStream data;
    SaveToStream(&data);
    WriteWholeFileOrThrow(name, data.Data());
    if (HasOption(smoTitleAsFilename)) Title = name;
}

void TCustomDoravaVizu::LoadFromStream(TStream& stream)
{
    UndoStack().Clear();
    {
        UpdateLock lock(*this);
        ScopedValue loading(loading_, true);
        RecordingPause pause(UndoStack());
        anchor_ = caret_ = 0;
        beyondEol_ = false;
        try {
            // The old text goes at once; the new one arrives in chunks that never split CR LF.
            ScopedValue editing(editing_, true);
            DeleteRange(0, store_->CharCount());
            std::string chunk(kInsertChunk, '\0');
            for (;;) {
                std::size_t got = stream.Read(chunk.data(), kInsertChunk);
                if (got == 0) break;
                if (got == kInsertChunk && chunk[got - 1] == '\r') {
                    --got;
                    stream.Seek(-1, SeekOrigin::soFromCurrent);
                }
                const std::int64_t at = store_->CharCount();
                store_->Insert(at, std::string_view(chunk.data(), got));
                if (OnTextChange) OnTextChange(*this, at, store_->CharCount() - at);
            }
        } catch (const std::bad_alloc&) {
            throw EDoravaVizu(msg::kNotEnoughMemory);
        }
        DropAllAttributes();
        if (WordWrap()) RewrapAll();
        trackedColumn_ = 0;
        topLine_ = leftColumn_ = 0;
        MarkRescan(0);
        Notify(cfText | cfSelection | cfScrolled);
    }
    UndoStack().Clear();
    Invalidate();
    FlushChange();
}

void TCustomDoravaVizu::SaveToStream(TStream* stream)
{
    if (!stream) throw EFileSaveError(m::kBadStream);
    UndoStack().Clear();
    const std::int64_t start = stream->Position();
    const std::int64_t chars = store_->CharCount();
    UpdateLock lock(*this);
    // Everything is selected for the writer; the selection comes back afterwards.
    ScopedValue anchor(anchor_, std::int64_t{0});
    ScopedValue caret(caret_, chars);
    int format = 1;
    switch (SaveFormat) {
    case sfRTF: format = 2; break;
    case sfHTML: format = 4; break;
    case sfUNIX: format = 8; break;
    case sfTEXT: format = store_->LineStyle() == lsCRLF ? 1 : 0; break;
    }
    // A stream that takes fewer bytes than offered gets the whole text again, three times at most.
    for (int attempt = 0;; ++attempt) {
        std::int64_t written = 0;
        try {
            written = WriteSelection(format, *stream);
        } catch (const EStreamError&) {
            written = stream->Position() - start;
        }
        if (chars == 0 || written >= chars) break;
        if (attempt == 3) throw EFileSaveError(m::kCouldNotSave);
        stream->SetPosition(start);
    }
    UndoStack().Clear();
}

std::int64_t TCustomDoravaVizu::WriteSelection(int format, TStream& out)
{
    if (format == 2 || format == 4) RescanAll();
    ExportContext context = ExportContextFor(Settings(), Title, TodayShortDate());
    if (ResolveSystemColor) context.resolveColor = ResolveSystemColor;
    return WriteRange(*store_, SelStart(), SelEnd(), format, context, out);
}

void TCustomDoravaVizu::Clear()
{
    {
        UpdateLock lock(*this);
        DeleteRange(0, store_->CharCount());
    }
    anchor_ = caret_ = 0;
    beyondEol_ = false;
    topLine_ = leftColumn_ = 0;
    UndoStack().Clear();
    Notify(cfText | cfSelection);
    Invalidate();
    FlushChange();
}

// ---------------------------------------------------------------- highlighting and wrapping

void TCustomDoravaVizu::MarkRescan(std::int64_t line, std::int64_t until)
{
    if (store_->LineCount() == 0) return;
    line = std::clamp<std::int64_t>(line, 0, store_->LineCount() - 1);
    if (until < 0) until = line + visibleLines_ + 1;
    if (rescanLine_ < 0 || line < rescanLine_) rescanLine_ = line;
    rescanUntil_ = std::max(rescanUntil_, until);
    if (TLineRecord* r = store_->FromLine(line).record) r->SetFlags(r->Flags() | lfRehighlightFrom);
}

void TCustomDoravaVizu::WantColoured(std::int64_t first, std::int64_t last)
{
    if (!HasOption(smoSyntaxHighlight) || !ActiveHighlighter() || store_->LineCount() == 0) return;
    last = std::min(last, store_->LineCount() - 1);
    first = std::clamp<std::int64_t>(first, 0, last);
    TLineRecord* r = store_->FromLine(first).record;
    std::int64_t line = first;
    while (r && line <= last && r->Attributes()) {
        r = store_->Next(r);
        ++line;
    }
    if (!r || line > last) return;
    // Colouring continues from the first line of the uncoloured stretch, so that the lines on
    // screen start in the right state.
    for (TLineRecord* p = store_->Prev(r); p && !p->Attributes(); p = store_->Prev(p)) --line;
    MarkRescan(line, last + 2);
}

bool TCustomDoravaVizu::HighlightIdle(std::int64_t maxLines)
{
    if (!HasOption(smoSyntaxHighlight) || store_->LineCount() == 0) return false;
    VOzuvavIdavParser* parser = ActiveHighlighter();
    if (!parser || parser->Busy()) return false;
    std::int64_t line = std::clamp<std::int64_t>(frontierHint_, 0, store_->LineCount() - 1);
    TLineRecord* r = store_->FromLine(line).record;
    // The hint may have been overtaken by an edit above it: step back to a coloured line first.
    while (line > 0 && !store_->Prev(r)->Attributes()) {
        r = store_->Prev(r);
        --line;
    }
    while (r && r->Attributes()) {
        r = store_->Next(r);
        ++line;
    }
    frontierHint_ = line;
    if (!r) return false;
    r->SetFlags(r->Flags() | lfRehighlightFrom);
    HighlightPassOptions options;
    options.minLines = std::max<std::int64_t>(1, maxLines);
    options.stopBeforeUncoloured = true;
    options.sender = this;
    const HighlightPassResult result = RescanFrom(*store_, *parser, line, options);
    if (result.lastLine >= 0) frontierHint_ = result.lastLine + 1;
    if (result.ran && host_ && repaintEnabled_ && lockCount_ == 0 && result.firstLine >= 0 &&
        result.firstLine < topLine_ + visibleLines_ && result.lastLine >= topLine_)
        host_->InvalidateLines(result.firstLine, result.lastLine);
    return frontierHint_ < store_->LineCount();
}

void TCustomDoravaVizu::DropAllAttributes()
{
    for (TLineRecord* r = store_->FirstLine(); r; r = store_->Next(r)) {
        store_->DropAttributes(r);
        r->SetFlags(r->Flags() | lfAttributesStale | lfRepaint);
    }
    frontierHint_ = 0;
    if (store_->LineCount() > 0) MarkRescan(0);
}

void TCustomDoravaVizu::RescanPending()
{
    if (rescanLine_ < 0) return;
    const std::int64_t start = rescanLine_;
    const std::int64_t until = rescanUntil_;
    rescanLine_ = -1;
    rescanUntil_ = -1;
    if (!HasOption(smoSyntaxHighlight)) return;
    VOzuvavIdavParser* parser = ActiveHighlighter();
    if (!parser || start >= store_->LineCount()) return;
    HighlightPassOptions options;
    options.minLines = std::max<std::int64_t>(visibleLines_ + 2, until - start + 1);
    options.stopBeforeUncoloured = true;
    options.sender = this;
    if (OnTokenSeen)
        options.onTokenSeen = [this](int& value, std::int64_t a, std::int64_t b) { OnTokenSeen(*this, value, a, b); };
    options.waitWhileBusy = [this] {
        if (!host_) return false;
        host_->ProcessMessages();
        return true;
    };
    const HighlightPassResult r = RescanFrom(*store_, *parser, start, options);
    if (r.ran && host_ && repaintEnabled_ && lockCount_ == 0 && r.firstLine >= 0)
        host_->InvalidateLines(r.firstLine, r.lastLine);
    if (r.firstLine >= 0 && r.firstLine <= frontierHint_) frontierHint_ = std::max(frontierHint_, r.lastLine + 1);
}

void TCustomDoravaVizu::RescanAll()
{
    rescanLine_ = -1;
    if (!HasOption(smoSyntaxHighlight)) return;
    VOzuvavIdavParser* parser = ActiveHighlighter();
    if (!parser || store_->LineCount() == 0) return;
    HighlightPassOptions options;
    options.all = true;
    options.force = true;
    options.sender = this;
    if (OnTokenSeen)
        options.onTokenSeen = [this](int& value, std::int64_t a, std::int64_t b) { OnTokenSeen(*this, value, a, b); };
    RescanFrom(*store_, *parser, 0, options);
}

WrapRule TCustomDoravaVizu::WrapRuleNow() const
{
    WrapRule rule;
    rule.wordWrap = WordWrap();
    rule.wrapOverride = HasOption(smoWrapOverride);
    rule.wrapOverrideChars = WrapOverride();
    rule.charWidth = metrics_.charWidth;
    rule.wrapColumn = WrapAtColumn();
    rule.textAreaWidth = static_cast<std::int32_t>(std::max<std::int64_t>(1, visibleColumns_) * metrics_.charWidth);
    if (host_ && measured_) rule.textAreaWidth = std::max(1, host_->ClientWidth() - TextLeftEdge());
    rule.tabs = TabRule::FromSettings(Settings());
    if (!metrics_.fixedPitch && host_)
        rule.charWidthOf = [h = host_](unsigned char c) { return static_cast<std::int32_t>(h->CharacterWidth(c)); };
    rule.onWordBreak = OnWordBreakProc;
    return rule;
}

// Without word wrap a logical line shorter than a record's limit is held in one record; an edit
// that removes a line break leaves it in two until it is joined again.
bool TCustomDoravaVizu::SplitShortLine(std::int64_t line) const
{
    if (line < 0 || line >= store_->LineCount()) return false;
    const TLineRecord* r = store_->FromLine(line).record;
    const TLineRecord* first = r;
    std::size_t length = r->Length();
    int records = 1;
    constexpr std::size_t kLimit = TTextStore::kMaxRecordLength + 1;
    while (first->IsContinuation() && length < kLimit) {
        first = store_->Prev(first);
        length += first->Length();
        ++records;
    }
    for (const TLineRecord* next = r; !next->EndsWithBreak() && length < kLimit;) {
        next = store_->Next(next);
        if (!next) break;
        length += next->Length();
        ++records;
    }
    return records > 1 && length < kLimit;
}

void TCustomDoravaVizu::RewrapAround(std::int64_t firstLine, std::int64_t lastLine)
{
    if (store_->LineCount() == 0) return;
    if (!WordWrap()) {
        // Only the lines at the two ends of the edit can have been joined; the later one first,
        // since joining it moves no line before it.
        const WrapRule rule = WrapRuleNow();
        for (const std::int64_t line : {lastLine, firstLine})
            if (SplitShortLine(line)) WrapLogicalLine(*store_, line, rule);
        return;
    }
    const WrapRule rule = WrapRuleNow();
    lastLine = std::min(lastLine, store_->LineCount() - 1);
    for (std::int64_t line = std::max<std::int64_t>(0, firstLine); line <= lastLine && line < store_->LineCount();) {
        const RewrapResult r = WrapLogicalLine(*store_, line, rule);
        lastLine += r.newCount - r.oldCount;
        line = r.firstLine + std::max<std::int64_t>(1, r.newCount);
    }
}

void TCustomDoravaVizu::RewrapAll()
{
    if (store_->LineCount() == 0) return;
    if (WordWrap()) WrapDocument(*store_, WrapRuleNow());
    else UnwrapDocument(*store_);
    store_->InvalidateCache();
    topLine_ = std::min(topLine_, std::max<std::int64_t>(0, store_->LineCount() - 1));
    if (!WordWrap()) leftColumn_ = std::min<std::int64_t>(leftColumn_, store_->LongestLine());
    else leftColumn_ = 0;
    Notify(cfOptions);
    Invalidate();
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
