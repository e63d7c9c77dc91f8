#pragma once
// Code templates and auto-replace: named entries (description and body) whose names are kept in a
// keyword trie reversed, so that a backward match from the caret finds the longest name that ends
// there. Code templates expand on a hot key (Ctrl+J by default) or offer a pick list; auto-replace
// entries expand when one of the trigger keys is typed after a matching word.
//
// Both are stored as plain text (".tpl" and ".arp" files, one layout) and inside the editor
// settings stream. Nothing here knows about a windowing toolkit: the editor control is reached
// through MacroTarget, and the pick list is reduced to its items and selection logic.

#include <cstdint>
#include <filesystem>
#include <functional>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "editor/editor_errors.h"
#include "editor/keywords.h"
#include "editor/streams.h"
#include "editor/text_store.h"

namespace tarnwick {

// A cursor over a string for small parsers: 1-based position; at the end when the string is empty
// or the position is past its length.
class TStringScanner {
public:
    explicit TStringScanner(std::string_view text) : text_(text) {}
    bool AtEnd() const { return text_.empty() || position_ > text_.size(); }
    // The character at the position; 0 at the end.
    char Current() const { return AtEnd() ? '\0' : text_[position_ - 1]; }
    // One character on, never beyond length + 1.
    void Next()
    {
        if (position_ <= text_.size()) ++position_;
    }
    std::size_t Position() const { return position_; }

private:
    std::string_view text_;
    std::size_t position_ = 1;
};

// One entry: its (lower-cased) name, a description and the body, whose line breaks are single CRs.
struct MacroEntry {
    std::string name;
    std::string description;
    std::string body;
};

class TMacroKeywords;

// What the templates and auto-replace need of an editor control.
class MacroTarget {
public:
    virtual ~MacroTarget() = default;

    virtual const TTextStore& Store() const = 0;
    virtual std::int64_t CaretOffset() const = 0;
    virtual void SetCaretOffset(std::int64_t offset) = 0;
    // The selection as it stands; start may lie after end.
    virtual std::int64_t SelStart() const = 0;
    virtual std::int64_t SelEnd() const = 0;
    // Selects [start, end); the caret goes to `end`.
    virtual void SetSelection(std::int64_t start, std::int64_t end) = 0;
    virtual bool IsWordChar(char c) const = 0;
    virtual bool IsWordStartChar(char c) const { return IsWordChar(c); }
    virtual bool HideSelection() const = 0;
    virtual void SetHideSelection(bool hide) = 0;
    // Replaces the selection with `text`; the caret ends after the new text.
    virtual void ReplaceSelection(std::string_view text) = 0;
    // Caret groups of the undo list: everything between the two calls is undone in one step.
    virtual void BeginGroup(int group) = 0;
    virtual void EndGroup(int group) = 0;

    // Shows the pick list of `list` with `items` ("description" TAB "name"), `selected`
    // preselected; the list's PickList calls report what the user does with it.
    virtual void ShowPickList(TMacroKeywords& /*list*/, const std::vector<std::string>& /*items*/, int /*selected*/) {}
    // Template expansion hook: may change the replacement.
    virtual void TemplateEvent(const std::string& /*name*/, std::string& /*replacement*/) {}
    // Auto-replace hook: `wordStart` is the offset of the word; may change the replacement or veto it.
    virtual void AutoReplaceEvent(std::int64_t /*wordStart*/, const std::string& /*word*/, std::string& /*replaceWith*/,
                                  bool& /*canReplace*/)
    {
    }
};

// Key-combination text ("Ctrl+J", "Shift+Ctrl+F1", "Alt+Del") of a shortcut (key | scShift |
// scCtrl | scAlt) and back. 0 gives ""; text that names no key gives 0.
std::string ShortcutToText(std::uint16_t shortcut);
std::uint16_t TextToShortcut(std::string_view text);

// The undo caret group an expansion is wrapped in.
inline constexpr int kMacroUndoGroup = 18;

class TMacroKeywords {
public:
    // Performs an expansion: `name` is the word to replace before the caret ("" when the pick list
    // already selected the typed word), `replacement` the body.
    using ExpandEvent = std::function<void(MacroTarget& target, TMacroKeywords& sender, const std::string& name,
                                           const std::string& replacement)>;

    TMacroKeywords();
    virtual ~TMacroKeywords() = default;
    TMacroKeywords(const TMacroKeywords&) = delete;
    TMacroKeywords& operator=(const TMacroKeywords&) = delete;

    // Adds an entry; a case-insensitive name is lower-cased. An entry of the same name is replaced.
    // An empty name is ignored.
    void Add(std::string_view name, std::string_view description, bool caseSensitive, std::string_view body);
    // The same, replacing an entry whose name equals the new one ignoring case.
    void AddOrReplace(std::string_view name, std::string_view description, std::string_view body);
    // Removes the entry of that name (case ignored); false when there is none.
    bool Delete(std::string_view name);
    // True when `word` (case ignored) is a stored name; `body` receives its body.
    bool Find(std::string_view word, std::string& body) const;
    const MacroEntry* Entry(std::string_view name) const;
    // The entries in name order.
    std::vector<MacroEntry> Entries() const;
    int Count() const { return static_cast<int>(entries_.size()); }
    // Removes every entry.
    virtual void Clear();

    // The longest name ending just before `caret` in the store; `length` receives its length.
    const MacroEntry* MatchBefore(const TTextStore& store, std::int64_t caret, int& length) const;

    virtual bool IsTrigger(std::uint16_t key, std::uint16_t shift) const = 0;
    // The control calls this on every key-down. Returns true when it acted; `handled` tells the
    // control whether the key is consumed. `shift` holds scShift / scCtrl / scAlt.
    bool KeyHandler(MacroTarget* target, std::uint16_t key, bool& handled, std::uint16_t shift);

