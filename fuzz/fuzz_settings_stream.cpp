// libFuzzer target for the editor settings stream (and, inside it, the auto-replace, template and
// key-binding streams). The first byte picks the layout version; the rest is the stream. A load
// either succeeds, and then the record saves and reloads to the same bytes, or raises one of the
// program's exceptions.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "editor/settings.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size == 0) return 0;
    const std::int32_t version = (data[0] & 1) ? 51 : 50;
    tarnwick::ReadOnlyMemoryStream stream(std::string_view(reinterpret_cast<const char*>(data + 1), size - 1));
    tarnwick::TSM_Settings settings;
    settings.SetStreamVersion(version);
    try {
        settings.LoadFromStream(stream);
    } catch (const tarnwick::Exception&) {
        return 0;
    }
    tarnwick::TMemoryStream first;
    try {
        settings.SaveToStream(first);
    } catch (const tarnwick::Exception&) {
        return 0;  // something read could not be written back (a name too long for its field)
    }
    first.SetPosition(0);
    tarnwick::TSM_Settings copy;
    copy.LoadFromStream(first);
    tarnwick::TMemoryStream second;
    copy.SaveToStream(second);
    if (second.Data() != first.Data()) {
        std::fprintf(stderr, "invariant broken: settings do not round-trip\n");
        std::abort();
    }
    return 0;
}
