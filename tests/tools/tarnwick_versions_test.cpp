// End-to-end tests of the tarnwick-versions command-line tool: the built executable runs as a
// child process in a fresh folder, with its option files found through TARNWICK_CONFIG_DIR.

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "run_tool.h"

namespace {

namespace fs = std::filesystem;
using tarnwick::testing::RunTool;
using tarnwick::testing::ToolResult;
using namespace std::string_literals;

class VersionsTool : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::string pattern = (fs::temp_directory_path() / "tarnwick-versions-XXXXXX").string();
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        root_ = pattern;
        work_ = root_ / "work";
        config_ = root_ / "config";
        fs::create_directories(work_);
        fs::create_directories(config_);
    }
    void TearDown() override { fs::remove_all(root_); }

    static void Write(const fs::path& file, const std::string& bytes)
    {
        fs::create_directories(file.parent_path());
        std::ofstream(file, std::ios::binary) << bytes;
    }
    static std::string Read(const fs::path& file)
    {
        std::ifstream stream(file, std::ios::binary);
        return {std::istreambuf_iterator<char>(stream), std::istreambuf_iterator<char>()};
    }
    std::set<std::string> WorkFiles() const
    {
        std::set<std::string> names;
        for (const auto& entry : fs::recursive_directory_iterator(work_))
            names.insert(fs::relative(entry.path(), work_).string());
        return names;
    }

    ToolResult Run(std::vector<std::string> args, std::string input = {})
    {
        return RunTool({std::move(args), std::move(input), work_, config_, false, TARNWICK_VERSIONS_EXE});
    }

    fs::path root_, work_, config_;
};

// --- preprocess -------------------------------------------------------------------------------

TEST_F(VersionsTool, PreprocessPassesEveryByteThroughUnchanged)
{
    std::string high;
    for (int c = 0x80; c <= 0xFF; ++c) high += static_cast<char>(c);
    const std::string script = "select 1\r\nfrom t\rwhere x\n"s + high + "\r\n\r\na\0b\n\0tail"s;
    ASSERT_EQ(script.size(), 25u + 128u + 13u);  // the NUL bytes are in

    const ToolResult fromStdin = Run({"preprocess"}, script);
    EXPECT_EQ(fromStdin.status, 0) << fromStdin.err;
    EXPECT_EQ(fromStdin.out, script);
    EXPECT_EQ(fromStdin.err, "");

    Write(work_ / "s.sql", script);
    const ToolResult fromFile = Run({"preprocess", "s.sql"});
    EXPECT_EQ(fromFile.status, 0) << fromFile.err;
    EXPECT_EQ(fromFile.out, script);

    // The preprocessor's own changes arrive intact too: a dropped directive leaves its CR LF
    // run in front of the next line, trailing breaks go.
    const ToolResult dropped = Run({"preprocess", "-"}, "#define X\r\n\r\nselect \xE9\r\n\r\n");
    EXPECT_EQ(dropped.status, 0) << dropped.err;
    EXPECT_EQ(dropped.out, "\r\n\r\nselect \xE9");
}

TEST_F(VersionsTool, PreprocessDefinesCommandLineSymbolsInOrderWithDuplicates)
{
    const std::string blocks = "#ifdef A\na\n#endif\n#ifdef B\nb\n#endif\n#ifndef C\nnot c\n#endif\n";
    EXPECT_EQ(Run({"preprocess"}, blocks).out, "\nnot c");
    const ToolResult both = Run({"preprocess", "-D", "A", "-DB", "-DC"}, blocks);
    EXPECT_EQ(both.status, 0) << both.err;
    EXPECT_EQ(both.out, "\na\nb");

    // #undef removes the first occurrence only: a symbol given twice survives one #undef.
    const std::string undef = "#undef A\n#ifdef A\nstill\n#endif\n";
    EXPECT_EQ(Run({"preprocess", "-D", "A"}, undef).out, "");
    EXPECT_EQ(Run({"preprocess", "-D", "A", "-DA"}, undef).out, "\nstill");

    // A symbol with a blank inside is one symbol.
    EXPECT_EQ(Run({"preprocess", "-D", "A B"}, "#ifdef A B\nx\n#endif").out, "\nx");
}

