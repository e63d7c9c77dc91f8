#include "editor/key_bindings.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

using namespace tarnwick;

namespace {

using Keys = std::pair<std::uint16_t, std::uint16_t>;

constexpr std::uint16_t kCtrlK = scCtrl | 'K';
constexpr std::uint16_t kCtrlQ = scCtrl | 'Q';
constexpr std::uint16_t vkF2 = vkF1 + 1;
constexpr std::uint16_t vkF9 = vkF1 + 8;

// Presses one key; returns whether it was consumed and records the command events it caused.
struct Keyboard {
    TKeyboardActionContoller& controller;
    std::vector<int> fired;

    explicit Keyboard(TKeyboardActionContoller& c) : controller(c)
    {
        controller.OnCommand = [this](TKeyboardActionContoller& sender, int& code) {
            EXPECT_EQ(&sender, &controller);
            fired.push_back(code);
        };
    }
    bool Press(std::uint16_t key, std::uint16_t shift = 0)
    {
        std::uint16_t k = key, s = shift;
        const bool handled = controller.HandleKey(k, s);
        if (handled) {
            EXPECT_EQ(k, 0) << "a consumed key is cleared";
            EXPECT_EQ(s, 0);
        } else {
            EXPECT_EQ(k, key) << "a key that is not consumed stays as it was";
            EXPECT_EQ(s, shift);
        }
        return handled;
    }
    // The command the key sequence ran, -1 when none.
    int Run(std::initializer_list<std::pair<std::uint16_t, std::uint16_t>> presses)
    {
        fired.clear();
        for (auto [key, shift] : presses) Press(key, shift);
        EXPECT_LE(fired.size(), 1u);
        return fired.empty() ? -1 : fired.back();
    }
};

void Copy(TKeyboardActionContoller& to, const TKeyboardActionContoller& from) { to.Assign(&from); }

std::string Saved(const TKeyboardActionContoller& c)
{
    TMemoryStream s;
    c.SaveToStream(s);
    return s.Data();
}

void LoadBytes(TKeyboardActionContoller& c, const std::string& bytes)
{
    ReadOnlyMemoryStream s(bytes);
    c.LoadFromStream(s);
}

template <class E>
std::string MessageOf(const std::function<void()>& f)
{
    try {
        f();
    } catch (const E& e) {
        return e.what();
    }
    ADD_FAILURE() << "no exception";
    return {};
}

std::string Ambiguous(const std::string& a, const std::string& b)
{
    return "Duplicate key sequence definition for\r\n\"" + a + "\" and \"" + b + "\"";
}

// The default table, written out independently of the code that builds it.
struct DefaultBinding {
    int id;
    std::uint16_t first, second;
};
std::vector<DefaultBinding> DefaultTable()
{
    std::vector<DefaultBinding> t = {
        {0, 37, 0},
        {1, 39, 0},
        {2, 36, 0},
        {3, 35, 0},
        {4, 38, 0},
        {5, 40, 0},
        {6, 33, 0},
        {7, 34, 0},
        {8, 0x4000 | 37, 0},
        {9, 0x4000 | 39, 0},
        {10, 0x4000 | 36, 0},
        {11, 0x4000 | 35, 0},
        {12, 0x4000 | 'X', 0},
        {13, 0x4000 | 'C', 0},
        {14, 0x4000 | 'V', 0},
        {15, 46, 0},
        {16, 8, 0},
        {17, 0x404B, 'I'},
        {18, 0x404B, 'U'},
        {19, 45, 0},
        {40, 0x4000 | 'Y', 0},
        {41, 0x4000 | 'Z', 0},
        {42, 0x6000 | 'Z', 0},
        {43, 0x4000 | 8, 0},
        {44, 0x404B, 'P'},
        {45, 0x4000 | 46, 0},
        {46, 0x4000 | 38, 0},
        {47, 0x4000 | 40, 0},
    };
    for (int n = 0; n < 10; ++n) {
        t.push_back({20 + n, 0x404B, static_cast<std::uint16_t>('0' + n)});
        t.push_back({30 + n, 0x4051, static_cast<std::uint16_t>('0' + n)});
    }
    return t;
}

}  // namespace

