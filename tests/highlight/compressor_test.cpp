#include "highlight/compressor.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <string>

namespace tarnwick {
namespace {

using Method = TCompressor::CompressionMethod;

std::string Compress(const std::string& data, Method method, std::int64_t* written = nullptr)
{
    TMemoryStream in(data);
    TMemoryStream out;
    const std::int64_t n = TCompressor::Compress(in, out, method);
    if (written != nullptr) *written = n;
    return out.Data();
}

std::string Decompress(const std::string& packed, std::int64_t* written = nullptr)
{
    TMemoryStream in(packed);
    TMemoryStream out;
    const std::int64_t n = TCompressor::Decompress(in, out);
    if (written != nullptr) *written = n;
    return out.Data();
}

// The message of the exception decompressing `packed` raises; fails the test when none is raised.
std::string DecompressError(const std::string& packed)
{
    try {
        Decompress(packed);
    } catch (const ECompressorException& e) {
        return e.what();
    }
    ADD_FAILURE() << "no error for " << packed.size() << " bytes of input";
    return {};
}

std::string RandomBytes(std::size_t n, unsigned seed)
{
    std::mt19937 rng(seed);
    std::string s(n, '\0');
    for (auto& ch : s) ch = static_cast<char>(rng() & 0xFF);
    return s;
}

std::string TextLike(std::size_t n)
{
    static const char* words[] = {"select ",         "from ",  "where ", "table_name", " = ",
                                  "1;\r\n",          "begin ", "end;\n", "  ",         "dbms_output.put_line('x');\n",
                                  "#ifdef ORACLE\n", "--"};
    std::mt19937 rng(7);
    std::string s;
    while (s.size() < n) s += words[rng() % 12];
    s.resize(n);
    return s;
}

std::string Bytes(std::initializer_list<int> b)
{
    std::string s;
    for (int x : b) s.push_back(static_cast<char>(x));
    return s;
}

void ExpectRoundTrip(const std::string& data, const char* what)
{
    for (const Method m : {TCompressor::cmKH, TCompressor::cmLZH}) {
        SCOPED_TRACE(std::string(what) + (m == TCompressor::cmKH ? " KH" : " LZH"));
        std::int64_t packedSize = 0;
        const std::string packed = Compress(data, m, &packedSize);
        EXPECT_EQ(packedSize, static_cast<std::int64_t>(packed.size()));
        ASSERT_GE(packed.size(), 8u);
        EXPECT_EQ(packed.substr(0, 4), m == TCompressor::cmKH ? "WRZL" : "!HZL");
        std::int64_t outSize = -1;
        const std::string back = Decompress(packed, &outSize);
        EXPECT_EQ(outSize, static_cast<std::int64_t>(data.size()));
        EXPECT_TRUE(back == data) << "round trip changed the data (" << data.size() << " bytes)";
    }
}

TEST(CompressorRoundTrip, SizesAroundBlockBoundaries)
{
    ExpectRoundTrip("", "empty");
    ExpectRoundTrip("x", "one byte");
    for (const std::size_t n : {32767u, 32768u, 32769u, 65536u}) {
        ExpectRoundTrip(TextLike(n), ("text " + std::to_string(n)).c_str());
        ExpectRoundTrip(RandomBytes(n, static_cast<unsigned>(n)), ("random " + std::to_string(n)).c_str());
    }
}

TEST(CompressorRoundTrip, KindsOfData)
{
    ExpectRoundTrip(RandomBytes(100000, 1), "random");
    std::string runs;
    for (int i = 0; i < 200; ++i)
        runs += std::string(static_cast<std::size_t>(1 + i * 37 % 5000), static_cast<char>(i));
    ExpectRoundTrip(runs, "runs");
    ExpectRoundTrip(std::string(70000, '\0'), "zeros");
    ExpectRoundTrip(std::string(5000, ' '), "blanks, which the LZH ring starts with");
    ExpectRoundTrip(TextLike(200000), "text");
    // Skewed byte frequencies drive the adaptive Huffman tree deep and through its rebuilds.
    std::mt19937 rng(3);
    std::geometric_distribution<int> geo(0.35);
    std::string skewed(300000, '\0');
    for (auto& ch : skewed) ch = static_cast<char>(std::min(geo(rng), 255));
    ExpectRoundTrip(skewed, "skewed");
}

TEST(CompressorRoundTrip, SeveralMegabytes)
{
    std::string data = TextLike(2'000'000) + RandomBytes(500'000, 9) + std::string(600'000, 'z');
    ExpectRoundTrip(data, "mixed 3 MB");
}

TEST(CompressorRoundTrip, CompressesRedundantData)
{
    const std::string text = TextLike(100000);
    EXPECT_LT(Compress(text, TCompressor::cmKH).size(), text.size() / 2);
    EXPECT_LT(Compress(text, TCompressor::cmLZH).size(), text.size() / 3);
    const std::string zeros(100000, '\0');
    EXPECT_LT(Compress(zeros, TCompressor::cmKH).size(), 200u);
}

TEST(KhFormat, ExactBytes)
{
    // An empty input: magic, size 0 and one stored block holding nothing.
    EXPECT_EQ(Compress("", TCompressor::cmKH), Bytes({'W', 'R', 'Z', 'L', 0, 0, 0, 0, 1, 0, 0x80}));
    // 20 equal bytes: one compressed block with one group whose only item is a run of 16 + 4.
    EXPECT_EQ(Compress(std::string(20, 'A'), TCompressor::cmKH),
              Bytes({'W', 'R', 'Z', 'L', 20, 0, 0, 0, 7, 0, 0x40, 0x80, 0x00, 0, 0, 4, 'A'}));
    // A block that would not shrink is stored.
    const std::string noise = RandomBytes(1000, 5);
    const std::string packed = Compress(noise, TCompressor::cmKH);
    EXPECT_EQ(packed.substr(8, 3), Bytes({0xE9, 0x03, 0x80}));
    EXPECT_EQ(packed.substr(11), noise);
    // A size that is a multiple of the block size ends with an empty stored block.
    const std::string full = Compress(TextLike(32768), TCompressor::cmKH);
    EXPECT_EQ(full.substr(full.size() - 3), Bytes({1, 0, 0x80}));
}

TEST(KhFormat, DecodesCopyItemsAndLongRuns)
{
    // "abc" then a copy of 6 bytes from 3 back (overlapping), then a run of 16 + 0x123 'q'.
    const std::string block = Bytes({0x40, 0x18, 0x00, 'a', 'b', 'c', 0x00, 0x33, 0, 1, 0x23, 'q'});
    std::string packed = Bytes({'W', 'R', 'Z', 'L', 0, 0, 0, 0, static_cast<int>(block.size()), 0}) + block;
    const std::string expected = "abcabcabc" + std::string(16 + 0x123, 'q');
    packed[4] = static_cast<char>(expected.size() & 0xFF);
    packed[5] = static_cast<char>(expected.size() >> 8);
    EXPECT_EQ(Decompress(packed), expected);
}

TEST(CompressorHostileInput, HeaderAndKhBlocks)
{
    EXPECT_EQ(DecompressError("WRZX\0\0\0\0"), compressor_msg::kNoHeaderStream);
    EXPECT_EQ(DecompressError(""), compressor_msg::kNoHeaderStream);
    EXPECT_EQ(DecompressError("WRZ"), compressor_msg::kNoHeaderStream);

    const std::string good = Compress(TextLike(40000), TCompressor::cmKH);
    for (std::size_t cut = 0; cut < good.size(); cut += (cut < 64 ? 1 : 97)) {
        SCOPED_TRACE(cut);
        EXPECT_FALSE(DecompressError(good.substr(0, cut)).empty());
    }
    // Sizes that disagree, either way.
    std::string bigger = good;
    bigger[4] = static_cast<char>(bigger[4] + 1);
    EXPECT_EQ(DecompressError(bigger), compressor_msg::kKhSizes);
    std::string smaller = good;
    smaller[4] = static_cast<char>(smaller[4] - 1);
    EXPECT_EQ(DecompressError(smaller), compressor_msg::kKhSizes);
    std::string negative = good;
    negative[7] = static_cast<char>(0x80);
    EXPECT_EQ(DecompressError(negative), compressor_msg::kKhSizes);

    // A copy from before the start of the block.
    EXPECT_EQ(DecompressError(Bytes({'W', 'R', 'Z', 'L', 3, 0, 0, 0, 5, 0, 0x40, 0x80, 0x00, 0x00, 0x50})),
              compressor_msg::kKhCorrupt);
    // A two-byte item cut by the end of its block, a run past 32768 bytes, an unknown block type,
    // a block length beyond any block.
    EXPECT_EQ(DecompressError(Bytes({'W', 'R', 'Z', 'L', 3, 0, 0, 0, 4, 0, 0x40, 0x80, 0x00, 0x01})),
              compressor_msg::kKhCorrupt);
    std::string overlong = Bytes({'W', 'R', 'Z', 'L', 0, 0, 1, 0, 35, 0, 0x40, 0xFF, 0x00});
    for (int i = 0; i < 8; ++i) overlong += Bytes({0, 0x0F, 0xFF, 'x'});
    EXPECT_EQ(DecompressError(overlong), compressor_msg::kKhCorrupt);
    EXPECT_EQ(DecompressError(Bytes({'W', 'R', 'Z', 'L', 1, 0, 0, 0, 2, 0, 0x41, 'x'})), compressor_msg::kKhCorrupt);
    EXPECT_EQ(DecompressError(Bytes({'W', 'R', 'Z', 'L', 1, 0, 0, 0, 0xFF, 0xFF, 0x80})), compressor_msg::kKhCorrupt);
}

TEST(CompressorHostileInput, LzhEndsWithAnError)
{
    const std::string good = Compress(TextLike(20000), TCompressor::cmLZH);
    ASSERT_EQ(Decompress(good), TextLike(20000));
    for (std::size_t cut = 8; cut < good.size(); cut += (cut < 64 ? 1 : 61)) {
        SCOPED_TRACE(cut);
        EXPECT_FALSE(DecompressError(good.substr(0, cut)).empty());
    }
    // A header claiming a huge size over a few bytes: the bits run out long before the size.
    const std::string lzhRead = std::string(compressor_msg::kReadStream) + compressor_msg::kLzhSuffix;
    EXPECT_EQ(DecompressError(Bytes({'!', 'H', 'Z', 'L', 0xFF, 0xFF, 0xFF, 0x7F, 0, 0, 0, 0})), lzhRead);
    EXPECT_EQ(DecompressError(Bytes({'!', 'H', 'Z', 'L', 1, 0, 0, 0})), lzhRead);
    // Random bodies under a huge size end, one way or the other, with an error.
    for (unsigned seed = 0; seed < 20; ++seed) {
        const std::string hostile = Bytes({'!', 'H', 'Z', 'L', 0xFF, 0xFF, 0xFF, 0x7F}) + RandomBytes(3000, seed);
        EXPECT_FALSE(DecompressError(hostile).empty());
    }
    // A size one short of the data: the last match would run past it.
    const std::string runs = Compress(std::string(1000, 'r'), TCompressor::cmLZH);
    std::string shortSize = runs;
    shortSize[4] = static_cast<char>(shortSize[4] - 1);
    EXPECT_EQ(DecompressError(shortSize), compressor_msg::kLzhSizes);
}

TEST(CompressorHostileInput, LzhFarReferencesStayInTheRing)
{
    // Symbol 256 + k codes a match of k + 3 bytes. In the starting tree symbol 313 (60 bytes)
    // lies on the path 11000101; position 4095 (code 0xFF and six more bits) reaches back past
    // everything written, to the part of the ring that has never been written.
    std::string bits =
        "11000101"
        "11111111"
        "111111";
    while (bits.size() % 8 != 0) bits += '0';
    std::string body;
    for (std::size_t i = 0; i < bits.size(); i += 8)
        body.push_back(static_cast<char>(std::stoi(bits.substr(i, 8), nullptr, 2)));
    const std::string packed = Bytes({'!', 'H', 'Z', 'L', 60, 0, 0, 0}) + body;
    EXPECT_EQ(Decompress(packed), std::string(60, ' '));
}

TEST(CompressorStreams, PositionsAndWriteErrors)
{
    // The input stream stands after the compressed data once it is decoded.
    for (const Method m : {TCompressor::cmKH, TCompressor::cmLZH}) {
        const std::string data = TextLike(50000);
        TMemoryStream in(Compress(data, m) + "TAIL");
        TMemoryStream out;
        TCompressor c;
        c.StreamMode = true;
        c.InputStream = &in;
        c.OutputStream = &out;
        EXPECT_EQ(c.Decompress(), 50000);
        EXPECT_EQ(out.Data(), data);
        EXPECT_EQ(in.Remaining(), 4);
    }
    // Compression starts at the input's position.
    TMemoryStream in(std::string("skip") + "payload");
    in.SetPosition(4);
    TMemoryStream out;
    TCompressor c;
    c.StreamMode = true;
    c.InputStream = &in;
    c.OutputStream = &out;
    c.Compress();
    EXPECT_EQ(Decompress(out.Data()), "payload");

    TMemoryStream source(std::string("data"));
    ReadOnlyMemoryStream sink("");
    TCompressor w;
    w.StreamMode = true;
    w.InputStream = &source;
    w.OutputStream = &sink;
    try {
        w.Compress();
        ADD_FAILURE() << "writing to a read-only stream succeeded";
    } catch (const ECompressorException& e) {
        EXPECT_STREQ(e.what(), compressor_msg::kWriteStream);
    }
    TCompressor none;
    none.StreamMode = true;
    EXPECT_THROW(none.Compress(), ECompressorException);
}

TEST(CompressorAdvise, ChoosesByFileSizeAndRatio)
{
    auto advise = [](const std::string& data, int& method, std::int64_t startAt = 0) {
        TMemoryStream in(data);
        in.SetPosition(startAt);
        TCompressor c;
        c.StreamMode = true;
        c.InputStream = &in;
        const bool kh = c.Advise();
        EXPECT_EQ(in.Position(), startAt);
        method = c.Method;
        return kh;
    };
    int method = -1;
    EXPECT_FALSE(advise(std::string(98303, 'a'), method));
    EXPECT_EQ(method, TCompressor::cmLZH);
    EXPECT_TRUE(advise(std::string(98304, 'a'), method));
    EXPECT_EQ(method, TCompressor::cmKH);
    EXPECT_FALSE(advise(RandomBytes(300000, 4), method));
    // Only what follows the position counts.
    EXPECT_FALSE(advise(std::string(100000, 'a'), method, 2000));
    EXPECT_EQ(method, TCompressor::cmLZH);

    // Method 2 compresses with whatever the advice says.
    EXPECT_EQ(Compress(TextLike(1000), TCompressor::cmAdvise).substr(0, 4), "!HZL");
    EXPECT_EQ(Compress(std::string(200000, 'k'), TCompressor::cmAdvise).substr(0, 4), "WRZL");
}

class CompressorFiles : public ::testing::Test {
protected:
    void SetUp() override
    {
        dir_ = std::filesystem::temp_directory_path() /
               ("tarnwick_compressor_" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) + "_" +
                ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::create_directories(dir_);
    }
    void TearDown() override { std::filesystem::remove_all(dir_); }

