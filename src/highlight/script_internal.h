#pragma once
// Helpers the script scanner and the section readers share: character classes, lower case and
// the texts of messages with numbers in them.

#include <cstdio>
#include <string>
#include <string_view>

#include "highlight/word_store.h"

namespace tarnwick::script_detail {

inline bool IsDigit(int c) { return c >= '0' && c <= '9'; }

inline std::string Lowered(std::string_view s)
{
    std::string out(s);
    for (char& c : out) c = TWordStore::Lower(c);
    return out;
}

inline std::string Format1(const char* format, long long value)
{
    char buffer[128];
    std::snprintf(buffer, sizeof buffer, format, value);
    return buffer;
}

inline std::string RangeMessage(long long low, long long high)
{
    char buffer[128];
    std::snprintf(buffer, sizeof buffer, "Range error, value outwith %lld .. %lld", low, high);
    return buffer;
}

}  // namespace tarnwick::script_detail
