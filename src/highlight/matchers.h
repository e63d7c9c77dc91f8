#pragma once
// The built-in matchers of the highlighter (numbers in parser_tables.h): character-step matchers
// 0..2 and whole-token matchers 10..20.

#include <cstdint>

#include "editor/ed_stream.h"

namespace tarnwick {

// Runs matcher `id` at the stream's position. `tokenStart` is where the current token began
// (_ORIGINAL_CHAR only applies to a token starting a line). On success the characters consumed
// are added to `kLength` and the stream stands after them; on failure (and for an unknown number)
// the stream is back where it was and kLength is unchanged.
bool RunBuiltInMatcher(std::int32_t id, TEdStream& stream, std::int64_t tokenStart, int& kLength);

}  // namespace tarnwick
