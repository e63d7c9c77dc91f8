// What the tests of the editor control share: a control on a fake window, and shorthands for
// loading text, pressing keys, typing and switching options.

#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <string_view>

#include "control/doravavizu.h"
#include "support/fake_host.h"

namespace tarnwick::test {

class Control : public ::testing::Test {
protected:
    FakeHost host;
    VOzuvavIdav c{&host};

    void Load(std::string_view text) { c.SetText(text); }
    void Keys(std::uint16_t key, std::uint16_t shift = 0) { c.KeyDown(key, shift); }
    void Type(std::string_view text)
    {
        for (const char ch : text) c.KeyPress(ch);
    }
    void SetOption(VOzuvavIdavOption o, bool on)
    {
        c.SetOptions(on ? (c.Options() | OptionBit(o)) : (c.Options() & ~OptionBit(o)));
    }
};

}  // namespace tarnwick::test
