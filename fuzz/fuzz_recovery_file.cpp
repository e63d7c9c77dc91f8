// libFuzzer target for the recovery file reader: any input is either refused with
// RecoveryFileError or read into a head and a text. What was read, written again as a fresh file,
// must read back the same.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "editor/recovery_file.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    using namespace tarnwick;
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    RecoveredScript script;
    try {
        script = ReadRecoveryData(input);
    } catch (const RecoveryFileError&) {
        return 0;
    }
    const std::string again = EncodeRecoveryStart(script.head) + EncodeTextRecordFrame(script.text, {}) + script.text;
    const RecoveredScript back = ReadRecoveryData(again);
    if (!(back.head == script.head) || back.text != script.text || back.droppedTail) {
        std::fprintf(stderr, "invariant broken: a file read and written again reads back differently\n");
        std::abort();
    }
    return 0;
}
