#pragma once
// Byte strings written out in tests of binary layouts.

#include <initializer_list>
#include <string>

namespace tarnwick::testing {

inline std::string Bytes(std::initializer_list<int> bytes)
{
    std::string s;
    for (int b : bytes) s += static_cast<char>(b);
    return s;
}

}  // namespace tarnwick::testing
