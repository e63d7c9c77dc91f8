#include "editor/macro_keywords.h"

#include <algorithm>
#include <cctype>

#include "base/ansi_text.h"
#include "base/errors.h"
#include "base/file_io.h"
#include "editor/char_group.h"
#include "editor/char_streams.h"
#include "editor/key_bindings.h"

namespace tarnwick {

namespace {

constexpr int kKeyScanShift = 0x100;
constexpr int kKeyScanCtrl = 0x200;
constexpr int kKeyScanAlt = 0x800;  // not the platform's 0x400: a character needing Alt never triggers

// Key names of shortcut texts.
struct ShortcutName {
    std::uint16_t key;
    const char* name;
};
constexpr ShortcutName kShortcutNames[] = {
    {vkBack, "BkSp"},  {vkTab, "Tab"},     {vkReturn, "Enter"}, {27, "Esc"},       {vkSpace, "Space"},
    {vkPrior, "PgUp"}, {vkNext, "PgDn"},   {vkEnd, "End"},      {vkHome, "Home"},  {vkLeft, "Left"},
    {vkUp, "Up"},      {vkRight, "Right"}, {vkDown, "Down"},    {vkInsert, "Ins"}, {vkDelete, "Del"},
};

std::string KeyText(std::uint16_t key)
{
    if ((key >= 'A' && key <= 'Z') || (key >= '0' && key <= '9')) return std::string(1, static_cast<char>(key));
    if (key >= vkF1 && key <= vkF12) return "F" + std::to_string(key - vkF1 + 1);
    for (const auto& n : kShortcutNames)
        if (n.key == key) return n.name;
    return {};
}

std::uint16_t KeyFromText(std::string_view text)
{
    if (text.size() == 1) {
        char c = static_cast<char>(std::toupper(static_cast<unsigned char>(text[0])));
        if ((c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9')) return static_cast<std::uint16_t>(c);
        return 0;
    }
    for (const auto& n : kShortcutNames)
        if (AsciiSameText(text, n.name)) return n.key;
    if (text.size() >= 2 && (text[0] == 'F' || text[0] == 'f')) {
        int n = 0;
        for (char c : text.substr(1)) {
            if (c < '0' || c > '9' || n > 12) return 0;
            n = n * 10 + (c - '0');
        }
        if (n >= 1 && n <= 12) return static_cast<std::uint16_t>(vkF1 + n - 1);
    }
    return 0;
}

std::string Reversed(std::string_view s) { return std::string(s.rbegin(), s.rend()); }

TStateSet AllStates()
{
    TStateSet s;
    s.IncludeRange(0, 255);
    return s;
}

// Column of `offset`: characters between it and the line break before it.
std::int64_t ColumnOf(const TTextStore& store, std::int64_t offset)
{
    std::int64_t column = 0;
    TEdStream s(&store);
    for (std::int64_t p = offset - 1; p >= 0; --p) {
        s.SetPos(p);
        if (s.CurrentChar() == '\r') break;
        ++column;
    }
    return column;
}

char CharAt(const TTextStore& store, std::int64_t offset)
{
    if (offset < 0 || offset >= store.CharCount()) return '\0';
    TEdStream s(&store);
    s.SetPos(offset);
    return s.CurrentChar();
}

}  // namespace

// ---- shortcut texts

std::string ShortcutToText(std::uint16_t shortcut)
{
    std::string key = KeyText(ShortcutKey(shortcut));
    if (key.empty()) return {};
    std::string text;
    if (shortcut & scShift) text += "Shift+";
    if (shortcut & scCtrl) text += "Ctrl+";
    if (shortcut & scAlt) text += "Alt+";
    return text + key;
}

std::uint16_t TextToShortcut(std::string_view text)
{
    std::uint16_t shift = 0;
    for (;;) {
        auto plus = text.find('+');
        // "Ctrl++" style texts have no key name for "+"; a trailing "+" is no key.
        if (plus == std::string_view::npos || plus == 0) break;
        std::string_view mod = text.substr(0, plus);
        if (AsciiSameText(mod, "Shift")) shift |= scShift;
        else if (AsciiSameText(mod, "Ctrl")) shift |= scCtrl;
        else if (AsciiSameText(mod, "Alt")) shift |= scAlt;
        else return 0;
        text.remove_prefix(plus + 1);
    }
    std::uint16_t key = KeyFromText(text);
    return key ? MakeShortcut(key, shift) : 0;
}

// ---- entries and trie

TMacroKeywords::TMacroKeywords() : hotKey_(scCtrl | 'J') { trie_.SetCurrentStates(AllStates()); }

void TMacroKeywords::AddToTrie(const std::string& name)
{
    TSM_CharGroup any;  // a negated empty group: any character may come before the name
    any.SetNegated(true);
    try {
        trie_.Add(Reversed(name), false, 0, AllStates(), any);
    } catch (const EKeywords&) {
        // Names differing only in case (added case-sensitively) share one trie word.
    }
}

void TMacroKeywords::RebuildTrie()
{
    trie_.Clear();
    for (const auto& [name, entry] : entries_) AddToTrie(name);
}

void TMacroKeywords::Put(std::string name, std::string_view description, std::string_view body)
{
    if (name.empty()) return;
    MacroEntry entry{name, std::string(description), NormalizeText(body)};
    auto it = entries_.find(name);
    if (it != entries_.end()) {
        it->second = std::move(entry);  // the trie already holds the name
        return;
    }
    entries_.emplace(name, std::move(entry));
    AddToTrie(name);
}

void TMacroKeywords::Add(std::string_view name, std::string_view description, bool caseSensitive, std::string_view body)
{
    Put(caseSensitive ? std::string(name) : AnsiLower(name), description, body);
}

void TMacroKeywords::AddOrReplace(std::string_view name, std::string_view description, std::string_view body)
{
    // A case-sensitively added "Begin" is replaced by "begin" too.
    Delete(name);
    Put(AnsiLower(name), description, body);
}

bool TMacroKeywords::Delete(std::string_view name)
{
    bool removed = false;
    for (auto it = entries_.begin(); it != entries_.end();) {
        if (AnsiSameText(it->first, name)) {
            it = entries_.erase(it);
            removed = true;
        } else {
            ++it;
        }
    }
    if (removed) RebuildTrie();
    return removed;
}

const MacroEntry* TMacroKeywords::Entry(std::string_view name) const
{
    auto it = entries_.find(AnsiLower(name));
    if (it != entries_.end()) return &it->second;
    for (const auto& [n, e] : entries_)
        if (AnsiSameText(n, name)) return &e;
    return nullptr;
}

bool TMacroKeywords::Find(std::string_view word, std::string& body) const
{
    const MacroEntry* e = Entry(word);
    if (!e) return false;
    body = e->body;
    return true;
}

std::vector<MacroEntry> TMacroKeywords::Entries() const
{
    std::vector<MacroEntry> list;
    list.reserve(entries_.size());
    for (const auto& [name, entry] : entries_) list.push_back(entry);
    return list;
}

void TMacroKeywords::ClearEntries()
{
    entries_.clear();
    trie_.Clear();
}

void TMacroKeywords::Clear() { ClearEntries(); }

const MacroEntry* TMacroKeywords::MatchBefore(const TTextStore& store, std::int64_t caret, int& length) const
{
    length = 0;
    // At offset 0 there is no character before the caret to match (stepping back would stay on
    // the character after it).
    if (caret <= 0 || caret > store.CharCount() || entries_.empty()) return nullptr;
    TEdStream s(&store);
    s.SetPos(caret - 1);
    KeywordMatch m = trie_.MatchBackwards(s);
    if (!m) return nullptr;
    std::string word = AnsiLower(store.TextRange(caret - m.length, caret));
    auto it = entries_.find(word);
    if (it == entries_.end()) {
        for (const auto& [n, e] : entries_)
            if (AnsiSameText(n, word)) {
                length = m.length;
                return &e;
            }
        return nullptr;
    }
    length = m.length;
    return &it->second;
}

// ---- key handler

bool TMacroKeywords::KeyHandler(MacroTarget* target, std::uint16_t key, bool& handled, std::uint16_t shift)
{
    if (!target || !IsTrigger(key, shift)) return false;
    typedWord_.clear();
    handled = false;
    const TTextStore& store = target->Store();
    const std::int64_t caret = target->CaretOffset();
    if (store.CharCount() > 0) {
        int length = 0;
        const MacroEntry* entry = MatchBefore(store, caret, length);
        if (entry) {
            if (!onExpand_) return false;
            std::string word = store.TextRange(caret - length, caret);
            std::string body = entry->body;
            onExpand_(*target, *this, word, body);
            handled = consumeKey_;
            return true;
        }
        char atCaret = CharAt(store, caret);
        if (!target->IsWordStartChar(atCaret) && !target->IsWordChar(atCaret)) {
            std::int64_t start = caret;
            while (start > 0 && target->IsWordChar(CharAt(store, start - 1))) --start;
            typedWord_ = AnsiLower(store.TextRange(start, caret));
        }
    }
    if (entries_.empty() || !showList_) return false;
    savedHideSelection_ = target->HideSelection();
    if (!typedWord_.empty()) {
        target->SetSelection(caret - static_cast<std::int64_t>(typedWord_.size()), caret);
        target->SetHideSelection(false);
    }
    listFilter_.clear();
    target->ShowPickList(*this, PickListItems(), PickListPreselect(typedWord_));
    handled = true;
    return true;
}

// ---- pick list

std::vector<std::string> TMacroKeywords::PickListItems() const
{
    std::vector<std::string> items;
    items.reserve(entries_.size());
    for (const auto& [name, e] : entries_) items.push_back(e.description + "\t" + name);
    return items;
}

int TMacroKeywords::PickListPreselect(std::string_view typed) const
{
    if (entries_.empty()) return -1;
    std::string lower = AnsiLower(typed);
    int i = 0;
    for (const auto& [name, e] : entries_) {
        if (name.find(lower) != std::string::npos) return i;
        ++i;
    }
    return 0;
}

int TMacroKeywords::PickListKey(char c)
{
    auto search = [this](std::string_view filter) {
        int i = 0;
        for (const auto& [name, e] : entries_) {
            if (name.size() >= filter.size() && AnsiSameText(std::string_view(name).substr(0, filter.size()), filter))
                return i;
            ++i;
        }
        return -1;
    };
    listFilter_ += c;
    int found = search(listFilter_);
    if (found >= 0) return found;
    if (listFilter_.size() == 1) {
        listFilter_.clear();
        return -1;
    }
    listFilter_.assign(1, c);
    found = search(listFilter_);
    if (found < 0) listFilter_.clear();
    return found;
}

void TMacroKeywords::PickListAccept(MacroTarget& target, int index)
{
    if (index < 0 || index >= Count()) return;
    auto it = std::next(entries_.begin(), index);
    std::string body = it->second.body;
    if (it->first.find(typedWord_) == std::string::npos) {
        std::int64_t end = std::max(target.SelStart(), target.SelEnd());
        target.SetSelection(end, end);
    }
    if (onExpand_) onExpand_(target, *this, std::string(), body);
}

void TMacroKeywords::PickListClosed(MacroTarget& target)
{
    target.SetHideSelection(savedHideSelection_);
    std::int64_t end = std::max(target.SelStart(), target.SelEnd());
    target.SetSelection(end, end);
    listFilter_.clear();
}

// ---- expansion

void TMacroKeywords::Expand(MacroTarget& target, TMacroKeywords& sender, const std::string& name,
                            const std::string& replacement)
{
    std::int64_t selStart = std::min(target.SelStart(), target.SelEnd());
    std::int64_t selEnd = std::max(target.SelStart(), target.SelEnd());
    target.SetSelection(selStart, selEnd);
    std::string text = replacement;
    const TTextStore& store = target.Store();
    const auto wordLength = static_cast<std::int64_t>(name.size());

    if (!sender.IsAutoReplace()) {
        target.TemplateEvent(name, text);
    } else {
        std::int64_t caret = target.CaretOffset();
        std::int64_t wordStart = caret - wordLength;
        bool canReplace = true;
        if (!name.empty() && target.IsWordChar(name.back()) && target.IsWordChar(CharAt(store, caret)))
            canReplace = false;
        if (wordStart > 0 && !text.empty() && target.IsWordStartChar(text.front()) &&
            target.IsWordChar(CharAt(store, wordStart - 1)))
            canReplace = false;
        target.AutoReplaceEvent(wordStart, name, text, canReplace);
        if (!canReplace) return;
    }

    if (selStart >= wordLength && wordLength > 0) {
        selStart -= wordLength;
        target.SetSelection(selStart, selEnd);
    }

    text = NormalizeText(text);
    if (sender.IndentLines() && !text.empty()) {
        std::string indent(static_cast<std::size_t>(ColumnOf(store, selStart)), ' ');
        std::string indented;
        for (char c : text) {
            indented += c;
            if (c == '\r') indented += indent;
        }
        text = std::move(indented);
    }
    std::int64_t marker = -1;
    if (sender.CaretMarker()) {
        auto bar = text.find('|');
        if (bar != std::string::npos) {
            text.erase(bar, 1);
            marker = static_cast<std::int64_t>(bar);
        }
    }
    target.BeginGroup(kMacroUndoGroup);
    try {
        target.ReplaceSelection(text);
        if (marker >= 0) target.SetCaretOffset(selStart + marker);
    } catch (...) {
        target.EndGroup(kMacroUndoGroup);
        throw;
    }
    target.EndGroup(kMacroUndoGroup);
}

// ---- stream

void TMacroKeywords::SaveToStream(TStream& stream) const
{
    // Check what an 8-bit length cannot hold before anything is written.
    for (const auto& [name, e] : entries_)
        if (name.size() > 255 || e.description.size() > 255)
            throw EStreamError("Entry name or description longer than 255 characters: '" + name.substr(0, 40) + "'");
    TMemoryStream extra;
    SaveExtra(extra);

    WriteI32(stream, static_cast<std::int32_t>(entries_.size()));
    for (const auto& [name, e] : entries_) {
        WriteSStr(stream, name);
        WriteSStr(stream, e.description);
        WriteLStr(stream, e.body);
    }
    WriteLStr(stream, ShortcutToText(hotKey_));
    WriteI32(stream, enabled_ ? 1 : 0);
    if (extra.Size() > 0) stream.WriteBuffer(extra.Data().data(), extra.Data().size());
}

void TMacroKeywords::LoadFromStream(TStream& stream)
{
    const std::int64_t start = stream.Position();
    try {
        // name sstr (1), description sstr (1), body lstr (4)
        std::int32_t count = ReadCount(stream, 6);
        std::vector<MacroEntry> read;
        read.reserve(static_cast<std::size_t>(count));
        for (std::int32_t i = 0; i < count; ++i) {
            MacroEntry e;
            e.name = ReadSStr(stream);
            e.description = ReadSStr(stream);
            e.body = ReadLStr(stream);
            read.push_back(std::move(e));
        }
        std::string hotKeyText = ReadLStr(stream);
        std::uint16_t hotKey = TextToShortcut(hotKeyText);
        if (hotKey == 0 && !hotKeyText.empty()) throw EStreamError("Unknown hot key '" + hotKeyText + "'");
        std::int32_t enabled = ReadI32(stream);
        if (enabled != 0 && enabled != 1) throw EStreamError("Invalid enabled flag " + std::to_string(enabled));
        std::function<void()> applyExtra = LoadExtra(stream);

        ClearEntries();
        for (const auto& e : read) Add(e.name, e.description, false, e.body);
        hotKey_ = hotKey;
        enabled_ = enabled != 0;
        if (applyExtra) applyExtra();
    } catch (...) {
        stream.SetPosition(start);
        throw;
    }
}

void TMacroKeywords::Assign(const TMacroKeywords& source)
{
    if (&source == this) return;
    if (std::string_view(source.ClassName()) != ClassName())
        throw Exception(std::string("Cannot assign ") + source.ClassName() + " to " + ClassName());
    TMemoryStream m;
    source.SaveToStream(m);
    m.SetPosition(0);
    LoadFromStream(m);
}

// ---- text files

void TMacroKeywords::LoadFromText(std::string_view text)
{
    std::vector<std::string> lines = SplitLines(text);
    std::vector<MacroEntry> read;
    std::vector<std::string> body;
    bool inEntry = false;
    auto finish = [&] {
        if (!inEntry) return;
        std::string joined;
        for (std::size_t i = 0; i < body.size(); ++i) {
            if (i) joined += "\r\n";
            joined += body[i];
        }
        read.back().body = std::move(joined);
        body.clear();
    };
    for (const std::string& line : lines) {
        if (line.empty() || line[0] != '[') {
            if (inEntry) body.push_back(line);  // text before the first header is ignored
            continue;
        }
        finish();
        inEntry = true;
        std::size_t nameEnd = line.find_first_of("|]", 1);
        MacroEntry e;
        e.name = std::string(
            Trim(std::string_view(line).substr(1, nameEnd == std::string::npos ? std::string::npos : nameEnd - 1)));
        std::size_t headerEnd = nameEnd;
        if (nameEnd != std::string::npos && line[nameEnd] == '|') {
            std::size_t close = line.find(']', nameEnd + 1);
            e.description = std::string(Trim(std::string_view(line).substr(
                nameEnd + 1, close == std::string::npos ? std::string::npos : close - nameEnd - 1)));
            headerEnd = close;
        }
        read.push_back(std::move(e));
        // Text after the closing "]" on the header line starts the body.
        if (headerEnd != std::string::npos && headerEnd + 1 < line.size()) body.push_back(line.substr(headerEnd + 1));
    }
    finish();

    ClearEntries();
    for (const auto& e : read) Add(e.name, e.description, false, e.body);
}

std::string TMacroKeywords::SaveToText() const
{
    std::string out;
    for (const auto& item : entries_) {
        const std::string& name = item.first;
        const auto& e = item.second;
        auto bad = [&name](const std::string& why) {
            throw EFileSaveError("Entry '" + name + "' cannot be saved: " + why);
        };
        if (name.find_first_of("|]\r\n") != std::string::npos || Trim(name) != name)
            bad("the name holds \"|\", \"]\", a line break or leading/trailing blanks");
        if (e.description.find_first_of("]\r\n") != std::string::npos || Trim(e.description) != e.description)
            bad("the description holds \"]\", a line break or leading/trailing blanks");
        out += "[" + name + " | " + e.description + "]\r\n";
        if (e.body.empty()) continue;
        std::size_t pos = 0;
        for (;;) {
            std::size_t cr = e.body.find('\r', pos);
            std::string_view line =
                std::string_view(e.body).substr(pos, cr == std::string::npos ? std::string::npos : cr - pos);
            if (!line.empty() && line[0] == '[') bad("a body line starts with \"[\"");
            out.append(line);
            out += "\r\n";
            if (cr == std::string::npos) break;
            pos = cr + 1;
        }
    }
    return out;
}

void TMacroKeywords::LoadFromFile(const std::filesystem::path& file)
{
    std::string text;
    try {
        text = ReadWholeFile(file);
    } catch (const EFOpenError&) {
        throw EFOpenError("\"" + file.string() + "\" for reading");
    }
    LoadFromText(text);
}

void TMacroKeywords::SaveToFile(const std::filesystem::path& file) const { WriteWholeFileOrThrow(file, SaveToText()); }

// ---- code templates

bool TCodeTemplates::IsTrigger(std::uint16_t key, std::uint16_t shift) const
{
    return Enabled() && HotKey() != 0 && MakeShortcut(key, shift) == HotKey();
}

// ---- auto-replace

int UsKeyboardKeyScan(char c)
{
    const auto u = static_cast<unsigned char>(c);
    if (u >= 'a' && u <= 'z') return u - 'a' + 'A';
    if (u >= 'A' && u <= 'Z') return u | kKeyScanShift;
    if (u >= '0' && u <= '9') return u;
    switch (u) {
    case ' ': return vkSpace;
    case '\t': return vkTab;
    case '\r': return vkReturn;
    case '\b': return vkBack;
    case 27: return 27;
    }
    static constexpr std::string_view plain = ";=,-./`[\\]'";
    static constexpr std::string_view shifted = ":+<_>?~{|}\"";
    static constexpr int codes[] = {0xBA, 0xBB, 0xBC, 0xBD, 0xBE, 0xBF, 0xC0, 0xDB, 0xDC, 0xDD, 0xDE};
    if (auto p = plain.find(c); p != std::string_view::npos) return codes[p];
    if (auto p = shifted.find(c); p != std::string_view::npos) return codes[p] | kKeyScanShift;
    static constexpr std::string_view digitsShifted = ")!@#$%^&*(";
    if (auto p = digitsShifted.find(c); p != std::string_view::npos) return static_cast<int>('0' + p) | kKeyScanShift;
    return -1;
}

TAutoReplace::TAutoReplace()
{
    consumeKey_ = false;
    indentLines_ = false;
    caretMarker_ = false;
    showList_ = false;
    SetTriggers(kDefaultTriggers);
}

std::vector<int> TAutoReplace::ParseTriggers(std::string_view triggers, const CharToKeyScan& layout)
{
    std::vector<int> keys;
    auto add = [&keys](int code) {
        if (std::find(keys.begin(), keys.end(), code) == keys.end()) keys.push_back(code);
    };
    auto scan = [&layout](char c) { return layout ? layout(c) : -1; };
    TStringScanner s(triggers);
    while (!s.AtEnd()) {
        char c = s.Current();
        s.Next();
        if (c != '\\') {
            int code = scan(c);
            if (code >= 0) add(code);  // a character no key types can never be a trigger
            continue;
        }
        if (s.AtEnd()) throw EDoravaVizu("Bad key specifier");
        char k = s.Current();
        s.Next();
        switch (k) {
        case 'n':
        case 'N':
        case 'r':
        case 'R': add(vkReturn); break;
        case 's':
        case 'S': add(vkSpace); break;
        case 't':
        case 'T': add(vkTab); break;
        case '{': {
            std::string name;
            bool closed = false;
            while (!s.AtEnd()) {
                char n = s.Current();
                s.Next();
                if (n == '}') {
                    closed = true;
                    break;
                }
                if (std::isalnum(static_cast<unsigned char>(n)))
                    name += static_cast<char>(std::tolower(static_cast<unsigned char>(n)));
            }
            if (!closed) throw EDoravaVizu("Bad key specifier");
            add(KeyNameToVirtualKey(name));
            break;
        }
        default: {
            int code = scan(k);
            if (code >= 0) add(code & 0xFF);
        }
        }
    }
    return keys;
}

void TAutoReplace::SetTriggers(std::string_view triggers)
{
    std::vector<int> keys = ParseTriggers(triggers, layout_);
    triggers_ = std::string(triggers);
    keys_ = std::move(keys);
}

bool TAutoReplace::IsTrigger(std::uint16_t key, std::uint16_t shift) const
{
    if (!Enabled() || triggers_.empty() || key > 0xFF) return false;
    int code = key;
    if (shift & scShift) code += kKeyScanShift;
    if (shift & scCtrl) code += kKeyScanCtrl;
    if (shift & scAlt) code += kKeyScanAlt;
    return std::find(keys_.begin(), keys_.end(), code) != keys_.end();
}

void TAutoReplace::Clear()
{
    TMacroKeywords::Clear();
    SetTriggers(kDefaultTriggers);
}

void TAutoReplace::SaveExtra(TStream& stream) const { WriteSStr(stream, triggers_); }

std::function<void()> TAutoReplace::LoadExtra(TStream& stream)
{
    std::string triggers = ReadSStr(stream);
    std::vector<int> keys = ParseTriggers(triggers, layout_);
    return [this, triggers = std::move(triggers), keys = std::move(keys)]() mutable {
        triggers_ = std::move(triggers);
        keys_ = std::move(keys);
    };
}

}  // namespace tarnwick
