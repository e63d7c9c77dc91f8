#include "highlight/compressor.h"

#include <cstring>
#include <filesystem>
#include <memory>
#include <new>
#include <vector>

#include "highlight/compressor_internal.h"

namespace tarnwick {

namespace {

using namespace compressor_detail;

constexpr char kKhMagic[4] = {'W', 'R', 'Z', 'L'};
constexpr char kLzhMagic[4] = {'!', 'H', 'Z', 'L'};

std::int64_t InputSize(TStream& s, const char* message)
{
    try {
        return s.Remaining();
    } catch (const Exception&) {
        throw ECompressorException(message);
    }
}

std::int64_t CompressWith(bool useKh, TStream& input, TStream& output, const Context& ctx)
{
    const std::int64_t size =
        InputSize(input, ctx.streamMode ? m::kSizeStream : (m::kSizeFile + ctx.inputFile).c_str());
    if (size > INT32_MAX) throw ECompressorException(m::kTooLarge);
    Sink sink(output, ctx);
    sink.Put(useKh ? kKhMagic : kLzhMagic, 4);
    sink.PutI32(static_cast<std::int32_t>(size));
    if (useKh) {
        KhCompress(input, size, sink, ctx);
    } else {
        LzhCompress(input, size, sink, ctx);
    }
    sink.Flush();
    return sink.Written();
}

std::int64_t DecompressFrom(TStream& input, TStream& output, const Context& ctx)
{
    std::uint8_t head[8];
    const std::size_t got = ReadSome(input, head, 8);
    const bool kh = got >= 4 && std::memcmp(head, kKhMagic, 4) == 0;
    const bool lzh = got >= 4 && std::memcmp(head, kLzhMagic, 4) == 0;
    if (!kh && !lzh) {
        if (ctx.streamMode) throw ECompressorException(m::kNoHeaderStream);
        throw ECompressorException(ctx.inputFile + m::kNoHeaderFile);
    }
    if (got < 8) ThrowRead(ctx, kh ? "" : m::kLzhSuffix);
    const std::int32_t original = static_cast<std::int32_t>(
        static_cast<std::uint32_t>(head[4]) | (static_cast<std::uint32_t>(head[5]) << 8) |
        (static_cast<std::uint32_t>(head[6]) << 16) | (static_cast<std::uint32_t>(head[7]) << 24));
    if (original < 0) throw ECompressorException(kh ? m::kKhSizes : m::kLzhSizes);
    Sink sink(output, ctx);
    const std::int64_t n = kh ? KhDecompress(input, original, sink, ctx) : LzhDecompress(input, original, sink, ctx);
    sink.Flush();
    return n;
}

// Opens the files of a file-mode run; the output file is deleted again if the run fails.
template <typename Run>
std::int64_t RunOnFiles(const Context& ctx, Run run)
{
    std::unique_ptr<TFileStream> in;
    try {
        in = std::make_unique<TFileStream>(ctx.inputFile, TFileStream::Mode::fmOpenRead);
    } catch (const Exception&) {
        throw ECompressorException(m::kOpenInput + ctx.inputFile);
    }
    // Creating the output truncates it: when it is the input file, the input would be lost.
    std::error_code same;
    if (std::filesystem::equivalent(ctx.inputFile, ctx.outputFile, same))
        throw ECompressorException(m::kOpenOutput + ctx.outputFile);
    std::unique_ptr<TFileStream> out;
    try {
        out = std::make_unique<TFileStream>(ctx.outputFile, TFileStream::Mode::fmCreate);
    } catch (const Exception&) {
        throw ECompressorException(m::kOpenOutput + ctx.outputFile);
    }
    try {
        const std::int64_t n = run(*in, *out);
        out.reset();
        return n;
    } catch (...) {
        out.reset();
        std::error_code ec;
        std::filesystem::remove(ctx.outputFile, ec);
        throw;
    }
}

Context MakeContext(const TCompressor& c) { return Context{c.StreamMode, c.InputFile, c.OutputFile}; }

void CheckStreams(const TCompressor& c)
{
    if (c.InputStream == nullptr) throw ECompressorException(m::kInitInput);
    if (c.OutputStream == nullptr) throw ECompressorException(m::kInitOutput);
}

}  // namespace

std::int64_t TCompressor::Compress()
{
    const bool useKh = Method == cmAdvise ? Advise() : Method == cmKH;
    const Context ctx = MakeContext(*this);
    if (StreamMode) {
        CheckStreams(*this);
        return CompressWith(useKh, *InputStream, *OutputStream, ctx);
    }
    return RunOnFiles(ctx, [&](TStream& in, TStream& out) { return CompressWith(useKh, in, out, ctx); });
}

std::int64_t TCompressor::Compress(TStream& input, TStream& output, CompressionMethod method)
{
    TCompressor c;
    c.StreamMode = true;
    c.Method = method;
    c.InputStream = &input;
    c.OutputStream = &output;
    return c.Compress();
}

std::int64_t TCompressor::Decompress(TStream& input, TStream& output)
{
    TCompressor c;
    c.StreamMode = true;
    c.InputStream = &input;
    c.OutputStream = &output;
    return c.Decompress();
}

std::int64_t TCompressor::Decompress()
{
    const Context ctx = MakeContext(*this);
    if (StreamMode) {
        CheckStreams(*this);
        return DecompressFrom(*InputStream, *OutputStream, ctx);
    }
    return RunOnFiles(ctx, [&](TStream& in, TStream& out) { return DecompressFrom(in, out, ctx); });
}

bool TCompressor::Advise()
{
    std::unique_ptr<TFileStream> file;
    TStream* input = InputStream;
    if (!StreamMode) {
        try {
            file = std::make_unique<TFileStream>(InputFile, TFileStream::Mode::fmOpenRead);
        } catch (const Exception&) {
            throw ECompressorException(m::kAdviseOpenFile + InputFile);
        }
        input = file.get();
    } else if (input == nullptr) {
        throw ECompressorException(m::kAdviseInitStream);
    }
    std::int64_t start = 0;
    std::int64_t size = 0;
    try {
        start = input->Position();
        size = input->Remaining();
    } catch (const Exception&) {
        throw ECompressorException(StreamMode ? std::string(m::kAdviseSizeStream) : m::kAdviseSizeFile + InputFile);
    }
    if (size <= kAdviseLimit) {
        Method = cmLZH;
        return false;
    }
    std::vector<std::uint8_t> in;
    std::vector<std::uint8_t> out;
    try {
        in.resize(kBufferSize);
        out.resize(kBufferSize);
    } catch (const std::bad_alloc&) {
        throw ECompressorException(m::kAdviseBuffers);
    }
    std::int64_t encoded = 0;
    bool readFailed = false;
    for (const std::int64_t at : {size / 3, size * 2 / 3}) {
        const std::int64_t offset = at / kBlockSize * kBlockSize;
        try {
            input->SetPosition(start + offset);
        } catch (const Exception&) {
            readFailed = true;
            break;
        }
        if (ReadSome(*input, in.data(), kBlock) != kBlock) {
            readFailed = true;
            break;
        }
        encoded += static_cast<std::int64_t>(KhEncodeBlock(in.data(), kBlock, out.data()));
    }
    try {
        input->SetPosition(start);
    } catch (const Exception&) {
        readFailed = true;
    }
    if (readFailed) {
        throw ECompressorException(StreamMode ? std::string(m::kAdviseReadStream) : m::kAdviseReadFile + InputFile);
    }
    return encoded * 100 < 2 * kBlockSize * AdviseRatio;
}

}  // namespace tarnwick