// ---- the default controller

TEST(KeyDefaults, NamesAllFortyEightCommands)
{
    const std::vector<std::string> expected = {"Cursor left",
                                               "Cursor right",
                                               "Line start",
                                               "Line end",
                                               "Up one line",
                                               "Down one line",
                                               "Up one page",
                                               "Down one page",
                                               "Move to word before",
                                               "Move to word after",
                                               "Document start",
                                               "Document end",
                                               "Cut to clipboard",
                                               "Copy to clipboard",
                                               "Paste from clipboard",
                                               "Delete character at cursor",
                                               "Delete character before caret",
                                               "Indent selected block",
                                               "Un-indent selected block",
                                               "Toggle insert/overwrite mode",
                                               "Set Bookmark 0",
                                               "Set Bookmark 1",
                                               "Set Bookmark 2",
                                               "Set Bookmark 3",
                                               "Set Bookmark 4",
                                               "Set Bookmark 5",
                                               "Set Bookmark 6",
                                               "Set Bookmark 7",
                                               "Set Bookmark 8",
                                               "Set Bookmark 9",
                                               "Goto Bookmark 0",
                                               "Goto Bookmark 1",
                                               "Goto Bookmark 2",
                                               "Goto Bookmark 3",
                                               "Goto Bookmark 4",
                                               "Goto Bookmark 5",
                                               "Goto Bookmark 6",
                                               "Goto Bookmark 7",
                                               "Goto Bookmark 8",
                                               "Goto Bookmark 9",
                                               "Delete current line",
                                               "Undo",
                                               "Redo",
                                               "Delete previous word",
                                               "Print selection",
                                               "Delete next word",
                                               "Scroll display up one line",
                                               "Scroll display down one line"};
    ASSERT_EQ(expected.size(), 48u);
    const TKeyboardActionContoller& c = DefaultKeyboardController();
    const std::vector<CommandNameEntry> names = c.CommandNames();
    ASSERT_EQ(names.size(), 48u);
    for (int id = 0; id < 48; ++id) {
        EXPECT_EQ(names[id].id, id);
        EXPECT_EQ(names[id].name, expected[id]);
        EXPECT_EQ(c.CommandName(id), expected[id]);
        EXPECT_EQ(EditorCommandName(id), expected[id]);
    }
    EXPECT_EQ(c.CommandName(48), "");
    EXPECT_EQ(c.CommandName(-1), "");
    EXPECT_EQ(EditorCommandName(48), "");
    EXPECT_EQ(EditorCommandName(-1), "");
}

TEST(KeyDefaults, EveryDefaultKeyRunsItsCommand)
{
    TKeyboardActionContoller c;
    Copy(c, DefaultKeyboardController());
    Keyboard kb(c);
    EXPECT_EQ(c.KeyStore().BindingCount(), 48);
    for (const DefaultBinding& b : DefaultTable()) {
        SCOPED_TRACE("command " + std::to_string(b.id));
        kb.fired.clear();
        EXPECT_TRUE(kb.Press(b.first & 0xFF, b.first & 0xE000));
        if (b.second != 0) {
            EXPECT_TRUE(kb.fired.empty()) << "the first key of a sequence runs nothing";
            EXPECT_TRUE(kb.Press(b.second));
        }
        EXPECT_EQ(kb.fired, std::vector<int>{b.id});
        EXPECT_EQ(c.LastCommand(), b.id);
        // Each default command has exactly this one binding.
        EXPECT_EQ(c.FirstBinding(b.id), Keys(b.first, b.second));
        EXPECT_EQ(c.NextBinding(b.id), Keys(0, 0));
    }
    // Keys outside the table run nothing.
    EXPECT_EQ(kb.Run({{'A', 0}}), -1);
    EXPECT_EQ(kb.Run({{vkLeft, scShift}}), -1);  // Shift+Left: the control drops Shift itself
    EXPECT_EQ(kb.Run({{'Z', scAlt | scCtrl}}), -1);
}

