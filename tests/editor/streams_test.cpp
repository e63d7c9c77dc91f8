#include "editor/streams.h"

#include <gtest/gtest.h>

#include "bytes.h"

#include <climits>
#include <string>

#include "editor/saved_object.h"
#include "temp_folder.h"

using namespace tarnwick;
using tarnwick::testing::TempFolder;

namespace {

using tarnwick::testing::Bytes;

std::string ReadAll(TStream& s, std::size_t n)
{
    std::string out(n, '\0');
    out.resize(s.Read(out.data(), n));
    return out;
}

template <typename F>
std::string ErrorOf(F&& f)
{
    try {
        f();
    } catch (const Exception& e) {
        return e.what();
    }
    return "(no error)";
}

}  // namespace

TEST(MemoryStream, ReadWriteSeek)
{
    TMemoryStream s;
    EXPECT_EQ(s.Size(), 0);
    EXPECT_EQ(s.Write("hello", 5), 5u);
    EXPECT_EQ(s.Position(), 5);
    EXPECT_EQ(s.Remaining(), 0);
    char c;
    EXPECT_EQ(s.Read(&c, 1), 0u);  // at the end

    s.SetPosition(1);
    EXPECT_EQ(ReadAll(s, 2), "el");
    EXPECT_EQ(s.Remaining(), 2);
    EXPECT_EQ(ReadAll(s, 10), "lo");  // a short read at the end

    // Writing inside overwrites, and past the end extends.
    s.SetPosition(3);
    s.Write("P!!", 3);
    EXPECT_EQ(s.Data(), "helP!!");
    EXPECT_EQ(s.Seek(-2, SeekOrigin::soFromEnd), 4);
    EXPECT_EQ(s.Seek(-1, SeekOrigin::soFromCurrent), 3);
    EXPECT_EQ(s.Seek(-100, SeekOrigin::soFromCurrent), 0);  // no position before the start

    // A write beyond the end fills the gap with zeros.
    s.Seek(2, SeekOrigin::soFromEnd);
    EXPECT_EQ(s.Remaining(), 0);
    s.Write("x", 1);
    EXPECT_EQ(s.Data(), std::string("helP!!\0\0x", 9));

    s.Clear();
    EXPECT_EQ(s.Size(), 0);
    EXPECT_EQ(s.Position(), 0);

    TMemoryStream preset(std::string("abc"));
    EXPECT_EQ(preset.Position(), 0);
    EXPECT_EQ(ReadAll(preset, 3), "abc");
}

TEST(MemoryStream, CopyFrom)
{
    TMemoryStream source(std::string("0123456789"));
    source.SetPosition(7);
    TMemoryStream all;
    EXPECT_EQ(all.CopyFrom(source, 0), 10);  // 0: everything, from the start
    EXPECT_EQ(all.Data(), "0123456789");

    source.SetPosition(2);
    TMemoryStream part;
    EXPECT_EQ(part.CopyFrom(source, 3), 3);
    EXPECT_EQ(part.Data(), "234");
    EXPECT_EQ(ErrorOf([&] { part.CopyFrom(source, 100); }), "Stream read error");

    std::string big(100000, 'z');
    big[99999] = 'e';
    TMemoryStream bigSource(big);
    TMemoryStream bigCopy;
    EXPECT_EQ(bigCopy.CopyFrom(bigSource, 0), 100000);  // several buffers' worth
    EXPECT_EQ(bigCopy.Data(), big);
}

