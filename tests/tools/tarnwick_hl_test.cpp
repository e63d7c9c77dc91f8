// End-to-end tests of the tarnwick-hl command-line tool, run as a child process.

#include <clocale>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "base/file_io.h"
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
        return RunTool({std::move(args), std::move(input), dir_.Path(), dir_.Path(), false, TARNWICK_HL_EXE});
    }
    fs::path Write(const std::string& name, const std::string& bytes)
    {
        const fs::path file = dir_.Path() / name;
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

    EXPECT_EQ(Run({"compile", (dir_.Path() / "missing.txt").string()}).status, 2);
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

TEST_F(HlTool, CompileWritesTheStoredFormThatInfoAndTokensRead)
{
    const std::string script = Write("tiny.txt", kTinyScript).string();
    const std::string stored = (dir_.Path() / "tiny.parser").string();
    ASSERT_EQ(Run({"compile", script, "-o", stored}).status, 0);
    ASSERT_TRUE(fs::exists(stored));

    const ToolResult info = Run({"info", stored});
    ASSERT_EQ(info.status, 0) << info.err;
    EXPECT_NE(info.out.find("format version: 51\n"), std::string::npos) << info.out;
    EXPECT_NE(info.out.find("property size: " + std::to_string(fs::file_size(stored)) + " bytes\n"), std::string::npos)
        << info.out;
    EXPECT_NE(info.out.find("language: Tiny\nkeywords: 2\n"), std::string::npos) << info.out;
    EXPECT_NE(info.out.find("(KH)"), std::string::npos) << info.out;

    // The stored highlighter colours exactly as the script does.
    const std::string text = "begin 42\r\nend\nx\r7 begin";
    const ToolResult fromScript = Run({"tokens", "--script", script}, text);
    const ToolResult fromStored = Run({"tokens", "--highlighter", stored}, text);
    ASSERT_EQ(fromStored.status, 0) << fromStored.err;
    EXPECT_EQ(fromStored.out, fromScript.out);
    EXPECT_EQ(Run({"tokens", "--script", script, "--highlighter", stored}, text).status, 2);

    // A script with an error writes nothing.
    const std::string none = (dir_.Path() / "none.parser").string();
    EXPECT_EQ(Run({"compile", Write("bad.txt", "%%words\n'x' 3 3 3\n").string(), "-o", none}).status, 1);
    EXPECT_FALSE(fs::exists(none));
}

TEST_F(HlTool, DamagedStoredHighlightersAreErrors)
{
    const std::string stored = (dir_.Path() / "sql.parser").string();
    {
        const std::string_view bytes = tarnwick::BuiltInSqlStoredForm();
        std::ofstream(stored, std::ios::binary).write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    }
    const ToolResult info = Run({"info", stored});
    ASSERT_EQ(info.status, 0) << info.err;
    EXPECT_NE(info.out.find("language: PL/SQL\nkeywords: 361\n"), std::string::npos) << info.out;

    std::string bytes = tarnwick::ReadWholeFile(stored);
    const std::string cut = Write("cut.parser", bytes.substr(0, bytes.size() / 2)).string();
    for (const auto& command : {std::vector<std::string>{"info", cut}, {"tokens", "--highlighter", cut}}) {
        const ToolResult r = Run(command, "select 1");
        EXPECT_EQ(r.status, 2) << r.out;
        EXPECT_NE(r.err.find(cut + ": Compressor"), std::string::npos) << r.err;
        EXPECT_EQ(r.out, "");
    }
    bytes[0] = 49;  // version 49: older than anything the program reads
    const ToolResult old = Run({"info", Write("old.parser", bytes).string()});
    EXPECT_EQ(old.status, 2);
    EXPECT_NE(old.err.find("51"), std::string::npos) << old.err;
    EXPECT_EQ(Run({"info", Write("tiny.parser", "abc").string()}).status, 2);
}

TEST_F(HlTool, CompressAndDecompressFiles)
{
    std::string text;
    for (int i = 0; i < 5000; ++i) text += "select col_" + std::to_string(i % 97) + " from t;\r\n";
    const std::string in = Write("in.sql", text).string();
    const std::string back = (dir_.Path() / "back.sql").string();
    for (const auto& [method, magic] : {std::pair{"kh", "WRZL"}, {"lzh", "!HZL"}, {"auto", "WRZL"}}) {
        const std::string packed = (dir_.Path() / (std::string(method) + ".z")).string();
        const ToolResult c = Run({"compress", "--method", method, in, packed});
        ASSERT_EQ(c.status, 0) << c.err;
        const std::string bytes = tarnwick::ReadWholeFile(packed);
        EXPECT_EQ(bytes.substr(0, 4), magic) << method;
        EXPECT_LT(bytes.size(), text.size() / 3) << method;
        ASSERT_EQ(Run({"decompress", packed, back}).status, 0);
        EXPECT_EQ(tarnwick::ReadWholeFile(back), text) << method;
    }
    EXPECT_EQ(Run({"compress", "--method", "zip", in, back}).status, 2);
    EXPECT_EQ(Run({"compress", in}).status, 2);

    // A damaged stream: the message names the problem and no output file is left behind.
    std::string packed = tarnwick::ReadWholeFile((dir_.Path() / "kh.z").string());
    packed.resize(packed.size() - 7);
    const std::string out = (dir_.Path() / "out.sql").string();
    const ToolResult r = Run({"decompress", Write("cut.z", packed).string(), out});
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find("Compressor : Error reading from input file"), std::string::npos) << r.err;
    EXPECT_FALSE(fs::exists(out));
    // Compressing a file onto itself is refused and the file is kept.
    EXPECT_EQ(Run({"compress", in, in}).status, 2);
    EXPECT_EQ(tarnwick::ReadWholeFile(in), text);
}

