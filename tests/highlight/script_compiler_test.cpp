#include <gtest/gtest.h>

#include <string>

#include "../temp_folder.h"
#include "highlight/rescan.h"
#include "highlight/script_compiler.h"
#include "test_highlighter.h"

namespace tarnwick {
namespace {

using test::Codes;
using test::States;

// The message of the compile error `text` raises, or "" when it compiles.
std::string CompileError(VOzuvavIdavParser& p, std::string_view text, const std::string& dir = {})
{
    try {
        CompileHighlighterText(p, text, dir);
    } catch (const ESYM_COMP_ERROR& e) {
        return e.what();
    }
    return "";
}

std::string CompileError(std::string_view text)
{
    VOzuvavIdavParser p;
    return CompileError(p, text);
}

std::string At(int line, int column, std::string_view message)
{
    return "** ERROR near line " + std::to_string(line) + ", Column " + std::to_string(column) + ": " +
           std::string(message);
}

// The tokens of `text` as the scanner delivers them (strings processed, numbers in decimal).
std::vector<std::string> Tokens(std::string_view text, const std::string& dir = {})
{
    TSYM_Compiler s(text, dir);
    std::vector<std::string> out;
    while (s.GetToken() != tkEOF) {
        if (s.Token() == tkString) out.push_back("'" + s.StringValue() + "'");
        else if (s.Token() == tkNumber) out.push_back(std::to_string(s.Number()));
        else out.push_back(TSYM_Compiler::TokenName(s.Token()));
    }
    return out;
}

using Strings = std::vector<std::string>;

// ---- word store

TEST(WordStoreTest, FindsWordsIgnoringCaseAndKeepsTheLastValue)
{
    TWordStore w;
    w.AddValue("Alpha", "1");
    w.AddValue("ALPHA", "2");
    w.AddToken("al", 7);
    ASSERT_NE(w.Find("alpha"), nullptr);
    EXPECT_EQ(w.Find("aLpHa")->value, "2");
    EXPECT_EQ(w.Find("AL")->token, 7);
    EXPECT_EQ(w.Find("alp"), nullptr);
    EXPECT_EQ(w.Find("alphas"), nullptr);
    EXPECT_EQ(w.Find(""), nullptr);
    EXPECT_EQ(w.WordCount(), 2u);
}

TEST(WordStoreTest, LongestMatchRespectsIdentifierBoundaries)
{
    TWordStore w;
    w.AddToken("%%handler", 1);
    w.AddToken("%%handlers", 2);
    w.AddToken("or", 3);
    w.AddToken("=", 4);
    const TWordStore::Node* n = nullptr;
    EXPECT_EQ(w.LongestMatch("%%HANDLERS x", n), 10u);
    EXPECT_EQ(n->token, 2);
    EXPECT_EQ(w.LongestMatch("%%handler(", n), 9u);
    EXPECT_EQ(n->token, 1);
    // "%%handlersx": neither entry ends on an identifier boundary.
    EXPECT_EQ(w.LongestMatch("%%handlersx", n), 0u);
    EXPECT_EQ(w.LongestMatch("order", n), 0u);
    EXPECT_EQ(w.LongestMatch("or(", n), 2u);
    // A sign may be followed by anything.
    EXPECT_EQ(w.LongestMatch("=a", n), 1u);
}

// ---- scanner

TEST(ScannerTest, ProcessedStrings)
{
    EXPECT_EQ(TSYM_Compiler::ProcessString("a\\nb"), "a\rb");
    EXPECT_EQ(TSYM_Compiler::ProcessString("\\r\\t\\s\\b\\e"), std::string("\n\t \b\x1b"));
    EXPECT_EQ(TSYM_Compiler::ProcessString("\\101\\x41\\x4a!"), "AAJ!");
    EXPECT_EQ(TSYM_Compiler::ProcessString("\\'\\\\\\q"), "'\\q");
    EXPECT_EQ(TSYM_Compiler::ProcessString("end\\"), "end\\");
}

TEST(ScannerTest, StringsKeepEscapesRawAndJoinLines)
{
    TSYM_Compiler s("'it\\'s' 'one\\\r\n    \\two' 'open", "");
    ASSERT_EQ(s.GetToken(), tkString);
    EXPECT_EQ(s.RawString(), "it\\'s");
    EXPECT_EQ(s.StringValue(), "it's");
    ASSERT_EQ(s.GetToken(), tkString);
    EXPECT_EQ(s.RawString(), "onetwo");
    ASSERT_EQ(s.GetToken(), tkString);  // a missing quote ends the string with the input
    EXPECT_EQ(s.RawString(), "open");
    EXPECT_EQ(s.GetToken(), tkEOF);
}

TEST(ScannerTest, CommentsSignsWordsAndNumbers)
{
    EXPECT_EQ(Tokens("/* a\r\n b */ %%Language NAME // x\r\n=(12)[,]+-?|* or 007"),
              (Strings{"%%language", "name", "=", "(", "12", ")", "[", ",", "]", "+", "-", "?", "|", "*", "or", "7"}));
    EXPECT_EQ(Tokens("%%handler %%handlers"), (Strings{"%%handler", "%%handler"}));
}

TEST(ScannerTest, PredefinedMacros)
{
    EXPECT_EQ(Tokens("__DEFAULT_OPTIONS clnavy F12 caGOTOBOOKMARK9 caSETBOOKMARK0 OEM_CHARSET fsStrikeout "
                     "__STD_C_STRING_SQ __OPT_SHOW_RMARGIN None"),
              (Strings{"67099632", "8388608", "123", "39", "20", "255", "3", "20", "32768", "0"}));
    // ver200 stands for itself: usable in #ifdef, not as a value.
    EXPECT_EQ(Tokens("#ifdef ver200\r\n1\r\n#endif"), Strings{"1"});
}

TEST(ScannerTest, Macros)
{
    EXPECT_EQ(Tokens("#define TWO 2  \r\n#define SUM (TWO + 1) // three\r\nSUM TWO"),
              (Strings{"(", "2", "+", "1", ")", "2"}));
    // A definition of a macro as its own name (any case) is not stored.
    EXPECT_EQ(CompileError("#define foo FOO\r\n%%language case = foo"), At(2, 19, "Identifier \"foo\" Unknown"));
    EXPECT_EQ(CompileError("#define A (B)\n#define B (1 + A)\n%%language case = A"),
              At(3, 19, "Recursive expansion of macro 'A'"));
    EXPECT_EQ(CompileError("#define X X1\n#define X1 X\n%%language case = X"),
              At(3, 19, "Recursive expansion of macro 'X'"));
    EXPECT_EQ(CompileError("#define 5 x"), At(1, 9, "Macro name expected"));
}

TEST(ScannerTest, RunawayMacroExpansionEndsWithAnError)
{
    // Each level doubles the text: 2^40 tokens if nothing stopped it.
    std::string script;
    for (int i = 0; i < 40; ++i)
        script += "#define M" + std::to_string(i) + " M" + std::to_string(i + 1) + " M" + std::to_string(i + 1) + "\n";
    script += "#define M40 1\n%%map M0";
    EXPECT_NE(CompileError(script).find("Script too large after macro and #include expansion"), std::string::npos);

    std::string chain;
    for (int i = 0; i < 400; ++i) chain += "#define N" + std::to_string(i) + " N" + std::to_string(i + 1) + "\n";
    chain += "#define N400 1\n%%map N0 N0";
    EXPECT_NE(CompileError(chain).find("Macro expansions nested too deeply"), std::string::npos);
}

TEST(ScannerTest, ConditionalSections)
{
    const char* script =
        "#define ON\n"
        "#ifdef OFF\n"
        "  1 unknown_words 'skipped' \n"
        "  #ifdef ON\n 2\n #else\n 3\n #endif\n"
        "  #define ALSO_OFF\n"
        "#else\n"
        "  4\n"
        "  #ifndef ON\n 5\n #else\n 6\n #endif\n"
        "#endif\n"
        "#ifdef ALSO_OFF\n 7\n #endif\n"
        "#ifndef ALSO_OFF\n 8\n #endif\n";
    EXPECT_EQ(Tokens(script), (Strings{"4", "6", "8"}));
    EXPECT_EQ(CompileError("%%map\n #endif"), At(2, 2, "#endif without #ifdef or #ifndef"));
    EXPECT_EQ(Tokens("#ifdef NOPE\n 'unterminated\n#endif\n1"), Strings{})
        << "a string in a skipped branch is read whole";
    EXPECT_EQ(CompileError("#else"), At(1, 1, "#else without #ifdef or #ifndef"));
    EXPECT_EQ(CompileError("#ifdef 1"), At(1, 8, "Macro name expected after #ifdef"));
    EXPECT_EQ(CompileError("#ifndef\n"), At(1, 8, "Macro name expected after #ifdef"));
    // An unknown directive leaves '#' to the tokenizer.
    EXPECT_EQ(CompileError("\n  #pragma"), At(2, 3, "Unknown character in input stream: #$23"));
}

TEST(ScannerTest, ErrorsGiveLineAndColumn)
{
    EXPECT_EQ(CompileError("%%language\r\n  name = 5"), At(2, 10, "String value expected"));
    EXPECT_EQ(CompileError("%%language\n\n name = 'x' @"), At(3, 13, "Unknown character in input stream: #$40"));
    EXPECT_EQ(CompileError("%%language\n\tname = 'x' \xa0 bogus"), At(2, 15, "Identifier \"bogus\" Unknown"));
    EXPECT_EQ(CompileError("%%map 1 99999999999"), At(1, 9, "Range error, value outwith 0 .. 4294967295"));
    EXPECT_EQ(CompileError(std::string("%%map 1 \0", 9)), At(1, 9, "Unknown character in input stream: #$00"));
    EXPECT_EQ(CompileError("name = 'x'"), At(1, 1, "Script syntax error"));
    EXPECT_EQ(CompileError("'a' 1"), At(1, 1, "Script syntax error"));
    EXPECT_EQ(CompileError("%%language name 'x'"), At(1, 17, "'=' expected"));
}

// ---- includes

TEST(IncludeTest, IncludesFilesRelativeToTheScript)
{
    testing::TempFolder dir;
    dir.Write("colours.inc", "#define MYRED 255\n%%map 3 4\n");
    dir.Write("main.txt", "#include <colours.inc>\n%%effects 3 [fsBold] MYRED clWhite\n");
    VOzuvavIdavParser p;
    p.Script = (dir / "main.txt").string();
    CompileHighlighterScript(p);
    EXPECT_EQ(p.Settings().StyleIndex(3), 4);
    EXPECT_EQ(p.Settings().Style(3).foreground, 255u);
    EXPECT_EQ(p.Settings().Style(3).fontStyle, fsBold);

    // A quoted name is taken as given.
    const std::string quoted = "#include \"" + (dir / "colours.inc").string() + "\"\n%%map 1 MYRED - 250";
    EXPECT_EQ(CompileError(p, quoted), "");
    EXPECT_EQ(p.Settings().StyleIndex(1), 5);
    EXPECT_EQ(p.Settings().StyleIndex(3), 4);
}

TEST(IncludeTest, IncludeErrors)
{
    testing::TempFolder dir;
    dir.Write("self.inc", "%%map 1 1\n#include <self.inc>\n");
    dir.Write("a.inc", "#include <b.inc>\n");
    dir.Write("b.inc", "\n  #include <a.inc>\n");
    dir.Write("bad.inc", "%%map\n 1 'x'");
    const std::string d = dir.Path().string();
    VOzuvavIdavParser p;
    EXPECT_EQ(CompileError(p, "#include <missing.txt>", d), At(1, 1, "Unable to open #include file <missing.txt>"));
    EXPECT_EQ(CompileError(p, "#include \"missing.txt", d), At(1, 22, "#include filename missing terminating \""));
    EXPECT_EQ(CompileError(p, "#include <x\n>", d), At(1, 12, "#include filename missing terminating >"));
    EXPECT_EQ(CompileError(p, "#include missing.txt", d), At(1, 10, "#include expects \"filename\" or <filename>"));
    EXPECT_EQ(CompileError(p, "#include <self.inc>", d), At(2, 1, "Recursive #include of file self.inc"));
    EXPECT_EQ(CompileError(p, "#include <a.inc>", d), At(2, 3, "Recursive #include of file a.inc"));
    // Errors inside an included file give that file's line.
    EXPECT_EQ(CompileError(p, "\n\n#include <bad.inc>", d), At(2, 4, "Expression expected"));
    // Includes in a skipped branch are not read.
    EXPECT_EQ(CompileError(p, "#ifdef NOPE\n#include <missing.txt>\n#endif\n", d), "");
}

TEST(IncludeTest, DeepIncludeChainsEndWithAnError)
{
    testing::TempFolder dir;
    for (int i = 0; i < 40; ++i)
        dir.Write("f" + std::to_string(i) + ".inc", "#include <f" + std::to_string(i + 1) + ".inc>\n");
    dir.Write("f40.inc", "");
    VOzuvavIdavParser p;
    EXPECT_NE(CompileError(p, "#include <f0.inc>", dir.Path().string()).find("#include files nested too deeply"),
              std::string::npos);
}

// ---- %%language

TEST(LanguageSectionTest, SettingsAndStates)
{
    VOzuvavIdavParser p;
    ASSERT_EQ(
        CompileError(p,
                     "%%language\n"
                     " name = 'A language whose name is longer than thirty-five characters'\n"
                     " exampletext = 'a\\nb' wrapoverride = '>|' fontname = 'Mono' GutterFontName = 'Sans'\n"
                     " case = __sensitive options = __OPT_WORDWRAP or __OPT_LINE_NUMBERS\n"
                     " wordwrapcolumn = 72 gutter = _default_gutter + 6 rightmargin = 100 marginwidth = 3\n"
                     " fontsize = 11 tabdefault = 8 GutterFontSize = 7 GutterFontColor = clBlue\n"
                     " indentstep = 20 fontcharset = RUSSIAN_CHARSET\n"
                     " seltextcolor = [*] clWhite seltextback = clNavy guttercolor = [] clSilver margincolor = [*] 5\n"
                     " tabcolumns = '5 9;13'\n"
                     " GutterFontStyle = [fsBold, fsUnderline, 7]\n"
                     " anchor = [] boundstates = 3 startstate = 5\n"),
        "");
    const TSM_Settings& s = p.Settings();
    EXPECT_EQ(s.languageName, "A language whose name is longer tha");
    EXPECT_EQ(s.languageName.size(), 35u);
    EXPECT_EQ(s.exampleText, "a\rb");
    EXPECT_EQ(s.wrapOverride, ">|");
    EXPECT_EQ(s.fontName, "Mono");
    EXPECT_EQ(s.gutterFont.name, "Sans");
    EXPECT_TRUE(p.Tables().caseSensitive);
    EXPECT_EQ(s.options, 1025u);
    EXPECT_EQ(s.wordWrapColumn, 72);
    EXPECT_EQ(s.gutterWidth, 40);
    EXPECT_EQ(s.rightMargin, 100);
    EXPECT_EQ(s.marginWidth, 3);
    EXPECT_EQ(s.fontSize, 11);
    EXPECT_EQ(s.defaultTabWidth, 8);
    EXPECT_EQ(s.gutterFont.size, 7);
    EXPECT_EQ(s.gutterFont.color, 16711680u);
    EXPECT_EQ(s.indentStep, 20);
    EXPECT_EQ(s.fontCharset, 204);
    EXPECT_EQ(s.selectedTextColor, 16777215u);
    EXPECT_TRUE(s.selectedTextColorDefault);
    EXPECT_EQ(s.selectedTextBackground, 8388608u);
    EXPECT_FALSE(s.selectedTextBackgroundDefault);
    EXPECT_EQ(s.gutterColor, 12632256u);
    EXPECT_FALSE(s.gutterColorDefault);
    EXPECT_TRUE(s.marginColorDefault);
    EXPECT_EQ(s.marginColor, 5u);
    EXPECT_EQ(s.TabColumn(0), 4);
    EXPECT_EQ(s.TabColumn(1), 8);
    EXPECT_EQ(s.TabColumn(2), 12);
    EXPECT_EQ(s.TabColumn(3), -1);
    EXPECT_EQ(s.gutterFont.style, fsBold | fsUnderline);
    EXPECT_EQ(p.Tables().restartAnchors, States({0}));
    EXPECT_EQ(p.Tables().boundStates, States({3}));
    EXPECT_EQ(p.Tables().startStates, States({0, 5}));
    // Every ContextState entry left empty gets the start states.
    EXPECT_EQ(p.Tables().contextState[9], States({0, 5}));

    ASSERT_EQ(CompileError(p, "%%language startstate = [5] anchor = [1, 2 3]"), "");
    EXPECT_EQ(p.Tables().startStates, States({5}));
    EXPECT_EQ(p.Tables().restartAnchors, States({1, 2, 3}));
    EXPECT_EQ(p.Tables().boundStates, States({}));
}

TEST(LanguageSectionTest, EditableStylesAndContextStates)
{
    VOzuvavIdavParser p;
    ASSERT_EQ(CompileError(p,
                           "%%language editablestyles ('Comment', 1), ('A name longer than twenty-five', 2)\n"
                           "  contextstates = (1 2 [4 5]), (3)\n"
                           "%%language editablestyles = ('Third', 255)"),
              "");
    const TSM_Settings& s = p.Settings();
    EXPECT_EQ(s.EditableStyle(1).name, "Comment");
    EXPECT_EQ(s.EditableStyle(1).token, 1);
    EXPECT_EQ(s.EditableStyle(2).name, "A name longer than twenty");
    EXPECT_EQ(s.EditableStyle(3).name, "Third");
    EXPECT_EQ(s.EditableStyle(3).token, 255);
    EXPECT_EQ(p.Tables().contextState[1], States({4, 5}));
    EXPECT_EQ(p.Tables().contextState[2], States({4, 5}));
    EXPECT_EQ(p.Tables().contextState[3], States({0})) << "an empty list gives the start states";

    std::string styles = "%%language editablestyles ('s', 0)";
    for (int i = 1; i < 50; ++i) styles += ", ('s', " + std::to_string(i) + ")";
    EXPECT_EQ(CompileError(styles), "");
    EXPECT_EQ(CompileError(styles + ", ('s', 50)"),
              At(1, static_cast<int>(styles.size()) + 12, "Too many editable styles"));
    EXPECT_EQ(CompileError("%%language editablestyles ('x', 256)"), At(1, 36, "Value must be 0..255"));
    EXPECT_EQ(CompileError("%%language editablestyles ('x' 1)"), At(1, 32, "',' expected"));
    EXPECT_EQ(CompileError("%%language editablestyles 'x'"), At(1, 27, "'(' expected"));
    EXPECT_EQ(CompileError("%%language contextstates = (1 [2]), (3 1 [2])"),
              At(1, 46, "Token value 1 re-specified in ContextState"));
}

TEST(LanguageSectionTest, ValueErrors)
{
    EXPECT_EQ(CompileError("%%language indentstep = 21"), At(1, 27, "Range error, value outwith 0 .. 20"));
    EXPECT_EQ(CompileError("%%language fontcharset = 256"), At(1, 29, "Range error, value outwith 0 .. 255"));
    EXPECT_EQ(CompileError("%%language startstate = 1 - 2"), At(1, 30, "Range error, value outwith 0 .. 255"));
    EXPECT_EQ(CompileError("%%language fontsize = )"), At(1, 23, "Expression expected"));
    EXPECT_EQ(CompileError("%%language fontsize = (1 + 2"), At(1, 29, "Expression expected"));
    EXPECT_EQ(CompileError("%%language anchor = [1 2"), At(1, 25, "Expression expected"));
    EXPECT_EQ(CompileError("%%language anchor = (1) + 2 or 8 - 1"), "");
    EXPECT_EQ(CompileError("%%language GutterFontStyle [fsBold 'x']"), At(1, 36, "Bad font style specifier"));
    EXPECT_EQ(CompileError("%%language GutterFontStyle fsBold"), At(1, 28, "Bad font style specifier"));
    EXPECT_EQ(CompileError("%%language tabcolumns = '5 5'"), At(1, 30, "Tab columns must be in order and unique"));
    EXPECT_EQ(CompileError("%%language tabcolumns = '1'"), At(1, 28, "Tab column must be > 1"));
    EXPECT_EQ(CompileError("%%language tabcolumns = '4,8'"), At(1, 30, "Tab stop column value expected"));
    std::string many = "%%language tabcolumns = '";
    for (int i = 2; i <= 34; ++i) many += std::to_string(i) + " ";
    EXPECT_EQ(CompileError(many + "'"), At(1, static_cast<int>(many.size()) + 2, "Too many tab stops - maximum of 32"));
    // Deep nesting ends with an error, not a stack overflow.
    EXPECT_EQ(CompileError("%%language fontsize = " + std::string(5000, '(')).find("Expression nested too deeply") !=
                  std::string::npos,
              true);
}

// ---- rules and colouring

const char* kMiniScript = R"(
%%language
  name = 'Mini'
  case = __insensitive
%%words
  'select' '[^a-zA-Z0-9_]' 1
  'FROM'   '[^a-zA-Z0-9_]' 1
  '--'     '[^]'           5
  '/*'     '[^]'           3
  '{'      '[^]'           6
  '}'      '[^]'           8 [2]
  'x'      '[^a-z]'        7 [2]
%%handlers
  5 '[^\n]' ? '\n' 0          // the rest of the line; the line end is left alone
  3 '[\0-\377]' ? '*/' 1      // up to and including */
%%tokens
  2 '\'' '[^\'\n]' ? '\'' 1   // 'strings'
  4 __STD_NUMBER
  9 '[a-z_]' '[a-z0-9_]' ? '[^a-z0-9_]' 0
  ? 2 ( 10 '[0-9]' )
%%states
  6 ( + [2] - [0] )
  8 ( + 0 - 2 )               // adds 0, removes 2
%%map 1 1 2 2
)";

TEST(CompiledRulesTest, TablesOfASmallScript)
{
    VOzuvavIdavParser p;
    ASSERT_EQ(CompileError(p, kMiniScript), "");
    const ParserTables& t = p.Tables();
    EXPECT_EQ(p.Settings().languageName, "Mini");
    EXPECT_EQ(t.keywords->Words().size(), 7u);
    EXPECT_FALSE(t.keywords->CaseSensitive());
    ASSERT_TRUE(t.continuation[5]);
    EXPECT_EQ(t.continuation[5]->step.repeat, 1);
    EXPECT_EQ(t.continuation[5]->end.count, 1);
    EXPECT_EQ(t.continuation[5]->end.consume, 0);
    ASSERT_TRUE(t.continuation[3]);
    EXPECT_EQ(t.continuation[3]->end.count, 2);
    EXPECT_EQ(t.continuation[3]->end.consume, 1);
    EXPECT_TRUE(t.Group(t.continuation[3]->end.groups[1]).Contains('/'));

    const TTokenRule* num = t.defaultTable.Rule('7');
    ASSERT_NE(num, nullptr);
    EXPECT_EQ(num->first.hasHandler, 1);
    EXPECT_EQ(num->first.handler, kMatchStdNumber);
    EXPECT_EQ(num->valid, States({0}));
    EXPECT_EQ(t.defaultTable.Rule('a')->value, 9);
    EXPECT_EQ(t.defaultTable.Rule('\'')->body.repeat, 1);
    EXPECT_EQ(t.defaultTable.Rule('A'), nullptr);
    EXPECT_EQ(t.statesWithOwnTable, States({2}));
    EXPECT_FALSE(t.noPerStateTables);
    ASSERT_NE(t.stateTables[2], nullptr);
    EXPECT_EQ(t.stateTables[2]->Rule('3')->valid, States({2}));

    ASSERT_TRUE(t.tokenStateInfo[6]);
    EXPECT_EQ(t.tokenStateInfo[6]->add, States({2}));
    EXPECT_EQ(t.tokenStateInfo[6]->remove, States({0}));
    EXPECT_EQ(t.tokenStateInfo[6]->noChange, 0);
    EXPECT_EQ(t.tokenStateInfo[8]->valid, States({2}));
    EXPECT_EQ(t.tokenStateInfo[1]->noChange, 1);
    EXPECT_EQ(t.tokenStateInfo[10]->valid, States({2}));
    EXPECT_EQ(p.Settings().StyleIndex(2), 2);
}

TEST(CompiledRulesTest, ColoursText)
{
    VOzuvavIdavParser p;
    ASSERT_EQ(CompileError(p, kMiniScript), "");
    const HighlightedText h = HighlightText(p, "SELECT ab from 'it' 42 -- note\n{x 7 y} /* a\nb */z");
    EXPECT_EQ(h.text, "SELECT ab from 'it' 42 -- note\r{x 7 y} /* a\rb */z");
    EXPECT_EQ(Codes(h.values),
              "1111110990111102222044055555550"  // the line end is not part of the comment
              "670a0080"
              "3333"
              "3"  // x and 7 only inside { }
              "3333"
              "9");
}

TEST(CompiledRulesTest, RuleErrors)
{
    // Without a state list the second entry would read as the body and end of the first.
    EXPECT_EQ(CompileError("%%tokens 1 '[a-z]' [0] 2 '[m-p]'"), At(1, 33, "Ambigious start set in %%token table"));
    EXPECT_EQ(CompileError("%%tokens 1 '[a-z]' 2 '[m-p]' 0"), "");
    EXPECT_EQ(CompileError("%%tokens 1 __STD_IDENTIFIER 2 '_'"), At(1, 34, "Ambigious start set in %%token table"));
    EXPECT_EQ(CompileError("%%tokens ? 3 ( 1 '[a-z]' ) ? 3 ( 2 'q' )"),
              At(1, 40, "Ambigious start set in %%token table"));
    EXPECT_EQ(CompileError("%%tokens ? 3 ( 1 '[a-z]' ) 2 'q'"), "") << "separate tables";
    EXPECT_EQ(CompileError("%%tokens 1 21"), At(1, 14, "Script syntax error"));
    EXPECT_EQ(CompileError("%%tokens 1 9"), At(1, 13, "Script syntax error"));
    EXPECT_EQ(CompileError("%%tokens 1 'ab'"), At(1, 12, "Single character specifier expected"));
    EXPECT_EQ(CompileError("%%tokens 1 ''"), At(1, 12, "Character specification expected"));
    EXPECT_EQ(CompileError("%%tokens 1 'z-a'"), At(1, 12, "Characters not in correct order for range specifier"));
    EXPECT_EQ(CompileError("%%tokens 1 'a' 'b' 'abcde' 1"), At(1, 20, "Maximum of 4 character specifier allowed"));
    EXPECT_EQ(CompileError("%%tokens 1 'a' 'b' 'abcd' 1"), "");
    EXPECT_EQ(CompileError("%%tokens 1 'a' 'b' ? 1"), At(1, 23, "Expression expected"));
    EXPECT_EQ(CompileError("%%tokens 1 'a' 'b' ? ]"), At(1, 22, "Script syntax error"));
    EXPECT_EQ(CompileError("%%tokens ? 1 ( 2 'a' "), At(1, 22, "')' expected"));
    EXPECT_EQ(CompileError("%%words 'if' 'a' 1 'IF' '[^a-z]' 2"), At(1, 35, "Duplicate entry in %%word table"));
    EXPECT_EQ(CompileError("%%language case = 1 %%words 'if' 'a' 1 'IF' '[^a-z]' 2"), "");
    EXPECT_EQ(CompileError("%%words 'if' 'a' 1 'if' 'b' 2"), At(1, 30, "Duplicate entry in %%word table"));
    EXPECT_EQ(CompileError("%%words 'if' 'a' 1 'if' 'b' 2 [1]"), "") << "different states";
    EXPECT_EQ(CompileError("%%words 'if' 1"), At(1, 14, "String value expected"));
    EXPECT_EQ(CompileError("%%handlers 1 'a' 1 'b'"), At(1, 20, "Duplicate entry in %%handler table"));
    EXPECT_EQ(CompileError("%%handlers 1 ]"), At(1, 14, "Script syntax error"));
    EXPECT_EQ(CompileError("%%effects 0 1 2 0 1 2 3 1 2 3 1 2"), At(1, 31, "Duplicate %%effect entry"));
    EXPECT_EQ(CompileError("%%states 1 [2]"), At(1, 12, "'(' expected"));
    EXPECT_EQ(CompileError("%%states 1 ( + 2"), At(1, 17, "')' expected"));
    EXPECT_EQ(CompileError("%%states 1 ( + 256 )"), At(1, 20, "Range error, value outwith 0 .. 255"));
}

TEST(CompiledRulesTest, HandlersTokensWithMatchersAndCustomParsers)
{
    VOzuvavIdavParser p;
    ASSERT_EQ(CompileError(p,
                           "%%words '&' '[^]' 26 '0x' '[^]' 11\n"
                           "%%handlers 26 __STD_IDENTIFIER 11 match(7)\n"
                           "%%tokens 3 '\"' match(12) [0 1] 4 '#' _ORIGINAL_CHAR 2 1 5 '@' 'a' match(3) 0"),
              "");
    const ParserTables& t = p.Tables();
    EXPECT_TRUE(t.usesCustomMatches);
    EXPECT_EQ(t.continuation[26]->step.handler, kMatchStdIdentifier);
    EXPECT_EQ(t.continuation[26]->step.custom, 0);
    EXPECT_FALSE(t.continuation[26]->end.Present());
    EXPECT_EQ(t.continuation[11]->step.custom, 1);
    EXPECT_EQ(t.continuation[11]->step.handler, 7);
    const TTokenRule* q = t.defaultTable.Rule('"');
    ASSERT_NE(q, nullptr);
    EXPECT_EQ(q->body.custom, 1);
    EXPECT_EQ(q->body.handler, 12);
    EXPECT_EQ(q->valid, States({0, 1}));
    const TTokenRule* h = t.defaultTable.Rule('#');
    EXPECT_EQ(h->body.handler, kMatchOriginalChar);
    EXPECT_EQ(h->end.hasHandler, 1);
    EXPECT_EQ(h->end.handler, 2);
    EXPECT_EQ(h->end.consume, 1);
    const TTokenRule* at = t.defaultTable.Rule('@');
    EXPECT_EQ(at->end.custom, 1);
    EXPECT_EQ(at->end.handler, 3);

    p.OnCustomParse = [](VOzuvavIdavParser&, int, TEdStream&, int&, int&) { return false; };
    const HighlightedText hl = HighlightText(p, "&abc+1");
    EXPECT_EQ(Codes(hl.values), "qqqq00");
}

TEST(CompiledRulesTest, StatesContainersMapAndEffects)
{
    VOzuvavIdavParser p;
    ASSERT_EQ(CompileError(p,
                           "%%states 1 push ( + [3 4] - 0 ) 2 ( - [1] ) pop 3 pop ( ) push 4 ( + 5 + (3 + 3) )\n"
                           "%%containers 7 ( + 8 - [0] )\n"
                           "%%map 7 12 200 3\n"
                           "%%effects 7 [fsItalic, fsStrikeout, 9] clRed * clBlue 'HotSpot'\n"
                           "          0 [] 1 2 *\n"),
              "");
    const ParserTables& t = p.Tables();
    EXPECT_EQ(t.tokenStateInfo[1]->stack, kStackPushBefore);
    EXPECT_EQ(t.tokenStateInfo[1]->add, States({3, 4}));
    EXPECT_EQ(t.tokenStateInfo[1]->remove, States({0}));
    EXPECT_EQ(t.tokenStateInfo[1]->valid, States({0}));
    EXPECT_EQ(t.tokenStateInfo[2]->stack, kStackPopAfter);
    EXPECT_TRUE(t.tokenStateInfo[2]->remove.Empty()) << "pop after empties the sets";
    EXPECT_EQ(t.tokenStateInfo[2]->noChange, 1);
    EXPECT_EQ(t.tokenStateInfo[3]->stack, kStackPushAfter) << "the last push/pop is kept";
    EXPECT_EQ(t.tokenStateInfo[4]->add, States({5, 6}));
    EXPECT_EQ(t.tokenStateInfo[7]->container, 1);
    EXPECT_EQ(t.tokenStateInfo[7]->add, States({8}));
    EXPECT_EQ(p.Settings().StyleIndex(7), 12);
    EXPECT_EQ(p.Settings().StyleIndex(200), 3);
    const StyleRecord& s7 = p.Settings().Style(7);
    EXPECT_TRUE(s7.defined);
    EXPECT_EQ(s7.fontStyle, fsItalic | fsStrikeOut);
    EXPECT_EQ(s7.foreground, 255u);
    EXPECT_TRUE(s7.foregroundDefault);
    EXPECT_EQ(s7.background, 16711680u);
    EXPECT_FALSE(s7.backgroundDefault);
    EXPECT_TRUE(s7.hotSpot);
    const StyleRecord& s0 = p.Settings().Style(0);
    EXPECT_EQ(s0.foreground, 1u);
    EXPECT_TRUE(s0.backgroundDefault);
    EXPECT_FALSE(s0.hotSpot);
    EXPECT_EQ(CompileError("%%effects 1 0 0 'x'"), At(1, 17, "Script syntax error")) << "a string not consumed";
}

// ---- keys, auto-replace, templates, keyword tables

std::pair<std::uint16_t, std::uint16_t> Keys(int first, int second)
{
    return {static_cast<std::uint16_t>(first), static_cast<std::uint16_t>(second)};
}

TEST(OptionSectionsTest, KeysAutoReplaceTemplatesAndKeywordTables)
{
    VOzuvavIdavParser p;
    ASSERT_EQ(CompileError(p,
                           "%%keys\n"
                           "  caLEFT ( LEFT | [ctrl, shift] 'b' ) 'Left'\n"
                           "  caBLOCKIND ( [ctrl] 'k', 'i' )\n"
                           "  caUNDO ( None ) 'Undo it'\n"
                           "%%autoreplace 'teh' = 'the' actionkeys = ';\\{Space}' '(c)' = '\\251'\n"
                           "%%templates 'beg' ('Begin block') = 'BEGIN\\n  |\\nEND' hotkey = ([alt] F2) 'x' = 'y'\n"
                           "%%kwTables forstate [200 201] endswith '[^a-z]' ( 19 is 'FLOAT', 'long' 22 is 'T' )\n"
                           "           forstate [5] endswith '' ( 1 is 'q\\n' )\n"),
              "");
    TKeyboardActionContoller& keys = p.Settings().Keys();
    EXPECT_EQ(keys.CommandName(0), "Left");
    EXPECT_EQ(keys.CommandName(41), "Undo it");
    EXPECT_EQ(keys.CommandName(5), "") << "names are cleared first";
    EXPECT_EQ(keys.FirstBinding(0), Keys(vkLeft, 0));
    EXPECT_EQ(keys.NextBinding(0), Keys(scCtrl | scShift | 'B', 0));
    EXPECT_EQ(keys.FirstBinding(17), Keys(scCtrl | 'K', 'I'));
    EXPECT_EQ(keys.FirstBinding(41), Keys(0, 0));
    EXPECT_EQ(keys.FirstBinding(1), Keys(0, 0)) << "bindings cleared first";

    TAutoReplace& ar = p.Settings().AutoReplace();
    EXPECT_EQ(ar.Triggers(), ";\\{Space}");
    std::string body;
    ASSERT_EQ(ar.Count(), 2);
    ASSERT_TRUE(ar.Find("(c)", body));
    EXPECT_EQ(body, "\xa9");
    ASSERT_TRUE(ar.Find("teh", body));
    EXPECT_EQ(body, "the");

    TCodeTemplates& tp = p.Settings().Templates();
    ASSERT_TRUE(tp.Find("beg", body));
    EXPECT_EQ(body, "BEGIN\r  |\rEND");
    EXPECT_EQ(tp.HotKey(), scAlt | 113);

    const auto& tables = p.Settings().KeywordTables();
    ASSERT_TRUE(tables[0]);
    EXPECT_EQ(tables[0]->states, States({200, 201}));
    EXPECT_EQ(tables[0]->terminator, "[^a-z]");
    EXPECT_FALSE(tables[0]->caseSensitive);
    ASSERT_EQ(tables[0]->words.size(), 3u);
    EXPECT_EQ(tables[0]->words[1], (std::pair<std::string, std::int32_t>("long", 19)));
    EXPECT_EQ(tables[0]->words[2], (std::pair<std::string, std::int32_t>("T", 22)));
    ASSERT_TRUE(tables[1]);
    EXPECT_EQ(tables[1]->words[0].first, "q\\n") << "keyword-table words are raw";
}

TEST(OptionSectionsTest, Errors)
{
    EXPECT_EQ(CompileError("%%keys 1 ( 'a' ) ''"), At(1, 18, "Key function name cannot be blank"));
    EXPECT_EQ(CompileError("%%keys 1 ( [ctrl] )"), At(1, 19, "Key specification required"));
    EXPECT_EQ(CompileError("%%keys 1 ( 'ab' )"), At(1, 12, "Single character specifier expected"));
    EXPECT_EQ(CompileError("%%keys 1 ( [ctrl 'a' )"), At(1, 18, "']' expected"));
    EXPECT_EQ(CompileError("%%keys 1 ( 'a' ) 2 ( 'a' )"),
              At(1, 26, "Duplicate key sequence definition for\r\n\"command 2\" and \"command 1\""));
    EXPECT_EQ(CompileError("%%autoreplace actionkeys = '\\{Tab'"), At(1, 28, "Bad key specifier"));
    EXPECT_EQ(CompileError("%%autoreplace 'a' 'b'"), At(1, 19, "'=' expected"));
    EXPECT_EQ(CompileError("%%templates 'a' ( 'b' = 'c'"), At(1, 23, "')' expected"));
    EXPECT_EQ(CompileError("%%kwTables forstate [1] ( 1 is 'a' )"), At(1, 25, "Script syntax error"));
    EXPECT_EQ(CompileError("%%kwTables forstate [1] endswith 'ab' ( 1 is 'a' )"),
              At(1, 34, "Single character specifier expected"));
    EXPECT_EQ(CompileError("%%kwTables forstate [1] endswith 'a' ( 1 'a' )"), At(1, 42, "Script syntax error"));
    EXPECT_EQ(CompileError("%%kwTables forstate [1 2] endswith 'a' (1 is 'a') forstate [2] endswith 'a' (1 is 'b')"),
              At(1, 87, "Ambigious key table state definition"));
    std::string many = "%%kwTables";
    for (int i = 1; i <= 21; ++i) many += " forstate [" + std::to_string(i) + "] endswith '' (1 is 'a')";
    EXPECT_NE(CompileError(many).find("Too many keyword tables declared"), std::string::npos);
}

TEST(CompileTest, RecompilingStartsFromAResetComponent)
{
    VOzuvavIdavParser p;
    ASSERT_EQ(CompileError(p, "%%words 'a' 'b' 1 %%language name = 'One'"), "");
    EXPECT_EQ(CompileError(p, "%%language name = 'Two' %%map 1 300"), At(1, 36, "Range error, value outwith 0 .. 255"));
    EXPECT_EQ(p.Settings().languageName, "Two") << "partly built";
    EXPECT_TRUE(p.Tables().keywords->Words().empty());
    ASSERT_EQ(CompileError(p, ""), "");
    EXPECT_EQ(p.Settings().languageName, "<Custom language>");
    EXPECT_EQ(CompileError("// only a comment\r\n/* and another"), "");
}

TEST(CompileTest, MissingScriptFile)
{
    testing::TempFolder dir;
    VOzuvavIdavParser p;
    EXPECT_THROW(CompileHighlighterScript(p, (dir / "none.txt").string()), EFOpenError);
}

}  // namespace
}  // namespace tarnwick