TEST(StreamHelpers, LittleEndianLayoutAndRoundTrip)
{
    TMemoryStream s;
    WriteI32(s, -2);
    WriteU16(s, 0x1234);
    WriteU32(s, 0x01020304);
    WriteU8(s, 0xAB);
    EXPECT_EQ(s.Data(), Bytes({0xFE, 0xFF, 0xFF, 0xFF, 0x34, 0x12, 0x04, 0x03, 0x02, 0x01, 0xAB}));

    s.SetPosition(0);
    EXPECT_EQ(ReadI32(s), -2);
    EXPECT_EQ(ReadU16(s), 0x1234);
    EXPECT_EQ(ReadU32(s), 0x01020304u);
    EXPECT_EQ(ReadU8(s), 0xAB);

    TMemoryStream e;
    WriteI32(e, INT32_MIN);
    WriteI32(e, INT32_MAX);
    WriteU32(e, 0xFFFFFFFFu);
    WriteU16(e, 0xFFFF);
    e.SetPosition(0);
    EXPECT_EQ(ReadI32(e), INT32_MIN);
    EXPECT_EQ(ReadI32(e), INT32_MAX);
    EXPECT_EQ(ReadU32(e), 0xFFFFFFFFu);
    EXPECT_EQ(ReadU16(e), 0xFFFF);

    // A value cut short raises and does not read past the data.
    TMemoryStream shortData(Bytes({1, 2, 3}));
    EXPECT_EQ(ErrorOf([&] { ReadU32(shortData); }), "Stream read error");
    TMemoryStream one(Bytes({1}));
    EXPECT_THROW(ReadU16(one), EStreamError);
    ReadOnlyMemoryStream none{std::string_view()};
    EXPECT_THROW(ReadU8(none), EStreamError);
}

TEST(StreamHelpers, ShortAndLongStrings)
{
    TMemoryStream s;
    WriteSStr(s, "abc");
    WriteLStr(s, std::string("x\0y", 3));
    WriteSStr(s, std::string(255, 'm'));
    WriteLStr(s, "");
    EXPECT_EQ(s.Data().substr(0, 12), Bytes({3, 'a', 'b', 'c', 3, 0, 0, 0, 'x', 0, 'y', 255}));
    s.SetPosition(0);
    EXPECT_EQ(ReadSStr(s), "abc");
    EXPECT_EQ(ReadLStr(s), std::string("x\0y", 3));
    EXPECT_EQ(ReadSStr(s), std::string(255, 'm'));
    EXPECT_EQ(ReadLStr(s), "");
    EXPECT_EQ(s.Remaining(), 0);

    TMemoryStream tooLong;
    EXPECT_THROW(WriteSStr(tooLong, std::string(256, 'm')), EStreamError);
    EXPECT_EQ(tooLong.Size(), 0);  // nothing half-written

    // Lengths that do not fit raise before anything is allocated.
    TMemoryStream negative(Bytes({0xFF, 0xFF, 0xFF, 0xFF, 'a'}));
    EXPECT_EQ(ErrorOf([&] { ReadLStr(negative); }), "Invalid length -1 in stream");
    TMemoryStream huge(Bytes({0xFF, 0xFF, 0xFF, 0x7F, 'a', 'b'}));
    EXPECT_EQ(ErrorOf([&] { ReadLStr(huge); }), "Invalid length 2147483647 in stream");
    TMemoryStream oneShort(Bytes({3, 0, 0, 0, 'a', 'b'}));
    EXPECT_THROW(ReadLStr(oneShort), EStreamError);
    TMemoryStream shortS(Bytes({4, 'a', 'b', 'c'}));
    EXPECT_THROW(ReadSStr(shortS), EStreamError);
    TMemoryStream exact(Bytes({2, 0, 0, 0, 'a', 'b'}));
    EXPECT_EQ(ReadLStr(exact), "ab");
}