TEST(KeyDefaults, EnumerationVisitsSiblingsBeforeChildren)
{
    // First-level keys in the order they were added (Ctrl+BkSp and Ctrl+Del first), then the second
    // keys of Ctrl+K, then those of Ctrl+Q.
    std::vector<int> expected = {43, 45};
    for (int id = 0; id <= 16; ++id) expected.push_back(id);
    for (int id : {19, 40, 41, 42, 46, 47}) expected.push_back(id);
    for (int id : {17, 18, 20, 21, 22, 23, 24, 25, 26, 27, 28, 29, 44}) expected.push_back(id);
    for (int id = 30; id <= 39; ++id) expected.push_back(id);

    std::vector<int> ids;
    for (const KeyBinding& b : DefaultKeyboardController().KeyStore().Bindings()) ids.push_back(b.command);
    EXPECT_EQ(ids, expected);
}

TEST(KeyDefaults, FillingAControllerReplacesWhatItHeld)
{
    TKeyboardActionContoller c;
    c.SetCommandName(100, "Mine");
    c.AddBinding(scAlt | 'M', 0, 100);
    LoadDefaultKeyBindings(c);
    EXPECT_EQ(c.CommandName(100), "");
    EXPECT_EQ(c.FirstBinding(100), Keys(0, 0));
    EXPECT_EQ(Saved(c), Saved(DefaultKeyboardController()));
}

// ---- key sequences

TEST(KeySequences, SecondKeyIgnoresModifiers)
{
    TKeyboardActionContoller c;
    Copy(c, DefaultKeyboardController());
    Keyboard kb(c);
    EXPECT_EQ(kb.Run({{'K', scCtrl}, {'I', scShift}}), 17);
    EXPECT_EQ(kb.Run({{'K', scCtrl}, {'I', scCtrl}}), 17);
    EXPECT_EQ(kb.Run({{'K', scCtrl}, {'I', scAlt | scShift}}), 17);
    EXPECT_EQ(kb.Run({{'Q', scCtrl}, {'7', scCtrl}}), 37);
    // Modifiers of a first key do matter: Shift+Ctrl+K starts nothing.
    EXPECT_EQ(kb.Run({{'K', scCtrl | scShift}, {'I', 0}}), -1);
}

TEST(KeySequences, UnfinishedSequenceSwallowsTheFirstKeyAndGivesBackTheSecond)
{
    TKeyboardActionContoller c;
    Copy(c, DefaultKeyboardController());
    Keyboard kb(c);
    kb.fired.clear();
    EXPECT_TRUE(kb.Press('K', scCtrl));
    EXPECT_TRUE(c.KeyStore().InSequence());
    EXPECT_FALSE(kb.Press('X'));  // no Ctrl+K, X: an ordinary key press
    EXPECT_FALSE(c.KeyStore().InSequence());
    EXPECT_TRUE(kb.fired.empty());
    EXPECT_EQ(kb.Run({{'C', scCtrl}}), 13);  // back at the first level

    // A second key that is a binding of its own on the first level is still only a second key:
    // Ctrl+K, Ctrl+C is not a copy, and the following Ctrl+C is.
    EXPECT_EQ(kb.Run({{'K', scCtrl}, {'C', scCtrl}}), -1);
    EXPECT_EQ(kb.Run({{'C', scCtrl}}), 13);

    // Nothing times out, and Ctrl+K twice is Ctrl+K then a K that completes nothing.
    EXPECT_EQ(kb.Run({{'K', scCtrl}, {'K', scCtrl}, {'I', 0}}), -1);
    EXPECT_FALSE(c.KeyStore().InSequence());

    // Key codes above a byte are no keys (not 'I' with its high byte cut off), nor is 0.
    EXPECT_EQ(kb.Run({{'K', scCtrl}, {0x100 | 'I', 0}}), -1);
    EXPECT_FALSE(c.KeyStore().InSequence());
    EXPECT_FALSE(kb.Press(0x100 | vkLeft));
    EXPECT_FALSE(kb.Press(0));
}

