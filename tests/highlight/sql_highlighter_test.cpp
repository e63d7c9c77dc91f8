// The SQL highlighter script (resources/highlighters/SQL_Diret.txt): compiled once, then checked
// for what it colours and for the settings, word lists and keys it carries.

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "editor/key_bindings.h"
#include "editor/streams.h"
#include "highlight/rescan.h"
#include "highlight/script_compiler.h"

#ifndef TARNWICK_SOURCE_DIR
#error "TARNWICK_SOURCE_DIR must name the source tree"
#endif

namespace tarnwick {
namespace {

const std::string kScriptPath = std::string(TARNWICK_SOURCE_DIR) + "/resources/highlighters/SQL_Diret.txt";

// Token values of the SQL highlighter.
enum : std::uint8_t {
    tvDefault = 0,
    tvIdentifier = 2,
    tvString = 3,
    tvNumber = 4,
    tvSymbol = 5,
    tvSqlReserved = 6,
    tvPlSqlReserved = 7,
    tvSqlFunction = 8,
    tvPackage = 9,
    tvException = 10,
    tvLineComment = 12,
    tvBlockComment = 13,
    tvSqlDataType = 19,
    tvPlSqlDataType = 20,
    tvTableName = 22,
    tvUserProcedure = 23,
    tvDirective = 24,
    tvRemLine = 25,
    tvSubstitution = 26,
};

// One letter per token value, so that expected colourings line up under their text.
char Letter(std::uint8_t value)
{
    static const std::map<std::uint8_t, char> letters = {
        {tvDefault, '.'},     {tvIdentifier, 'i'},    {tvString, 's'},        {tvNumber, 'n'},
        {tvSymbol, 'y'},      {tvSqlReserved, 'R'},   {tvPlSqlReserved, 'P'}, {tvSqlFunction, 'F'},
        {tvPackage, 'K'},     {tvException, 'X'},     {tvLineComment, 'L'},   {tvBlockComment, 'B'},
        {tvSqlDataType, 'T'}, {tvPlSqlDataType, 'U'}, {tvTableName, 't'},     {tvUserProcedure, 'u'},
        {tvDirective, 'D'},   {tvRemLine, 'M'},       {tvSubstitution, 'V'},
    };
    const auto it = letters.find(value);
    return it == letters.end() ? '?' : it->second;
}

TStateSet States(std::initializer_list<unsigned> states)
{
    TStateSet s;
    for (unsigned v : states) s.Include(v);
    return s;
}

std::string Rep(std::size_t count, char c) { return std::string(count, c); }

bool IsWordChar(unsigned c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_';
}

class SqlHighlighterTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        parser_ = new VOzuvavIdavParser;
        parser_->Name = "SQLParser";
        CompileHighlighterScript(*parser_, kScriptPath);
    }
    static void TearDownTestSuite()
    {
        delete parser_;
        parser_ = nullptr;
    }

    // The colouring of `text` (line breaks as CR), one letter per character.
    static std::string Colour(std::string_view text)
    {
        const HighlightedText h = HighlightText(*parser_, text);
        std::string out;
        for (std::uint8_t v : h.values) out += Letter(v);
        return out;
    }

    static VOzuvavIdavParser* parser_;
    const TSM_Settings& settings() const { return parser_->Settings(); }
    const ParserTables& tables() const { return parser_->Tables(); }
};

VOzuvavIdavParser* SqlHighlighterTest::parser_ = nullptr;

// ---- colouring