TEST(StreamHelpers, SetsAndCounts)
{
    ByteSet set;
    set.Include(0);
    set.Include(9);
    set.Include(255);
    TMemoryStream s;
    WriteSet32(s, set);
    ASSERT_EQ(s.Size(), 32);
    EXPECT_EQ(s.Data()[0], 0x01);
    EXPECT_EQ(s.Data()[1], 0x02);
    EXPECT_EQ(static_cast<std::uint8_t>(s.Data()[31]), 0x80);
    s.SetPosition(0);
    EXPECT_EQ(ReadSet32(s), set);
    TMemoryStream shortSet(std::string(31, '\0'));
    EXPECT_THROW(ReadSet32(shortSet), EStreamError);

    // A count of items of at least 4 bytes each.
    TMemoryStream fits(Bytes({2, 0, 0, 0}) + std::string(8, '\0'));
    EXPECT_EQ(ReadCount(fits, 4), 2);
    TMemoryStream tooMany(Bytes({3, 0, 0, 0}) + std::string(8, '\0'));
    EXPECT_EQ(ErrorOf([&] { ReadCount(tooMany, 4); }), "Invalid count 3 in stream");
    TMemoryStream negative(Bytes({0xFE, 0xFF, 0xFF, 0xFF}));
    EXPECT_EQ(ErrorOf([&] { ReadCount(negative, 0); }), "Invalid count -2 in stream");
    TMemoryStream huge(Bytes({0xFF, 0xFF, 0xFF, 0x7F}) + std::string(64, '\0'));
    EXPECT_THROW(ReadCount(huge, 37), EStreamError);
    TMemoryStream zero(Bytes({0, 0, 0, 0}));
    EXPECT_EQ(ReadCount(zero, 1000), 0);
}

TEST(ReadOnlyMemoryStream, ReadsButNeverWrites)
{
    const std::string data = "abcdef";
    ReadOnlyMemoryStream s(data);
    EXPECT_EQ(s.Size(), 6);
    EXPECT_EQ(ReadAll(s, 4), "abcd");
    EXPECT_EQ(ErrorOf([&] { s.Write("x", 1); }), "Cannot write to a read-only stream");
    EXPECT_THROW(WriteU8(s, 1), EStreamError);
    EXPECT_EQ(s.Position(), 4);
    EXPECT_EQ(data, "abcdef");

    EXPECT_EQ(s.Seek(10, SeekOrigin::soFromCurrent), 6);  // never past the end
    EXPECT_EQ(s.Remaining(), 0);
    EXPECT_EQ(s.Seek(-10, SeekOrigin::soFromEnd), 0);
    EXPECT_EQ(s.Seek(-2, SeekOrigin::soFromEnd), 4);
    EXPECT_EQ(ReadAll(s, 10), "ef");
}

TEST(FileStream, CreateWriteReadBack)
{
    TempFolder dir;
    const auto file = dir / "data.bin";
    {
        TFileStream out(file, TFileStream::Mode::fmCreate);
        WriteLStr(out, "payload");
        WriteI32(out, -7);
        EXPECT_EQ(out.Size(), 15);
        out.SetPosition(0);  // created files can be read too
        EXPECT_EQ(ReadLStr(out), "payload");
    }
    EXPECT_EQ(dir.Read("data.bin"), Bytes({7, 0, 0, 0, 'p', 'a', 'y', 'l', 'o', 'a', 'd', 0xF9, 0xFF, 0xFF, 0xFF}));
    {
        TFileStream in(file, TFileStream::Mode::fmOpenRead);
        EXPECT_EQ(in.Size(), 15);
        EXPECT_EQ(ReadLStr(in), "payload");
        EXPECT_EQ(ReadI32(in), -7);
        EXPECT_EQ(in.Remaining(), 0);
        EXPECT_THROW(ReadU8(in), EStreamError);
        in.Seek(-4, SeekOrigin::soFromEnd);
        EXPECT_EQ(ReadI32(in), -7);
        EXPECT_EQ(in.Write("x", 1), 0u);  // opened for reading only
        EXPECT_THROW(WriteU8(in, 1), EStreamError);
    }
    EXPECT_EQ(dir.Read("data.bin").size(), 15u);

    // A corrupt length in a file is refused like one in memory.
    dir.Write("bad.bin", Bytes({0xFF, 0xFF, 0xFF, 0x7F, 'a'}));
    TFileStream bad(dir / "bad.bin", TFileStream::Mode::fmOpenRead);
    EXPECT_THROW(ReadLStr(bad), EStreamError);

    // Creating an existing file empties it.
    {
        TFileStream again(file, TFileStream::Mode::fmCreate);
    }
    EXPECT_EQ(dir.Read("data.bin"), "");
}

