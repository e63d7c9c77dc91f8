// The recovery file: its records read back, damage ending or refusing it, and the writer's thread
// keeping it in step with the edits it is told of.

#include "editor/recovery_file.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <random>

#include "base/file_io.h"
#include "editor/recovery_writer.h"
#include "temp_folder.h"

namespace fs = std::filesystem;
using namespace tarnwick;
using tarnwick::testing::TempFolder;

namespace {

RecoveryHead Head(std::string name = "/tmp/a.sql")
{
    RecoveryHead h;
    h.fileName = std::move(name);
    h.saveFormat = 3;
    h.lineStyle = 1;
    return h;
}

std::string WholeFile(const RecoveryHead& head, std::string_view text)
{
    return EncodeRecoveryStart(head) + EncodeTextRecordFrame(text, {}) + std::string(text);
}

}  // namespace

TEST(RecoveryFile, TextAndChangesReadBack)
{
    const RecoveryHead head = Head();
    std::string data = WholeFile(head, "select 1;\rfrom dual;");
    data += EncodeInsertRecord(0, "-- x\r");
    data += EncodeDeleteRecord(5, 12);  // "select "
    data += EncodeInsertRecord(17, "\xE9");
    RecoveryHead renamed = Head("");
    data += EncodeHeadRecord(renamed);

    const RecoveredScript script = ReadRecoveryData(data);
    EXPECT_EQ(script.text, "-- x\r1;\rfrom dual\xE9;");
    EXPECT_EQ(script.head, renamed);
    EXPECT_FALSE(script.droppedTail);

    // Split text pieces (a gap text's front and back) give the same record as one piece.
    EXPECT_EQ(EncodeTextRecordFrame("ab", "cd"), EncodeTextRecordFrame("abcd", ""));
}

TEST(RecoveryFile, CutShortKeepsWholeRecordsAndRefusesAMissingText)
{
    const std::string whole = WholeFile(Head(), "abc\rdef");
    const std::string first = EncodeInsertRecord(3, "XY");
    const std::string second = EncodeDeleteRecord(0, 1);
    const std::string data = whole + first + second;
    for (std::size_t cut = 0; cut <= data.size(); ++cut) {
        const std::string_view part(data.data(), cut);
        if (cut < whole.size()) {
            EXPECT_THROW(ReadRecoveryData(part), RecoveryFileError) << "cut at " << cut;
            continue;
        }
        const RecoveredScript script = ReadRecoveryData(part);
        if (cut < whole.size() + first.size()) EXPECT_EQ(script.text, "abc\rdef");
        else if (cut < data.size()) EXPECT_EQ(script.text, "abcXY\rdef");
        else EXPECT_EQ(script.text, "bcXY\rdef");
        EXPECT_EQ(script.droppedTail, cut != whole.size() && cut != whole.size() + first.size() && cut != data.size())
            << "cut at " << cut;
    }
}

TEST(RecoveryFile, DamageIsRefusedWithAMessageOrEndsTheChanges)
{
    const std::string whole = WholeFile(Head(), "select 1;");
    const std::string change = EncodeInsertRecord(0, "--");

    // Any flipped byte of the signature, the head or the text: refused.
    for (std::size_t at = 0; at < whole.size(); ++at) {
        std::string bad = whole + change;
        bad[at] = static_cast<char>(bad[at] ^ 0x20);
        EXPECT_THROW(ReadRecoveryData(bad), RecoveryFileError) << "byte " << at;
    }
    // A flipped byte of a change: the change is dropped, the text stays.
    for (std::size_t at = whole.size(); at < whole.size() + change.size(); ++at) {
        std::string bad = whole + change;
        bad[at] = static_cast<char>(bad[at] ^ 0x01);
        const RecoveredScript script = ReadRecoveryData(bad);
        EXPECT_EQ(script.text, "select 1;");
        EXPECT_TRUE(script.droppedTail);
    }

    try {
        ReadRecoveryData("hello, world");
        FAIL() << "no error";
    } catch (const RecoveryFileError& e) {
        EXPECT_STREQ(e.what(), "it is not a recovery file of this program");
    }
    // Changes outside the text, well formed otherwise.
    EXPECT_THROW(ReadRecoveryData(whole + EncodeInsertRecord(10, "x")), RecoveryFileError);
    EXPECT_THROW(ReadRecoveryData(whole + EncodeInsertRecord(-1, "x")), RecoveryFileError);
    EXPECT_THROW(ReadRecoveryData(whole + EncodeDeleteRecord(3, 2)), RecoveryFileError);
    EXPECT_THROW(ReadRecoveryData(whole + EncodeDeleteRecord(0, 10)), RecoveryFileError);
    // A head with a character set this program does not hold text in.
    RecoveryHead other = Head();
    other.charset = "utf-8";
    try {
        ReadRecoveryData(WholeFile(other, "x"));
        FAIL() << "no error";
    } catch (const RecoveryFileError& e) {
        EXPECT_NE(std::string(e.what()).find("utf-8"), std::string::npos);
    }
    RecoveryHead format = Head();
    format.saveFormat = 9;
    EXPECT_THROW(ReadRecoveryData(WholeFile(format, "x")), RecoveryFileError);
    // A change before the text, and the text twice.
    EXPECT_THROW(ReadRecoveryData(EncodeRecoveryStart(Head()) + change), RecoveryFileError);
    EXPECT_THROW(ReadRecoveryData(whole + EncodeTextRecordFrame("x", "") + "x"), RecoveryFileError);
}

