#pragma once
// What the parts of the regular-expression engine share: raising an error of the pattern, the
// resource number of an error raised, and the mark of a distance without bound.

#include <cstdint>

#include "editor/regex.h"

namespace tarnwick::regex_detail {

[[noreturn]] inline void Fail(int id, int position) { throw RegexError(REErrorText(id), position); }

// The resource number of an error's message.
int ErrorIdOf(const RegexError& e);

// A length or distance without bound.
constexpr std::int64_t kNoBound = -1;

}  // namespace tarnwick::regex_detail