TEST(KeySequences, CommandEventMayChangeTheCommand)
{
    TKeyboardActionContoller c;
    Copy(c, DefaultKeyboardController());
    int seen = -2;
    c.OnCommand = [&](TKeyboardActionContoller&, int& code) {
        seen = code;
        code = 1000 + code;
    };
    std::uint16_t key = 'Z', shift = scCtrl | scShift;
    EXPECT_TRUE(c.HandleKey(key, shift));
    EXPECT_EQ(seen, 42);
    EXPECT_EQ(c.LastCommand(), 1042);

    // Without a handler the key is still consumed and the command recorded.
    c.OnCommand = nullptr;
    key = vkDelete;
    shift = 0;
    EXPECT_TRUE(c.HandleKey(key, shift));
    EXPECT_EQ(c.LastCommand(), 15);

    // A handler may clear the controller that calls it.
    c.OnCommand = [](TKeyboardActionContoller& sender, int&) { sender.Clear(); };
    key = vkBack;
    EXPECT_TRUE(c.HandleKey(key, shift));
    EXPECT_EQ(c.KeyStore().BindingCount(), 0);
    key = vkBack;
    EXPECT_FALSE(c.HandleKey(key, shift));
}

// ---- adding bindings

TEST(KeyConflicts, AmbiguousBindingsNameBothCommandsAndChangeNothing)
{
    TKeyboardActionContoller c;
    Copy(c, DefaultKeyboardController());
    c.SetCommandName(60, "Block menu");
    const std::string before = Saved(c);

    // A single Ctrl+K where it starts sequences: named after its first second key.
    EXPECT_EQ(MessageOf<EAmbigiousKeyPair>([&] { c.AddBinding(kCtrlK, 0, 60); }),
              Ambiguous("Block menu", "Indent selected block"));
    // The same single key twice.
    EXPECT_EQ(MessageOf<EAmbigiousKeyPair>([&] { c.AddBinding(scCtrl | 'C', 0, 60); }),
              Ambiguous("Block menu", "Copy to clipboard"));
    // A sequence starting with a key bound alone: named after the single key's command.
    EXPECT_EQ(MessageOf<EAmbigiousKeyPair>([&] { c.AddBinding(scCtrl | 'Y', 'A', 60); }),
              Ambiguous("Block menu", "Delete current line"));
    // The same sequence twice, with the second key written with modifiers.
    EXPECT_EQ(MessageOf<EAmbigiousKeyPair>([&] { c.AddBinding(kCtrlQ, scCtrl | '3', 60); }),
              Ambiguous("Block menu", "Goto Bookmark 3"));
    // Also for the command already bound there, and it is an EKeyControllerException.
    EXPECT_THROW(c.AddBinding(vkLeft, 0, 0), EKeyControllerException);
    // A command without a name is named by its id.
    EXPECT_EQ(MessageOf<EAmbigiousKeyPair>([&] { c.AddBinding(vkHome, 0, 61); }),
              Ambiguous("command 61", "Line start"));

    EXPECT_EQ(Saved(c), before);
    Keyboard kb(c);
    EXPECT_EQ(kb.Run({{'K', scCtrl}, {'I', 0}}), 17);
    EXPECT_EQ(kb.Run({{'C', scCtrl}}), 13);
}

TEST(KeyConflicts, BindingsThatCouldNotBeReadBackAreRefused)
{
    TKeyboardActionContoller c;
    EXPECT_THROW(c.AddBinding(vkF1, 0, -1), EKeyControllerException);  // -1 means "no command"
    EXPECT_THROW(c.AddBinding(0, 0, 3), EKeyControllerException);      // 0 means "no key"
    EXPECT_THROW(c.AddBinding(0, 'A', 3), EKeyControllerException);
    EXPECT_THROW(c.AddBinding(kCtrlK, scShift, 3), EKeyControllerException);  // no key code left
    EXPECT_EQ(c.KeyStore().BindingCount(), 0);
    EXPECT_TRUE(c.KeyStore().Bindings().empty());
    // Ids outside the editor's table are fine (a highlighter script may number its own).
    c.AddBinding(vkF1, 0, 500);
    EXPECT_EQ(c.FirstBinding(500), Keys(vkF1, 0));
}

