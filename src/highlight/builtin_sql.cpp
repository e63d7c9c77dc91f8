#include "highlight/builtin_sql.h"

#include <cstddef>

#include "editor/streams.h"

namespace tarnwick {

namespace resources {
extern const unsigned char kSqlHighlighterStored[];
extern const std::size_t kSqlHighlighterStored_size;
}  // namespace resources

std::string_view BuiltInSqlStoredForm()
{
    return {reinterpret_cast<const char*>(resources::kSqlHighlighterStored), resources::kSqlHighlighterStored_size};
}

void LoadBuiltInSqlHighlighter(VOzuvavIdavParser& parser)
{
    ReadOnlyMemoryStream stored(BuiltInSqlStoredForm());
    // Read as a form is: data the program cannot read is an error, not a question to the user.
    parser.LoadFromStream(stored, /*readingForm=*/true);
}

}  // namespace tarnwick