TEST(FileStream, OpenErrorsNameTheFile)
{
    TempFolder dir;
    const auto missing = dir / "missing.bin";
    try {
        TFileStream s(missing, TFileStream::Mode::fmOpenRead);
        ADD_FAILURE() << "opened a missing file";
    } catch (const EFOpenError& e) {
        EXPECT_EQ(std::string(e.what()), "Cannot open file " + missing.string());
    }
    const auto inMissingFolder = dir / "no" / "such" / "file.bin";
    try {
        TFileStream s(inMissingFolder, TFileStream::Mode::fmCreate);
        ADD_FAILURE() << "created a file in a missing folder";
    } catch (const EFCreateError& e) {
        EXPECT_EQ(std::string(e.what()), "Cannot create file " + inMissingFolder.string());
    }
}

namespace {

// Two small classes that save and load through the base's stream conventions.
class TPoint : public TSM_Base {
public:
    std::int32_t x = 0, y = 0;
    void SaveToStream(TStream& s) const override
    {
        WriteI32(s, x);
        WriteI32(s, y);
    }
    void LoadFromStream(TStream& s) override
    {
        x = ReadI32(s);
        y = ReadI32(s);
    }
    std::string ClassName() const override { return "TPoint"; }

protected:
    std::unique_ptr<TSM_Base> CreateEmpty() const override { return std::make_unique<TPoint>(); }
};

class TLabel : public TSM_Base {
public:
    std::string text;
    void SaveToStream(TStream& s) const override { WriteLStr(s, text); }
    void LoadFromStream(TStream& s) override { text = ReadLStr(s); }
    std::string ClassName() const override { return "TLabel"; }

protected:
    std::unique_ptr<TSM_Base> CreateEmpty() const override { return std::make_unique<TLabel>(); }
};

}  // namespace

TEST(SMBase, CloneAndAssignGoThroughAStream)
{
    TPoint p;
    p.x = -3;
    p.y = 70000;
    std::unique_ptr<TSM_Base> copy = p.Clone();
    auto* q = dynamic_cast<TPoint*>(copy.get());
    ASSERT_NE(q, nullptr);
    EXPECT_EQ(q->x, -3);
    EXPECT_EQ(q->y, 70000);

    TPoint r;
    r.Assign(&p);
    EXPECT_EQ(r.x, -3);
    EXPECT_EQ(r.y, 70000);

    TLabel label;
    label.text = "not a point";
    EXPECT_EQ(ErrorOf([&] { r.Assign(&label); }), "Cannot assign a TLabel to TPoint");
    EXPECT_EQ(ErrorOf([&] { label.Assign(&r); }), "Cannot assign a TPoint to TLabel");
    TSM_Base base;
    EXPECT_EQ(ErrorOf([&] { r.Assign(&base); }), "Cannot assign a TSM_Base to TPoint");
    EXPECT_THROW(r.Assign(nullptr), EDoravaVizu);
    EXPECT_EQ(r.x, -3);  // a refused assign changes nothing
    EXPECT_EQ(label.text, "not a point");
}

TEST(MemoryStream, ExtremeSeeksAreKeptInBounds)
{
    TMemoryStream m(std::string("abc"));
    EXPECT_EQ(m.Seek(INT64_MAX, SeekOrigin::soFromBeginning), INT64_MAX);
    EXPECT_EQ(m.Seek(INT64_MAX, SeekOrigin::soFromCurrent), INT64_MAX);  // saturates, no overflow
    EXPECT_THROW(m.Write("x", 1), EStreamError);                         // and allocates nothing
    EXPECT_EQ(m.Size(), 3);
    EXPECT_EQ(m.Seek(INT64_MIN, SeekOrigin::soFromEnd), 0);

    ReadOnlyMemoryStream r("xyz");
    EXPECT_EQ(r.Seek(INT64_MAX, SeekOrigin::soFromCurrent), 3);
    EXPECT_EQ(r.Seek(INT64_MIN, SeekOrigin::soFromCurrent), 0);
}
