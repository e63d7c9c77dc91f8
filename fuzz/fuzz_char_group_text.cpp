// libFuzzer target for the text form of character groups.
//
// The input is read as a run of group specifications: each is parsed where the last one ended;
// after an error the parse goes on one character further. Every parse must move forward and stay
// within the text, an error must leave the group and the position as they were, and every group
// must survive its binary form, a clone and registration in a group manager, whose whole list
// must in turn survive its own binary form.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string_view>

#include "editor/char_group.h"

namespace {

using namespace tarnwick;

[[noreturn]] void Fail(const char* what, std::string_view text, std::size_t pos)
{
    std::fprintf(stderr, "invariant broken: %s (position %zu of %zu)\n", what, pos, text.size());
    std::abort();
}

// Matching by code is checked on every code, which is slow enough to do once per input only.
void CheckMatching(const TSM_CharGroup& g, std::string_view text)
{
    for (unsigned c = 0; c < 256; ++c) {
        const bool member = g.Members().Contains(c);
        if (g.Contains(static_cast<std::uint8_t>(c)) != (member != g.Negated()))
            Fail("Contains disagrees with the members", text, 0);
    }
}

void CheckGroup(const TSM_CharGroup& g, std::string_view text, std::size_t pos)
{
    if (!g.Ranges().empty()) Fail("parsing filled the range list", text, pos);
    if (g.IsEmpty() != g.Members().Empty()) Fail("IsEmpty disagrees with the members", text, pos);
    // Lowest and highest bound the members: no member below the one or above the other.
    const auto& bytes = g.Members().bytes;
    for (unsigned i = 0; i < bytes.size(); ++i) {
        if (!bytes[i]) continue;
        const unsigned low = i * 8 + static_cast<unsigned>(__builtin_ctz(bytes[i]));
        const unsigned high = i * 8 + 31 - static_cast<unsigned>(__builtin_clz(bytes[i]));
        if (low < g.Lowest() || high > g.Highest()) Fail("member outside lowest..highest", text, pos);
    }

    TMemoryStream s;
    g.SaveToStream(s);
    if (s.Size() != static_cast<std::int64_t>(TSM_CharGroup::kMinStreamSize))
        Fail("binary form has the wrong size", text, pos);
    s.SetPosition(0);
    TSM_CharGroup back;
    back.LoadFromStream(s);
    if (!(back == g) || !g.Equals(back) || !(back.Members() == g.Members()) || back.Negated() != g.Negated())
        Fail("binary round trip differs", text, pos);

    auto copy = g.Clone();
    auto* clone = dynamic_cast<TSM_CharGroup*>(copy.get());
    if (!clone || !(*clone == g)) Fail("clone differs", text, pos);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    TSM_CharGroupManager manager;
    TSM_CharGroup g;
    std::size_t pos = 1;
    while (pos <= text.size()) {
        const std::size_t before = pos;
        const TSM_CharGroup old = g;
        try {
            g.Parse(text, pos);
        } catch (const Exception&) {
            if (pos != before) Fail("a failed parse moved the position", text, before);
            if (!(g == old)) Fail("a failed parse changed the group", text, before);
            pos = before + 1;
            continue;
        }
        if (pos <= before || pos > text.size() + 1) Fail("position did not move forward within the text", text, before);
        // A lone plain character that no "-" follows is a group of that character alone.
        const char first = text[before - 1];
        if (pos == before + 1 && first != '[' && first != '\\') {
            TSM_CharGroup single;
            single.AddChar(static_cast<std::uint8_t>(first));
            if (!(g == single)) Fail("a plain character is not its own group", text, before);
        }
        CheckGroup(g, text, before);

        const int index = manager.Register(g);
        if (index < 0 || index >= manager.Count() || !(manager.Get(index) == g))
            Fail("registered group not found", text, before);
        if (manager.Register(g) != index) Fail("an equal group got another index", text, before);
    }

    CheckMatching(g, text);

    TMemoryStream s;
    manager.SaveToStream(s);
    s.SetPosition(0);
    TSM_CharGroupManager back;
    back.LoadFromStream(s);
    if (back.Count() != manager.Count()) Fail("manager round trip changed the count", text, 0);
    for (int i = 0; i < manager.Count(); ++i)
        if (!(back.Get(i) == manager.Get(i))) Fail("manager round trip changed a group", text, 0);
    return 0;
}