TEST(RecoveryFile, GapTextFollowsAStringThroughRandomEdits)
{
    std::mt19937 rng(7);
    GapText gap;
    std::string plain;
    for (int step = 0; step < 5000; ++step) {
        const auto size = static_cast<std::int64_t>(plain.size());
        if (rng() % 3 != 0 || size == 0) {
            const std::int64_t at = static_cast<std::int64_t>(rng() % (plain.size() + 1));
            const std::string text(1 + rng() % (step % 100 == 0 ? 20000 : 7), static_cast<char>('a' + step % 26));
            gap.Insert(at, text);
            plain.insert(static_cast<std::size_t>(at), text);
        } else {
            const std::int64_t a = static_cast<std::int64_t>(rng() % plain.size());
            const std::int64_t b = std::min<std::int64_t>(size, a + static_cast<std::int64_t>(rng() % 50));
            gap.Delete(a, b);
            plain.erase(static_cast<std::size_t>(a), static_cast<std::size_t>(b - a));
        }
        ASSERT_EQ(gap.Size(), static_cast<std::int64_t>(plain.size()));
    }
    EXPECT_EQ(gap.Text(), plain);
}

TEST(RecoveryWriter, WritesOnlyACompleteTextThenAppendsChanges)
{
    TempFolder folder;
    const fs::path file = folder.Path() / "w.twr";
    {
        RecoveryWriter writer(file, Head());
        writer.Append("abc");
        writer.Flush();
        writer.WaitIdle();
        EXPECT_FALSE(fs::exists(file)) << "written before the text was complete";

        // An edit inside the part handed over, then the rest of the text.
        writer.Insert(1, "X");
        writer.Append("\rdef");
        writer.TextComplete();
        writer.Flush();
        writer.WaitIdle();
        ASSERT_TRUE(fs::exists(file));
        EXPECT_EQ(ReadRecoveryData(ReadWholeFile(file)).text, "aXbc\rdef");
        EXPECT_EQ(writer.Done().wholeWrites, 1);

        writer.Delete(0, 2);
        writer.Insert(6, "!");
        RecoveryHead renamed = Head("/tmp/b.sql");
        writer.SetHead(renamed);
        writer.Flush();
        writer.WaitIdle();
        const RecoveredScript script = ReadRecoveryData(ReadWholeFile(file));
        EXPECT_EQ(script.text, "bc\rdef!");
        EXPECT_EQ(script.head, renamed);
        EXPECT_EQ(writer.Done().wholeWrites, 1);
        EXPECT_EQ(writer.Done().appends, 1);

        // A flush without anything new writes nothing.
        writer.Flush();
        writer.WaitIdle();
        EXPECT_EQ(writer.Done().appends, 1);
        EXPECT_FALSE(writer.TakeError());
    }
    EXPECT_FALSE(fs::exists(file)) << "the writer leaves its file behind";
}

TEST(RecoveryWriter, LargeChangesRewriteTheWholeFile)
{
    TempFolder folder;
    const fs::path file = folder.Path() / "w.twr";
    RecoveryWriter writer(file, Head());
    writer.Append(std::string(1000, 'a'));
    writer.TextComplete();
    writer.Flush();
    writer.WaitIdle();
    const std::string big(RecoveryWriter::kMinJournalBytes, 'b');
    writer.Insert(0, big);
    writer.Flush();
    writer.WaitIdle();
    EXPECT_EQ(writer.Done().wholeWrites, 2);
    EXPECT_EQ(writer.Done().appends, 0);
    const std::string data = ReadWholeFile(file);
    EXPECT_EQ(ReadRecoveryData(data).text, big + std::string(1000, 'a'));
    // The file holds the text once, not the text and the change.
    EXPECT_LT(data.size(), big.size() + 1000 + 200);
}

TEST(RecoveryWriter, AFolderThatCannotBeWrittenIsReportedOnce)
{
    TempFolder folder;
    RecoveryWriter writer(folder.Path() / "missing" / "w.twr", Head());
    writer.Append("x");
    writer.TextComplete();
    writer.Flush();
    writer.WaitIdle();
    const std::optional<std::string> error = writer.TakeError();
    ASSERT_TRUE(error);
    EXPECT_NE(error->find("w.twr"), std::string::npos);
    EXPECT_FALSE(writer.TakeError());
}
