// libFuzzer target for the stored form of a compiled highlighter (the "Parser" property). The
// input is the property data. A load either fails, leaving the highlighter empty, or succeeds;
// a loaded highlighter must save, load again and save to the same bytes, and must be able to
// colour a sample text.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "editor/streams.h"
#include "highlight/parser.h"
#include "highlight/rescan.h"

namespace {

[[noreturn]] void Broken(const char* what)
{
    std::fprintf(stderr, "invariant broken: %s\n", what);
    std::abort();
}

std::string Save(const tarnwick::VOzuvavIdavParser& parser)
{
    tarnwick::TMemoryStream out;
    parser.SaveToStream(out);
    return out.Data();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    tarnwick::ReadOnlyMemoryStream in(std::string_view(reinterpret_cast<const char*>(data), size));
    tarnwick::VOzuvavIdavParser parser;
    bool loaded = false;
    try {
        loaded = parser.LoadFromStream(in);
    } catch (const tarnwick::Exception&) {
        loaded = false;
    }
    if (!loaded) {
        const tarnwick::ParserTables& t = parser.Tables();
        if (!t.keywords->Words().empty() || t.groups.Count() != 1 || !t.statesWithOwnTable.Empty() ||
            !t.noPerStateTables || t.defaultTable != tarnwick::FirstCharTable{})
            Broken("a failed load left tables behind");
        return 0;
    }
    const std::string first = Save(parser);
    tarnwick::VOzuvavIdavParser again;
    tarnwick::ReadOnlyMemoryStream back(first);
    if (!again.LoadFromStream(back)) Broken("saved data does not load");
    if (Save(again) != first) Broken("save, load and save again changed the bytes");

    // The loaded tables drive the scanner: it must get through any text without faults.
    static const char kSample[] = "select a, 'b' /* c */ -- d\r1.5e3 \"x\" &m #ifdef z\r\t{ y }\rend;";
    (void)tarnwick::HighlightText(parser, kSample);
    return 0;
}