TEST_F(SqlHighlighterTest, ExampleTextOfTheOptionsDialog)
{
    const std::vector<std::pair<std::string, std::string>> lines = {
        {"#SET MAXLEN=2000", "DDDDDDDDDDDDDDDD"},
        {" ", "."},
        {"DECLARE", "PPPPPPP"},
        {"  v_name     VARCHAR2(&MAXLEN);", "..iiiiii.....TTTTTTTTyVVVVVVVyy"},
        {"  c_ausw_nr  CONSTANT VARCHAR2(4) := '14';", "..iiiiiiiii..PPPPPPPP.TTTTTTTTyny.yy.ssssy"},
        {"  v_book     book%ROWTYPE;", "..iiiiii.....iiiiyPPPPPPPy"},
        {" ", "."},
        {"REM This is a comment", "MMMMMMMMMMMMMMMMMMMMM"},
        {" ", "."},
        {"BEGIN", "PPPPP"},
        {"  DELETE FROM commercial", "..RRRRRR.RRRR.iiiiiiiiii"},
        {"END;", "PPPy"},
    };
    std::string text, expected;
    for (const auto& [line, colours] : lines) {
        ASSERT_EQ(line.size(), colours.size()) << line;
        if (!text.empty()) {
            text += '\r';
            expected += '.';  // the line end belongs to no token
        }
        text += line;
        expected += colours;
    }
    EXPECT_EQ(text, settings().exampleText);
    EXPECT_EQ(Colour(text), expected);
}

TEST_F(SqlHighlighterTest, KeywordsIgnoreCaseAndEndAtTheWordEnd)
{
    EXPECT_EQ(Colour("select Select SELECT sElEcT"), "RRRRRR.RRRRRR.RRRRRR.RRRRRR");
    // A keyword followed by a word character is part of a longer name.
    EXPECT_EQ(Colour("selected select_1 select2 xselect"), "iiiiiiii.iiiiiiii.iiiiiii.iiiiiii");
    // Any other character ends the word, the end of the text too.
    EXPECT_EQ(Colour("select(x)from;"), "RRRRRRyiyRRRRy");
    EXPECT_EQ(Colour("FROM"), "RRRR");
    // One word of each list, typed in lower case.
    EXPECT_EQ(Colour("commit nvl deleting zero_divide numeric boolean"),
              "PPPPPP.FFF.KKKKKKKK.XXXXXXXXXXX.TTTTTTT.UUUUUUU");
    // Longer words win over their prefixes in other lists.
    EXPECT_EQ(Colour("char_base number_base exception_init tables"), "PPPPPPPPP.PPPPPPPPPPP.PPPPPPPPPPPPPP.PPPPPP");
    // The outer-join marker is a reserved word, the parenthesis alone a symbol.
    EXPECT_EQ(Colour("a(+) (x)"), "iRRR.yiy");
}

TEST_F(SqlHighlighterTest, EveryKeywordColoursAsItsOwnValue)
{
    // Each word of the main table, in lower case between blanks, comes out whole with its value:
    // no word is swallowed by another lead-in or cut short by its terminator.
    int checked = 0;
    for (const TSyntaxKeywords::Word& w : tables().keywords->Words()) {
        const std::uint8_t value = static_cast<std::uint8_t>(w.style.token);
        if (value == tvLineComment || value == tvBlockComment || value == tvDirective || value == tvRemLine ||
            value == tvSubstitution)
            continue;
        std::string lower = w.text;
        for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        const std::string text = "x " + lower + " x";
        const std::string expected = "i." + std::string(lower.size(), Letter(value)) + ".i";
        EXPECT_EQ(Colour(text), expected) << "word " << w.text;
        ++checked;
    }
    EXPECT_EQ(checked, 356);
}

TEST_F(SqlHighlighterTest, LineComments)
{
    // "--" wins over the minus sign and runs to the end of the line, the line end excluded.
    EXPECT_EQ(Colour("a--b select 'x'\rselect"), "i" + Rep(14, 'L') + ".RRRRRR");
    EXPECT_EQ(Colour("--\r--"), "LL.LL");
    EXPECT_EQ(Colour("a - b -1"), "i.y.i.yn");
    EXPECT_EQ(Colour("x -- /* not a block\ry"), "i." + Rep(17, 'L') + ".i");
}

TEST_F(SqlHighlighterTest, RemLines)
{
    EXPECT_EQ(Colour("REMARK text\rbegin"), "MMMMMMMMMMM.PPPPP");
    EXPECT_EQ(Colour("rem\rRem x"), "MMM.MMMMM");
    // REMR is a PL/SQL word when a non-word character follows; otherwise REM starts a comment.
    EXPECT_EQ(Colour("REMR;"), "PPPPy");
    EXPECT_EQ(Colour("remr x"), "PPPP.i");
    EXPECT_EQ(Colour("REMRX y"), "MMMMMMM");
    EXPECT_EQ(Colour("x rem y\rz"), "i.MMMMM.i");
}

