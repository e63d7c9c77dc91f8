#include "base/file_io.h"

#include <gtest/gtest.h>

#include "base/errors.h"
#include "temp_folder.h"

using namespace tarnwick;
using tarnwick::testing::TempFolder;
namespace fs = std::filesystem;

namespace {

std::size_t FilesIn(const fs::path& folder)
{
    return static_cast<std::size_t>(std::distance(fs::directory_iterator(folder), fs::directory_iterator()));
}

}  // namespace

TEST(FileIo, WritesAndReadsEveryByte)
{
    TempFolder dir;
    std::string data;
    for (int i = 0; i < 256; ++i) data.push_back(static_cast<char>(i));
    data += "\r\n\r\n\n\r";
    ASSERT_TRUE(WriteWholeFile(dir / "a.bin", data));
    EXPECT_EQ(ReadWholeFile(dir / "a.bin"), data);

    ASSERT_TRUE(WriteWholeFile(dir / "a.bin", "short"));  // replacing truncates
    EXPECT_EQ(ReadWholeFile(dir / "a.bin"), "short");
    ASSERT_TRUE(WriteWholeFile(dir / "empty", ""));
    EXPECT_EQ(ReadWholeFile(dir / "empty"), "");
    EXPECT_EQ(FilesIn(dir.Path()), 2u);  // no temporary file left behind
}

TEST(FileIo, ReadingAMissingFileNamesIt)
{
    TempFolder dir;
    try {
        ReadWholeFile(dir / "missing.edf");
        FAIL() << "no exception";
    } catch (const EFOpenError& e) {
        EXPECT_EQ(std::string(e.what()), "Cannot open file " + (dir / "missing.edf").string());
    }
    EXPECT_THROW(ReadWholeFile(dir.Path()), EFOpenError);  // a folder is not a file
}

TEST(FileIo, AFailedWriteLeavesEverythingAsItWas)
{
    TempFolder dir;
    fs::create_directory(dir / "sub");
    dir.Write("sub/keep.txt", "keep");
    EXPECT_FALSE(WriteWholeFile(dir / "sub", "x"));  // the target is a folder
    EXPECT_TRUE(fs::is_directory(dir / "sub"));
    EXPECT_EQ(dir.Read("sub/keep.txt"), "keep");
    EXPECT_FALSE(WriteWholeFile(dir / "nowhere" / "f.txt", "x"));  // no such folder
    dir.Write("plain", "plain");
    EXPECT_FALSE(WriteWholeFile(dir / "plain" / "f.txt", "x"));  // a file used as a folder
    EXPECT_EQ(dir.Read("plain"), "plain");
    EXPECT_EQ(FilesIn(dir.Path()), 2u);
    EXPECT_EQ(FilesIn(dir / "sub"), 1u);

    try {
        WriteWholeFileOrThrow(dir / "sub", "x");
        FAIL() << "no exception";
    } catch (const EFCreateError& e) {
        EXPECT_EQ(std::string(e.what()), "Cannot create file " + (dir / "sub").string());
    }
}

#if !defined(_WIN32)
TEST(FileIo, ReplacingKeepsLinksAndPermissions)
{
    TempFolder dir;
    dir.Write("real.sql", "old");
    fs::permissions(dir / "real.sql", fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    fs::create_symlink(dir / "real.sql", dir / "link.sql");

    ASSERT_TRUE(WriteWholeFile(dir / "link.sql", "new"));
    EXPECT_TRUE(fs::is_symlink(dir / "link.sql"));
    EXPECT_EQ(dir.Read("real.sql"), "new");
    EXPECT_EQ(fs::status(dir / "real.sql").permissions() & fs::perms::all,
              fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
}
#endif

TEST(FileIo, ViewsOfLargeAndSmallFilesHoldEveryByte)
{
    TempFolder dir;
    std::string big(3 << 20, 'x');  // large enough to be mapped
    for (std::size_t i = 0; i < big.size(); i += 4093) big[i] = static_cast<char>(i % 256);
    dir.Write("big", big);
    dir.Write("small", std::string("a\0b\r\n", 5));
    dir.Write("empty", "");

    FileView bigView = FileView::Open(dir / "big");
    FileView moved = std::move(bigView);  // the view survives a move
    EXPECT_EQ(moved.Text(), big);
    EXPECT_EQ(FileView::Open(dir / "small").Text(), std::string_view("a\0b\r\n", 5));
    EXPECT_EQ(FileView::Open(dir / "empty").Text(), "");
    EXPECT_THROW(FileView::Open(dir / "missing"), EFOpenError);
}

TEST(FileIo, ManyPiecesAreWrittenInOrder)
{
    // More pieces than one gathered write takes, empty ones among them.
    TempFolder dir;
    std::vector<std::string> texts;
    for (int i = 0; i < 5000; ++i) texts.push_back(i % 7 == 0 ? std::string() : std::to_string(i) + ",");
    std::vector<std::string_view> pieces(texts.begin(), texts.end());
    std::string expected;
    for (auto& t : texts) expected += t;

    ASSERT_TRUE(WriteWholeFile(dir / "out", pieces));
    EXPECT_EQ(dir.Read("out"), expected);
    ASSERT_TRUE(WriteWholeFile(dir / "none", std::span<const std::string_view>()));
    EXPECT_EQ(dir.Read("none"), "");
}