TEST_F(VersionsTool, PreprocessErrorsNameTheInputAndLineAndWriteNoOutput)
{
    const ToolResult fromStdin = Run({"preprocess", "-DA"}, "select 1\n#ifdef A\n#bogus\nx\n");
    EXPECT_EQ(fromStdin.status, 1);
    EXPECT_EQ(fromStdin.out, "");
    EXPECT_EQ(fromStdin.err,
              "<stdin>:3: Unknown Token: #bogus\n"
              "<stdin>:4: Found #ifdef or #ifndef without the corresponding #endif\n");

    // Only the end-of-text check fails here; the line emitted before it must not reach stdout.
    Write(work_ / "sub" / "s.sql", "a\r\n/* open\r\nstill open");
    const ToolResult fromFile = Run({"preprocess", "sub/s.sql"});
    EXPECT_EQ(fromFile.status, 1);
    EXPECT_EQ(fromFile.out, "");
    EXPECT_EQ(fromFile.err, "sub/s.sql:3: Found /* without the corresponding */\n");
}

// --- list -------------------------------------------------------------------------------------

TEST_F(VersionsTool, ListPrintsTheTableInCaseInsensitiveOrder)
{
    // File order and byte order both differ from the run order.
    Write(config_ / "tarnwick.edf", "Zeta\tDZ\t.z\r\nalpha\tDA\t.a\r\nBeta\tDB\r\n");
    const ToolResult fromDefault = Run({"list"});
    EXPECT_EQ(fromDefault.status, 0) << fromDefault.err;
    EXPECT_EQ(fromDefault.out, "0\talpha\tDA\t.a\n1\tBeta\tDB\t\n2\tZeta\tDZ\t.z\n");

    Write(work_ / "other.edf", "Only\tO\t.o\r\n");
    EXPECT_EQ(Run({"list", "--edf", "other.edf"}).out, "0\tOnly\tO\t.o\n");
    EXPECT_EQ(Run({"list", "--edf=other.edf"}).out, "0\tOnly\tO\t.o\n");

    Write(work_ / "empty.edf", "");
    const ToolResult empty = Run({"list", "--edf", "empty.edf"});
    EXPECT_EQ(empty.status, 0) << empty.err;
    EXPECT_EQ(empty.out, "");
}

// --- run --------------------------------------------------------------------------------------

class VersionsRun : public VersionsTool {
protected:
    void SetUp() override
    {
        VersionsTool::SetUp();
        Write(config_ / "tarnwick.edf", "vb\tDB\t.db\r\nva\tDA\t.da\r\n");
        Write(config_ / "tarnwick.cdf", "C1;C2\r\nOLD\r\n");
        Write(work_ / "sub" / "load.sql",
              "#ifdef DA\nda\n#endif\n#ifdef DB\ndb\n#endif\n#ifdef DX\ndx\n#endif\n"
              "#ifdef C2\nc2\n#endif\n#ifdef OLD\nold\n#endif\n");
    }
};

TEST_F(VersionsRun, WritesOneFilePerVersionNextToTheScript)
{
    const ToolResult relative = Run({"run", "sub/load.sql"});
    EXPECT_EQ(relative.status, 0) << relative.err;
    EXPECT_EQ(relative.out, "sub/load.da\nsub/load.db\n");
    EXPECT_EQ(relative.err, "");
    EXPECT_EQ(Read(work_ / "sub" / "load.da"), "\nda\nc2");
    EXPECT_EQ(Read(work_ / "sub" / "load.db"), "\ndb\nc2");

    const fs::path absolute = work_ / "sub" / "load.sql";
    const ToolResult full = Run({"run", absolute.string()});
    EXPECT_EQ(full.status, 0) << full.err;
    EXPECT_EQ(full.out, (work_ / "sub" / "load.da").string() + "\n" + (work_ / "sub" / "load.db").string() + "\n");
}