TEST_F(SqlHighlighterTest, BlockComments)
{
    EXPECT_EQ(Colour("a /* b */ c"), "i.BBBBBBB.i");
    EXPECT_EQ(Colour("/**/x"), "BBBBi");
    // Across lines, the line ends included.
    EXPECT_EQ(Colour("/* one\rtwo -- 'x'\r*/select"), Rep(20, 'B') + "RRRRRR");
    EXPECT_EQ(Colour("/*/ x */ y"), "BBBBBBBB.i");
    EXPECT_EQ(Colour("/* a * / b */"), "BBBBBBBBBBBBB");
    // Without its end it runs to the end of the text.
    EXPECT_EQ(Colour("x /* never closed\rselect 1\r"), "i." + Rep(25, 'B'));
    // A lone slash is a symbol.
    EXPECT_EQ(Colour("a/b*c"), "iyiyi");
}

TEST_F(SqlHighlighterTest, EditsAroundABlockCommentRecolourLikeAFreshPass)
{
    // Comment tokens are no restart points: a pass after an edit inside or at the end of a
    // multi-line comment must start before the comment and carry it on to its (new) end.
    auto stored = [](const TTextStore& store) {
        std::string out;
        for (TLineRecord* r = store.FirstLine(); r; r = store.Next(r)) {
            const std::uint8_t* a = r->Attributes();
            for (std::size_t i = 0; i < r->Length(); ++i) out += a ? Letter(a[i]) : '!';
        }
        return out;
    };
    auto edit = [](TTextStore& store, std::int64_t line) {
        HighlightPassOptions o;
        o.minLines = 3;
        return RescanFrom(store, *parser_, line, o);
    };
    std::string text = "select 1\r/* one\rtwo\rthree */\r";
    for (int i = 0; i < 40; ++i) text += "begin null; end;\r";
    TTextStore store;
    store.SetText(text);
    HighlightPassOptions all;
    all.all = true;
    ASSERT_TRUE(RescanFrom(store, *parser_, 0, all).ran);
    ASSERT_EQ(stored(store), Colour(store.Text()));

    // Remove the comment's end: everything after it becomes comment.
    const std::int64_t line3 = store.OffsetOf(store.FromLine(3).record);
    store.Delete(line3 + 6, line3 + 8);
    ASSERT_TRUE(edit(store, 3).ran);
    EXPECT_EQ(stored(store), Colour(store.Text()));
    EXPECT_EQ(stored(store).substr(store.Text().size() - 5), "BBBBB");

    // Put it back.
    store.Insert(line3 + 6, "*/");
    ASSERT_TRUE(edit(store, 3).ran);
    EXPECT_EQ(stored(store), Colour(store.Text()));
    EXPECT_EQ(stored(store).substr(store.Text().size() - 5), "PPPy.");

    // Type inside the comment, then open a new one in front of it.
    store.Insert(store.OffsetOf(store.FromLine(2).record) + 1, "-- 'x");
    ASSERT_TRUE(edit(store, 2).ran);
    EXPECT_EQ(stored(store), Colour(store.Text()));
    store.Insert(store.OffsetOf(store.FromLine(0).record) + 7, "/*");
    ASSERT_TRUE(edit(store, 0).ran);
    EXPECT_EQ(stored(store), Colour(store.Text()));
    EXPECT_EQ(stored(store).substr(0, 12), "RRRRRR.BBBBB");
}

TEST_F(SqlHighlighterTest, StringsAndNumbers)
{
    EXPECT_EQ(Colour("'it''s' x"), "sssssss.i");
    EXPECT_EQ(Colour("'' \"a\\\"b\" 'select'"), "ss.ssssss.ssssssss");
    // An open string ends before the line end.
    EXPECT_EQ(Colour("'abc\rselect"), "ssss.RRRRRR");
    EXPECT_EQ(Colour("12 1.5 2E10 1.5e-3 007"), "nn.nnn.nnnn.nnnnnn.nnn");
    // A point is a symbol first: ".5" is a symbol and a number; "12." a number and a symbol.
    EXPECT_EQ(Colour(".5 12."), "yn.nny");
    EXPECT_EQ(Colour("a.b"), "iyi");
}

