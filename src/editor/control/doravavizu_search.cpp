// Searching and replacing, and the numbered requests.

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <vector>

#include "editor/control/doravavizu.h"
#include "editor/regex.h"

namespace tarnwick {

namespace {

std::string FormatMessage(const char* format, const std::string& a, const std::string& b)
{
    std::string out;
    const char* p = format;
    int n = 0;
    for (; *p; ++p) {
        if (p[0] == '%' && p[1] == 's') {
            out += n++ == 0 ? a : b;
            ++p;
        } else {
            out += *p;
        }
    }
    return out;
}

}  // namespace

void TCustomDoravaVizu::SearchFail(const std::string& text)
{
    if (OnSearchFail) {
        OnSearchFail(*this, text);
        return;
    }
    Message("Search string \"" + text + "\" not found.", TMessageKind::Information);
}

// The engine's last error: a pattern that did not compile, or what its last search raised. An
// error of the search belongs to no place in the pattern and gets no "^".
void TCustomDoravaVizu::ShowRegExpError(const TREParser& re, const std::string& expression)
{
    std::string text = re.ErrorText() + "\n" + expression;
    if (const int column = re.ErrorPosition(); column > 0)
        text += "\n" + std::string(static_cast<std::size_t>(column - 1), ' ') + "^";
    Message(text, TMessageKind::Error);
}

// The start of the next match from `start` in the direction of the flags, -1 when there is none;
// `end` receives its end. Raises the regular-expression errors.
std::int64_t TCustomDoravaVizu::SearchFrom(const std::string& text, int flags, std::int64_t start, std::int64_t& end)
{
    const std::int64_t size = store_->CharCount();
    const bool backwards = (flags & sfBackwards) != 0;
    if (text.empty() || size == 0) return -1;
    TEdStream stream(store_);
    if (flags & sfRegExp) {
        if (!regex_.SetExpression(text)) throw ERegularExpression(regex_.ErrorText(), regex_.ErrorPosition());
        if (backwards) {
            if (start <= 0) return -1;
            stream.SetPos(start - 1);
        } else {
            if (start >= size) return -1;
            stream.SetPos(start);
        }
        if (!regex_.Search(stream, !backwards)) return -1;
        end = regex_.MatchEnd();
        return regex_.MatchStart();
    }
    if (backwards && start <= 0) return -1;
    if (!backwards && start >= size) return -1;
    TSearchWordTests words;
    const std::int64_t from = backwards ? start - static_cast<std::int64_t>(text.size()) : start;
    if (backwards && from < 0) return -1;
    const std::int64_t at = PlainTextSearch(words, stream, size, searchTables_, (flags & sfWholeWord) != 0,
                                            (flags & sfMatchCase) != 0, backwards, from, text);
    if (at < 0 || at + static_cast<std::int64_t>(text.size()) > size) return -1;
    end = at + static_cast<std::int64_t>(text.size());
    return at;
}

bool TCustomDoravaVizu::FindText(const std::string& text, std::int64_t& position, int flags)
{
    const std::int64_t found = Find(flags | sfFindNow, text);
    if (found < 0) return false;
    position = found;
    return true;
}

std::int64_t TCustomDoravaVizu::Find(int flags, const std::string& text)
{
    if (!(flags & sfFindNow)) {
        std::string preset;
        if (anchor_ != caret_ && !(flags & sfRegExp)) preset = store_->TextRange(SelStart(), SelEnd());
        if (OnShowFindDialog) OnShowFindDialog(*this, flags, preset.empty() ? text : preset);
        return -1;
    }
    const bool backwards = (flags & sfBackwards) != 0;
    // Forwards from the selection end, backwards from its start (a backward match ends there at
    // the latest). A selection standing on the last match steps on by one, so that an empty
    // match is not found again.
    std::int64_t start = backwards ? SelStart() : SelEnd();
    if (!backwards && SelStart() == lastMatch_) start = std::max(SelEnd(), SelStart() + 1);
    std::int64_t end = -1;
    std::int64_t at = -1;
    try {
        at = SearchFrom(text, flags, start, end);
    } catch (const ERegularExpression&) {
        ShowRegExpError(regex_, text);
        return -1;
    }
    if (at < 0) return -1;
    lastMatch_ = at;
    Select(at, end);
    return at;
}

std::int64_t TCustomDoravaVizu::ReplaceAllRegExp(const std::string& expression, const std::string& replacement,
                                                 int /*flags: the expression decides case itself*/)
{
    if (ReadOnly) return 0;
    struct Hit {
        std::int64_t start, end;
        std::string text;
    };
    std::vector<Hit> hits;
    try {
        if (!regex_.SetExpression(expression)) throw ERegularExpression(regex_.ErrorText(), regex_.ErrorPosition());
        TEdStream stream(store_);
        std::int64_t from = 0;
        const std::int64_t size = store_->CharCount();
        while (from < size) {
            stream.SetPos(from);
            if (!regex_.Search(stream, true)) break;
            const std::int64_t a = regex_.MatchStart(), b = regex_.MatchEnd();
            // \0 is the whole match, \1..\9 the outermost groups as written; a group that took no
            // part in the match (or does not exist) gives nothing.
            std::string text;
            for (std::size_t i = 0; i < replacement.size(); ++i) {
                const char c = replacement[i];
                if (c == '\\' && i + 1 < replacement.size() && replacement[i + 1] >= '0' && replacement[i + 1] <= '9') {
                    const int k = replacement[++i] - '0';
                    const auto [s, e] = k == 0 ? std::make_pair(a, b) : regex_.Group(k);
                    if (s >= 0 && e >= s) text += store_->TextRange(s, e);
                } else if (c == '\\' && i + 1 < replacement.size() && replacement[i + 1] == '\\') {
                    text += '\\';
                    ++i;
                } else {
                    text += c;
                }
            }
            hits.push_back({a, b, std::move(text)});
            from = b > a ? b : a + 1;
        }
    } catch (const ERegularExpression&) {
        Beep();
        return 0;
    }
    if (hits.empty()) {
        SearchFail(expression);
        return 0;
    }
    ++lockCount_;
    BeginGroup(egReplaceAll);
    std::int64_t shift = 0;
    for (const Hit& h : hits) {
        anchor_ = h.start + shift;
        caret_ = h.end + shift;
        ReplaceSelection(h.text);
        shift += static_cast<std::int64_t>(NormalizeText(h.text).size()) - (h.end - h.start);
    }
    EndGroup(egReplaceAll);
    --lockCount_;
    RescanPending();
    ScrollCaretIntoView();
    Invalidate();
    FlushChange();
    return static_cast<std::int64_t>(hits.size());
}

std::int64_t TCustomDoravaVizu::ReplaceAll(const std::string& text, const std::string& replacement, int flags,
                                           bool confirm)
{
    if (ReadOnly || text.empty()) return 0;
    if ((flags & sfRegExp) && !confirm) return ReplaceAllRegExp(text, replacement, flags);
    std::vector<std::pair<std::int64_t, std::int64_t>> hits;
    std::int64_t from = 0, end = 0;
    try {
        for (;;) {
            const std::int64_t at = SearchFrom(text, flags & ~sfBackwards, from, end);
            if (at < 0) break;
            hits.emplace_back(at, end);
            from = end > at ? end : at + 1;
        }
    } catch (const ERegularExpression&) {
        ShowRegExpError(regex_, text);
        return 0;
    }
    if (hits.empty()) {
        SearchFail(text);
        return 0;
    }
    const std::int64_t inserted = static_cast<std::int64_t>(NormalizeText(replacement).size());
    std::int64_t done = 0, shift = 0;
    if (!confirm) ++lockCount_;
    BeginGroup(egReplaceAll);
    for (const auto& [a, b] : hits) {
        if (confirm) {
            // The match is shown selected while the question is asked.
            Select(a + shift, b + shift);
            const std::string found = store_->TextRange(a + shift, b + shift);
            if (!host_ || !host_->MessageBox(FormatReplaceQuestion(found, replacement), TMessageKind::Question)) continue;
        }
        anchor_ = a + shift;
        caret_ = b + shift;
        ReplaceSelection(replacement);
        shift += inserted - (b - a);
        ++done;
    }
    EndGroup(egReplaceAll);
    if (!confirm) --lockCount_;
    RescanPending();
    ScrollCaretIntoView();
    Invalidate();
    FlushChange();
    return done;
}

// ---------------------------------------------------------------- requests

std::intptr_t TCustomDoravaVizu::Perform(int code, std::intptr_t first, std::intptr_t second)
{
    const bool set = (first & smSet) != 0;
    const bool quiet = (first & smQuiet) != 0;
    switch (code) {
    case SM_SELECTION: {
        auto* pair = reinterpret_cast<std::int64_t*>(second);
        if (!pair) return 0;
        if (set) Select(pair[0], pair[1], quiet);
        else {
            pair[0] = anchor_;
            pair[1] = caret_;
        }
        return 1;
    }
    case SM_OPTIONS:
        if (set) SetOptionWord(static_cast<std::uint32_t>(second), quiet);
        return static_cast<std::intptr_t>(OptionWord());
    case SM_REPLACESEL: {
        const char* text = reinterpret_cast<const char*>(second);
        ReplaceSelection(text ? std::string_view(text) : std::string_view());
        if (!quiet) {
            ScrollCaretIntoView();
            FlushChange();
        }
        return 1;
    }
    case SM_LOCKUPDATE:
        LockUpdate(set);
        return lockCount_;
    case SM_INSERTSTREAM: {
        auto* stream = reinterpret_cast<TStream*>(second);
        if (stream) InsertStream(*stream, quiet);
        return 1;
    }
    case SM_WRITESTREAM: {
        auto* stream = reinterpret_cast<TStream*>(second);
        return stream ? static_cast<std::intptr_t>(WriteSelection(static_cast<int>(first), *stream)) : 0;
    }
    case SM_MODIFIED:
        if (set) SetModified(second != 0);
        return Modified() ? 1 : 0;
    case SM_TOPLINE:
        if (set) ScrollTo(leftColumn_, second, !quiet);
        return static_cast<std::intptr_t>(topLine_);
    case SM_LEFTCOLUMN:
        if (set) ScrollTo(second, topLine_, !quiet);
        return static_cast<std::intptr_t>(leftColumn_);
    case SM_FIND: {
        const char* text = reinterpret_cast<const char*>(second);
        return static_cast<std::intptr_t>(Find(static_cast<int>(first), text ? text : ""));
    }
    case SM_REPLACEDIALOG: {
        std::string preset;
        if (anchor_ != caret_ && !(first & sfRegExp)) preset = store_->TextRange(SelStart(), SelEnd());
        if (OnShowReplaceDialog) OnShowReplaceDialog(*this, static_cast<int>(first), preset);
        return 1;
    }
    case SM_GETSELTEXT: {
        std::string text = store_->TextRange(SelStart(), SelEnd());
        if (first == 1) {
            std::string crlf;
            for (const char c : text) {
                crlf += c;
                if (c == '\r') crlf += '\n';
            }
            text.swap(crlf);
        }
        if (char* buffer = reinterpret_cast<char*>(second)) {
            std::memcpy(buffer, text.data(), text.size());
            buffer[text.size()] = '\0';
        }
        return static_cast<std::intptr_t>(text.size());
    }
    case SM_CANREDO: return CanRedo() ? 1 : 0;
    case SM_REDO:
        Redo();
        return 1;
    case SM_BLOCKINDENT:
        BlockIndent(static_cast<int>(first), (second & 1) != 0);
        return 1;
    case SM_BLOCKUNINDENT:
        BlockUnindent(static_cast<int>(first));
        return 1;
    case SM_APPLYSETTINGS:
        ApplySettings();
        return 1;
    case SM_SETTOKENBYTES:
    case SM_GETTOKENBYTES: {
        // Attribute bytes of a range of lines (all lines when no range is given), one byte per
        // character, line after line; lines without attribute bytes read as zeros.
        auto* buffer = reinterpret_cast<std::uint8_t*>(second);
        if (!buffer || store_->LineCount() == 0) return 0;
        std::int64_t firstLine = 0, lastLine = store_->LineCount() - 1;
        if (const auto* range = reinterpret_cast<const std::int64_t*>(first)) {
            firstLine = std::max<std::int64_t>(0, range[0]);
            lastLine = std::min(lastLine, range[1]);
        }
        std::int64_t at = 0;
        TLineRecord* r = store_->FromLine(firstLine).record;
        for (std::int64_t line = firstLine; r && line <= lastLine; ++line, r = store_->Next(r)) {
            const std::size_t n = r->Length();
            if (code == SM_GETTOKENBYTES) {
                if (const std::uint8_t* a = r->Attributes()) std::memcpy(buffer + at, a, n);
                else std::memset(buffer + at, 0, n);
            } else {
                std::memcpy(store_->AllocateAttributes(r), buffer + at, n);
                r->SetFlags((r->Flags() | lfRepaint) & ~(lfAttributesStale | lfRehighlightFrom));
            }
            at += static_cast<std::int64_t>(n);
        }
        if (code == SM_SETTOKENBYTES) Invalidate();
        return static_cast<std::intptr_t>(at);
    }
    case SM_UNDOSTACK:
        if (set) {
            auto* stack = reinterpret_cast<TUndoStack*>(second);
            undo_ = stack ? stack : ownUndo_.get();
        }
        return reinterpret_cast<std::intptr_t>(undo_);
    case SM_TEXTSTORE:
        if (first == 1) {
            auto* store = reinterpret_cast<TTextStore*>(second);
            store_ = store ? store : ownStore_.get();
            WireMarkEvents();
            anchor_ = caret_ = 0;
            beyondEol_ = false;
            topLine_ = leftColumn_ = 0;
            frontierHint_ = 0;
            MarkRescan(0);
            Notify(cfText | cfSelection);
            Invalidate();
        }
        return reinterpret_cast<std::intptr_t>(store_);
    case EM_POSFROMCHAR: {
        const std::int64_t offset = std::clamp<std::int64_t>(first, 0, store_->CharCount());
        const std::int64_t x = TextLeftEdge() + (ColumnOf(offset) - leftColumn_) * metrics_.charWidth;
        const std::int64_t y = (LineOf(offset) - topLine_) * metrics_.lineHeight;
        if (auto* point = reinterpret_cast<std::int64_t*>(second)) {
            point[0] = x;
            point[1] = y;
        }
        return static_cast<std::intptr_t>((y << 16) | (x & 0xFFFF));
    }
    case EM_CHARFROMPOS: {
        const std::int64_t x = first, y = second;
        const int width = host_ ? host_->ClientWidth() : static_cast<int>(visibleColumns_ * metrics_.charWidth);
        const int height = host_ ? host_->ClientHeight() : static_cast<int>(visibleLines_ * metrics_.lineHeight);
        if (x < TextLeftEdge() || x > width || y < 0 || y > height) return -1;
        const std::int64_t line = topLine_ + y / metrics_.lineHeight;
        const std::int64_t column = leftColumn_ + (x - TextLeftEdge() + metrics_.charWidth / 2) / metrics_.charWidth;
        if (line > LineOf(store_->CharCount())) return static_cast<std::intptr_t>(store_->CharCount());
        return static_cast<std::intptr_t>(OffsetOfColumn(line, column));
    }
    case SM_RESCANLINE:
        if (set) MarkRescan(second);
        return static_cast<std::intptr_t>(rescanLine_);
    case SM_GETINFO: {
        static const std::string info = std::string("<VOzuvavIdav>:") + kControlVersion;
        return reinterpret_cast<std::intptr_t>(info.c_str());
    }
    case EM_GETSEL: {
        if (auto* a = reinterpret_cast<std::int64_t*>(first)) *a = anchor_;
        if (auto* b = reinterpret_cast<std::int64_t*>(second)) *b = caret_;
        return 1;
    }
    case EM_SETSEL:
        if (first == 0 && second == -1) Select(-1, 0);
        else Select(first, second);
        return 1;
    case EM_LINESCROLL:
        ScrollTo(leftColumn_ + first, topLine_ + second, true);
        return 1;
    case EM_SCROLLCARET:
        Select(anchor_, caret_);
        ScrollCaretIntoView();
        return 1;
    case EM_GETMODIFY: return Modified() ? 1 : 0;
    case EM_GETLINECOUNT: return static_cast<std::intptr_t>(std::max<std::int64_t>(1, LineOf(store_->CharCount()) + 1));
    case EM_LINEINDEX: return static_cast<std::intptr_t>(LineStart(first == -1 ? LineOf(caret_) : first));
    case EM_LINELENGTH: return static_cast<std::intptr_t>(LineLength(LineOf(first)));
    case EM_REPLACESEL: {
        const char* text = reinterpret_cast<const char*>(second);
        ReplaceSelection(text ? std::string_view(text) : std::string_view());
        return 1;
    }
    case EM_GETLINE: {
        auto* buffer = reinterpret_cast<char*>(second);
        if (!buffer || first < 0 || first >= store_->LineCount()) return 0;
        std::uint16_t room = 0;
        std::memcpy(&room, buffer, sizeof room);
        const std::int64_t start = LineStart(first);
        const std::string text = store_->TextRange(start, start + LineLength(first));
        const std::size_t n = std::min<std::size_t>(room, text.size());
        std::memcpy(buffer, text.data(), n);
        return static_cast<std::intptr_t>(n);
    }
    case EM_CANUNDO: return CanUndo() ? 1 : 0;
    case EM_UNDO:
    case WM_UNDO:
        Undo();
        return 1;
    case EM_LINEFROMCHAR: return static_cast<std::intptr_t>(LineOf(first == -1 ? caret_ : first));
    case EM_EMPTYUNDOBUFFER:
        undo_->Clear();
        return 1;
    case EM_GETFIRSTVISIBLELINE: return static_cast<std::intptr_t>(topLine_);
    case WM_SETTEXT: {
        const char* text = reinterpret_cast<const char*>(second);
        SetText(text ? text : "");
        return 1;
    }
    case WM_GETTEXTLENGTH: {
        TMemoryStream out;
        const std::int64_t a = anchor_, c = caret_;
        anchor_ = 0;
        caret_ = store_->CharCount();
        const std::int64_t n = WriteSelection(store_->LineStyle() == lsCRLF ? 1 : 0, out);
        anchor_ = a;
        caret_ = c;
        return static_cast<std::intptr_t>(n);
    }
    case WM_GETTEXT: {
        auto* buffer = reinterpret_cast<char*>(second);
        if (!buffer || first <= 0) return 0;
        TMemoryStream out;
        const std::int64_t a = anchor_, c = caret_;
        anchor_ = 0;
        caret_ = store_->CharCount();
        WriteSelection(store_->LineStyle() == lsCRLF ? 1 : 0, out);
        anchor_ = a;
        caret_ = c;
        const std::size_t n = std::min<std::size_t>(static_cast<std::size_t>(first) - 1, out.Data().size());
        std::memcpy(buffer, out.Data().data(), n);
        buffer[n] = '\0';
        return static_cast<std::intptr_t>(n);
    }
    case WM_CUT: Cut(); return 1;
    case WM_COPY: Copy(); return 1;
    case WM_PASTE: Paste(); return 1;
    case EM_CANPASTE: return host_ && host_->ClipboardHasText() ? 1 : 0;
    case WM_GETDLGCODE:
        return DLGC_WANTARROWS | DLGC_WANTCHARS | (WantTab ? DLGC_WANTTAB : 0) | (WantReturns ? DLGC_WANTALLKEYS : 0);
    default: return 0;
    }
}

std::string FormatReplaceQuestion(const std::string& found, const std::string& replacement)
{
    return FormatMessage(control_msg::kReplaceConfirm, found, replacement);
}

}  // namespace tarnwick
