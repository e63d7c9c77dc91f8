#pragma once
// The compiled tables of a highlighter: plain data that the script compiler fills, the stored
// form writes and reads, and the scanner (VOzuvavIdavParser) walks.
//
// Vocabulary:
//   token value   a byte 0..255 naming a lexical class; 0 is text no rule claimed.
//   state         a number 0..255; the scanner keeps a set of active states (TStateSet) that
//                 tokens switch on and off.
//   group         a character group (TSM_CharGroup) referred to by its 16-bit number in
//                 ParserTables::groups. Number 0 is always the empty group (kEmptyGroup): a part
//                 that "has no group" names it. Register groups with ParserTables::RegisterGroup.
//
// Everything here is optional until filled: a first-character table entry, a continuation rule
// or a token state info that is absent is an empty std::optional.

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string_view>
#include <vector>

#include "editor/byte_set.h"
#include "editor/char_group.h"
#include "editor/keywords.h"

namespace tarnwick {

// ---- built-in matchers
//
// Character-step matchers (0..2) take one step of a token body (or test an end); whole-token
// matchers (10..20) read a whole token from its first character. The script names them by the
// names below (BuiltInMatcherNumber maps a name to its number).
inline constexpr std::int32_t kMatchPascalChar = 0;             // "_PASCAL_CHAR"
inline constexpr std::int32_t kMatchWebChar = 1;                // "_WEB_CHAR"
inline constexpr std::int32_t kMatchOriginalChar = 2;           // "_ORIGINAL_CHAR"
inline constexpr std::int32_t kMatchStdIdentifier = 10;         // "__STD_IDENTIFIER"
inline constexpr std::int32_t kMatchStdNumberOrFp = 11;         // "__STD_NUMBER_OR_FP"
inline constexpr std::int32_t kMatchStdPascalString = 12;       // "__STD_PASCALSTRING"
inline constexpr std::int32_t kMatchStdCString = 13;            // "__STD_C_STRING"
inline constexpr std::int32_t kMatchStdCChar = 14;              // "__STD_C_CHAR"
inline constexpr std::int32_t kMatchStdCNumberOrFpSigned = 15;  // "__STD_C_NUMBER_OR_FP_SIGNED"
inline constexpr std::int32_t kMatchStdNumber = 16;             // "__STD_NUMBER"
inline constexpr std::int32_t kMatchStdMailUrl = 17;            // "__STD_MAIL_URL"
inline constexpr std::int32_t kMatchStdHtmlString = 18;         // "__STD_HTML_STRING"
inline constexpr std::int32_t kMatchStdJsLineComment = 19;      // "__STD_JS_LINE_COMMENT"
inline constexpr std::int32_t kMatchStdCStringSq = 20;          // "__STD_C_STRING_SQ"

inline bool IsStepMatcher(std::int32_t id) { return id >= 0 && id <= 2; }
inline bool IsWholeTokenMatcher(std::int32_t id) { return id >= 10 && id <= 20; }

struct BuiltInMatcherName {
    std::string_view name;
    std::int32_t id;
};
// The fourteen script names with their numbers, step matchers first.
const std::array<BuiltInMatcherName, 14>& BuiltInMatcherNames();
// The number of the matcher with this script name (exact case), or -1.
std::int32_t BuiltInMatcherNumber(std::string_view name);

// Number of the empty group in every ParserTables.
inline constexpr std::uint16_t kEmptyGroup = 0;

// ---- rule parts

// One part of a rule: either a character group (one character of the group per step) or a
// handler (a built-in matcher, or the OnCustomParse event when `custom` is 1).
struct TMatchPart {
    // In a continuation rule and in the body of a token rule: the repeat flag (script "?"): test
    // the end part before every step, the first included. Not read in the first part of a rule.
    std::uint8_t repeat = 0;
    std::uint16_t group = kEmptyGroup;
    std::uint8_t hasHandler = 0;  // 1: matched by the handler below, not by the group
    std::uint8_t custom = 0;      // 1: the handler is OnCustomParse, 0: a built-in matcher
    std::int32_t handler = 0;     // ParseID for custom handlers, the matcher number otherwise

    bool operator==(const TMatchPart&) const = default;
};

// The end of a token. Without a handler it matches when the next `count` characters are each in
// the corresponding group of `groups`. A part with neither a handler nor a count (count 0) is
// "no end part".
struct TEndPart {
    std::uint8_t consume = 0;  // 1: the end characters belong to the token; 0: only looked at
    std::uint8_t hasHandler = 0;
    std::uint8_t custom = 0;  // with a handler: 1 OnCustomParse, 0 a built-in step matcher
    std::int32_t handler = 0;
    std::uint8_t count = 0;  // without a handler: 1..4 (0: no end part)
    std::array<std::uint16_t, 4> groups{};

    bool Present() const { return hasHandler != 0 || count > 0; }
    bool operator==(const TEndPart&) const = default;
};

// A rule chosen by the first character of a token.
struct TTokenRule {
    // The group of allowed first characters, or a whole-token matcher (10..20) that reads the
    // whole token; then `body` and `end` are not used.
    TMatchPart first;
    TStateSet valid;  // states in which the rule applies
    TMatchPart body;  // one step of the body; body.repeat: test the end before every step
    TEndPart end;
    std::uint8_t value = 0;  // token value of the tokens the rule reads