TEST_F(SqlHighlighterTest, DirectivesAndSubstitutionVariables)
{
    EXPECT_EQ(Colour("#define ORA8\r#ifdef ORA8\rselect\r#endif"), "DDDDDDDDDDDD.DDDDDDDDDDD.RRRRRR.DDDDDD");
    EXPECT_EQ(Colour("x # y"), "i.DDD");
    EXPECT_EQ(Colour("&MAXLEN"), "VVVVVVV");
    EXPECT_EQ(Colour("(&a_1+&B)"), "yVVVVyVVy");
    // Without a name after it the ampersand is plain text.
    EXPECT_EQ(Colour("& x &1"), "..i..n");
}

TEST_F(SqlHighlighterTest, SymbolsAndPlainText)
{
    const std::string symbols = "!$%()*+,-./:;<=>?@[\\]^{}~";
    ASSERT_EQ(symbols.size(), 25u);
    for (char c : symbols) EXPECT_EQ(Colour(std::string("a") + c + "b"), "iyi") << "symbol " << c;
    // Characters that no word or rule claims.
    EXPECT_EQ(Colour("a|b`c\td \xE9"), "i.i.i.i..");
}

TEST_F(SqlHighlighterTest, UserKeywordTables)
{
    EXPECT_EQ(Colour("toad_plan_table Unknown"), "ttttttttttttttt.uuuuuuu");
    EXPECT_EQ(Colour("toad_plan_tables unknown_x"), "iiiiiiiiiiiiiiii.iiiiiiiii");
    // The data types of the first table are in the main table as well.
    EXPECT_EQ(Colour("smallint"), "TTTTTTTT");
}

// ---- settings

TEST_F(SqlHighlighterTest, LanguageSettings)
{
    const TSM_Settings& s = settings();
    EXPECT_EQ(s.languageName, "PL/SQL");
    EXPECT_EQ(s.options, 67099632u);
    EXPECT_EQ(s.wrapOverride, ">|:");
    EXPECT_EQ(s.marginWidth, 2);
    EXPECT_EQ(s.rightMargin, 80);
    EXPECT_EQ(s.wordWrapColumn, 0);
    EXPECT_EQ(s.gutterWidth, 34);
    EXPECT_EQ(s.indentStep, 1);
    EXPECT_EQ(s.marginColor, 16777215u);
    EXPECT_EQ(s.gutterColor, 0x8000000Fu);
    EXPECT_EQ(s.selectedTextColor, 16777215u);
    EXPECT_EQ(s.selectedTextBackground, 8388608u);
    EXPECT_EQ(s.defaultTabWidth, 4);
    for (int i = 0; i < TSM_Settings::kTabColumns; ++i) EXPECT_EQ(s.TabColumn(i), -1) << i;
    EXPECT_EQ(s.fontName, "Courier New");
    EXPECT_EQ(s.fontSize, 10);
    EXPECT_EQ(s.fontCharset, 0);
    EXPECT_EQ(s.gutterFont.name, "MS Sans Serif");
    EXPECT_EQ(s.gutterFont.size, 8);
    EXPECT_EQ(s.gutterFont.charset, 1);
    EXPECT_EQ(s.gutterFont.color, 0x80000008u);
    EXPECT_EQ(s.gutterFont.style, 0);
    EXPECT_FALSE(s.marginColorDefault);
    EXPECT_FALSE(s.gutterColorDefault);
    EXPECT_FALSE(s.selectedTextColorDefault);
    EXPECT_FALSE(s.selectedTextBackgroundDefault);
}