// ---- export

namespace {

const char* const kExportSql = "SELECT 'a&b', x -- note\r\nFROM t;\n";

}  // namespace

TEST_F(HlTool, ExportWritesEachFormatColouredByTheSqlHighlighter)
{
    const std::string file = Write("ex.sql", kExportSql).string();
    const ToolResult text = Run({"export", "--format", "text", file});
    ASSERT_EQ(text.status, 0) << text.err;
    EXPECT_EQ(text.out, "SELECT 'a&b', x -- note\r\nFROM t;\r\n");
    EXPECT_EQ(Run({"export", "--format=unix", file}).out, "SELECT 'a&b', x -- note\nFROM t;\n");

    // Keywords bold, the string underlined red, the comment italic green.
    const ToolResult rtf = Run({"export", "--format", "rtf", file});
    ASSERT_EQ(rtf.status, 0) << rtf.err;
    EXPECT_EQ(rtf.out,
              "{\\rtf1 \\deff1{\\fonttbl {\\f1 \\fnil\\fcharset0 Courier New;}}\r\n"
              "{\\colortbl\\red0\\green0\\blue0;\\red255\\green255\\blue255;\\red0\\green128\\blue0;"
              "\\red255\\green0\\blue0;\\red0\\green0\\blue255;\\red128\\green0\\blue0;\\red128\\green128\\blue0;"
              "\\red128\\green0\\blue128;}\r\n"
              "{\\f1\\fs20\\cf0\\cb1 \\b1 SELECT\\b0  \\ul1 \\cf3 \\'27a&b\\'27\\ul0 \\cf0 , x \\i1 \\cf2 -- note"
              "\\i0 \\cf0 \\line \r\n"
              "\\b1 FROM\\b0  t;\\line \r\n"
              "}}");

    const ToolResult html = Run({"export", "--format", "html", "--title", "Q<1>", "--date", "2024-05-06", file});
    ASSERT_EQ(html.status, 0) << html.err;
    EXPECT_EQ(html.out,
              "<HTML><HEAD>\r\n"
              "<META NAME=\"Generator\" CONTENT=\"Tarnwick TCustomDoravaVizu\">\r\n"
              "<TITLE>Q&lt;1&gt;</TITLE>\r\n"
              "<META NAME=\"Date\" CONTENT=\"2024-05-06\">\r\n"
              "</HEAD>\r\n"
              "<BODY TEXT=\"#000000\" BGCOLOR=\"#ffffff\">\r\n"
              "<PRE><FONT FACE=\"Courier New\">\r\n"
              "<B>SELECT</B> </FONT><FONT COLOR=\"#ff0000\"><U>'a&amp;b'</FONT><FONT COLOR=\"#000000\"></U>, x "
              "</FONT><FONT COLOR=\"#008000\"><I>-- note</FONT><FONT COLOR=\"#000000\"></I>\r\n"
              "<B>FROM</B> t;\r\n"
              "</PRE></FONT></BODY></HTML>\r\n");

    // Standard input as FILE; the same bytes come out.
    EXPECT_EQ(Run({"export", "--format", "rtf", "-"}, kExportSql).out, rtf.out);
}

TEST_F(HlTool, ExportTitleIsTheFileAndTheDateToday)
{
    const std::string file = Write("ex.sql", kExportSql).string();
    const auto today = [] {
        std::setlocale(LC_TIME, "");
        const std::time_t now = std::time(nullptr);
        std::tm local{};
        localtime_r(&now, &local);
        char buffer[128];
        return std::string(buffer, std::strftime(buffer, sizeof buffer, "%x", &local));
    };
    const std::string before = today();
    const ToolResult html = Run({"export", "--format", "html", file});
    const std::string after = today();
    ASSERT_EQ(html.status, 0) << html.err;
    EXPECT_NE(html.out.find("<TITLE>" + file + "</TITLE>\r\n"), std::string::npos) << html.out;
    EXPECT_TRUE(html.out.find("<META NAME=\"Date\" CONTENT=\"" + before + "\">") != std::string::npos ||
                html.out.find("<META NAME=\"Date\" CONTENT=\"" + after + "\">") != std::string::npos)
        << html.out;
}

TEST_F(HlTool, ExportRejectsBadArguments)
{
    const std::string file = Write("ex.sql", kExportSql).string();
    for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
             {"export", file},
             {"export", "--format", "pdf", file},
             {"export", "--format", "rtf"},
             {"export", "--format"},
             {"export", "--format", "rtf", file, file},
             {"export", "--format", "html", "--title"},
             {"export", "--format", "html", "--colour", "red", file},
             {"export", "--format", "text", (dir_.Path() / "missing.sql").string()},
         }) {
        const ToolResult r = Run(args);
        EXPECT_EQ(r.status, 2) << args.size();
        EXPECT_EQ(r.out, "") << args.size();
        EXPECT_FALSE(r.err.empty());
    }
}
