// Where the option files live: beside a program run from its build folder, in the user's
// configuration folder for an installed one, with the installed samples copied there once.

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "platform/executable_dir.h"

namespace fs = std::filesystem;
using namespace tarnwick;

namespace {

std::string Read(const fs::path& file)
{
    std::ifstream in(file, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

void Write(const fs::path& file, const std::string& text)
{
    fs::create_directories(file.parent_path());
    std::ofstream(file, std::ios::binary) << text;
}

class OptionFolder : public ::testing::Test {
protected:
    fs::path root;
    std::string savedXdg, savedHome;
    bool hadXdg = false, hadHome = false;

    void SetUp() override
    {
        root = fs::temp_directory_path() /
               ("tarnwick-option-folder-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) + "-" +
                ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(root);
        fs::create_directories(root);
        if (const char* v = std::getenv("XDG_CONFIG_HOME")) hadXdg = true, savedXdg = v;
        if (const char* v = std::getenv("HOME")) hadHome = true, savedHome = v;
        setenv("XDG_CONFIG_HOME", (root / "config").c_str(), 1);
        setenv("HOME", (root / "home").c_str(), 1);
    }
    void TearDown() override
    {
        if (hadXdg) setenv("XDG_CONFIG_HOME", savedXdg.c_str(), 1);
        else unsetenv("XDG_CONFIG_HOME");
        if (hadHome) setenv("HOME", savedHome.c_str(), 1);
        else unsetenv("HOME");
        fs::remove_all(root);
    }
};

TEST_F(OptionFolder, ABuildFolderKeepsTheFilesBesideTheProgram)
{
    const fs::path exe = root / "build" / "bin";
    fs::create_directories(exe);
    EXPECT_TRUE(InstalledDataFolder(exe).empty());
    EXPECT_EQ(DefaultOptionFolder(exe), exe);
    EXPECT_FALSE(fs::exists(root / "config"));  // nothing written for a portable program
    // A folder named bin without share/tarnwick beside it is no installation either.
    fs::create_directories(root / "build" / "share");
    EXPECT_EQ(DefaultOptionFolder(exe), exe);
}

TEST_F(OptionFolder, AnInstalledProgramUsesTheUsersFolderAndCopiesTheSamplesOnce)
{
    const fs::path prefix = root / "usr";
    const fs::path exe = prefix / "bin";
    fs::create_directories(exe);
    Write(prefix / "share" / "tarnwick" / "tarnwick.edf", "Oracle\tORACLE\tora\r\n");
    Write(prefix / "share" / "tarnwick" / "tarnwick.cdf", "WITH_AUDIT\r\n");
    EXPECT_EQ(InstalledDataFolder(exe), prefix / "share" / "tarnwick");

    const fs::path user = root / "config" / "Corvanti" / "Tarnwick";
    EXPECT_EQ(UserConfigFolder(), user);
    EXPECT_EQ(DefaultOptionFolder(exe), user);
    EXPECT_EQ(Read(user / "tarnwick.edf"), "Oracle\tORACLE\tora\r\n");
    EXPECT_EQ(Read(user / "tarnwick.cdf"), "WITH_AUDIT\r\n");
    EXPECT_FALSE(fs::exists(user / "tarnwick.tpl"));  // no sample, no file
    EXPECT_FALSE(fs::exists(user / "tarnwick.edf.partial"));

    // The user's own table is never replaced by the sample.
    Write(user / "tarnwick.edf", "Mine\tMINE\tm\r\n");
    fs::remove(user / "tarnwick.cdf");
    EXPECT_EQ(DefaultOptionFolder(exe), user);
    EXPECT_EQ(Read(user / "tarnwick.edf"), "Mine\tMINE\tm\r\n");
    EXPECT_EQ(Read(user / "tarnwick.cdf"), "WITH_AUDIT\r\n");
}

TEST_F(OptionFolder, TheUsersFolderFollowsXdgThenHome)
{
    setenv("XDG_CONFIG_HOME", "relative/path", 1);  // not absolute: ignored, as the XDG rules say
    EXPECT_EQ(UserConfigFolder(), root / "home" / ".config" / "Corvanti" / "Tarnwick");
    unsetenv("XDG_CONFIG_HOME");
    EXPECT_EQ(UserConfigFolder(), root / "home" / ".config" / "Corvanti" / "Tarnwick");
    unsetenv("HOME");
    EXPECT_TRUE(UserConfigFolder().empty());
    // Without a home an installed program falls back to its own folder rather than to nowhere.
    const fs::path exe = root / "usr" / "bin";
    fs::create_directories(exe);
    fs::create_directories(root / "usr" / "share" / "tarnwick");
    EXPECT_EQ(DefaultOptionFolder(exe), exe);
}

}  // namespace
