#pragma once
// Keyword tables: a character trie that finds the longest stored word at a position of the text,
// reading forwards (the highlighter) or backwards (code templates and auto-replace, which look at
// the word before the caret), and the highlighter's keyword table that can be saved and loaded.
//
// Each word carries a state set (the highlighter states in which it is valid), a terminator
// character group (the character after the word must be in it; an empty group accepts anything)
// and a data value. For the highlighter the data value is the token value of the word; for
// templates and auto-replace it identifies the entry record of the owner.

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "base/ansi_text.h"
#include "editor/byte_set.h"
#include "editor/char_group.h"
#include "editor/char_streams.h"
#include "editor/editor_errors.h"
#include "editor/streams.h"

namespace tarnwick {

// One stored word ending at a trie node.
struct KeywordEntry {
    TStateSet states;        // states in which the word is valid
    std::int64_t data = 0;   // token value (highlighter) or the owner's entry identifier
    std::int32_t group = 0;  // index of the terminator group in the table's group manager
    std::int32_t next = -1;  // next entry ending at the same node, -1 for none
};

// The result of a match: the entry found (null when none) and how many characters it covers.
struct KeywordMatch {
    const KeywordEntry* entry = nullptr;
    int length = 0;
    explicit operator bool() const { return entry != nullptr; }
};

class TKeywords {
public:
    // Called once for every entry when the table is cleared or destroyed.
    using FreeEntryProc = std::function<void(const KeywordEntry&)>;

    TKeywords();
    virtual ~TKeywords();
    TKeywords(const TKeywords&) = delete;
    TKeywords& operator=(const TKeywords&) = delete;

    // Adds `word`. An empty word is ignored; a case-insensitive word is lower-cased; the table's
    // case flag becomes `caseSensitive`. Raises EKeywords "Duplicate keyword - '%s'" (with the
    // word as stored) when an entry for the same word exists whose state set meets `states`;
    // the table is then unchanged.
    void Add(std::string_view word, bool caseSensitive, std::int64_t data, const TStateSet& states,
             const TSM_CharGroup& terminator);

    // Frees every entry (through the callback) and empties the trie and the group manager, which
    // again holds only the empty group.
    virtual void Clear();

    // Longest match starting at the stream's position, reading forwards. On a match the stream is
    // left on the character after the word; without one it goes back to where it was and steps
    // one character forwards.
    KeywordMatch MatchForwards(TEdStream& stream) const { return Match(stream, true); }
    // Longest match ending at the stream's position, reading backwards (the word's last character
    // is under the stream). The text before offset 0 counts as character 0 for the terminator
    // check. On a match the stream is left on the character before the word (0 when the word
    // starts the text); without one it goes back to where it was and steps one character back.
    KeywordMatch MatchBackwards(TEdStream& stream) const { return Match(stream, false); }

    // The longest word at text[at] that the record's own characters decide: `text` holds the
    // record's `length` characters. Sets `best` (no entry when none) and returns true; returns
    // false, with `best` unset, when the walk needs the character after the record's end (then
    // MatchForwards on a stream decides).
    bool MatchInRecord(const std::uint8_t* text, std::int64_t at, std::int64_t length, KeywordMatch& best) const
    {
        if (!indexValid_) BuildChildIndex();
        std::int32_t node = first_[fold_[text[at]]];
        best = {};
        if (node < 0) return true;
        const bool all = AllApply();
        const KeywordEntry* found = nullptr;
        std::int64_t foundEnd = at;
        for (std::int64_t i = at;;) {
            if (!all && !nodes_[static_cast<std::size_t>(node)].states.Meets(currentStates_)) break;
            if (++i >= length) return false;
            const std::uint8_t after = text[i];
            for (std::int32_t e = walk_[static_cast<std::size_t>(node)].firstEntry; e >= 0;
                 e = entries_[static_cast<std::size_t>(e)].next) {
                const KeywordEntry& entry = entries_[static_cast<std::size_t>(e)];
                if (!all && !entry.states.Meets(currentStates_)) continue;
                if (entryAccepts_[static_cast<std::size_t>(e)].Contains(after)) {
                    found = &entry;
                    foundEnd = i;
                    break;
                }
            }
            node = Child(node, fold_[after]);
            if (node < 0) break;
        }
        best.entry = found;
        best.length = static_cast<int>(foundEnd - at);
        return true;
    }

    // The states in which a match is sought; set by the caller before matching.
    void SetCurrentStates(const TStateSet& states)
    {
        if (states == currentStates_) return;
        currentStates_ = states;
        allApplyValid_ = false;
    }
    const TStateSet& CurrentStates() const { return currentStates_; }