TEST_F(VersionsRun, SelectsOneVersionByNameIgnoringCaseOrByIndex)
{
    const ToolResult byName = Run({"run", "--version", "VB", "sub/load.sql"});
    EXPECT_EQ(byName.status, 0) << byName.err;
    EXPECT_EQ(byName.out, "sub/load.db\n");
    EXPECT_FALSE(fs::exists(work_ / "sub" / "load.da"));

    const ToolResult byIndex = Run({"run", "--index", "0", "sub/load.sql"});
    EXPECT_EQ(byIndex.status, 0) << byIndex.err;
    EXPECT_EQ(byIndex.out, "sub/load.da\n");
    EXPECT_EQ(Read(work_ / "sub" / "load.da"), "\nda\nc2");
}

TEST_F(VersionsRun, EachOptionFileCanBeOverriddenAlone)
{
    Write(work_ / "x.edf", "x\tDX\t.x\r\n");
    Write(work_ / "old.cdf", "OLD\r\n");

    const ToolResult table = Run({"run", "--edf", "x.edf", "sub/load.sql"});
    EXPECT_EQ(table.status, 0) << table.err;
    EXPECT_EQ(table.out, "sub/load.x\n");
    EXPECT_EQ(Read(work_ / "sub" / "load.x"), "\ndx\nc2");  // default conditional defines

    const ToolResult defines = Run({"run", "--cdf=old.cdf", "--index", "1", "sub/load.sql"});
    EXPECT_EQ(defines.status, 0) << defines.err;
    EXPECT_EQ(defines.out, "sub/load.db\n");  // default table
    EXPECT_EQ(Read(work_ / "sub" / "load.db"), "\ndb\nold");

    // --config-dir wins over the environment, and --edf over --config-dir.
    std::filesystem::create_directories(work_ / "conf");
    Write(work_ / "conf" / "tarnwick.edf", "c\tDC\t.c\r\n");
    Write(work_ / "conf" / "tarnwick.cdf", "OLD\r\n");
    const ToolResult folder = Run({"run", "--config-dir", "conf", "sub/load.sql"});
    EXPECT_EQ(folder.status, 0) << folder.err;
    EXPECT_EQ(folder.out, "sub/load.c\n");
    EXPECT_EQ(Read(work_ / "sub" / "load.c"), "\nold");
    const ToolResult listed = Run({"list", "--config-dir=conf", "--edf", "x.edf"});
    EXPECT_EQ(listed.out, "0\tx\tDX\t.x\n");
}

TEST_F(VersionsTool, RunStopsAtTheFirstFailingVersion)
{
    Write(config_ / "tarnwick.edf", "a\tDA\t.a\r\nb\tDB\t.b\r\nc\tDC\t.c\r\n");
    Write(work_ / "s.sql", "ok\n#ifdef DB\n#bogus\n#endif\n");
    const ToolResult result = Run({"run", "s.sql"});
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.out, "s.a\n");
    EXPECT_EQ(result.err,
              "s.sql:3: Unknown Token: #bogus\n"
              "s.sql:4: Found #ifdef or #ifndef without the corresponding #endif\n");
    EXPECT_EQ(Read(work_ / "s.a"), "ok");
    EXPECT_EQ(WorkFiles(), (std::set<std::string>{"s.sql", "s.a"}));
}

// --- failures ---------------------------------------------------------------------------------

