#pragma once
// The highlighter script compiler. A highlighter script is a sequence of "%%" sections (language
// settings, keywords, token rules, states, styles, keys, auto-replace, templates, keyword tables)
// that is compiled into the tables of a VOzuvavIdavParser.
//
// TSYM_Compiler (script_scanner.h) is the scanner that delivers the script's tokens; the section
// readers (script_compiler.cpp, with the values they read in script_values.h) take the tokens
// and fill the tables. Every error is raised as ESYM_COMP_ERROR "** ERROR near line %d, Column
// %d: %s".

#include <string>
#include <string_view>

#include "highlight/script_scanner.h"

namespace tarnwick {

class VOzuvavIdavParser;

// Compiles `text` into `parser`: the parser is reset first and, after an error (raised as
// ESYM_COMP_ERROR), left partly built. `directory` is the folder for #include <name>; `reader`
// reads included files (from disk when not given).
void CompileHighlighterText(VOzuvavIdavParser& parser, std::string_view text, const std::string& directory,
                            IncludeReader reader = {}, const std::string& scriptPath = {});

// Compiles the script file `path` (EFOpenError when it cannot be read).
void CompileHighlighterScript(VOzuvavIdavParser& parser, const std::string& path);
// Compiles the file the parser's Script property names.
void CompileHighlighterScript(VOzuvavIdavParser& parser);

}  // namespace tarnwick
