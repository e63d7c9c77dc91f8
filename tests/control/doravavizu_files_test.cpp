// The editor control's text loaded from and saved to files and streams.

#include <algorithm>
#include <fstream>
#include <iterator>
#include <string>

#include "doravavizu_fixture.h"
#include "temp_folder.h"

namespace tarnwick {
namespace {

using test::Control;

// A stream that takes at most `limit` bytes per write.
class StingyStream : public TMemoryStream {
public:
    explicit StingyStream(std::size_t limit) : limit_(limit) {}
    std::size_t Write(const void* buffer, std::size_t count) override
    {
        ++writes;
        return TMemoryStream::Write(buffer, std::min(count, limit_));
    }
    int writes = 0;

private:
    std::size_t limit_;
};

TEST_F(Control, LoadingNeverSplitsCrLfAndMakesControlCharactersVisible)
{
    std::string text(8191, 'a');
    text += "\r\nbc\x01\x7f\tz";
    Load(text);
    EXPECT_EQ(c.Store().CharCount(), 8191 + 1 + 6);
    EXPECT_EQ(c.Text(), std::string(8191, 'a') + "\rbc.\x7f\tz");
    // The long line is held in records of at most 2047 characters; each counts as a line.
    EXPECT_EQ(c.Perform(EM_GETLINECOUNT, 0, 0), c.Store().LineCount());
    EXPECT_EQ(c.Store().LineCount(), 6);
    EXPECT_FALSE(c.Modified());
    EXPECT_FALSE(c.CanUndo());
    EXPECT_EQ(c.Caret(), 0);

    // Saved back: CR LF line breaks as loaded.
    TMemoryStream out;
    c.SaveToStream(&out);
    EXPECT_EQ(out.Data(), std::string(8191, 'a') + "\r\nbc.\x7f\tz");
    c.SaveFormat = sfUNIX;
    TMemoryStream unix;
    c.SaveToStream(&unix);
    EXPECT_EQ(unix.Data(), std::string(8191, 'a') + "\nbc.\x7f\tz");
    c.SaveFormat = sfTEXT;
    c.SetSelLineStyle(lsLF);
    TMemoryStream single;
    c.SaveToStream(&single);
    EXPECT_EQ(single.Data(), std::string(8191, 'a') + "\rbc.\x7f\tz");
}

TEST_F(Control, SavingRetriesShortWritesThenFailsAndEmptiesUndo)
{
    Load("one\rtwo");
    Type("x");
    ASSERT_TRUE(c.CanUndo());
    TMemoryStream ok;
    c.SaveToStream(&ok);
    EXPECT_FALSE(c.CanUndo());
    EXPECT_FALSE(c.Modified());

    StingyStream stingy(3);
    try {
        c.SaveToStream(&stingy);
        ADD_FAILURE() << "a short write was reported as success";
    } catch (const EFileSaveError& e) {
        EXPECT_STREQ(e.what(), "Could not save text to stream");
    }
    EXPECT_GE(stingy.writes, 4);
    try {
        c.SaveToStream(nullptr);
        ADD_FAILURE();
    } catch (const EFileSaveError& e) {
        EXPECT_STREQ(e.what(), "Bad TStream instance");
    }
    // The selection survives a save.
    c.Select(2, 5);
    TMemoryStream again;
    c.SaveToStream(&again);
    EXPECT_EQ(c.Anchor(), 2);
    EXPECT_EQ(c.Caret(), 5);
}

TEST_F(Control, FilesLoadAndSaveWithTheirTitle)
{
    testing::TempFolder dir;
    const std::string missing = (dir / "none.sql").string();
    try {
        c.LoadFromFile(missing);
        ADD_FAILURE();
    } catch (const EFOpenError& e) {
        EXPECT_EQ(std::string(e.what()), "File '" + missing + "' cannot be opened for reading");
    }
    const std::string file = (dir / "a.sql").string();
    std::ofstream(file, std::ios::binary) << "select 1\r\nfrom dual\n";
    c.LoadFromFile(file);
    EXPECT_EQ(c.Text(), "select 1\rfrom dual\r");
    EXPECT_EQ(c.Title, file);
    Type("--");
    const std::string copy = (dir / "b.sql").string();
    c.SaveToFile(copy);
    std::ifstream in(copy, std::ios::binary);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), "--select 1\r\nfrom dual\r\n");
    EXPECT_FALSE(c.Modified());
}

}  // namespace
}  // namespace tarnwick
