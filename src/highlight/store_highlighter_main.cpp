// tarnwick-hl-store: the build step that turns a highlighter script into the stored form the
// programs carry (compiled, then packed as the "Parser" property), so that no script is compiled
// when a program starts.
//
//   tarnwick-hl-store SCRIPT OUT
//
// OUT is replaced in one step, or left as it was when anything fails.

#include <cstdio>
#include <exception>

#include "base/file_io.h"
#include "editor/streams.h"
#include "highlight/parser.h"
#include "highlight/script_compiler.h"

int main(int argc, char** argv)
{
    if (argc != 3) {
        std::fputs("usage: tarnwick-hl-store SCRIPT OUT\n", stderr);
        return 2;
    }
    try {
        tarnwick::VOzuvavIdavParser parser;
        tarnwick::CompileHighlighterScript(parser, argv[1]);
        tarnwick::TMemoryStream stored;
        parser.SaveToStream(stored);
        tarnwick::WriteWholeFileOrThrow(argv[2], stored.Data());
    } catch (const std::exception& e) {
        std::fprintf(stderr, "tarnwick-hl-store: %s\n", e.what());
        return 1;
    }
    return 0;
}
