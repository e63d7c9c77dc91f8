// The settings record and the highlighters in the control's slots; colouring the lines (on screen
// at once, the rest in idle time) and laying them out again when word wrap changes.

#include <algorithm>

#include "control/doravavizu.h"
#include "editor/editor_errors.h"
#include "editor/tab_stops.h"
#include "editor/word_wrap.h"
#include "highlight/rescan.h"

namespace tarnwick {

namespace m = control_msg;

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
}  // namespace tarnwick
