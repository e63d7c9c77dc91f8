// libFuzzer target for the key-binding stream of the keyboard controller (the stored user key
// assignments read back from the registry).
//
// The input is loaded as a controller stream. A load may fail only with one of our exceptions, and
// then the controller must be as it was. A load that succeeds must save and load again to the same
// bytes, copy through Assign unchanged, and agree with its own enumeration. The bytes after the
// stream are then pressed as keys (two bytes a press: key code, modifier bits), and every command
// the controller recognises must be a binding of that command on exactly the keys pressed.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "editor/key_bindings.h"

namespace {

using namespace tarnwick;

[[noreturn]] void Fail(const char* what)
{
    std::fprintf(stderr, "invariant broken: %s\n", what);
    std::abort();
}

std::string Saved(const TKeyboardActionContoller& c)
{
    TMemoryStream s;
    c.SaveToStream(s);
    return s.Data();
}

// True when `id` has a binding on (first, second), found through the controller's enumeration.
bool HasBinding(TKeyboardActionContoller& c, int id, std::uint16_t first, std::uint16_t second)
{
    const int total = c.KeyStore().BindingCount();
    auto keys = c.FirstBinding(id);
    for (int n = 0; n <= total && keys.first != 0; ++n) {
        if (keys.first == first && keys.second == second) return true;
        keys = c.NextBinding(id);
    }
    if (keys.first != 0) Fail("enumeration of one command does not end");
    return false;
}

void PressKeys(TKeyboardActionContoller& c, std::string_view keys)
{
    const std::vector<KeyBinding> all = c.KeyStore().Bindings();
    std::vector<int> fired;
    c.OnCommand = [&](TKeyboardActionContoller& sender, int& code) {
        if (&sender != &c) Fail("event sent by another controller");
        fired.push_back(code);
    };
    std::uint16_t pending = 0;  // the first key of a sequence in progress
    for (std::size_t i = 0; i + 1 < keys.size() && i < 64; i += 2) {
        const std::uint16_t key = static_cast<std::uint8_t>(keys[i]);
        const std::uint16_t shift = static_cast<std::uint16_t>((static_cast<std::uint8_t>(keys[i + 1]) & 7) << 13);
        const std::uint16_t shortcut = MakeShortcut(key, shift);
        const bool inSequence = c.KeyStore().InSequence();
        if (inSequence != (pending != 0)) Fail("sequence state lost");

        std::uint16_t k = key, s = shift;
        fired.clear();
        const bool handled = c.HandleKey(k, s);
        if (handled && (k != 0 || s != 0)) Fail("consumed key not cleared");
        if (!handled && (k != key || s != shift)) Fail("ignored key changed");
        if (c.KeyStore().InSequence() && !fired.empty()) Fail("command run in the middle of a sequence");
        if (fired.size() > 1) Fail("one press ran several commands");

        if (fired.size() == 1) {
            const std::uint16_t first = inSequence ? pending : shortcut;
            const std::uint16_t second = inSequence ? ShortcutKey(shortcut) : 0;
            if (fired[0] < 0 || !HasBinding(c, fired[0], first, second)) Fail("command run without its binding");
            if (c.LastCommand() != fired[0]) Fail("last command differs from the event");
        }
        if (!handled && !inSequence) {
            for (const KeyBinding& b : all)
                if (b.first == shortcut) Fail("a bound first key was not recognised");
        }
        pending = c.KeyStore().InSequence() ? shortcut : 0;
    }
    c.OnCommand = nullptr;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view input(reinterpret_cast<const char*>(data), size);

    TKeyboardActionContoller loaded;
    loaded.SetCommandName(1, "before");
    loaded.AddBinding(scCtrl | 'B', 0, 1);
    const std::string before = Saved(loaded);

    ReadOnlyMemoryStream stream(input);
    try {
        loaded.LoadFromStream(stream);
    } catch (const Exception&) {
        if (Saved(loaded) != before) Fail("a failed load changed the controller");
        return 0;
    }
    const std::size_t used = static_cast<std::size_t>(stream.Position());

    const std::string first = Saved(loaded);
    if (first.size() > used) Fail("saved stream longer than the one read");
    TKeyboardActionContoller again;
    {
        ReadOnlyMemoryStream s(first);
        again.LoadFromStream(s);  // must not raise: it was written by a controller
        if (s.Position() != static_cast<std::int64_t>(first.size())) Fail("reload did not read the whole stream");
    }
    if (Saved(again) != first) Fail("save, load, save differs");

    const std::vector<KeyBinding> bindings = loaded.KeyStore().Bindings();
    if (static_cast<int>(bindings.size()) != loaded.KeyStore().BindingCount()) Fail("binding count differs");
    if (again.KeyStore().Bindings() != bindings) Fail("reloaded bindings differ");
    if (again.CommandNames() != loaded.CommandNames()) Fail("reloaded names differ");

    TKeyboardActionContoller copy;
    copy.Assign(&loaded);
    if (Saved(copy) != first) Fail("assign differs");

    PressKeys(loaded, input.substr(used));
    return 0;
}