TEST_F(SqlHighlighterTest, EditableStylesInDialogOrder)
{
    const std::vector<NamedStyle> expected = {
        {"Reserved word", 14},   {"SQL Functions", 8}, {"Default Packages", 9}, {"Exceptions", 15},
        {"Comment", 1},          {"Directives", 24},   {"Proc. Variables", 26}, {"Identifier", 2},
        {"String", 3},           {"Number", 4},        {"Symbols", 5},          {"Datatypes", 18},
        {"Table Names", 22},     {"Sql Reserved", 6},  {"PLSql Reserved", 7},   {"Default Exceptions", 10},
        {"User Procedures", 23}, {"Default", 0},
    };
    for (std::size_t i = 0; i < expected.size(); ++i)
        EXPECT_EQ(settings().EditableStyle(static_cast<int>(i) + 1), expected[i]) << "entry " << i + 1;
    for (int i = static_cast<int>(expected.size()) + 1; i <= TSM_Settings::kEditableStyles; ++i)
        EXPECT_TRUE(settings().EditableStyle(i).name.empty()) << "entry " << i;
}

TEST_F(SqlHighlighterTest, StyleMapAndStyles)
{
    const std::uint8_t map[27] = {0,  1,  2,  3,  4,  5,  14, 14, 8,  9,  15, 15, 1, 1,
                                  14, 15, 16, 16, 18, 18, 18, 18, 22, 23, 24, 1,  26};
    for (int v = 0; v < 256; ++v) EXPECT_EQ(settings().StyleIndex(v), v < 27 ? map[v] : 0) << "token value " << v;

    constexpr TColor black = 0, green = 32768, red = 255, blue = 16711680, maroon = 128, olive = 32896,
                     purple = 8388736;
    constexpr std::uint8_t bold = 1, italic = 2, underline = 4;
    const std::map<int, std::pair<TColor, std::uint8_t>> styles = {
        {0, {black, 0}},     {1, {green, italic}}, {2, {black, 0}},        {3, {red, underline}},
        {4, {red, 0}},       {5, {black, 0}},      {8, {black, 0}},        {9, {blue, 0}},
        {14, {black, bold}}, {15, {red, 0}},       {16, {black, 0}},       {18, {maroon, 0}},
        {22, {olive, 0}},    {23, {olive, 0}},     {24, {purple, italic}}, {26, {red, 0}},
    };
    for (int v = 0; v < 256; ++v) {
        const StyleRecord& r = settings().Style(v);
        const auto it = styles.find(v);
        if (it == styles.end()) {
            EXPECT_FALSE(r.defined) << "style " << v;
            continue;
        }
        EXPECT_TRUE(r.defined) << "style " << v;
        EXPECT_EQ(r.foreground, it->second.first) << "style " << v;
        EXPECT_EQ(r.fontStyle, it->second.second) << "style " << v;
        EXPECT_EQ(r.background, 16777215u) << "style " << v;
        EXPECT_FALSE(r.foregroundDefault || r.backgroundDefault || r.hotSpot) << "style " << v;
    }
    // Every token value the scanner can return is painted with a defined style.
    for (int v : {0, 2, 3, 4, 5, 6, 7, 8, 9, 10, 12, 13, 19, 20, 22, 23, 24, 25, 26})
        EXPECT_TRUE(settings().Style(settings().StyleIndex(v)).defined) << "token value " << v;
}

TEST_F(SqlHighlighterTest, UserKeywordTableDefinitions)
{
    std::vector<KeywordTable> found;
    for (const auto& t : settings().KeywordTables())
        if (t) found.push_back(*t);
    ASSERT_EQ(found.size(), 3u);
    auto words = [](std::int32_t value, std::initializer_list<const char*> list) {
        std::vector<std::pair<std::string, std::int32_t>> out;
        for (const char* w : list) out.emplace_back(w, value);
        return out;
    };
    const std::vector<std::pair<TStateSet, std::vector<std::pair<std::string, std::int32_t>>>> expected = {
        {States({200}),
         words(19, {"FLOAT", "LONG", "INTEGER", "CHAR", "NUMBER", "RAW", "SMALLINT", "VARCHAR", "VARCHAR2", "DATE"})},
        {States({201}), words(22, {"TOAD_PLAN_TABLE"})},
        {States({202}), words(23, {"UNKNOWN"})},
    };
    for (std::size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(found[i].states, expected[i].first) << "table " << i;
        EXPECT_EQ(found[i].words, expected[i].second) << "table " << i;
        EXPECT_EQ(found[i].terminator, "[^a-zA-Z0-9_]") << "table " << i;
        EXPECT_FALSE(found[i].caseSensitive) << "table " << i;
    }
}

