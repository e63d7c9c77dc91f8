// Typed keys and characters, templates and auto-replace, the clipboard, block indent.

#include <algorithm>

#include "control/doravavizu.h"
#include "editor/export_writers.h"
#include "editor/key_bindings.h"

namespace tarnwick {

namespace {

// Keys for which Shift extends the selection instead of being part of the key binding.
bool ShiftExtends(std::uint16_t key)
{
    switch (key) {
    case vkBack:
    case vkPrior:
    case vkNext:
    case vkEnd:
    case vkHome:
    case vkLeft:
    case vkUp:
    case vkRight:
    case vkDown: return true;
    default: return false;
    }
}

bool Blank(char c) { return c == ' ' || c == '\t'; }

// How far smart tab and auto-indent look up for a line to line up with: far enough for any real
// script, and a keystroke stays cheap in a file of a million blank lines.
constexpr std::int64_t kLookAbove = 1000;

}  // namespace

bool TCustomDoravaVizu::IsWordChar(char c) const
{
    return fn_CharIsInWord ? fn_CharIsInWord(c) : DefaultCharIsInWord(c);
}

bool TCustomDoravaVizu::IsWordStartChar(char c) const
{
    return fn_CharStartsWord ? fn_CharStartsWord(c) : DefaultCharStartsWord(c);
}

void TCustomDoravaVizu::TemplateEvent(const std::string& name, std::string& replacement)
{
    if (OnTemplateEvent) OnTemplateEvent(*this, name, replacement);
}

void TCustomDoravaVizu::AutoReplaceEvent(std::int64_t wordStart, const std::string& word, std::string& replaceWith,
                                         bool& canReplace)
{
    if (!OnAutoReplace) return;
    TEdStream stream(store_);
    stream.SetPos(wordStart);
    OnAutoReplace(*this, stream, word, replaceWith, canReplace);
}

// ---------------------------------------------------------------- keys

bool TCustomDoravaVizu::KeyDown(std::uint16_t key, std::uint16_t shift)
{
    if (!Enabled) return false;
    Notify(cfKeyInput);
    bool handled = false;
    if (!ReadOnly) {
        TSM_Settings& s = Settings();
        // The control performs the expansions unless the program installed its own.
        if (!s.Templates().OnExpand()) s.Templates().SetOnExpand(&TMacroKeywords::Expand);
        if (!s.AutoReplace().OnExpand()) s.AutoReplace().SetOnExpand(&TMacroKeywords::Expand);
        if (s.Templates().KeyHandler(this, key, handled, shift) && handled) return true;
        if (s.AutoReplace().KeyHandler(this, key, handled, shift) && handled) return true;
    }
    bool extend = false;
    if (ShiftExtends(key) && (shift & scShift)) {
        extend = true;
        shift = static_cast<std::uint16_t>(shift & ~scShift);
    }
    TKeyboardActionContoller& keys = Settings().Keys();
    std::uint16_t k = key, sh = shift;
    const KeyLookup found = keys.KeyStore().LookUp(MakeShortcut(k, sh));
    if (found == KeyLookup::klPrefix) return true;
    // A key that completes no sequence (a broken two-key sequence included) is not the bindings'
    // business: it goes on to be typed as usual.
    if (found != KeyLookup::klRecognised) return false;
    int command = keys.LastCommand();
    if (OnCommandRecognised) OnCommandRecognised(*this, command);
    ExecuteCommand(command, 0, extend);
    return true;
}

void TCustomDoravaVizu::KeyPress(char c)
{
    if (!Enabled || !TabStop) return;
    Notify(cfKeyInput);
    const auto u = static_cast<unsigned char>(c);
    if (c == '\t') {
        if (WantTab) Typed(c);
    } else if (c == '\r' || (c == '\n' && !WantReturns)) {
        if (WantReturns || c == '\n') Typed('\r');
    } else if ((u >= 32 && u <= 126) || u >= 128) {
        Typed(c);
    } else {
        return;
    }
    FinishEdit();
}

void TCustomDoravaVizu::Typed(char c)
{
    if (ReadOnly) return;
    if (c == '\t') {
        const bool smart = (HasOption(smoTabToColumn) && !WordWrap()) || !HasOption(smoUseTAB);
        if (smart) {
            SmartTab();
            return;
        }
    }
    InsertOneChar(c);
}

void TCustomDoravaVizu::SmartTab()
{
    const std::int64_t caretColumn = beyondEol_ ? virtualColumn_ : ColumnOf(caret_);
    const TabRule tabs = TabRule::FromSettings(Settings());
    std::int64_t target = tabs.NextStop(caretColumn);
    if (HasOption(smoTabToColumn)) {
        // The nearest line above that reaches past the caret column gives the start of its next word.
        const std::int64_t caretLine = LineOf(caret_);
        for (std::int64_t line = caretLine - 1; line >= 0 && line >= caretLine - kLookAbove; --line) {
            const std::int64_t start = LineStart(line);
            const std::string text = store_->TextRange(start, start + LineLength(line));
            const std::int64_t endColumn = ColumnOfOffset(text, static_cast<std::int64_t>(text.size()), tabs);
            if (endColumn <= caretColumn) continue;
            std::int64_t at = tarnwick::OffsetOfColumn(text, caretColumn, tabs, false);
            const auto n = static_cast<std::int64_t>(text.size());
            while (at < n && !Blank(text[static_cast<std::size_t>(at)])) ++at;
            while (at < n && Blank(text[static_cast<std::size_t>(at)])) ++at;
            target = ColumnOfOffset(text, at, tabs);
            break;
        }
    }
    if (target <= caretColumn) return;
    EditGroup group(*this, egTyping);
    const std::string fill = Filler(caretColumn, target);
    if (anchor_ != caret_) ReplaceSelection({});
    ReplaceSelection(fill);
}

void TCustomDoravaVizu::InsertOneChar(char c)
{
    if (ReadOnly) return;
    EditGroup group(*this, egTyping);
    std::int64_t indent = 0;
    std::string caretLine;
    const bool autoIndent = c == '\r' && HasOption(smoAutoIndent);
    if (autoIndent) {
        // Leading blanks and tabs up to the caret; when the caret stands in them with text right
        // after, that text takes its indentation along and none is added.
        const std::int64_t line = LineOf(caret_);
        const std::int64_t start = LineStart(line);
        caretLine = store_->TextRange(start, start + LineLength(line));
        const auto size = static_cast<std::int64_t>(caretLine.size());
        const std::int64_t limit = std::min(caret_ - start, size);
        while (indent < limit && Blank(caretLine[static_cast<std::size_t>(indent)])) ++indent;
        if (indent == limit && indent < size && !Blank(caretLine[static_cast<std::size_t>(indent)]) && indent > 0)
            indent = -1;
    }
    if (!insertMode_ && anchor_ == caret_ && c != '\r' && caret_ < store_->CharCount() &&
        store_->TextRange(caret_, caret_ + 1) != "\r") {
        // Overwrite: the character under the caret is replaced (never a line break).
        caret_ = caret_ + 1;
    }
    ReplaceSelection(std::string_view(&c, 1));
    if (autoIndent && indent >= 0) {
        const std::int64_t line = LineOf(caret_);
        const TabRule tabs = TabRule::FromSettings(Settings());
        const TLineRecord* previous = line > 0 ? store_->FromLine(line - 1).record : nullptr;
        std::int64_t column = 0;
        if ((previous && previous->IsContinuation()) || indent == 0) {
            // The nearest line above whose text is not all blank gives the column.
            for (std::int64_t above = line - 1; above >= 0 && above >= line - kLookAbove; --above) {
                const std::int64_t start = LineStart(above);
                const std::string text = store_->TextRange(start, start + LineLength(above));
                const auto first = std::find_if(text.begin(), text.end(), [](char ch) { return !Blank(ch); });
                if (first == text.end()) continue;
                column = ColumnOfOffset(text, first - text.begin(), tabs);
                break;
            }
        } else {
            column = ColumnOfOffset(caretLine, indent, tabs);
        }
        if (column > 0) ReplaceSelection(Filler(0, column));
    }
}

// ---------------------------------------------------------------- clipboard

void TCustomDoravaVizu::Copy()
{
    if (!host_) return;
    host_->ClipboardClear();
    if (ClipCopyFormats & smTEXT) {
        TMemoryStream text;
        WriteSelection(1, text);
        host_->ClipboardSetText(text.Data());
    }
    if (ClipCopyFormats & smRTF) {
        TMemoryStream rtf;
        WriteSelection(2, rtf);
        host_->ClipboardSetRtf(rtf.Data());
    }
}

void TCustomDoravaVizu::Cut()
{
    if (ReadOnly) return;
    {
        EditGroup group(*this, egCut);
        Copy();
        DeleteSelection();
    }
    FinishEdit();
}

void TCustomDoravaVizu::Paste()
{
    if (ReadOnly || !host_) return;
    std::uint16_t types = 0;
    if (host_->ClipboardHasHtml()) types |= stHTML;
    if (host_->ClipboardHasText()) types |= stText;
    if (types == 0) return;
    types |= stFromClipboard;
    if (OnDataDrop) OnDataDrop(*this, types);
    std::string data;
    if (types & stText) data = host_->ClipboardText();
    else if (types & stHTML) data = host_->ClipboardHtml();
    else return;
    data = std::string(FilterHtmlPaste(data, types));
    {
        ScopedValue repaint(repaintEnabled_, false);
        EditGroup group(*this, egPaste);
        ReplaceSelection(data);
    }
    FinishEdit(true);
}

// ---------------------------------------------------------------- block indent

void TCustomDoravaVizu::BlockIndent(int columns, bool tabs)
{
    if (ReadOnly || anchor_ == caret_) return;
    const int n = columns > 0 ? columns : IndentStep();
    const std::string piece = tabs && HasOption(smoUseTAB) ? std::string(static_cast<std::size_t>(n), '\t')
                                                           : std::string(static_cast<std::size_t>(n), ' ');
    std::int64_t first = LineOf(SelStart());
    std::int64_t last = LineOf(SelEnd());
    if (last > first && LineStart(last) == SelEnd()) --last;
    const bool caretFirst = caret_ < anchor_;
    {
        EditGroup group(*this, egBlockIndent);
        std::int64_t selStart = SelStart(), selEnd = SelEnd();
        for (std::int64_t line = first; line <= last && line < store_->LineCount(); ++line) {
            const TLineRecord* r = store_->FromLine(line).record;
            if (r->IsContinuation()) continue;  // whole logical lines: only their first segment
            const std::int64_t at = LineStart(line);
            anchor_ = caret_ = at;
            ReplaceSelection(piece);
            const auto added = static_cast<std::int64_t>(piece.size());
            if (at <= selStart) selStart += line == first ? 0 : added;
            selEnd += added;
            if (WordWrap()) last = LineOf(selEnd - 1);
        }
        selStart = LineStart(first);
        if (caretFirst) Select(selEnd, selStart, true);
        else Select(selStart, selEnd, true);
    }
    FinishEdit(true);
}

void TCustomDoravaVizu::BlockUnindent(int columns)
{
    if (ReadOnly || anchor_ == caret_) return;
    const int n = columns > 0 ? columns : IndentStep();
    std::int64_t first = LineOf(SelStart());
    std::int64_t last = LineOf(SelEnd());
    if (last > first && LineStart(last) == SelEnd()) --last;
    const bool caretFirst = caret_ < anchor_;
    std::int64_t selEnd = SelEnd();
    {
        EditGroup group(*this, egBlockUnindent);
        for (std::int64_t line = first; line <= last && line < store_->LineCount(); ++line) {
            const TLineRecord* r = store_->FromLine(line).record;
            if (r->IsContinuation()) continue;
            const std::int64_t at = LineStart(line);
            const std::string_view text = r->View();
            int k = 0;
            while (k < n && k < static_cast<int>(text.size()) &&
                   (text[static_cast<std::size_t>(k)] == ' ' || text[static_cast<std::size_t>(k)] == '\t' ||
                    static_cast<unsigned char>(text[static_cast<std::size_t>(k)]) == 160))
                ++k;
            if (k == 0) continue;
            anchor_ = at;
            caret_ = at + k;
            ReplaceSelection({});
            selEnd -= k;
        }
        const std::int64_t selStart = LineStart(first);
        selEnd = std::max(selEnd, selStart);
        if (caretFirst) Select(selEnd, selStart, true);
        else Select(selStart, selEnd, true);
    }
    FinishEdit(true);
}

}  // namespace tarnwick
