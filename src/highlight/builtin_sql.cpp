#include "highlight/builtin_sql.h"

#include <cstddef>

#include "highlight/script_compiler.h"

namespace tarnwick {

namespace resources {
extern const unsigned char kSqlHighlighterScript[];
extern const std::size_t kSqlHighlighterScript_size;
}  // namespace resources

std::string_view BuiltInSqlScript()
{
    return {reinterpret_cast<const char*>(resources::kSqlHighlighterScript), resources::kSqlHighlighterScript_size};
}

void LoadBuiltInSqlHighlighter(VOzuvavIdavParser& parser)
{
    // The script includes nothing: no folder and no file reader are needed.
    CompileHighlighterText(parser, BuiltInSqlScript(), std::string(),
                           [](const std::string&, std::string&) { return false; }, "SQL_Diret.txt");
}

}  // namespace tarnwick