TEST_F(SqlHighlighterTest, AutoReplaceAndTemplates)
{
    const TAutoReplace& ar = settings().AutoReplace();
    EXPECT_EQ(ar.Triggers(), ";,:=[]\\n\\t\\s");
    EXPECT_EQ(ar.TriggerKeys().size(), 9u);
    const std::vector<std::pair<std::string, std::string>> expected = {
        {"(c)", "\xA9"}, {"(r)", "\xAE"}, {"(tm)", "\x99"}, {"ndf", "NO_DATA_FOUND"}, {"teh", "the"},
    };
    const std::vector<MacroEntry> entries = ar.Entries();
    ASSERT_EQ(entries.size(), expected.size());
    for (const auto& [from, to] : expected) {
        bool seen = false;
        for (const MacroEntry& e : entries)
            if (e.name == from) {
                seen = true;
                EXPECT_EQ(e.body, to) << from;
            }
        EXPECT_TRUE(seen) << from;
    }
    EXPECT_EQ(settings().Templates().Count(), 0);
    EXPECT_EQ(settings().Templates().HotKey(), 0x4000 | 'J');
}

TEST_F(SqlHighlighterTest, KeyAssignmentsAreTheEditorDefaults)
{
    // Same names and bindings, in the same order, as the editor's own default table.
    TMemoryStream mine, defaults;
    settings().Keys().SaveToStream(mine);
    DefaultKeyboardController().SaveToStream(defaults);
    EXPECT_EQ(mine.Data(), defaults.Data());
    EXPECT_EQ(settings().Keys().CommandName(17), "Indent selected block");
    EXPECT_EQ(settings().Keys().CommandNames().size(), 48u);
}

// ---- compiled tables

TEST_F(SqlHighlighterTest, StatesAndRestartPoints)
{
    const ParserTables& t = tables();
    EXPECT_EQ(t.startStates, States({0, 200, 201, 202, 203}));
    EXPECT_EQ(t.restartAnchors, States({0}));
    EXPECT_TRUE(t.boundStates.Empty());
    EXPECT_TRUE(t.noPerStateTables);
    EXPECT_TRUE(t.statesWithOwnTable.Empty());
    EXPECT_FALSE(t.usesCustomMatches);
    EXPECT_FALSE(t.caseSensitive);
    for (int v = 0; v < 256; ++v) EXPECT_EQ(t.contextState[v], t.startStates) << "token value " << v;

    const std::vector<int> used = {2, 3, 4, 5, 6, 7, 8, 9, 10, 12, 13, 19, 20, 24, 25, 26};
    for (int v = 0; v < 256; ++v) {
        const auto& info = t.tokenStateInfo[v];
        const bool expected = std::find(used.begin(), used.end(), v) != used.end();
        ASSERT_EQ(info.has_value(), expected) << "token value " << v;
        if (!info) continue;
        EXPECT_EQ(info->valid, States({0})) << v;
        EXPECT_TRUE(info->add.Empty() && info->remove.Empty()) << v;
        EXPECT_EQ(info->noChange, 1) << v;
        EXPECT_EQ(info->container, 0) << v;
        EXPECT_EQ(info->stack, 0) << v;
    }
}

TEST_F(SqlHighlighterTest, KeywordListsAndTheirEnds)
{
    const ParserTables& t = tables();
    std::map<int, int> counts;
    for (const TSyntaxKeywords::Word& w : t.keywords->Words()) {
        const int v = w.style.token;
        ++counts[v];
        EXPECT_EQ(w.style.states, States({0})) << w.text;
        const bool wordLike = v != tvSymbol && v != tvLineComment && v != tvBlockComment && v != tvDirective &&
                              v != tvRemLine && v != tvSubstitution;
        for (unsigned c = 0; c < 256; ++c) {
            const bool ends = w.style.terminator.IsEmpty() || w.style.terminator.Contains(static_cast<std::uint8_t>(c));
            if (wordLike) ASSERT_EQ(ends, !IsWordChar(c)) << w.text << " before character " << c;
            else ASSERT_TRUE(ends) << w.text << " before character " << c;
        }
    }
    const std::map<int, int> expected = {{5, 25}, {6, 107}, {7, 100}, {8, 85}, {9, 5},  {10, 18}, {12, 1},
                                         {13, 1}, {19, 12}, {20, 4},  {24, 1}, {25, 1}, {26, 1}};
    EXPECT_EQ(counts, expected);
}