TEST_F(VersionsTool, FailuresExitWithStatusTwoAndOneMessage)
{
    Write(config_ / "tarnwick.edf", "a\tDA\t.a\r\nb\tDB\t.b\r\n");
    Write(work_ / "s.sql", "select 1\n");
    struct Case {
        std::vector<std::string> args;
        std::string mentions;
    };
    const Case cases[] = {
        {{"frobnicate"}, "frobnicate"},
        {{"run", "--version", "nope", "s.sql"}, "nope"},
        {{"run", "--index", "2", "s.sql"}, "out of range"},
        {{"run", "--index", "x", "s.sql"}, "x"},
        {{"run", "--index", "-1", "s.sql"}, "-1"},
        {{"run", "--index", "99999999999999999999999", "s.sql"}, "99999999999999999999999 is out of range"},
        {{"run", "--index"}, "--index"},
        {{"run", "--version", "a", "--index", "0", "s.sql"}, "--version"},
        {{"run", "missing.sql"}, "missing.sql"},
        {{"run", "--edf", "nowhere.edf", "s.sql"}, "nowhere.edf"},
        {{"run", "--version", "a", "--edf", "nowhere.edf", "s.sql"}, "nowhere.edf"},
        {{"run"}, "SCRIPT"},
        {{"run", "s.sql", "t.sql"}, "SCRIPT"},
        {{"list", "--edf", "nowhere.edf"}, "nowhere.edf"},
        {{"list", "--cdf", "x.cdf"}, "--cdf"},
        {{"preprocess", "missing.sql"}, "missing.sql"},
        {{"preprocess", "-D"}, "-D"},
        {{"preprocess", "--bogus"}, "--bogus"},
        {{"preprocess", "s.sql", "t.sql"}, "FILE"},
    };
    for (const Case& c : cases) {
        std::string call;
        for (const std::string& a : c.args) call += " " + a;
        SCOPED_TRACE(call);
        const ToolResult result = Run(c.args);
        EXPECT_EQ(result.status, 2);
        EXPECT_EQ(result.out, "");
        EXPECT_TRUE(result.err.starts_with("tarnwick-versions: ")) << result.err;
        EXPECT_EQ(std::count(result.err.begin(), result.err.end(), '\n'), 1) << result.err;
        EXPECT_NE(result.err.find(c.mentions), std::string::npos) << result.err;
    }
    EXPECT_EQ(WorkFiles(), std::set<std::string>{"s.sql"});

    // Without a command there is nothing to do: the usage goes to stderr.
    const ToolResult bare = Run({});
    EXPECT_EQ(bare.status, 2);
    EXPECT_EQ(bare.out, "");
    EXPECT_NE(bare.err.find("usage"), std::string::npos);
}

TEST_F(VersionsTool, MissingDefaultVersionTableIsNamed)
{
    Write(work_ / "s.sql", "select 1\n");
    for (const std::vector<std::string>& args : {std::vector<std::string>{"list"}, {"run", "s.sql"}}) {
        const ToolResult result = Run(args);
        EXPECT_EQ(result.status, 2);
        EXPECT_NE(result.err.find((config_ / "tarnwick.edf").string()), std::string::npos) << result.err;
    }
}

TEST_F(VersionsTool, OutputThatCannotBeWrittenIsReported)
{
    Write(config_ / "tarnwick.edf", "a\tDA\t.a\r\nb\tDB\t.b\r\nc\tDC\t.c\r\n");
    Write(work_ / "s.sql", "select 1\n");
    fs::create_directory(work_ / "s.b");  // a folder where the second output should go
    const ToolResult run = Run({"run", "s.sql"});
    EXPECT_EQ(run.status, 2);
    EXPECT_EQ(run.out, "s.a\n");
    EXPECT_EQ(run.err, "tarnwick-versions: Error saving to s.b\n");
    EXPECT_EQ(WorkFiles(), (std::set<std::string>{"s.sql", "s.a", "s.b"}));  // no temporary left behind

    tarnwick::testing::ToolInvocation closed{{"preprocess"}, "select 1", work_, config_, true, TARNWICK_VERSIONS_EXE};
    const ToolResult preprocess = RunTool(closed);
    EXPECT_EQ(preprocess.status, 2);
    EXPECT_TRUE(preprocess.err.starts_with("tarnwick-versions: cannot write to standard output")) << preprocess.err;

    closed.args = {"--help"};
    EXPECT_EQ(RunTool(closed).status, 2);
}

TEST_F(VersionsTool, HelpDescribesEveryCommandAndOption)
{
    const std::vector<std::string> everything = {"preprocess", "list",  "run",       "-D",
                                                 "--edf",      "--cdf", "--version", "--index"};
    struct Case {
        std::vector<std::string> args;
        std::vector<std::string> mentions;
    };
    const Case cases[] = {
        {{"--help"}, everything},
        {{"-h"}, everything},
        {{"preprocess", "--help"}, {"-D", "FILE"}},
        {{"list", "-h"}, {"--edf", "INDEX"}},
        {{"run", "s.sql", "--help"}, {"--edf", "--cdf", "--version", "--index", "SCRIPT"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.args[0] + " " + c.args.back());
        const ToolResult result = Run(c.args);
        EXPECT_EQ(result.status, 0);
        EXPECT_EQ(result.err, "");
        for (const std::string& word : c.mentions) EXPECT_NE(result.out.find(word), std::string::npos) << word;
    }
}

}  // namespace
