#include "versions/preprocessor.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace tarnwick {
namespace {

using namespace std::string_literals;
using Messages = std::vector<std::pair<std::int64_t, std::string>>;
using Symbols = std::vector<std::string>;

struct Outcome {
    bool ok = false;
    std::string output;
    Messages messages;
    Symbols symbols;
};

Outcome Preprocess(std::string_view script, Symbols symbols = {}, std::string output = {})
{
    Outcome r;
    r.output = std::move(output);
    r.symbols = std::move(symbols);
    r.ok = PreprocessScript(script, r.output, r.symbols, [&](std::int64_t line, const std::string& message) {
        r.messages.emplace_back(line, message);
    });
    return r;
}

struct Good {
    std::string script;
    std::string output;
    Symbols symbols = {};
};

// Each script must succeed silently and produce exactly `output`.
void ExpectGood(const std::vector<Good>& cases)
{
    for (const Good& c : cases) {
        SCOPED_TRACE("script: " + c.script);
        const Outcome r = Preprocess(c.script, c.symbols);
        EXPECT_TRUE(r.ok);
        EXPECT_EQ(r.messages, Messages{});
        EXPECT_EQ(r.output, c.output);
    }
}

struct Bad {
    std::string script;
    Messages messages;
    Symbols symbols = {};
};

// Each script must fail with exactly the listed messages, in order.
void ExpectBad(const std::vector<Bad>& cases)
{
    for (const Bad& c : cases) {
        SCOPED_TRACE("script: " + c.script);
        const Outcome r = Preprocess(c.script, c.symbols);
        EXPECT_FALSE(r.ok);
        EXPECT_EQ(r.messages, c.messages);
    }
}

const std::string kOpenBlock = "Found #ifdef or #ifndef without the corresponding #endif";
const std::string kOpenComment = "Found /* without the corresponding */";

TEST(PreprocessorLines, BreakRunsTravelWithTheNextEmittedLine)
{
    ExpectGood({
        {"", ""},
        {"\r\n\n\r", ""},
        {"#define X\nselect 1", "\nselect 1"},
        {"a\r\n\nb", "a\r\n\nb"},
        {"a\nb\r\n\r\n", "a\nb"},
        {"\n\na", "\n\na"},
        {"a\nx", "a\nx"},
        {"x", "x"},
        {"a\n#define X\r\n\nb", "a\r\n\nb"},
        {"a\r\n-- note\r\nb", "a\r\nb"},
        {"a\n  \n\tb\t", "a\n  \n\tb\t"},  // blank-only lines are lines, kept whole
        {"a\n\t\n\n", "a\n\t"},
        {"#ifdef A\nx\n#endif\ny", "\ny"},
    });
    // Emitted lines are appended to what the caller passed in.
    EXPECT_EQ(Preprocess("a\nb", {}, "pre:").output, "pre:a\nb");
}

TEST(PreprocessorLines, LineNumberGrowsByCountOfRunsFirstBreakCharacter)
{
    const std::vector<std::pair<std::string, std::int64_t>> cases = {
        {"#bogus", 1},        {"a\r#bogus", 2},       {"a\n#bogus", 2},       {"a\r\n#bogus", 2},
        {"a\n\n#bogus", 3},   {"a\r\r\n#bogus", 3},   {"a\r\n\r\n#bogus", 3}, {"a\n\r#bogus", 2},
        {"a\r\n\n#bogus", 2}, {"a\n\r\n\r#bogus", 3}, {"\n\n#bogus", 3},      {"a\rb\rc\r#bogus", 4},
    };
    for (const auto& [script, line] : cases) {
        SCOPED_TRACE("script: " + script);
        EXPECT_EQ(Preprocess(script).messages, (Messages{{line, "Unknown Token: #bogus"}}));
    }
    // End-of-text checks carry the last line's number; trailing breaks are not counted.
    ExpectBad({
        {"#ifdef A\nx\n\n\r\n", {{2, kOpenBlock}}},
        {"#ifdef A\n#bogus\nx\r\ny\n\n", {{2, "Unknown Token: #bogus"}, {4, kOpenBlock}}, {"A"}},
    });
}

TEST(PreprocessorLines, VeryLongLinesAreKeptWhole)
{
    const std::string plain(200000, 'y');
    Outcome r = Preprocess(plain);
    EXPECT_TRUE(r.ok);
    EXPECT_EQ(r.output, plain);

    const std::string suffix = " &m /* c */ zz";
    const std::string head(200000 - suffix.size(), 'q');
    const std::string mid(200000, 'w');
    r = Preprocess("#set m = VAL\n" + head + suffix + "\r\n" + mid + "&m\n" + plain);
    EXPECT_TRUE(r.ok);
    EXPECT_EQ(r.messages, Messages{});
    EXPECT_EQ(r.output, "\n" + head + " VAL  zz" + "\r\n" + mid + "VAL\n" + plain);
}

TEST(PreprocessorDirectives, KeywordsMatchCaseInsensitivelyAndAsPrefixes)
{
    ExpectGood({
        {"#Ifdef X\na\n#ENDIF", "\na", {"X"}},
        {"#Ifdef X\na\n#ENDIF", ""},
        {"#DeFiNe X\n#ifdef x\nb\n#endif", "\nb"},
        {"  #define   Y  \t\n#ifdef Y\nz\n#endif", "\nz"},
        {"#ifdef A\n#elsewhere\nb\n#endifs trailing\nc", "\nb\nc"},
        {"#ifndef A\nb\n#ELSE anything\nc\n#Endif anything", "\nb"},
        {"#ifdef A\n#include x\n#endif\nok", "\nok"},  // unknown keywords pass in inactive regions
    });
    const Outcome r = Preprocess("#define A B\n#ifdef A\nx\n#endif\n#ifdef A B\ny\n#endif");
    EXPECT_EQ(r.output, "\ny");
    EXPECT_EQ(r.symbols, Symbols{"A B"});

    ExpectBad({
        {"#include x", {{1, "Unknown Token: #include x"}}},
        {"  #include x \t", {{1, "Unknown Token: #include x"}}},
        {"#", {{1, "Unknown Token: #"}}},
        {"# define X", {{1, "Unknown Token: # define X"}}},
        {"#ifdef A\n#pragma\n#endif", {{2, "Unknown Token: #pragma"}, {3, kOpenBlock}}, {"A"}},
    });
}

TEST(PreprocessorDirectives, ArgumentChecks)
{
    ExpectBad({
        {"#ifdef", {{1, "No arguments to #ifdef"}}},
        {"#ifdef  \t", {{1, "No arguments to #ifdef"}}},
        {"#ifdef\tX", {{1, "Space required after #ifdef"}}},
        {"#ifdefined X", {{1, "Space required after #ifdef"}}},
        {"#IFNDEF", {{1, "No arguments to #ifndef"}}},
        {"#ifndefX", {{1, "Space required after #ifndef"}}},
        {"#define", {{1, "No arguments to #define"}}},
        {"#DEFINE\tX", {{1, "Space required after #define"}}},
        {"#defined X", {{1, "Space required after #define"}}},
        {"#undef", {{1, "No arguments to #undef"}}},
        {"#undefine X", {{1, "Space required after #undef"}}},
        {"#set", {{1, "No arguments to #set"}}},
        {"#settings a=b", {{1, "Space required after #set"}}},
        {"#SET\ta=b", {{1, "Space required after #set"}}},
        // #ifdef and #ifndef are checked inside inactive regions too.
        {"#ifdef A\n#ifdef\n#endif", {{2, "No arguments to #ifdef"}, {3, kOpenBlock}}},
        {"#ifdef A\n#ifndef\tB\n#endif\n#endif", {{2, "Space required after #ifndef"}, {4, kOpenBlock}}},
    });
    // #define, #undef and #set lines in inactive regions are dropped unchecked.
    ExpectGood({{"#ifdef A\n#define\n#undef\t\n#set\n#setx\n#endif\nok", "\nok"}});
}

TEST(PreprocessorRegions, ActivenessFollowsTheCurrentSymbolList)
{
    ExpectGood({
        {"#ifdef A\n#ifdef B\nx\n#endif\ny\n#endif", ""},
        {"#ifdef A\n#ifdef B\nx\n#endif\ny\n#endif", "\ny", {"A"}},
        {"#ifdef A\n#ifdef B\nx\n#endif\ny\n#endif", "\nx\ny", {"A", "B"}},
        {"#ifndef A\nx\n#else\ny\n#endif", "\nx"},
        {"#ifndef A\nx\n#else\ny\n#endif", "\ny", {"A"}},
        // The #else of a block nested in an inactive region pairs with that block.
        {"#ifdef A\n#ifdef B\n#else\nx\n#endif\ny\n#endif", ""},
        // Defining the tested name inside #ifndef turns its branch off at once and the #else branch on.
        {"#ifndef A\n#define A\nx\n#else\ny\n#endif", "\ny"},
    });

    struct Case {
        std::string script;
        Symbols before, after;
        std::string output;
    };
    const std::vector<Case> cases = {
        {"#ifdef A\n#define B\n#undef A\nz\n#endif", {"A"}, {"B"}, ""},
        {"#ifdef A\n#undef A\n#define A\nx\n#endif", {"A"}, {}, ""},
        {"#ifdef A\n#ifdef B\n#undef A\n#endif\ny\n#endif\nz", {"A", "B"}, {"B"}, "\nz"},
        {"#ifdef A\n#define B\n#endif\n#ifdef B\nx\n#endif", {}, {}, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE("script: " + c.script);
        const Outcome r = Preprocess(c.script, c.before);
        EXPECT_TRUE(r.ok);
        EXPECT_EQ(r.output, c.output);
        EXPECT_EQ(r.symbols, c.after);
    }
}

TEST(PreprocessorRegions, OneElseSeenFlagForAllLevels)
{
    // #ifdef and #ifndef clear the flag, so an inner #else and a second outer #else are accepted.
    ExpectGood({
        {"#ifdef A\n#else\n#ifdef B\n#else\n#endif\n#endif", ""},
        {"#ifdef A\n#else\n#ifndef B\n#else\n#endif\n#endif", ""},
        {"#ifdef A\n#else\n#ifdef B\n#endif\n#else\n#endif", ""},
        {"#ifdef A\n#else\n#ifdef B\n#endif\n#else\nx\n#endif", "\nx", {"A"}},
        {"#ifdef A\n#else\n#ifdef B\n#endif\n#else\nx\n#endif", ""},
    });
    ExpectBad({
        {"#ifdef A\n#else\n#else\n#endif", {{3, "Found #else after another #else"}, {4, kOpenBlock}}},
        {"#ifdef A\n#ifdef B\n#else\n#else\n", {{4, "Found #else after another #else"}, {4, kOpenBlock}}},
        {"#ifdef A\n#else\n#endif\n#else", {{4, "Found #else without a corresponding #ifdef or #ifndef"}}},
        {"x\n#else", {{2, "Found #else without a corresponding #ifdef or #ifndef"}}},
        {"#endif", {{1, "Found #endif without a corresponding #ifdef or #ifndef"}}},
        {"#ifdef A\n#endif\n#endifs", {{3, "Found #endif without a corresponding #ifdef or #ifndef"}}},
    });
}

TEST(PreprocessorComments, BlockCommentsAreCutOutOfActiveLines)
{
    ExpectGood({
        {"select 1 /* c */ from t", "select 1  from t"},
        {"a\n/* only */\nb", "a\nb"},
        {"a\n/* start\nmid\n#bogus\nend */ b\nc", "a\n b\nc"},
        {"   /* c */  \nx", "\nx"},
        {"  a /* c */  ", "  a   "},
        {"a /* b */ c /* d */ e", "a  c  e"},
        {"/**/x", "x"},
        {"a /*/ b\nc */ d", "a \n d"},  // "/*/" opens but does not close
        {"x /* a */ y */ z", "x  y */ z"},
        {"a */ b", "a */ b"},
        {"-- a */ b", "-- a */ b"},
        {"-- see /* here\nstill\n*/ tail", "-- see \n tail"},
        {"/* c */ #ifdef A", " #ifdef A"},  // no directive is recognised here
        {"/*\n#define X\n#bogus\n*/\ny", "\ny"},
        {"x /* &bogus */", "x "},
        {"#set m = v\n&m /* &m */ &m", "\nv  v"},
        // Delimiters mean nothing in inactive regions.
        {"#ifdef A\n/* x\n#endif\ny", "\ny"},
        {"#ifdef A\na */ b /* c\n#endif", ""},
    });
    const Outcome r = Preprocess("#define X /* note */\n#ifdef X\ny\n#endif");
    EXPECT_TRUE(r.ok);
    EXPECT_EQ(r.output, "#define X ");
    EXPECT_EQ(r.symbols, Symbols{});

    ExpectBad({
        {"a\na */ b /* c\nd", {{2, "Found */ without /*"}}},
        {"/* a */ */ b /* c", {{1, "Found */ without /*"}}},
        {"a */* b", {{1, "Found */ without /*"}}},
        {"/* open\nx", {{2, kOpenComment}}},
        {"x\n-- see /* here", {{2, kOpenComment}}},
    });
    EXPECT_EQ(Preprocess("a\na */ b /* c\nd").output, "a");
}

TEST(PreprocessorMacros, Substitution)
{
    ExpectGood({
        {"a &&b", "a &b"},
        {"#set name = w\n&name1 &NAME", "\nw1 w"},
        {"#set a = &b\n&a", "\n&b"},  // values are not scanned again
        {"#set a = x&&y\n&a", "\nx&&y"},
        {"#set a = 1\n&&&a", "\n&1"},
        {"#set e =\nx&e;", "\nx;"},
        {"#set  k  =  two words  \n[&k]", "\n[two words]"},
        {"#set k = 1 = 2\n&k", "\n1 = 2"},
        {"#set k=v\n&k", "\nv"},
        {"#set a = 1\n#set b = 2\n&a&b", "\n12"},
        {"-- &bogus\nx", "\nx"},
        {"#ifdef A\n&bogus\n#endif", ""},
    });
    ExpectBad({
        {"x & y", {{1, "Empty Set Macro."}}},
        {"x &", {{1, "Empty Set Macro."}}},
        {"x &\xC9"
         "t",
         {{1, "Empty Set Macro."}}},
        {"#set my_name = v\n&my_name", {{2, "Unknown Set Macro: my"}}},
        {"#set n1 = v\n&n1", {{2, "Unknown Set Macro: n"}}},
        {"#ifdef A\n#set m = 1\n#endif\n&m", {{4, "Unknown Set Macro: m"}}},
        {"#set a = 1\n#set A = 2", {{2, "A is already defined"}}},
        {"#set a", {{1, "Expecting '='"}}},
        {"#set = x", {{1, "Expecting <NAME> = <VALUE>"}}},
        {"#set   =", {{1, "Expecting <NAME> = <VALUE>"}}},
    });
    const Outcome r = Preprocess("ok\n&zz here\nmore");
    EXPECT_EQ(r.output, "ok");
    EXPECT_EQ(r.messages, (Messages{{2, "Unknown Set Macro: zz"}}));
}

TEST(PreprocessorNames, SymbolAndMacroNamesIgnoreCaseIncludingAccentedLetters)
{
    ExpectGood({
        {"#ifdef \xE9t\xE9\nx\n#endif", "\nx", {"\xC9T\xC9"}},
        {"#ifdef E\nx\n#endif", "", {"\xC9"}},  // an accent makes a different letter
    });
    EXPECT_EQ(Preprocess("#define \xC9", {"\xE9"}).symbols, Symbols{"\xE9"});
    EXPECT_EQ(Preprocess("#undef \xE9", {"\xC9", "x"}).symbols, Symbols{"x"});
    EXPECT_EQ(Preprocess("#set \xC9t = 1\n#set \xE9T = 2").messages, (Messages{{2, "\xE9T is already defined"}}));
}

TEST(PreprocessorSymbols, ChangesAreLeftInTheCallersList)
{
    EXPECT_EQ(Preprocess("#undef A", {"A", "B", "A"}).symbols, (Symbols{"B", "A"}));
    EXPECT_EQ(Preprocess("#undef A", {"a", "B", "A"}).symbols, (Symbols{"B", "A"}));
    EXPECT_EQ(Preprocess("#undef Missing", {"A"}).symbols, Symbols{"A"});
    EXPECT_EQ(Preprocess("#define a\n#define New\n#define new", {"A"}).symbols, (Symbols{"A", "New"}));

    Outcome r = Preprocess("#undef A\n#ifdef A\nx\n#endif", {"A", "A"});
    EXPECT_EQ(r.output, "\nx");
    EXPECT_EQ(r.symbols, Symbols{"A"});

    // Changes up to the failing line stay; nothing after it runs.
    r = Preprocess("#define X\n#undef S\n#bogus\n#define Y", {"S"});
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.symbols, Symbols{"X"});
}

TEST(PreprocessorText, BinaryBytesPassThroughTextLines)
{
    std::string line = "x";
    for (int c = 0; c < 256; ++c)
        if (c != '\r' && c != '\n' && c != '&') line += static_cast<char>(c);
    line += "x";
    ExpectGood({
        {line + "\n" + line, line + "\n" + line},
        {"\xA0#define X", "\xA0#define X"},  // bytes above 127 are not blanks
        {"\xE9/* c */", "\xE9"},
        // A NUL is a control character, so it is trimmed for recognition but kept when emitted.
        {"\0#define X\n\0-- c\n\0"s, "\n\0"s},
    });
    EXPECT_EQ(Preprocess("\0#define X"s).symbols, Symbols{"X"});
}

TEST(PreprocessorErrors, FirstErrorStopsProcessingAndEndChecksFollow)
{
    Outcome r = Preprocess("a\nb\n#bogus\nc");
    EXPECT_EQ(r.output, "a\nb");
    EXPECT_EQ(r.messages, (Messages{{3, "Unknown Token: #bogus"}}));

    r = Preprocess("#ifdef A\nx\n#bogus\ny\n", {"A"});
    EXPECT_EQ(r.output, "\nx");
    EXPECT_EQ(r.messages, (Messages{{3, "Unknown Token: #bogus"}, {4, kOpenBlock}}));

    // The comment opened on the failing line is still open at the end: all three messages.
    r = Preprocess("#ifdef A\n&bogus /* open\nmore\n", {"A"});
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.output, "");
    EXPECT_EQ(r.messages, (Messages{{2, "Unknown Set Macro: bogus"}, {3, kOpenComment}, {3, kOpenBlock}}));

    ExpectBad({
        {"#ifndef A\n/* open\nmore\n\n", {{3, kOpenComment}, {3, kOpenBlock}}},
        {"#bogus\n/* open\n#ifdef A", {{1, "Unknown Token: #bogus"}}},
    });
}

TEST(PreprocessorErrors, AReporterThatThrowsLeavesTheSymbolListAsItWas)
{
    Symbols symbols{"A", "B"};
    std::string output;
    EXPECT_THROW(PreprocessScript("#define C\n#undef A\n#bogus\n", output, symbols,
                                  [](std::int64_t, const std::string&) { throw std::runtime_error("stop"); }),
                 std::runtime_error);
    EXPECT_EQ(symbols, (Symbols{"A", "B"}));
}

}  // namespace
}  // namespace tarnwick
