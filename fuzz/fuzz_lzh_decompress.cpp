// libFuzzer target for the LZH ("!HZL") decoder. The first byte picks what the rest is:
//   even: a compressed body; "!HZL" is put in front and the stream is decoded. It must either
//         decode to exactly the size its header states or raise one of the compressor's errors.
//   odd:  plain data, which is compressed with LZH and must decode back to the same bytes.

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
    if (data[0] & 1) tarnwick::fuzz::RoundTrip(rest, tarnwick::TCompressor::cmLZH, "!HZL");
    else tarnwick::fuzz::DecodeHostile("!HZL", rest);
    return 0;
}
