// libFuzzer target for the KH ("WRZL") decoder. The first byte picks what the rest is:
//   even: a compressed body; "WRZL" is put in front and the stream is decoded. It must either
//         decode to exactly the size its header states or raise one of the compressor's errors.
//   odd:  plain data, which is compressed with KH and must decode back to the same bytes.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "fuzz_compressor_common.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size == 0) return 0;
    const std::string_view rest(reinterpret_cast<const char*>(data + 1), size - 1);
    if (data[0] & 1) tarnwick::fuzz::RoundTrip(rest, tarnwick::TCompressor::cmKH, "WRZL");
    else tarnwick::fuzz::DecodeHostile("WRZL", rest);
    return 0;
}