TEST(KeyEnumeration, CommandsWithSeveralBindingsEnumerateInBindingOrder)
{
    TKeyboardActionContoller c;
    c.AddBinding(kCtrlK, 'A', 5);
    c.AddBinding(vkF1, 0, 5);
    c.AddBinding(kCtrlQ, 'A', 5);
    c.AddBinding(kCtrlK, 'B', 6);
    c.AddBinding(vkF2, 0, 6);
    c.AddBinding(scShift | vkF2, 0, 5);
    c.AddBinding(kCtrlK, 'C', 5);

    EXPECT_EQ(c.FirstBinding(5), Keys(vkF1, 0));
    EXPECT_EQ(c.NextBinding(5), Keys(scShift | vkF2, 0));
    EXPECT_EQ(c.NextBinding(5), Keys(kCtrlK, 'A'));
    EXPECT_EQ(c.NextBinding(5), Keys(kCtrlK, 'C'));
    EXPECT_EQ(c.NextBinding(5), Keys(kCtrlQ, 'A'));
    EXPECT_EQ(c.NextBinding(5), Keys(0, 0));
    EXPECT_EQ(c.NextBinding(5), Keys(0, 0));
    // First binding starts over.
    EXPECT_EQ(c.FirstBinding(5), Keys(vkF1, 0));
    EXPECT_EQ(c.FirstBinding(6), Keys(vkF2, 0));
    EXPECT_EQ(c.NextBinding(6), Keys(kCtrlK, 'B'));
    EXPECT_EQ(c.FirstBinding(7), Keys(0, 0));
    EXPECT_EQ(c.KeyStore().BindingCount(), 7);
}

TEST(KeyNamesOfCommands, SettingANameReplacesTheOldEntry)
{
    TKeyboardActionContoller c;
    c.SetCommandName(3, "three");
    c.SetCommandName(1, "one");
    c.SetCommandName(3, "THREE");
    EXPECT_EQ(c.CommandNames(), (std::vector<CommandNameEntry>{{1, "one"}, {3, "THREE"}}));
    EXPECT_EQ(c.CommandName(3), "THREE");
    EXPECT_EQ(c.CommandName(2), "");
    c.SetCommandName(4, std::string(255, 'x'));
    EXPECT_THROW(c.SetCommandName(5, std::string(256, 'x')), EKeyControllerException);
    EXPECT_EQ(c.CommandName(5), "");
    c.Clear();
    EXPECT_TRUE(c.CommandNames().empty());
}

// ---- streams and assign

TEST(KeyStream, TinyControllerLayout)
{
    TKeyboardActionContoller c;
    c.SetCommandName(17, "Ab");
    c.SetCommandName(-2, "");
    c.AddBinding(kCtrlK, scShift | 'I', 17);
    c.AddBinding(scAlt | vkF1, 0, 0x01020304);
    const std::string expected(
        "\x02\x00\x00\x00"  // two names
        "\x11\x00\x00\x00"
        "\x02"
        "Ab"  // 17 "Ab"
        "\xFE\xFF\xFF\xFF"
        "\x00"              // -2 ""
        "\x02\x00\x00\x00"  // two bindings, the single key first
        "\x70\x80"
        "\x00\x00"
        "\x04\x03\x02\x01"
        "\x4B\x40"
        "\x49\x00"
        "\x11\x00\x00\x00",
        4 + 4 + 1 + 2 + 4 + 1 + 4 + 8 + 8);
    EXPECT_EQ(Saved(c), expected);

    TKeyboardActionContoller empty;
    EXPECT_EQ(Saved(empty), std::string(8, '\0'));
}

