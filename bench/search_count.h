#pragma once
// Counts the lines of a text store that hold a match of a pattern, as `grep -c` does, with the
// editor's plain-text or regular-expression search, forwards or backwards.

#include <cstdint>
#include <string>

#include "editor/text_store.h"

namespace tarnwick::bench {

// `ignoreCase` applies to the plain-text search only (the regular-expression engine always
// regards case). Raises the search engines' errors (an invalid regular expression among them).
std::int64_t CountMatchingLines(const TTextStore& store, const std::string& pattern, bool regex, bool backwards,
                                bool ignoreCase = false);

}  // namespace tarnwick::bench
