#include "versions/version_table.h"

#include <gtest/gtest.h>
#include <cstdlib>

#include "base/errors.h"
#include "temp_folder.h"

using namespace tarnwick;
using tarnwick::testing::TempFolder;
using Lines = std::vector<std::string>;

TEST(SqlVersionLine, SplitsAtTheFirstTwoTabs)
{
    SqlVersion v = SqlVersion::FromLine("Oracle 9\tORA9\t.ora");
    EXPECT_EQ(v.name, "Oracle 9");
    EXPECT_EQ(v.define, "ORA9");
    EXPECT_EQ(v.extension, ".ora");
    EXPECT_EQ(v.ToLine(), "Oracle 9\tORA9\t.ora");

    v = SqlVersion::FromLine("a\tb\tc\td");  // the extension is everything after the second tab
    EXPECT_EQ(v.extension, "c\td");
    v = SqlVersion::FromLine("only name");
    EXPECT_EQ(v.name, "only name");
    EXPECT_EQ(v.define, "");
    EXPECT_EQ(v.extension, "");
    v = SqlVersion::FromLine("n\td");
    EXPECT_EQ(v.define, "d");
    EXPECT_EQ(v.extension, "");
}

TEST(VersionTable, ReadsIntoSortedOrderWithoutDuplicates)
{
    TempFolder dir;
    dir.Write("t.edf",
              "sybase\tSYB\t.syb\r\nDB2\tDB2\t.db2\r\n\r\nOracle\tORA\t.ora\nORACLE\tORA2\t.or2\r\nDB2\tDB2\t.db2\r\n");
    EXPECT_EQ(ReadVersionTable(dir / "t.edf"),
              (Lines{"DB2\tDB2\t.db2", "Oracle\tORA\t.ora", "ORACLE\tORA2\t.or2", "sybase\tSYB\t.syb"}));

    dir.Write("dup.edf", "Oracle\tORA\t.ora\r\nORACLE\tora\t.ORA\r\n");  // equal but for case: the first stays
    EXPECT_EQ(ReadVersionTable(dir / "dup.edf"), (Lines{"Oracle\tORA\t.ora"}));

    dir.Write("empty.edf", "");
    EXPECT_EQ(ReadVersionTable(dir / "empty.edf"), Lines{});

    try {
        ReadVersionTable(dir / "missing.edf");
        FAIL() << "no exception";
    } catch (const EFOpenError& e) {
        EXPECT_EQ(std::string(e.what()), "Cannot open file " + (dir / "missing.edf").string());
    }
}

TEST(VersionTable, InsertingKeepsTheOrderAndRefusesDuplicates)
{
    Lines lines;
    EXPECT_TRUE(InsertSortedVersionLine(lines, "b\t1\t.b"));
    EXPECT_TRUE(InsertSortedVersionLine(lines, "A\t2\t.a"));
    EXPECT_TRUE(InsertSortedVersionLine(lines, "c\t3\t.c"));
    EXPECT_FALSE(InsertSortedVersionLine(lines, "B\t1\t.B"));
    EXPECT_EQ(lines, (Lines{"A\t2\t.a", "b\t1\t.b", "c\t3\t.c"}));
}

TEST(ConditionalDefines, SplitIntoUntrimmedPiecesRespectingQuotes)
{
    EXPECT_EQ(SplitConditionalDefines("A;B"), (Lines{"A", "B"}));
    EXPECT_EQ(SplitConditionalDefines("A; B"), (Lines{"A", " B"}));
    EXPECT_EQ(SplitConditionalDefines(";;A;;B;"), (Lines{"A", "B"}));
    EXPECT_EQ(SplitConditionalDefines("\"x;y\";z"), (Lines{"\"x;y\"", "z"}));
    EXPECT_EQ(SplitConditionalDefines("a\"b;c"), (Lines{"a\"b;c"}));  // an open quote runs to the end
    EXPECT_EQ(SplitConditionalDefines(""), Lines{});

    EXPECT_EQ(StartingSymbols("ORA", {"A;B;A", "older"}), (Lines{"ORA", "A", "B", "A"}));
    EXPECT_EQ(StartingSymbols("ORA", {}), (Lines{"ORA"}));
    EXPECT_EQ(StartingSymbols("ORA", {""}), (Lines{"ORA"}));
}

TEST(ConditionalDefines, MissingFileIsAnEmptyList)
{
    TempFolder dir;
    EXPECT_EQ(ReadConditionalDefines(dir / "none.cdf"), Lines{});
    dir.Write("x.cdf", "A;B\r\nC\r\n");
    EXPECT_EQ(ReadConditionalDefines(dir / "x.cdf"), (Lines{"A;B", "C"}));
}