    bool operator==(const TTokenRule&) const = default;
};

// A continuation rule: extends a keyword of a given token value right after it matched.
struct THandlerRule {
    TMatchPart step;  // step.repeat: test the end before every step
    TEndPart end;

    bool operator==(const THandlerRule&) const = default;
};

// Bits of TTokenStateInfo::stack.
inline constexpr std::uint8_t kStackPushBefore = 1;
inline constexpr std::uint8_t kStackPopBefore = 2;
inline constexpr std::uint8_t kStackPushAfter = 4;
inline constexpr std::uint8_t kStackPopAfter = 8;

// What a token of one value does to the state set.
struct TTokenStateInfo {
    TStateSet valid;  // states in which tokens of this value are recognised
    TStateSet add;
    TStateSet remove;
    std::uint8_t container = 0;  // 1: tokens of this value enter bound mode
    std::uint8_t noChange = 0;   // 1: add and remove are both empty (keep it so; see Normalize)
    std::uint8_t stack = 0;      // kStack... bits; a pop takes precedence over a push of the same side

    // Sets noChange from the add and remove sets.
    void Normalize() { noChange = add.Empty() && remove.Empty() ? 1 : 0; }
    bool operator==(const TTokenStateInfo&) const = default;
};

// An entry of a per-state range list: a character range kept outside the 256-entry table. The
// lists are built, stored and loaded; text characters are single bytes, so the scanner does not
// consult them.
struct RangeRule {
    std::uint16_t low = 0;
    std::uint16_t high = 0;
    TTokenRule rule;

    bool operator==(const RangeRule&) const = default;
};

// A first-character table: the rule of each character code, absent where none applies.
struct FirstCharTable {
    std::array<std::optional<TTokenRule>, 256> rules;
    std::vector<RangeRule> ranges;  // only in per-state tables

    const TTokenRule* Rule(std::uint8_t c) const { return rules[c] ? &*rules[c] : nullptr; }
    bool operator==(const FirstCharTable&) const = default;
};

// The whole compiled highlighter apart from its settings record (which VOzuvavIdavParser holds
// beside it, see VOzuvavIdavParser::Settings()).
struct ParserTables {
    ParserTables();
    ParserTables(const ParserTables&) = delete;
    ParserTables& operator=(const ParserTables&) = delete;

    // Back to the empty highlighter: no rules, no keywords, no per-state tables, empty context
    // states, anchor {0}, bound states empty, start states {0}, case flag and custom-match flag
    // off, the group list holding only the empty group.
    void Reset();

    // The number of `group` in `groups` (an equal group registered before keeps its number).
    // Raises EDoravaVizu when more than 65536 distinct groups would be needed.
    std::uint16_t RegisterGroup(const TSM_CharGroup& group);
    // The group with this number; an unknown number raises EDoravaVizu "Invalid Set ID (%d)".
    const TSM_CharGroup& Group(std::uint16_t number) const { return groups.Get(number); }

    // The table of `state`, created (and the state added to statesWithOwnTable) when missing.
    FirstCharTable& StateTable(std::uint8_t state);
    // What the compiler does last: every empty ContextState entry becomes the start states, and
    // noPerStateTables follows statesWithOwnTable.
    void FinishCompile();
    // noPerStateTables := statesWithOwnTable is empty (the loader calls it after reading).
    void UpdatePerStateFlag() { noPerStateTables = statesWithOwnTable.Empty(); }

    // ---- the data

    // Rule groups (number -> group). Keyword terminator groups live in the keyword table's own
    // manager (keywords->Groups()).
    TSM_CharGroupManager groups;

    // Keywords with their token values, states and terminators; the table-wide case flag.
    std::unique_ptr<TSyntaxKeywords> keywords;
    // The language's case flag (script "case"); the keyword table carries its own copy.
    bool caseSensitive = false;

    // Continuation rule of each token value, used right after a keyword of that value matched.
    std::array<std::optional<THandlerRule>, 256> continuation;

    // The default first-character table.
    FirstCharTable defaultTable;

    // The state set to restart scanning with at a token of each value (empty: the start states).
    std::array<TStateSet, 256> contextState{};

    // What tokens of each value do to the state set.
    std::array<std::optional<TTokenStateInfo>, 256> tokenStateInfo;

    // Per-state first-character tables, present for the states in statesWithOwnTable.
    std::array<std::unique_ptr<FirstCharTable>, 256> stateTables;
    TStateSet statesWithOwnTable;
    bool noPerStateTables = true;

    // Token values at which a scan may restart (default {0}).
    TStateSet restartAnchors;
    // States in which the control keeps scanning although a line looks unchanged (default empty).
    TStateSet boundStates;
    // The states scanning starts with (default {0}).
    TStateSet startStates;

    // Set when any rule uses match(N): such a highlighter needs OnCustomParse to run.
    bool usesCustomMatches = false;
};

// Whether two state sets share a member.
inline bool StatesMeet(const TStateSet& a, const TStateSet& b) { return a.Meets(b); }

}  // namespace tarnwick
