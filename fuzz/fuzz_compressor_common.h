#pragma once
// What the compressor fuzz targets share: decoding hostile streams and round trips.

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "editor/streams.h"
#include "highlight/compressor.h"

namespace tarnwick::fuzz {

[[noreturn]] inline void Broken(const char* what)
{
    std::fprintf(stderr, "invariant broken: %s\n", what);
    std::abort();
}

inline std::int64_t StatedSize(std::string_view stream)
{
    if (stream.size() < 8) return -1;
    std::uint32_t v = 0;
    for (int i = 3; i >= 0; --i) v = (v << 8) | static_cast<std::uint8_t>(stream[4 + i]);
    return static_cast<std::int32_t>(v);
}

// Decodes `magic` + `body`. Success must produce exactly the stated size; failure must be one of
// the compressor's own errors (anything else escapes and libFuzzer reports it).
inline void DecodeHostile(std::string_view magic, std::string_view body)
{
    std::string stream(magic);
    stream.append(body);
    ReadOnlyMemoryStream in(stream);
    TMemoryStream out;
    try {
        const std::int64_t written = TCompressor::Decompress(in, out);
        if (written != static_cast<std::int64_t>(out.Data().size())) Broken("returned size is not the size written");
        if (written != StatedSize(stream)) Broken("decoded size differs from the stated size");
    } catch (const ECompressorException&) {
    } catch (const ElzhException&) {
    }
}

// Compresses `plain` with `method`; the stream must carry `magic` and decode to `plain`.
inline void RoundTrip(std::string_view plain, TCompressor::CompressionMethod method, std::string_view magic)
{
    ReadOnlyMemoryStream in(plain);
    TMemoryStream packed;
    const std::int64_t written = TCompressor::Compress(in, packed, method);
    const std::string& bytes = packed.Data();
    if (written != static_cast<std::int64_t>(bytes.size())) Broken("returned size is not the size written");
    if (std::string_view(bytes).substr(0, 4) != magic) Broken("wrong magic");
    if (StatedSize(bytes) != static_cast<std::int64_t>(plain.size())) Broken("wrong original size");

    ReadOnlyMemoryStream back(bytes);
    TMemoryStream unpacked;
    TCompressor::Decompress(back, unpacked);
    if (unpacked.Data() != plain) Broken("round trip changed the data");
}

}  // namespace tarnwick::fuzz