TEST_F(SqlHighlighterTest, FirstCharacterRulesAndContinuations)
{
    const ParserTables& t = tables();
    for (unsigned c = 0; c < 256; ++c) {
        const TTokenRule* r = t.defaultTable.Rule(static_cast<std::uint8_t>(c));
        int matcher = -1, value = -1;
        if (c == '\'') matcher = kMatchStdPascalString, value = tvString;
        else if (c == '"') matcher = kMatchStdCString, value = tvString;
        else if (c == '.' || (c >= '0' && c <= '9')) matcher = kMatchStdNumberOrFp, value = tvNumber;
        else if (IsWordChar(c)) matcher = kMatchStdIdentifier, value = tvIdentifier;
        if (matcher < 0) {
            EXPECT_EQ(r, nullptr) << "character " << c;
            continue;
        }
        ASSERT_NE(r, nullptr) << "character " << c;
        EXPECT_EQ(r->first.hasHandler, 1) << c;
        EXPECT_EQ(r->first.custom, 0) << c;
        EXPECT_EQ(r->first.handler, matcher) << c;
        EXPECT_EQ(r->value, value) << c;
        EXPECT_EQ(r->valid, States({0})) << c;
    }

    for (int v = 0; v < 256; ++v) {
        const bool expected =
            v == tvLineComment || v == tvBlockComment || v == tvDirective || v == tvRemLine || v == tvSubstitution;
        EXPECT_EQ(t.continuation[v].has_value(), expected) << "token value " << v;
    }
    // Rest of the line: any character but CR, the CR looked at and left.
    for (int v : {tvLineComment, tvDirective, tvRemLine}) {
        const THandlerRule& h = *t.continuation[v];
        EXPECT_EQ(h.step.hasHandler, 0) << v;
        EXPECT_EQ(h.step.repeat, 1) << v;
        const TSM_CharGroup& step = t.Group(h.step.group);
        for (unsigned c = 0; c < 256; ++c) EXPECT_EQ(step.Contains(static_cast<std::uint8_t>(c)), c != '\r') << v;
        ASSERT_EQ(h.end.count, 1) << v;
        EXPECT_EQ(h.end.hasHandler, 0) << v;
        EXPECT_EQ(h.end.consume, 0) << v;
        const TSM_CharGroup& end = t.Group(h.end.groups[0]);
        for (unsigned c = 0; c < 256; ++c) EXPECT_EQ(end.Contains(static_cast<std::uint8_t>(c)), c == '\r') << v;
    }
    // Block comment: anything up to and including "*/".
    const THandlerRule& block = *t.continuation[tvBlockComment];
    EXPECT_EQ(block.step.repeat, 1);
    ASSERT_EQ(block.end.count, 2);
    EXPECT_EQ(block.end.consume, 1);
    for (unsigned c = 0; c < 256; ++c) {
        const auto ch = static_cast<std::uint8_t>(c);
        EXPECT_TRUE(t.Group(block.step.group).Contains(ch)) << c;
        EXPECT_EQ(t.Group(block.end.groups[0]).Contains(ch), c == '*') << c;
        EXPECT_EQ(t.Group(block.end.groups[1]).Contains(ch), c == '/') << c;
    }
    // Substitution variable: the identifier matcher.
    const THandlerRule& subst = *t.continuation[tvSubstitution];
    EXPECT_EQ(subst.step.hasHandler, 1);
    EXPECT_EQ(subst.step.custom, 0);
    EXPECT_EQ(subst.step.handler, kMatchStdIdentifier);
    EXPECT_FALSE(subst.end.Present());
}

}  // namespace
}  // namespace tarnwick
