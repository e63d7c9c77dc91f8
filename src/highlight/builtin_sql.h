#pragma once
// The program's built-in SQL highlighter, which colours every document. It is compiled from
// resources/highlighters/SQL_Diret.txt when the program is built and carried in its stored form.

#include <string_view>

#include "highlight/parser.h"

namespace tarnwick {

// The stored form ("Parser" property data) of the built-in SQL highlighter.
std::string_view BuiltInSqlStoredForm();

// Makes `parser` the built-in SQL highlighter, loaded from its stored form.
void LoadBuiltInSqlHighlighter(VOzuvavIdavParser& parser);

}  // namespace tarnwick
