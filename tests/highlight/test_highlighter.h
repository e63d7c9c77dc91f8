#pragma once
// A small highlighter built by hand, as the compiler would build it, for the highlight tests.
//
//   1  keywords "select", "from" (any case; the next character must not be a word character)
//   2  strings 'text' (end part: the quote, consumed)
//   3  block comments /* ... */ : "/*" enters state 1, where a per-state table reads comment
//      text a line at a time, and "*/" (value 8) returns to state 0
//   4  numbers (whole-token matcher __STD_NUMBER_OR_FP)
//   5  "#" comments to the line end (end part: CR, not consumed)
//   6  containers { ... }: inside, state 2, where "x" is value 7; other text keeps value 6
//   11 hexadecimal "0x" + digits (a keyword with a continuation rule)

#include <string>
#include <string_view>

#include "editor/char_group.h"
#include "highlight/parser.h"

namespace tarnwick::test {

inline TSM_CharGroup Group(std::string_view text)
{
    TSM_CharGroup g;
    std::size_t pos = 1;
    g.Parse(text, pos);
    return g;
}

inline TStateSet States(std::initializer_list<unsigned> states)
{
    TStateSet s;
    for (unsigned v : states) s.Include(v);
    return s;
}

inline TTokenStateInfo Info(TStateSet valid, TStateSet add = {}, TStateSet remove = {})
{
    TTokenStateInfo i;
    i.valid = valid;
    i.add = add;
    i.remove = remove;
    i.Normalize();
    return i;
}

// A rule reading one character of `first`, then `body` steps until `end` (no end part when empty).
inline TTokenRule Rule(ParserTables& t, std::string_view first, std::string_view body, std::string_view end,
                       bool consume, std::uint8_t value, TStateSet valid)
{
    TTokenRule r;
    r.first.group = t.RegisterGroup(Group(first));
    if (!body.empty()) r.body.group = t.RegisterGroup(Group(body));
    if (!end.empty()) {
        r.end.count = 1;
        r.end.groups[0] = t.RegisterGroup(Group(end));
        r.end.consume = consume ? 1 : 0;
    }
    r.valid = valid;
    r.value = value;
    return r;
}

inline void SetRule(FirstCharTable& table, ParserTables& t, const TTokenRule& rule)
{
    const TSM_CharGroup& g = t.Group(rule.first.group);
    for (unsigned c = 0; c < 256; ++c)
        if (g.Contains(static_cast<std::uint8_t>(c))) table.rules[c] = rule;
}

inline void BuildTestHighlighter(VOzuvavIdavParser& p)
{
    p.Reset();
    ParserTables& t = p.Tables();
    const TStateSet s0 = States({0}), s1 = States({1}), s2 = States({2});
    const TSM_CharGroup wordEnd = Group("[^a-zA-Z0-9_]");

    t.keywords->AddWord("select", false, 1, s0, wordEnd);
    t.keywords->AddWord("from", false, 1, s0, wordEnd);
    t.keywords->AddWord("/*", false, 3, s0, TSM_CharGroup());
    t.keywords->AddWord("*/", false, 8, s1, TSM_CharGroup());
    t.keywords->AddWord("x", false, 7, s2, TSM_CharGroup());
    t.keywords->AddWord("0x", false, 11, s0, TSM_CharGroup());

    t.tokenStateInfo[1] = Info(s0);
    t.tokenStateInfo[3] = Info(States({0, 1}), s1, s0);
    t.tokenStateInfo[8] = Info(s1, s0, s1);
    t.tokenStateInfo[7] = Info(s2);
    TTokenStateInfo container = Info(s0, s2, s0);
    container.container = 1;
    t.tokenStateInfo[6] = container;

    // Hexadecimal: after "0x" one or more hex digits; the token ends before the first other character.
    THandlerRule hex;
    hex.step.group = t.RegisterGroup(Group("[0-9a-f]"));
    hex.end.count = 1;
    hex.end.groups[0] = t.RegisterGroup(Group("[^0-9a-f]"));
    hex.end.consume = 0;
    t.continuation[11] = hex;

    SetRule(t.defaultTable, t, Rule(t, "'", "[^'\\n]", "'", true, 2, s0));
    TTokenRule number;
    number.first.hasHandler = 1;
    number.first.handler = kMatchStdNumberOrFp;
    number.valid = s0;
    number.value = 4;
    for (char c : std::string_view("0123456789.")) t.defaultTable.rules[static_cast<std::uint8_t>(c)] = number;
    TTokenRule hash = Rule(t, "#", "[^\\n]", "\\n", false, 5, s0);
    hash.body.repeat = 1;
    SetRule(t.defaultTable, t, hash);
    SetRule(t.defaultTable, t, Rule(t, "{", "[^}]", "}", true, 6, s0));

    // Inside a block comment: text up to a star or the line end, a lone star, the line end.
    FirstCharTable& comment = t.StateTable(1);
    SetRule(comment, t, Rule(t, "[^*\\n]", "[^*\\n]", "", false, 3, s1));
    SetRule(comment, t, Rule(t, "*", "", "", false, 3, s1));
    SetRule(comment, t, Rule(t, "\\n", "", "", false, 3, s1));

    t.contextState[3] = s1;
    t.FinishCompile();
    p.SetScanState(0);
}

// Token values as a string of digits/letters, one per character ('0' + value, values > 9 as
// 'a' + value - 10), to compare whole lines at a glance.
inline std::string Codes(const std::vector<std::uint8_t>& values)
{
    std::string s;
    for (auto v : values) s += v < 10 ? static_cast<char>('0' + v) : static_cast<char>('a' + v - 10);
    return s;
}

}  // namespace tarnwick::test
