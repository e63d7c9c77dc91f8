// Searching and replacing.

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <vector>

#include "control/doravavizu.h"
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
    Message("Search string \"" + text + "\" not found.", MessageKind::Information);
}

// The engine's last error: a pattern that did not compile, or what its last search raised. An
// error of the search belongs to no place in the pattern and gets no "^".
void TCustomDoravaVizu::ShowRegExpError(const TREParser& re, const std::string& expression)
{
    std::string text = re.ErrorText() + "\n" + expression;
    if (const int column = re.ErrorPosition(); column > 0)
        text += "\n" + std::string(static_cast<std::size_t>(column - 1), ' ') + "^";
    Message(text, MessageKind::Error);
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
        if (!regex_.SetExpression(text)) throw RegexError(regex_.ErrorText(), regex_.ErrorPosition());
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
    SearchWordTests words;
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
    } catch (const RegexError&) {
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
        if (!regex_.SetExpression(expression)) throw RegexError(regex_.ErrorText(), regex_.ErrorPosition());
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
    } catch (const RegexError&) {
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
    } catch (const RegexError&) {
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
            if (!host_ || !host_->MessageBox(FormatReplaceQuestion(found, replacement), MessageKind::Question))
                continue;
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

std::string FormatReplaceQuestion(const std::string& found, const std::string& replacement)
{
    return FormatMessage(control_msg::kReplaceConfirm, found, replacement);
}

}  // namespace tarnwick
