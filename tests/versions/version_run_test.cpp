#include "versions/version_run.h"

#include <gtest/gtest.h>

#include "temp_folder.h"

using namespace tarnwick;
using tarnwick::testing::TempFolder;
using Lines = std::vector<std::string>;
namespace fs = std::filesystem;

namespace {

// One version per define: name N<define>, extension ".<define in lower case>".
class VersionRun : public ::testing::Test {
protected:
    void Table(const std::string& edf, const std::string& cdf = {})
    {
        dir.Write("tarnwick.edf", edf);
        if (!cdf.empty()) dir.Write("tarnwick.cdf", cdf);
    }
    bool Run(const std::string& script, VersionSelection which = kAllVersions)
    {
        errors.clear();
        written.clear();
        VersionRunEvents events;
        events.onError = [&](std::int64_t line, const std::string& m) {
            errors.push_back(FormatVersionRunError(line, m));
        };
        events.onWritten = [&](const fs::path& p) { written.push_back(p.filename().string()); };
        return RunVersions(script, dir / "load.sql", which, files(), events);
    }
    OptionFiles files() const { return OptionFiles::InFolder(dir.Path()); }

    TempFolder dir;
    Lines errors;
    Lines written;
};

const std::string kScript = "#ifdef DA\r\nfor a\r\n#endif\r\n#ifdef DB\r\nfor b\r\n#endif\r\ncommon\r\n";

}  // namespace

TEST_F(VersionRun, WritesOneFilePerVersionWithItsDefine)
{
    Table("B version\tDB\t.db\r\nA version\tDA\t.da\r\n");
    ASSERT_TRUE(Run(kScript));
    EXPECT_EQ(written, (Lines{"load.da", "load.db"}));      // sorted table order, not file order
    EXPECT_EQ(dir.Read("load.da"), "\r\nfor a\r\ncommon");  // the break before "for a" goes with it
    EXPECT_EQ(dir.Read("load.db"), "\r\nfor b\r\ncommon");
    EXPECT_TRUE(errors.empty());
}

TEST_F(VersionRun, OneIndexRunsOnlyThatVersion)
{
    Table("B\tDB\t.db\r\nA\tDA\t.da\r\n");
    ASSERT_TRUE(Run(kScript, 1));
    EXPECT_EQ(written, Lines{"load.db"});
    EXPECT_FALSE(fs::exists(dir / "load.da"));
    EXPECT_THROW(Run(kScript, 2), VersionRunError);
    EXPECT_FALSE(fs::exists(dir / "load.da"));
}

TEST_F(VersionRun, ConditionalDefinesApplyToEveryVersionUntrimmed)
{
    Table("A\tDA\t.da\r\nB\tDB\t.db\r\n", "X;Y\r\nolder\r\n");
    ASSERT_TRUE(Run("#ifdef X\r\nx\r\n#endif\r\n#ifdef Y\r\ny\r\n#endif\r\n#ifdef older\r\nno\r\n#endif\r\n"));
    EXPECT_EQ(dir.Read("load.da"), "\r\nx\r\ny");
    EXPECT_EQ(dir.Read("load.db"), "\r\nx\r\ny");

    Table("A\tDA\t.da\r\n", "X; Y\r\n");
    ASSERT_TRUE(Run("#ifdef Y\r\ny\r\n#endif\r\n#ifdef  Y\r\nnever\r\n#endif\r\nend\r\n"));
    EXPECT_EQ(dir.Read("load.da"), "\r\nend");  // " Y" is not Y; and "#ifdef  Y" names "Y" after trimming
}

TEST_F(VersionRun, FirstFailingVersionStopsTheRun)
{
    Table("1\tV1\t.v1\r\n2\tV2\t.v2\r\n3\tV3\t.v3\r\n");
    const std::string script = "ok\r\n#ifdef V2\r\n&nothing\r\n#endif\r\nmore\r\n";
    EXPECT_FALSE(Run(script));
    EXPECT_EQ(written, Lines{"load.v1"});
    EXPECT_TRUE(fs::exists(dir / "load.v1"));
    EXPECT_FALSE(fs::exists(dir / "load.v2"));
    EXPECT_FALSE(fs::exists(dir / "load.v3"));
    EXPECT_EQ(errors, (Lines{"Line 3: Unknown Set Macro: nothing",
                             "Line 5: Found #ifdef or #ifndef without the corresponding #endif"}));
}

TEST_F(VersionRun, TheTextSinkFormatsLineEntries)
{
    Table("1\tV1\t.v1\r\n");
    Lines sink{"kept"};
    EXPECT_FALSE(RunVersions("a\n#bogus\n", dir / "load.sql", kAllVersions, files(), sink));
    EXPECT_EQ(sink, (Lines{"kept", "Line 2: Unknown Token: #bogus"}));
}

TEST_F(VersionRun, OutputIsWrittenByteForByte)
{
    Table("1\tV1\t.v1\r\n");
    const std::string script = std::string("a\rb\nc\r\n\xE9\x80\xFF", 9) + std::string(1, '\0') + "z";
    ASSERT_TRUE(Run(script));
    EXPECT_EQ(dir.Read("load.v1"), script);
}

TEST_F(VersionRun, MissingTableIsAnErrorAndMissingDefinesAreNot)
{
    try {
        Run(kScript);
        FAIL() << "no exception";
    } catch (const EFOpenError& e) {
        EXPECT_EQ(std::string(e.what()), "Cannot open file " + files().versionTable.string());
    }
    Table("");
    EXPECT_TRUE(Run(kScript));  // an empty table is an empty run
    EXPECT_TRUE(written.empty());
}

TEST_F(VersionRun, UnwritableOutputStopsTheRunAndNamesTheFile)
{
    Table("1\tV1\t.v1\r\n2\tV2\t.v2\r\n3\tV3\t.v3\r\n");
    fs::create_directory(dir / "load.v2");
    try {
        Run("x\r\n");
        FAIL() << "no exception";
    } catch (const VersionRunError& e) {
        EXPECT_EQ(std::string(e.what()), "Error saving to " + (dir / "load.v2").string());
    }
    EXPECT_EQ(written, Lines{"load.v1"});
    EXPECT_FALSE(fs::exists(dir / "load.v3"));
}

TEST_F(VersionRun, NeverReplacesTheScriptItself)
{
    Table("1\tV1\t.v1\r\nSame\tS\t.sql\r\n");
    dir.Write("load.sql", kScript);
    EXPECT_THROW(Run(kScript), VersionRunError);
    EXPECT_EQ(dir.Read("load.sql"), kScript);
    EXPECT_FALSE(fs::exists(dir / "load.v1"));  // checked before anything is written
    EXPECT_TRUE(Run(kScript, 0));               // the other versions can still run alone
}

TEST_F(VersionRun, AFailedVersionLeavesItsPreviousFileAlone)
{
    Table("1\tV1\t.v1\r\n");
    dir.Write("load.v1", "previous good output");
    EXPECT_FALSE(Run("#endif\r\n"));
    EXPECT_EQ(dir.Read("load.v1"), "previous good output");
}