    bool CaseSensitive() const { return caseSensitive_; }
    // Whether some word starts with `c` (in any state).
    bool MayStartWith(char c) const { return first_[Key(c)] >= 0; }
    void SetOnFreeEntry(FreeEntryProc proc) { onFreeEntry_ = std::move(proc); }
    const TSM_CharGroupManager& Groups() const { return groups_; }
    int EntryCount() const { return static_cast<int>(entries_.size()); }
    int NodeCount() const { return static_cast<int>(nodes_.size()); }
    // The most line breaks (CR) any stored word holds: a word can reach that many lines past the
    // one it starts in, and read the character after its last one.
    int MaxLineBreaks() const
    {
        if (!indexValid_) BuildChildIndex();
        return maxLineBreaks_;
    }

protected:
    void SetCaseFlag(bool caseSensitive)
    {
        caseSensitive_ = caseSensitive;
        indexValid_ = false;
    }

private:
    struct Node {
        TStateSet states;              // union of the state sets of the words through this node
        std::int32_t sibling = -1;     // next node of the same level, in ascending character order
        std::int32_t child = -1;       // first node of the next level
        std::int32_t firstEntry = -1;  // entries of the words ending here
        std::uint8_t ch = 0;
    };

    KeywordMatch Match(TEdStream& stream, bool forwards) const;
    // The general walk through the stream: backwards, or forwards past a record's end.
    KeywordMatch MatchByStream(TEdStream& stream, bool forwards) const;
    // The child of `node` for character `ch`, or -1; looks in the packed index.
    std::int32_t Child(std::int32_t node, std::uint8_t ch) const
    {
        const WalkNode& n = walk_[static_cast<std::size_t>(node)];
        for (std::uint32_t i = n.childBegin; i < n.childEnd; ++i)
            if (childChar_[i] == ch) return childNode_[i];
        return -1;
    }
    // Packs every node's children side by side, and the lookup tables below (done before the
    // first match after a change).
    void BuildChildIndex() const;
    std::uint8_t Key(char c) const { return static_cast<std::uint8_t>(caseSensitive_ ? c : AnsiLowerChar(c)); }
    void FreeAll();

    std::array<std::int32_t, 256> first_;
    std::vector<Node> nodes_;
    std::vector<KeywordEntry> entries_;
    TSM_CharGroupManager groups_;
    bool caseSensitive_ = false;
    TStateSet currentStates_;
    FreeEntryProc onFreeEntry_;
    // What a walk reads of a node, side by side: its first entry and where its children are:
    // childChar_/childNode_[childBegin .. childEnd).
    struct WalkNode {
        std::int32_t firstEntry = -1;
        std::uint32_t childBegin = 0;
        std::uint32_t childEnd = 0;
    };
    mutable std::vector<WalkNode> walk_;
    mutable std::vector<std::uint8_t> childChar_;
    mutable std::vector<std::int32_t> childNode_;
    mutable bool indexValid_ = false;
    // The characters each entry accepts after its word (every one for an empty group), and the
    // character folding of the table (identity when case-sensitive).
    mutable std::vector<ByteSet> entryAccepts_;
    mutable std::array<std::uint8_t, 256> fold_{};
    mutable int maxLineBreaks_ = 0;
    // Whether every node and entry applies in the current states (then the walk needs no state
    // tests); kept until the tree or the states change.
    bool AllApply() const { return allApplyValid_ ? allApply_ : ComputeAllApply(); }
    bool ComputeAllApply() const;
    mutable bool allApplyValid_ = false;
    mutable bool allApply_ = false;
};

// What was given for one word of a highlighter keyword table.
struct TEndStyleObject {
    TSM_CharGroup terminator;
    std::int32_t token = 0;
    TStateSet states;
};

// The highlighter's keyword table: the trie plus the list of its words as they were given, so the
// table can be saved and loaded.
//
// Stream form (little-endian): i32 case flag; i32 word count; per word: sstr word, terminator
// group (binary form of TSM_CharGroup), 32-byte state set, i32 token value; then an empty sstr.
// A table without words is the case flag, a count of 0 and the empty sstr.
class TSyntaxKeywords : public TKeywords {
public:
    struct Word {
        std::string text;
        TEndStyleObject style;
    };

    // Adds the word to the trie with `token` as its data and, once it is there, to the word list.
    void AddWord(std::string_view word, bool caseSensitive, std::int32_t token, const TStateSet& states,
                 const TSM_CharGroup& terminator);
    void Clear() override;

    const std::vector<Word>& Words() const { return words_; }

    // Raises EStreamError when a word is longer than 255 characters.
    void SaveToStream(TStream& stream) const;
    // Replaces the table with the one in the stream. A stream that ends early or holds an
    // impossible count raises EStreamError, a repeated word EKeywords; the table is then left
    // as it was (nothing read yet could be used) or empty (a word could not be added).
    void LoadFromStream(TStream& stream);

private:
    std::vector<Word> words_;
};

}  // namespace tarnwick
