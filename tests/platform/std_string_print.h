#pragma once
// QCOMPARE prints std::string values (single-byte text) with bytes outside ASCII as \xNN.

#include <QtTest>
#include <cstdio>
#include <string>

namespace QTest {
template <>
inline char* toString(const std::string& s)
{
    std::string out = "\"";
    for (unsigned char c : s) {
        if (c >= 32 && c < 127 && c != '\\') {
            out += static_cast<char>(c);
        } else {
            char buf[8];
            std::snprintf(buf, sizeof buf, "\\x%02X", c);
            out += buf;
        }
    }
    out += '"';
    return qstrdup(out.c_str());
}
}  // namespace QTest
