#pragma once
// The program's built-in SQL highlighter, which colours every document.

#include <string_view>

#include "highlight/parser.h"

namespace tarnwick {

// The highlighter script the built-in SQL highlighter is made from.
std::string_view BuiltInSqlScript();

// Makes `parser` the built-in SQL highlighter.
void LoadBuiltInSqlHighlighter(VOzuvavIdavParser& parser);

}  // namespace tarnwick