    // ---- pick list
    // One item per entry, "description" TAB "name", in name order.
    std::vector<std::string> PickListItems() const;
    // The first entry whose name contains `typed` (case ignored), else 0; -1 without entries.
    int PickListPreselect(std::string_view typed) const;
    // A character typed into the list: returns the index to select, or -1 (the key is then not
    // consumed).
    int PickListKey(char c);
    // Enter or double click on item `index`.
    void PickListAccept(MacroTarget& target, int index);
    // The list lost the focus.
    void PickListClosed(MacroTarget& target);

    // ---- stream and files
    void SaveToStream(TStream& stream) const;
    // All or nothing: on an error the object is left as it was.
    void LoadFromStream(TStream& stream);
    // Copies `source` through a memory stream; the source must be of the same kind.
    void Assign(const TMacroKeywords& source);

    // Text layout of ".tpl" / ".arp" files. LoadFromText replaces all entries.
    void LoadFromText(std::string_view text);
    // Raises EFileSaveError when an entry cannot be represented in the layout.
    std::string SaveToText() const;
    // A missing file raises EFOpenError and leaves the entries as they were.
    void LoadFromFile(const std::filesystem::path& file);
    void SaveToFile(const std::filesystem::path& file) const;

    // ---- fields
    const std::string& TypedWord() const { return typedWord_; }
    const std::string& ListFilter() const { return listFilter_; }
    std::uint16_t HotKey() const { return hotKey_; }
    void SetHotKey(std::uint16_t key) { hotKey_ = key; }
    bool Enabled() const { return enabled_; }
    void SetEnabled(bool on) { enabled_ = on; }
    bool ConsumeKey() const { return consumeKey_; }
    void SetConsumeKey(bool on) { consumeKey_ = on; }
    bool IndentLines() const { return indentLines_; }
    void SetIndentLines(bool on) { indentLines_ = on; }
    bool CaretMarker() const { return caretMarker_; }
    void SetCaretMarker(bool on) { caretMarker_ = on; }
    bool ShowList() const { return showList_; }
    void SetShowList(bool on) { showList_ = on; }
    bool NewListEachTime() const { return newListEachTime_; }
    const ExpandEvent& OnExpand() const { return onExpand_; }
    void SetOnExpand(ExpandEvent event) { onExpand_ = std::move(event); }
    virtual bool IsAutoReplace() const { return false; }
    virtual const char* ClassName() const = 0;

    // The expansion an editor control performs for the event (normalise selection, hooks,
    // select the word, indent, caret marker, replace in one undo group).
    static void Expand(MacroTarget& target, TMacroKeywords& sender, const std::string& name,
                       const std::string& replacement);

protected:
    // Extra data after the common stream fields (the trigger string of auto-replace).
    virtual void SaveExtra(TStream&) const {}
    // Reads the extra data and returns a function that applies it; must not change the object.
    virtual std::function<void()> LoadExtra(TStream&) { return {}; }
    void ClearEntries();

    bool consumeKey_ = true;
    bool indentLines_ = true;
    bool caretMarker_ = true;
    bool showList_ = true;

private:
    void RebuildTrie();
    void AddToTrie(const std::string& name);
    void Put(std::string name, std::string_view description, std::string_view body);

    std::map<std::string, MacroEntry> entries_;
    TKeywords trie_;
    std::string typedWord_;
    std::string listFilter_;
    std::uint16_t hotKey_;
    ExpandEvent onExpand_;
    bool newListEachTime_ = true;
    bool enabled_ = true;
    bool savedHideSelection_ = false;
};

class TCodeTemplates : public TMacroKeywords {
public:
    TCodeTemplates() = default;
    bool IsTrigger(std::uint16_t key, std::uint16_t shift) const override;
    const char* ClassName() const override { return "TCodeTemplates"; }
};

// Maps a character to the key that types it on the keyboard layout, in key-scan form (key code in
// the low byte, 0x100 Shift, 0x200 Ctrl); -1 when no key types it.
using CharToKeyScan = std::function<int(char)>;
// A US keyboard layout.
int UsKeyboardKeyScan(char c);

inline constexpr const char* kDefaultTriggers = ";,:.=()[]\\{Return}\\{Tab}\\{Space}";

class TAutoReplace : public TMacroKeywords {
public:
    TAutoReplace();
    bool IsTrigger(std::uint16_t key, std::uint16_t shift) const override;
    const char* ClassName() const override { return "TAutoReplace"; }
    bool IsAutoReplace() const override { return true; }

    // Parses a trigger string; raises EDoravaVizu "Bad key specifier" for "\{" without "}" (or a
    // lone "\" at the end), leaving the triggers as they were.
    void SetTriggers(std::string_view triggers);
    const std::string& Triggers() const { return triggers_; }
    const std::vector<int>& TriggerKeys() const { return keys_; }
    using TMacroKeywords::Add;
    void Add(std::string_view word, std::string_view replacement) { TMacroKeywords::Add(word, "", false, replacement); }
    // Removes every entry and resets the trigger string to the default.
    void Clear() override;

    // The layout used to turn trigger characters into keys (US by default).
    void SetKeyboardLayout(CharToKeyScan layout) { layout_ = std::move(layout); }
    // The trigger keys a trigger string gives.
    static std::vector<int> ParseTriggers(std::string_view triggers, const CharToKeyScan& layout);

protected:
    void SaveExtra(TStream& stream) const override;
    std::function<void()> LoadExtra(TStream& stream) override;

private:
    std::string triggers_;
    std::vector<int> keys_;
    CharToKeyScan layout_ = UsKeyboardKeyScan;
};

}  // namespace tarnwick
