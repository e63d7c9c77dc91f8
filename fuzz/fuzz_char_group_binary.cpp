// libFuzzer target for the binary form of character groups and of the group manager.
//
// The input is read as one group and, from the start again, as a manager's list of groups. A
// read either raises an Exception and leaves the object as it was, or gives an object that saves
// and reloads equal. A loaded manager never holds two equal groups.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string_view>

#include "editor/char_group.h"

namespace {

using namespace tarnwick;

[[noreturn]] void Fail(const char* what)
{
    std::fprintf(stderr, "invariant broken: %s\n", what);
    std::abort();
}

void CheckGroup(std::string_view data)
{
    ReadOnlyMemoryStream in(data);
    TSM_CharGroup g;
    g.AddChar('k');
    const TSM_CharGroup before = g;
    try {
        g.LoadFromStream(in);
    } catch (const Exception&) {
        if (!(g == before)) Fail("a failed load changed the group");
        return;
    }
    if (in.Position() < static_cast<std::int64_t>(TSM_CharGroup::kMinStreamSize)) Fail("group read from too few bytes");
    if (!g.Ranges().empty()) Fail("loading kept ranges");
    // The stored members are all kept (ranges may add more).
    for (unsigned c = 0; c < 256; ++c)
        if (((static_cast<std::uint8_t>(data[c / 8]) >> (c % 8)) & 1) && !g.Members().Contains(c))
            Fail("stored member lost");
    if (g.Negated() != (data[36] != 0)) Fail("negated flag misread");

    TMemoryStream s;
    g.SaveToStream(s);
    s.SetPosition(0);
    TSM_CharGroup back;
    back.LoadFromStream(s);
    if (!(back == g)) Fail("group reloads different");
    if (back.Lowest() != g.Lowest() || back.Highest() != g.Highest()) Fail("reloaded bounds differ");
}

void CheckManager(std::string_view data)
{
    ReadOnlyMemoryStream in(data);
    TSM_CharGroupManager m;
    TSM_CharGroup marker;
    marker.AddRange('a', 'f');
    m.Register(marker);
    try {
        m.LoadFromStream(in);
    } catch (const Exception&) {
        if (m.Count() != 1 || !(m.Get(0) == marker)) Fail("a failed load changed the manager");
        return;
    }
    const int count = m.Count();
    if (count > static_cast<int>(data.size() / TSM_CharGroup::kMinStreamSize))
        Fail("more groups than the data can hold");
    for (int i = 0; i < count; ++i)
        if (m.Register(m.Get(i)) != i) Fail("loaded manager holds two equal groups");
    if (m.Count() != count) Fail("registering a held group added one");

    TMemoryStream s;
    m.SaveToStream(s);
    s.SetPosition(0);
    TSM_CharGroupManager back;
    back.LoadFromStream(s);
    if (back.Count() != m.Count()) Fail("manager reloads with another count");
    for (int i = 0; i < m.Count(); ++i)
        if (!(back.Get(i) == m.Get(i))) Fail("manager reloads a different group");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    CheckGroup(bytes);
    CheckManager(bytes);
    return 0;
}