TEST(KeyStream, RoundTripKeepsNamesBindingsAndTheirOrder)
{
    TKeyboardActionContoller c;
    Copy(c, DefaultKeyboardController());
    c.AddBinding(scAlt | 'K', '1', 20);  // a third first key with second keys
    c.AddBinding(vkF1, 0, 20);
    c.SetCommandName(20, "Bookmark zero");

    TKeyboardActionContoller d;
    LoadBytes(d, Saved(c));
    EXPECT_EQ(d.CommandNames(), c.CommandNames());
    EXPECT_EQ(d.KeyStore().Bindings(), c.KeyStore().Bindings());
    EXPECT_EQ(Saved(d), Saved(c));
    EXPECT_EQ(d.FirstBinding(20), Keys(vkF1, 0));
    EXPECT_EQ(d.NextBinding(20), Keys(kCtrlK, '0'));
    EXPECT_EQ(d.NextBinding(20), Keys(scAlt | 'K', '1'));
    EXPECT_EQ(d.NextBinding(20), Keys(0, 0));
}

TEST(KeyStream, LoadingStartsAtTheFirstLevel)
{
    TKeyboardActionContoller c;
    Copy(c, DefaultKeyboardController());
    Keyboard kb(c);
    EXPECT_TRUE(kb.Press('K', scCtrl));
    LoadBytes(c, Saved(DefaultKeyboardController()));
    EXPECT_FALSE(c.KeyStore().InSequence());
    EXPECT_EQ(kb.Run({{'C', scCtrl}}), 13);
}

TEST(KeyStream, AssignCopiesAndRefusesNull)
{
    TKeyboardActionContoller a;
    a.SetCommandName(1, "one");
    a.AddBinding(vkF1, 0, 1);
    a.Flag1 = true;

    TKeyboardActionContoller b;
    b.SetCommandName(9, "gone");
    b.AddBinding(vkF9, 0, 9);
    b.Assign(&a);
    EXPECT_EQ(Saved(b), Saved(a));
    EXPECT_EQ(b.CommandName(9), "");
    EXPECT_FALSE(b.Flag1);  // not part of the stream
    // A copy, not shared.
    a.AddBinding(vkF2, 0, 2);
    EXPECT_EQ(b.FirstBinding(2), Keys(0, 0));

    b.Assign(&b);
    EXPECT_EQ(b.FirstBinding(1), Keys(vkF1, 0));

    EXPECT_EQ(MessageOf<Exception>([&] { b.Assign(nullptr); }), "Cannot assign a nil to a TKeyboardActionContoller");
    EXPECT_EQ(b.FirstBinding(1), Keys(vkF1, 0));
}