    std::string Path(const char* name) const { return (dir_ / name).string(); }
    static void Put(const std::string& path, const std::string& data) { std::ofstream(path, std::ios::binary) << data; }
    static std::string Get(const std::string& path)
    {
        std::ifstream f(path, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(f), {});
    }

    std::filesystem::path dir_;
};

TEST_F(CompressorFiles, RoundTripAndFailures)
{
    const std::string data = TextLike(70000);
    Put(Path("in.sql"), data);
    for (const Method m : {TCompressor::cmKH, TCompressor::cmLZH}) {
        TCompressor c;
        c.Method = m;
        c.InputFile = Path("in.sql");
        c.OutputFile = Path("packed");
        const std::int64_t n = c.Compress();
        EXPECT_EQ(n, static_cast<std::int64_t>(std::filesystem::file_size(Path("packed"))));
        TCompressor d;
        d.InputFile = Path("packed");
        d.OutputFile = Path("out.sql");
        EXPECT_EQ(d.Decompress(), 70000);
        EXPECT_EQ(Get(Path("out.sql")), data);
    }

    // A corrupt file: the error names it, and the half-written output is gone.
    std::string packed = Compress(data, TCompressor::cmKH);
    packed.resize(packed.size() - 10);
    Put(Path("bad"), packed);
    TCompressor d;
    d.InputFile = Path("bad");
    d.OutputFile = Path("partial");
    try {
        d.Decompress();
        ADD_FAILURE() << "a truncated file decompressed";
    } catch (const ECompressorException& e) {
        EXPECT_EQ(std::string(e.what()), compressor_msg::kReadFile + Path("bad"));
    }
    EXPECT_FALSE(std::filesystem::exists(Path("partial")));

    Put(Path("nohead"), "HELLO WORLD");
    d.InputFile = Path("nohead");
    try {
        d.Decompress();
        ADD_FAILURE() << "a file without header decompressed";
    } catch (const ECompressorException& e) {
        EXPECT_EQ(std::string(e.what()), Path("nohead") + compressor_msg::kNoHeaderFile);
    }
    EXPECT_FALSE(std::filesystem::exists(Path("partial")));

    d.InputFile = Path("missing");
    try {
        d.Decompress();
        ADD_FAILURE() << "a missing file decompressed";
    } catch (const ECompressorException& e) {
        EXPECT_EQ(std::string(e.what()), compressor_msg::kOpenInput + Path("missing"));
    }

    // The output naming the input file (also through another path) is refused before the input
    // is truncated.
    for (const std::string& out : {Path("in.sql"), (dir_ / "." / "in.sql").string()}) {
        TCompressor same;
        same.InputFile = Path("in.sql");
        same.OutputFile = out;
        EXPECT_THROW(same.Compress(), ECompressorException);
        EXPECT_EQ(Get(Path("in.sql")), data);
    }
}

}  // namespace
}  // namespace tarnwick
