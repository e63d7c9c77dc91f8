// End-to-end tests of the tarnwick-hl command-line tool, run as a child process.

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "highlight/builtin_sql.h"
#include "highlight/rescan.h"
#include "run_tool.h"
#include "temp_folder.h"

namespace {

namespace fs = std::filesystem;
using tarnwick::testing::RunTool;
using tarnwick::testing::ToolResult;

class HlTool : public ::testing::Test {
protected:
    tarnwick::testing::TempFolder dir_;

    ToolResult Run(std::vector<std::string> args, std::string input = {})
    {
        return RunTool({std::move(args), std::move(input), dir_.path(), dir_.path(), false, TARNWICK_HL_EXE});
    }
    fs::path Write(const std::string& name, const std::string& bytes)
    {
        const fs::path file = dir_.path() / name;
        std::ofstream(file, std::ios::binary) << bytes;
        return file;
    }
};

// The runs printed by `tokens`, expanded back to one value per character.
std::vector<int> Expand(const std::string& out)
{
    std::vector<int> values;
    std::istringstream lines(out);
    long long offset = 0, length = 0;
    int value = 0;
    while (lines >> offset >> length >> value) {
        EXPECT_EQ(offset, static_cast<long long>(values.size())) << "runs must be contiguous";
        values.insert(values.end(), static_cast<std::size_t>(length), value);
    }
    return values;
}

const char* const kTinyScript =
    "%%language\n"
    "name = 'Tiny'\n"
    "%%words\n"
    "'begin' '[^a-z]' 3\n"
    "'end' '[^a-z]' 3\n"
    "%%tokens\n"
    "4 __STD_NUMBER\n"
    "%%effects\n"
    "3 [fsBold] clBlue clWhite\n";

}  // namespace

TEST_F(HlTool, CompileReportsASummaryOrTheCompilerError)
{
    const ToolResult ok = Run({"compile", Write("tiny.txt", kTinyScript).string()});
    EXPECT_EQ(ok.status, 0) << ok.err;
    EXPECT_NE(ok.out.find("language \"Tiny\", 2 keywords"), std::string::npos) << ok.out;

    const ToolResult bad = Run({"compile", Write("bad.txt", "%%language\nname = 'x'\n  oops\n").string()});
    EXPECT_EQ(bad.status, 1);
    EXPECT_EQ(bad.err.rfind("** ERROR near line 3, Column 3: ", 0), 0u) << bad.err;

    EXPECT_EQ(Run({"compile", (dir_.path() / "missing.txt").string()}).status, 2);
    EXPECT_EQ(Run({"compile"}).status, 2);
    EXPECT_EQ(Run({"frobnicate"}).status, 2);
}

TEST_F(HlTool, TokensWithAScriptCountLineBreaksAsOnePosition)
{
    const std::string script = Write("tiny.txt", kTinyScript).string();
    // CR LF, LF and CR each become one CR position.
    const ToolResult r = Run({"tokens", "--script", script}, "begin 42\r\nend\nx\r7");
    ASSERT_EQ(r.status, 0) << r.err;
    const std::vector<int> want = {3, 3, 3, 3, 3, 0, 4, 4, 0, 3, 3, 3, 0, 0, 0, 4};
    EXPECT_EQ(Expand(r.out), want);
    EXPECT_EQ(r.out.substr(0, 14), "0\t5\t3\n5\t1\t0\n6\t");
    // A file argument gives the same as standard input.
    EXPECT_EQ(Run({"tokens", "--script", script, Write("t.sql", "begin 42\r\nend\nx\r7").string()}).out, r.out);
    EXPECT_EQ(Run({"tokens", "--script", script}).out, "");  // empty text: no runs
}

TEST_F(HlTool, TokensWithTheBuiltInHighlighterMatchTheLibrary)
{
    const std::string text = "select 'it''s' from dual; -- done\n/* two\nlines */ begin null; end;\n";
    const ToolResult r = Run({"tokens"}, text);
    ASSERT_EQ(r.status, 0) << r.err;
    tarnwick::VOzuvavIdavParser parser;
    tarnwick::LoadBuiltInSqlHighlighter(parser);
    const auto expected = tarnwick::HighlightText(parser, text);
    const std::vector<int> want(expected.values.begin(), expected.values.end());
    EXPECT_EQ(Expand(r.out), want);
    // Keywords, the string and both comments are coloured, not left as default text.
    EXPECT_NE(want[0], 0);
    EXPECT_NE(want[7], 0);
    EXPECT_NE(want[text.find("--")], 0);
    EXPECT_NE(want[text.find("/*")], 0);
    EXPECT_EQ(want[text.find("/*")], want[text.find("lines")]);  // one comment across two lines
}