TEST(ConditionalDefines, PromotionMovesOrInsertsAtTheTopAndKeepsTen)
{
    EXPECT_EQ(PromoteConditionalDefines({"a", "b", "c"}, "B"), (Lines{"b", "a", "c"}));
    EXPECT_EQ(PromoteConditionalDefines({"a", "b"}, "new"), (Lines{"new", "a", "b"}));
    EXPECT_EQ(PromoteConditionalDefines({"a"}, ""), (Lines{"", "a"}));
    EXPECT_EQ(PromoteConditionalDefines({}, "x"), (Lines{"x"}));

    Lines ten;
    for (int i = 0; i < 10; ++i) ten.push_back("s" + std::to_string(i));
    Lines eleventh = PromoteConditionalDefines(ten, "s11");
    ASSERT_EQ(eleventh.size(), 10u);
    EXPECT_EQ(eleventh.front(), "s11");
    EXPECT_EQ(eleventh.back(), "s8");  // the oldest, s9, is pushed out
    EXPECT_EQ(PromoteConditionalDefines(ten, "S9").front(), "s9");
}

TEST(OutputFileName, ReplacesTheExtensionWithTheStoredText)
{
    using std::filesystem::path;
    EXPECT_EQ(VersionOutputFile(path("/x/load.sql"), ".da"), path("/x/load.da"));
    EXPECT_EQ(VersionOutputFile(path("/x/load.sql"), "da"), path("/x/loadda"));  // no dot: glued on
    EXPECT_EQ(VersionOutputFile(path("/x/a.b.sql"), ".db"), path("/x/a.b.db"));
    EXPECT_EQ(VersionOutputFile(path("/x.y/load"), ".da"), path("/x.y/load.da"));  // dots in folders do not count
    EXPECT_EQ(VersionOutputFile(path("load.sql"), ".v1.sql"), path("load.v1.sql"));
    EXPECT_EQ(VersionOutputFile(path("/x/load.sql"), ""), path("/x/load"));
}

TEST(EnvironmentOptions, OkWritesBothFilesWithCrLf)
{
    TempFolder dir;
    const OptionFiles files = OptionFiles::InFolder(dir.Path());
    EXPECT_TRUE(LoadEnvironmentOptions(files).versionLines.empty());  // nothing there yet: both lists empty
    EXPECT_TRUE(LoadEnvironmentOptions(files).conditionalDefines.empty());
    const Lines written = SaveEnvironmentOptions(files, {"b\tB\t.b", "a\tA\t.a"}, {"X;Y", "old"}, "old");
    EXPECT_EQ(written, (Lines{"old", "X;Y"}));
    EXPECT_EQ(dir.Read("tarnwick.edf"), "b\tB\t.b\r\na\tA\t.a\r\n");  // in the order given
    EXPECT_EQ(dir.Read("tarnwick.cdf"), "old\r\nX;Y\r\n");
    EXPECT_EQ(ReadVersionTable(files.versionTable), (Lines{"a\tA\t.a", "b\tB\t.b"}));
    EXPECT_EQ(ReadConditionalDefines(files.conditionalDefines), written);

    const EnvironmentOptions loaded = LoadEnvironmentOptions(files);
    EXPECT_EQ(loaded.versionLines, (Lines{"a\tA\t.a", "b\tB\t.b"}));
    EXPECT_EQ(loaded.conditionalDefines, written);

    SaveEnvironmentOptions(files, {}, written, "");
    EXPECT_EQ(dir.Read("tarnwick.edf"), "");
    EXPECT_EQ(dir.Read("tarnwick.cdf"), "\r\nold\r\nX;Y\r\n");
}

TEST(EnvironmentOptions, AFileThatCannotBeWrittenIsNamedAndKeepsItsContents)
{
    TempFolder dir;
    dir.Write("tarnwick.edf", "keep\tK\t.k\r\n");
    std::filesystem::create_directory(dir / "tarnwick.cdf");  // cannot be replaced by a file
    const OptionFiles files = OptionFiles::InFolder(dir.Path());
    try {
        SaveEnvironmentOptions(files, {"new\tN\t.n"}, {}, "A");
        FAIL() << "no exception";
    } catch (const EFCreateError& e) {
        EXPECT_EQ(std::string(e.what()), "Cannot create file " + files.conditionalDefines.string());
    }
    EXPECT_TRUE(std::filesystem::is_directory(files.conditionalDefines));
}

TEST(EnvironmentOptions, ConfigFolderComesFromTheEnvironment)
{
    ::setenv("TARNWICK_CONFIG_DIR", "/etc/tw", 1);
    EXPECT_EQ(OptionFiles::Default("/opt/bin").versionTable, std::filesystem::path("/etc/tw/tarnwick.edf"));
    ::setenv("TARNWICK_CONFIG_DIR", "", 1);
    EXPECT_EQ(OptionFiles::Default("/opt/bin").conditionalDefines, std::filesystem::path("/opt/bin/tarnwick.cdf"));
    ::unsetenv("TARNWICK_CONFIG_DIR");
    EXPECT_EQ(OptionFiles::Default("/opt/bin").versionTable, std::filesystem::path("/opt/bin/tarnwick.edf"));
}
