// libFuzzer target for the template and auto-replace file text and the trigger-string parser.
// Whatever the bytes, reading gives entries or a clear error; entries that can be written read
// back the same; a parsed trigger list holds no duplicates.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <set>
#include <string>

#include "editor/macro_keywords.h"

namespace {

[[noreturn]] void Fail(const char* what)
{
    std::fprintf(stderr, "invariant broken: %s\n", what);
    std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view text(reinterpret_cast<const char*>(data), size);

    tarnwick::TCodeTemplates templates;
    try {
        templates.LoadFromText(text);
    } catch (const tarnwick::Exception&) {
        return 0;
    }
    std::string saved;
    try {
        saved = templates.SaveToText();
    } catch (const tarnwick::Exception&) {
        saved.clear();  // entries the text form cannot hold are refused when saving
    }
    if (!saved.empty()) {
        tarnwick::TCodeTemplates again;
        again.LoadFromText(saved);
        if (again.Entries().size() != templates.Entries().size()) Fail("entries lost on a text round trip");
        if (again.SaveToText() != saved) Fail("text round trip differs");
    }

    tarnwick::TAutoReplace replace;
    try {
        replace.SetTriggers(text.substr(0, 256));
        const auto& keys = replace.TriggerKeys();
        if (std::set<int>(keys.begin(), keys.end()).size() != keys.size()) Fail("duplicate trigger keys");
    } catch (const tarnwick::Exception&) {
    }
    return 0;
}