TEST(KeyStream, BadStreamsRaiseAndKeepTheController)
{
    TKeyboardActionContoller target;
    Copy(target, DefaultKeyboardController());
    const std::string good = Saved(target);
    auto expectKept = [&] { EXPECT_EQ(Saved(target), good); };

    // Cut anywhere short of the end.
    TKeyboardActionContoller small;
    small.SetCommandName(1, "one");
    small.AddBinding(kCtrlK, 'A', 1);
    small.AddBinding(vkF1, 0, 1);
    const std::string bytes = Saved(small);
    for (std::size_t n = 0; n < bytes.size(); ++n) {
        SCOPED_TRACE("length " + std::to_string(n));
        EXPECT_THROW(LoadBytes(target, bytes.substr(0, n)), EStreamError);
        expectKept();
    }

    auto i32 = [](std::int32_t v) {
        std::string s(4, '\0');
        for (int i = 0; i < 4; ++i) s[i] = static_cast<char>((static_cast<std::uint32_t>(v) >> (8 * i)) & 0xFF);
        return s;
    };
    auto binding = [&](std::uint16_t a, std::uint16_t b, std::int32_t id) {
        return std::string{static_cast<char>(a & 0xFF), static_cast<char>(a >> 8), static_cast<char>(b & 0xFF),
                           static_cast<char>(b >> 8)} +
               i32(id);
    };
    // Counts that do not fit.
    EXPECT_THROW(LoadBytes(target, i32(-1) + i32(0)), EStreamError);
    EXPECT_THROW(LoadBytes(target, i32(0x7FFFFFFF) + i32(0)), EStreamError);
    EXPECT_THROW(LoadBytes(target, i32(0) + i32(-5)), EStreamError);
    EXPECT_THROW(LoadBytes(target, i32(0) + i32(0x10000000) + binding(vkF1, 0, 1)), EStreamError);
    EXPECT_THROW(LoadBytes(target, i32(2) + i32(1) +
                                       "\x01"
                                       "a" +
                                       i32(0)),
                 EStreamError);  // two names, one there
    // A name longer than the stream.
    EXPECT_THROW(LoadBytes(target, i32(1) + i32(1) +
                                       "\xC8"
                                       "abc" +
                                       i32(0)),
                 EStreamError);
    expectKept();

    // A conflicting pair stops the load.
    const std::string twice = i32(2) + i32(1) +
                              "\x03"
                              "one" +
                              i32(2) +
                              "\x03"
                              "two" +
                              i32(3) + binding(vkF1, 0, 1) + binding(vkF2, 0, 2) + binding(vkF1, 0, 2);
    EXPECT_EQ(MessageOf<EAmbigiousKeyPair>([&] { LoadBytes(target, twice); }), Ambiguous("two", "one"));
    expectKept();
    // Bindings that could not be read back.
    EXPECT_THROW(LoadBytes(target, i32(0) + i32(1) + binding(vkF1, 0, -1)), EKeyControllerException);
    EXPECT_THROW(LoadBytes(target, i32(0) + i32(1) + binding(0, 0, 1)), EKeyControllerException);
    EXPECT_THROW(LoadBytes(target, i32(0) + i32(1) + binding(kCtrlK, scCtrl, 1)), EKeyControllerException);
    expectKept();

    // Well-formed: later names of an id replace earlier ones; bytes after the bindings are left.
    const std::string fine = i32(2) + i32(7) +
                             "\x01"
                             "a" +
                             i32(7) +
                             "\x01"
                             "b" +
                             i32(1) + binding(vkF1, 0, 7) + "tail";
    ReadOnlyMemoryStream s(fine);
    target.LoadFromStream(s);
    EXPECT_EQ(s.Position(), static_cast<std::int64_t>(fine.size() - 4));
    EXPECT_EQ(target.CommandNames(), (std::vector<CommandNameEntry>{{7, "b"}}));
    EXPECT_EQ(target.FirstBinding(7), Keys(vkF1, 0));
    EXPECT_EQ(target.KeyStore().BindingCount(), 1);
}

// ---- key names

TEST(KeyNameList, LooksUpEveryNameAndNothingElse)
{
    const std::vector<std::pair<std::string, int>> expected = {
        {"backspace", 8}, {"delete", 46}, {"down", 40},   {"end", 35},   {"home", 36},  {"insert", 45}, {"left", 37},
        {"pagedown", 34}, {"pageup", 33}, {"return", 13}, {"right", 39}, {"space", 32}, {"up", 38},     {"tab", 9},
    };
    for (const auto& [name, key] : expected) EXPECT_EQ(KeyNameToVirtualKey(name), key) << name;
    for (int n = 1; n <= 12; ++n) EXPECT_EQ(KeyNameToVirtualKey("f" + std::to_string(n)), 111 + n);
    EXPECT_EQ(KeyNames().size(), expected.size() + 12);
    for (std::size_t i = 1; i < KeyNames().size(); ++i) EXPECT_LT(KeyNames()[i - 1].name, KeyNames()[i].name);

    EXPECT_EQ(KeyNameToVirtualKey("PageDown"), 34);
    EXPECT_EQ(KeyNameToVirtualKey("F10"), 121);
    for (const char* unknown : {"", "f", "f0", "f13", "enter", "esc", "backspac", "tabs", "a", "zz"})
        EXPECT_EQ(KeyNameToVirtualKey(unknown), 0) << unknown;
}
