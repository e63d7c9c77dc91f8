// The backup of a saved script and the line-break style a file keeps.

#include "documents/script_file.h"

#include <gtest/gtest.h>

#include "temp_folder.h"

using namespace tarnwick;
namespace fs = std::filesystem;

TEST(ScriptFile, BackupNameTakesTwoCharactersOfTheExtension)
{
    EXPECT_EQ(BackupFileName("/x/a.sql"), fs::path("/x/a.~sq"));
    EXPECT_EQ(BackupFileName("/x/a.txt"), fs::path("/x/a.~tx"));
    EXPECT_EQ(BackupFileName("/x/a"), fs::path("/x/a.~"));
    EXPECT_EQ(BackupFileName("/x/a.s"), fs::path("/x/a.~s"));
    EXPECT_EQ(BackupFileName("/x/a.b.sql"), fs::path("/x/a.b.~sq"));
    EXPECT_EQ(BackupFileName("/x.d/a"), fs::path("/x.d/a.~"));  // a dot in the folder is no extension
    EXPECT_EQ(BackupFileName("/x/.profile"), fs::path("/x/.~pr"));
    EXPECT_EQ(BackupFileName("a.sql"), fs::path("a.~sq"));
}

TEST(ScriptFile, BackupKeepsTheContentsAndLeavesTheFileInPlace)
{
    tarnwick::testing::TempFolder dir;
    const fs::path file = dir.Write("a.sql", "first\r\n");
    dir.Write("a.~sq", "older backup");
    ASSERT_TRUE(KeepBackup(file, BackupFileName(file)));
    EXPECT_EQ(dir.Read("a.sql"), "first\r\n");
    EXPECT_EQ(dir.Read("a.~sq"), "first\r\n");
    // The file is then replaced the way a save replaces it: the backup keeps the old text.
    dir.Write("new.tmp", "second\r\n");
    fs::rename(dir / "new.tmp", file);
    EXPECT_EQ(dir.Read("a.~sq"), "first\r\n");
    // No temporary files are left behind.
    int files = 0;
    for ([[maybe_unused]] const auto& entry : fs::directory_iterator(dir.Path())) ++files;
    EXPECT_EQ(files, 2);
}

TEST(ScriptFile, BackupOfALinkKeepsTheTargetsContents)
{
    tarnwick::testing::TempFolder dir;
    const fs::path target = dir.Write("real.sql", "linked text");
    fs::create_symlink(target, dir / "link.sql");
    ASSERT_TRUE(KeepBackup(dir / "link.sql", dir / "link.~sq"));
    EXPECT_FALSE(fs::is_symlink(dir / "link.~sq"));
    EXPECT_EQ(dir.Read("link.~sq"), "linked text");
}

TEST(ScriptFile, NothingToKeepLeavesEverythingAlone)
{
    tarnwick::testing::TempFolder dir;
    dir.Write("a.~sq", "backup");
    EXPECT_FALSE(KeepBackup(dir / "a.sql", dir / "a.~sq"));  // no file
    EXPECT_EQ(dir.Read("a.~sq"), "backup");
    fs::create_directory(dir / "folder.sql");
    EXPECT_FALSE(KeepBackup(dir / "folder.sql", dir / "folder.~sq"));
    EXPECT_FALSE(fs::exists(dir / "folder.~sq"));
    // A name whose backup name is itself ("a.~~~") is not its own backup.
    dir.Write("a.~~~", "x");
    EXPECT_EQ(BackupFileName(dir / "a.~~~"), dir / "a.~~~");
    EXPECT_FALSE(KeepBackup(dir / "a.~~~", BackupFileName(dir / "a.~~~")));
    EXPECT_EQ(dir.Read("a.~~~"), "x");
    // A backup into a missing folder fails without touching the file.
    const fs::path file = dir.Write("b.sql", "b");
    EXPECT_FALSE(KeepBackup(file, dir / "missing" / "b.~sq"));
    EXPECT_EQ(dir.Read("b.sql"), "b");
}

TEST(ScriptFile, TheFirstLineBreakTellsUnixText)
{
    EXPECT_FALSE(HasUnixLineBreaks("a\r\nb\nc"));
    EXPECT_TRUE(HasUnixLineBreaks("a\nb\r\nc"));
    EXPECT_FALSE(HasUnixLineBreaks("a\rb"));
    EXPECT_FALSE(HasUnixLineBreaks("no break"));
    EXPECT_FALSE(HasUnixLineBreaks(""));
    tarnwick::testing::TempFolder dir;
    EXPECT_TRUE(FileHasUnixLineBreaks(dir.Write("u.sql", "select 1;\nselect 2;\n")));
    EXPECT_FALSE(FileHasUnixLineBreaks(dir.Write("w.sql", "select 1;\r\nselect 2;\n")));
    EXPECT_FALSE(FileHasUnixLineBreaks(dir / "missing.sql"));
}
