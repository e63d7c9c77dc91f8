#include "editor/macro_keywords.h"

#include <gtest/gtest.h>

#include <cctype>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "base/errors.h"
#include "base/file_io.h"
#include "editor/key_bindings.h"

using namespace tarnwick;

namespace {

// A minimal editor control: a store, a caret, a selection and a log of undo groups.
class FakeTarget : public MacroTarget {
public:
    explicit FakeTarget(std::string_view text)
    {
        store.SetText(text);
        caret = selStart = selEnd = store.CharCount();
    }

    const TTextStore& Store() const override { return store; }
    std::int64_t CaretOffset() const override { return caret; }
    void SetCaretOffset(std::int64_t offset) override { caret = selStart = selEnd = offset; }
    std::int64_t SelStart() const override { return selStart; }
    std::int64_t SelEnd() const override { return selEnd; }
    void SetSelection(std::int64_t start, std::int64_t end) override
    {
        selStart = start;
        selEnd = caret = end;
    }
    bool IsWordChar(char c) const override { return std::isalnum(static_cast<unsigned char>(c)) || c == '_'; }
    bool HideSelection() const override { return hide; }
    void SetHideSelection(bool h) override { hide = h; }
    void ReplaceSelection(std::string_view text) override
    {
        auto s = std::min(selStart, selEnd), e = std::max(selStart, selEnd);
        store.Delete(s, e);
        store.Insert(s, text);
        SetCaretOffset(s + static_cast<std::int64_t>(text.size()));
        log += "R";
    }
    void BeginGroup(int g) override { log += "B" + std::to_string(g); }
    void EndGroup(int g) override { log += "E" + std::to_string(g); }
    void ShowPickList(TMacroKeywords&, const std::vector<std::string>& i, int sel) override
    {
        items = i;
        selected = sel;
    }
    void AutoReplaceEvent(std::int64_t start, const std::string& word, std::string&, bool& can) override
    {
        arStart = start;
        arWord = word;
        if (veto) can = false;
    }

    void Type(std::string_view text)
    {
        store.Insert(caret, text);
        SetCaretOffset(caret + static_cast<std::int64_t>(text.size()));
    }
    std::string Text() const { return store.Text(); }

    TTextStore store;
    std::int64_t caret = 0, selStart = 0, selEnd = 0;
    bool hide = true, veto = false;
    std::string log, arWord;
    std::int64_t arStart = -1;
    std::vector<std::string> items;
    int selected = -2;
};

template <class T>
void Install(T& m)
{
    m.SetOnExpand(&TMacroKeywords::Expand);
}

std::string ErrorOf(const std::function<void()>& f)
{
    try {
        f();
    } catch (const std::exception& e) {
        return e.what();
    }
    return "(no error)";
}

std::filesystem::path TempFile(const char* name)
{
    return std::filesystem::temp_directory_path() / (std::string("tarnwick_mk_") + name);
}

}  // namespace

TEST(StringScanner, WalksAndStopsAtEnd)
{
    TStringScanner s("ab");
    EXPECT_EQ(s.Current(), 'a');
    s.Next();
    EXPECT_EQ(s.Current(), 'b');
    s.Next();
    EXPECT_TRUE(s.AtEnd());
    EXPECT_EQ(s.Current(), '\0');
    s.Next();
    EXPECT_EQ(s.Position(), 3u);
    EXPECT_TRUE(TStringScanner("").AtEnd());
}

TEST(MacroEntries, AddReplaceDeleteFind)
{
    TCodeTemplates t;
    t.Add("Begin", "Block", false, "BEGIN\r\nEND");
    t.AddOrReplace("BEGIN", "New", "x\ny");
    ASSERT_EQ(t.Count(), 1);
    EXPECT_EQ(t.Entries()[0].name, "begin");
    EXPECT_EQ(t.Entries()[0].description, "New");
    EXPECT_EQ(t.Entries()[0].body, "x\ry");  // line breaks normalised
    t.Add("Sel", "", false, "select");
    t.Add("abc", "", false, "1");
    auto e = t.Entries();
    ASSERT_EQ(e.size(), 3u);
    EXPECT_EQ(e[0].name, "abc");
    EXPECT_EQ(e[2].name, "sel");

    std::string body;
    EXPECT_TRUE(t.Find("SEL", body));
    EXPECT_EQ(body, "select");
    EXPECT_FALSE(t.Find("se", body));
    EXPECT_TRUE(t.Delete("SeL"));
    EXPECT_FALSE(t.Delete("sel"));
    EXPECT_FALSE(t.Find("sel", body));

    // The trie is rebuilt: the deleted name no longer matches, the others still do.
    TTextStore store;
    store.SetText("x sel abc");
    int len = 0;
    EXPECT_EQ(t.MatchBefore(store, 5, len), nullptr);
    const MacroEntry* m = t.MatchBefore(store, 9, len);
    ASSERT_NE(m, nullptr);
    EXPECT_EQ(m->name, "abc");
    EXPECT_EQ(len, 3);

    t.Add("", "d", false, "ignored");
    EXPECT_EQ(t.Count(), 2);
    t.Clear();
    EXPECT_EQ(t.Count(), 0);
    EXPECT_EQ(t.MatchBefore(store, 9, len), nullptr);
}

TEST(MacroEntries, CaseSensitiveVariantsShareTheTrie)
{
    TCodeTemplates t;
    t.Add("Begin", "", true, "A");
    t.Add("begin", "", true, "B");  // would be a duplicate trie word
    EXPECT_EQ(t.Count(), 2);
    t.AddOrReplace("BEGIN", "", "C");
    ASSERT_EQ(t.Count(), 1);
    EXPECT_EQ(t.Entries()[0].body, "C");
}

TEST(MacroEntries, DefaultsOfTheTwoKinds)
{
    TCodeTemplates t;
    TAutoReplace a;
    EXPECT_EQ(t.HotKey(), scCtrl | 'J');
    EXPECT_TRUE(t.ConsumeKey() && t.IndentLines() && t.CaretMarker() && t.ShowList() && t.Enabled());
    EXPECT_FALSE(a.ConsumeKey() || a.IndentLines() || a.CaretMarker() || a.ShowList());
    EXPECT_EQ(a.Triggers(), kDefaultTriggers);
    EXPECT_TRUE(t.IsTrigger('J', scCtrl));
    EXPECT_FALSE(t.IsTrigger('J', scCtrl | scShift));
    t.SetEnabled(false);
    EXPECT_FALSE(t.IsTrigger('J', scCtrl));
}

TEST(Shortcuts, TextRoundTrip)
{
    for (std::uint16_t sc : {std::uint16_t(scCtrl | 'J'), std::uint16_t(scShift | scCtrl | (vkF1 + 11)),
                             std::uint16_t(scAlt | vkDelete), std::uint16_t('7'), std::uint16_t(scCtrl | vkSpace)})
        EXPECT_EQ(TextToShortcut(ShortcutToText(sc)), sc) << ShortcutToText(sc);
    EXPECT_EQ(ShortcutToText(scCtrl | 'J'), "Ctrl+J");
    EXPECT_EQ(ShortcutToText(0), "");
    EXPECT_EQ(TextToShortcut("Ctrl+"), 0);
    EXPECT_EQ(TextToShortcut("Hyper+J"), 0);
    EXPECT_EQ(TextToShortcut("F13"), 0);
}

TEST(Expansion, LongestNameEndingAtCaret)
{
    TCodeTemplates t;
    Install(t);
    t.Add("begin", "", false, "B1");
    t.Add("beginend", "", false, "B2");
    FakeTarget f("xbeginend");
    bool handled = false;
    EXPECT_TRUE(t.KeyHandler(&f, 'J', handled, scCtrl));
    EXPECT_TRUE(handled);
    EXPECT_EQ(f.Text(), "xB2");
    EXPECT_EQ(f.log, "B18RE18");

    // Not the hot key: nothing happens.
    FakeTarget g("begin");
    handled = false;
    EXPECT_FALSE(t.KeyHandler(&g, 'K', handled, scCtrl));
    EXPECT_EQ(g.Text(), "begin");

    // At offset 0 the character after the caret is not taken for a word before it.
    FakeTarget h("begin");
    h.SetCaretOffset(0);
    t.SetShowList(false);
    EXPECT_FALSE(t.KeyHandler(&h, 'J', handled, scCtrl));
    EXPECT_EQ(h.Text(), "begin");

    // Without an event a match does nothing.
    TCodeTemplates bare;
    bare.Add("begin", "", false, "X");
    FakeTarget k("begin");
    EXPECT_FALSE(bare.KeyHandler(&k, 'J', handled, scCtrl));
    EXPECT_EQ(k.Text(), "begin");
}

TEST(Expansion, IndentationAndCaretMarker)
{
    TCodeTemplates t;
    Install(t);
    t.Add("blk", "", false, "BEGIN\r\n  |\r\nEND");
    FakeTarget f("x\r    blk");
    bool handled = false;
    ASSERT_TRUE(t.KeyHandler(&f, 'J', handled, scCtrl));
    EXPECT_EQ(f.Text(), "x\r    BEGIN\r      \r    END");
    EXPECT_EQ(f.CaretOffset(), 2 + 4 + 6 + 6);  // where the "|" stood

    // Without indentation and caret marker the body goes in as it is.
    t.SetIndentLines(false);
    t.SetCaretMarker(false);
    FakeTarget g("  blk");
    ASSERT_TRUE(t.KeyHandler(&g, 'J', handled, scCtrl));
    EXPECT_EQ(g.Text(), "  BEGIN\r  |\rEND");
    EXPECT_EQ(g.CaretOffset(), g.store.CharCount());
}

TEST(PickList, OpensWithTypedWordSelectedAndAccepts)
{
    TCodeTemplates t;
    Install(t);
    t.Add("begin", "Block", false, "BEGIN END");
    t.Add("abc", "", false, "ABC");
    FakeTarget f("x beg");
    bool handled = false;
    ASSERT_TRUE(t.KeyHandler(&f, 'J', handled, scCtrl));
    EXPECT_TRUE(handled);
    EXPECT_EQ(t.TypedWord(), "beg");
    EXPECT_EQ(f.items, (std::vector<std::string>{"\tabc", "Block\tbegin"}));
    EXPECT_EQ(f.selected, 1);
    EXPECT_EQ(f.selStart, 2);
    EXPECT_EQ(f.selEnd, 5);
    EXPECT_FALSE(f.hide);

    t.PickListAccept(f, 1);
    EXPECT_EQ(f.Text(), "x BEGIN END");
    t.PickListClosed(f);
    EXPECT_TRUE(f.hide);

    // Choosing an entry the typed word does not occur in keeps the word.
    FakeTarget g("x beg");
    ASSERT_TRUE(t.KeyHandler(&g, 'J', handled, scCtrl));
    t.PickListAccept(g, 0);
    EXPECT_EQ(g.Text(), "x begABC");
}

TEST(PickList, TypingFilter)
{
    TCodeTemplates t;
    for (auto n : {"alpha", "beta", "bravo", "charlie"}) t.Add(n, "", false, n);
    EXPECT_EQ(t.PickListPreselect("RAV"), 2);
    EXPECT_EQ(t.PickListPreselect("zzz"), 0);
    EXPECT_EQ(t.PickListKey('B'), 1);
    EXPECT_EQ(t.PickListKey('r'), 2);
    EXPECT_EQ(t.ListFilter(), "Br");   // kept as typed, compared ignoring case
    EXPECT_EQ(t.PickListKey('c'), 3);  // "brc" matches nothing: searched again with "c"
    EXPECT_EQ(t.ListFilter(), "c");
    EXPECT_EQ(t.PickListKey('x'), -1);  // "cx" and "x" match nothing
    EXPECT_EQ(t.ListFilter(), "");
    EXPECT_EQ(t.PickListKey('z'), -1);
    EXPECT_EQ(t.ListFilter(), "");
}

TEST(AutoReplace, TriggerParsing)
{
    auto keys = TAutoReplace::ParseTriggers(";(\\s\\T\\n\\{ F 1 }\\{nosuchkey}\\(;", UsKeyboardKeyScan);
    EXPECT_EQ(keys, (std::vector<int>{0xBA, '9' | 0x100, 32, 9, 13, 112, 0, '9'}));

    TAutoReplace a;
    auto before = a.TriggerKeys();
    EXPECT_EQ(ErrorOf([&] { a.SetTriggers("ab\\{Return"); }), "Bad key specifier");
    EXPECT_EQ(ErrorOf([&] { a.SetTriggers("ab\\"); }), "Bad key specifier");
    EXPECT_EQ(a.TriggerKeys(), before);
    EXPECT_EQ(a.Triggers(), kDefaultTriggers);

    // Default triggers: ";" plain, ":" and "(" with Shift, Return; Alt never matches.
    EXPECT_TRUE(a.IsTrigger(0xBA, 0));
    EXPECT_TRUE(a.IsTrigger(0xBA, scShift));
    EXPECT_TRUE(a.IsTrigger('9', scShift));
    EXPECT_FALSE(a.IsTrigger('9', 0));
    EXPECT_TRUE(a.IsTrigger(vkReturn, 0));
    EXPECT_FALSE(a.IsTrigger(vkSpace, scAlt));
    EXPECT_FALSE(a.IsTrigger(0x100 | vkSpace, 0));

    a.SetTriggers("x");
    EXPECT_EQ(a.TriggerKeys(), (std::vector<int>{'X'}));
    a.SetTriggers("");
    EXPECT_FALSE(a.IsTrigger(vkSpace, 0));
    a.Clear();
    EXPECT_EQ(a.Triggers(), kDefaultTriggers);
    EXPECT_TRUE(a.IsTrigger(vkSpace, 0));

    // Another layout decides which key a character is.
    a.SetKeyboardLayout([](char c) { return c == ';' ? 0x1BE : -1; });
    a.SetTriggers(";");
    EXPECT_EQ(a.TriggerKeys(), (std::vector<int>{0x1BE}));
}

TEST(AutoReplace, ReplacesWholeWordsOnly)
{
    TAutoReplace a;
    Install(a);
    a.Add("teh", "the");
    bool handled = true;
    FakeTarget f("x teh");
    EXPECT_TRUE(a.KeyHandler(&f, vkSpace, handled, 0));
    EXPECT_FALSE(handled);  // the space is still typed by the control
    EXPECT_EQ(f.Text(), "x the");
    EXPECT_EQ(f.arWord, "teh");
    EXPECT_EQ(f.arStart, 2);

    FakeTarget g("tehx");
    EXPECT_FALSE(a.KeyHandler(&g, vkSpace, handled, 0));
    EXPECT_EQ(g.Text(), "tehx");

    FakeTarget h("ateh");  // matches "teh" but is part of a longer word
    a.KeyHandler(&h, vkSpace, handled, 0);
    EXPECT_EQ(h.Text(), "ateh");

    FakeTarget k("teh");
    k.veto = true;
    a.KeyHandler(&k, vkSpace, handled, 0);
    EXPECT_EQ(k.Text(), "teh");

    FakeTarget m("TEH");
    a.KeyHandler(&m, 'A', handled, 0);  // not a trigger
    EXPECT_EQ(m.Text(), "TEH");
    a.KeyHandler(&m, vkSpace, handled, 0);
    EXPECT_EQ(m.Text(), "the");
}

TEST(TextFormat, LoadsHeadersAndBodies)
{
    TCodeTemplates t;
    t.LoadFromText("[sel | Select all]\r\nSELECT * FROM\r\n");
    ASSERT_EQ(t.Count(), 1);
    EXPECT_EQ(t.Entries()[0].name, "sel");
    EXPECT_EQ(t.Entries()[0].description, "Select all");
    EXPECT_EQ(t.Entries()[0].body, "SELECT * FROM");

    t.LoadFromText("junk\n[A]\nl1\n\nl3\n[ B | d ]\n[C|x");
    auto e = t.Entries();
    ASSERT_EQ(e.size(), 3u);
    EXPECT_EQ(e[0].name, "a");
    EXPECT_EQ(e[0].description, "");
    EXPECT_EQ(e[0].body, "l1\r\rl3");
    EXPECT_EQ(e[1].name, "b");
    EXPECT_EQ(e[1].description, "d");
    EXPECT_EQ(e[1].body, "");
    EXPECT_EQ(e[2].name, "c");
    EXPECT_EQ(e[2].description, "x");
}

TEST(TextFormat, SaveRoundTripAndUnrepresentableEntries)
{
    TCodeTemplates t;
    t.Add("zz", "Last", false, "a\r\rb\r");
    t.Add("aa", "", false, "");
    std::string text = t.SaveToText();
    EXPECT_EQ(text, "[aa | ]\r\n[zz | Last]\r\na\r\n\r\nb\r\n\r\n");
    TCodeTemplates u;
    u.LoadFromText(text);
    ASSERT_EQ(u.Count(), 2);
    EXPECT_EQ(u.Entries()[1].body, "a\r\rb\r");

    TCodeTemplates bad;
    bad.Add("x", "", false, "ok\r[not a header");
    EXPECT_NE(ErrorOf([&] { bad.SaveToText(); }).find("cannot be saved"), std::string::npos);
    TCodeTemplates bad2;
    bad2.Add("a|b", "", false, "");
    EXPECT_THROW(bad2.SaveToText(), EFileSaveError);
}

TEST(TextFormat, Files)
{
    auto file = TempFile("t.tpl");
    std::filesystem::remove(file);
    TCodeTemplates t;
    t.Add("sel", "Select all", false, "SELECT *\rFROM");
    EXPECT_EQ(ErrorOf([&] { t.LoadFromFile(file); }), "Cannot open file \"" + file.string() + "\" for reading");
    EXPECT_EQ(t.Count(), 1);  // not cleared

    t.SaveToFile(file);
    EXPECT_EQ(ReadWholeFile(file), "[sel | Select all]\r\nSELECT *\r\nFROM\r\n");
    TAutoReplace a;
    a.SetTriggers(";");
    a.Add("old", "new");
    a.LoadFromFile(file);
    ASSERT_EQ(a.Count(), 1);
    EXPECT_EQ(a.Entries()[0].body, "SELECT *\rFROM");
    EXPECT_EQ(a.Triggers(), ";");  // loading a file changes entries only
    std::filesystem::remove(file);
}

TEST(StreamFormat, RoundTripAndAssign)
{
    TAutoReplace a;
    a.Add("teh", "the");
    a.Add("Adn", "and");
    a.SetTriggers(" ;");
    a.SetEnabled(false);
    TMemoryStream m;
    a.SaveToStream(m);
    m.SetPosition(0);
    TAutoReplace b;
    b.LoadFromStream(m);
    EXPECT_EQ(m.Remaining(), 0);
    EXPECT_EQ(b.Count(), 2);
    EXPECT_EQ(b.Triggers(), " ;");
    EXPECT_EQ(b.TriggerKeys(), a.TriggerKeys());
    EXPECT_FALSE(b.Enabled());

    TCodeTemplates t;
    t.Add("sel", "Select", false, "SELECT");
    t.SetHotKey(scCtrl | scShift | vkSpace);
    TCodeTemplates u;
    u.Assign(t);
    EXPECT_EQ(u.HotKey(), scCtrl | scShift | vkSpace);
    ASSERT_EQ(u.Count(), 1);
    EXPECT_EQ(u.Entries()[0].description, "Select");
    EXPECT_EQ(ErrorOf([&] { u.Assign(a); }), "Cannot assign TAutoReplace to TCodeTemplates");

    // The layout: count, entry, hot key text, enabled.
    TMemoryStream n;
    t.SaveToStream(n);
    std::string expect = std::string("\1\0\0\0", 4) + "\3sel" + "\6Select" + std::string("\6\0\0\0", 4) + "SELECT" +
                         std::string("\x10\0\0\0", 4) + "Shift+Ctrl+Space" + std::string("\1\0\0\0", 4);
    EXPECT_EQ(n.Data(), expect);
}

TEST(StreamFormat, MalformedStreamsLeaveTheObjectAlone)
{
    TAutoReplace good;
    good.Add("teh", "the");
    TMemoryStream m;
    good.SaveToStream(m);
    const std::string data = m.Data();

    TAutoReplace a;
    a.Add("keep", "me");
    for (std::size_t cut = 0; cut < data.size(); ++cut) {
        TMemoryStream s(data.substr(0, cut));
        EXPECT_THROW(a.LoadFromStream(s), EStreamError) << cut;
    }
    auto corrupt = [&](std::size_t at, std::string bytes) {
        std::string d = data;
        d.replace(at, bytes.size(), bytes);
        return d;
    };
    TMemoryStream hugeCount(corrupt(0, std::string("\xff\xff\xff\x7f", 4)));
    EXPECT_THROW(a.LoadFromStream(hugeCount), EStreamError);
    TMemoryStream negative(corrupt(0, std::string("\xff\xff\xff\xff", 4)));
    EXPECT_THROW(a.LoadFromStream(negative), EStreamError);
    // Hot key text "Ctrl+J" turned into "Ctrl+?".
    std::size_t hk = data.find("Ctrl+J");
    TMemoryStream badKey(corrupt(hk, "Ctrl+?"));
    EXPECT_NE(ErrorOf([&] { a.LoadFromStream(badKey); }).find("hot key"), std::string::npos);
    // A trigger string with an unclosed key name.
    std::string d = data.substr(0, data.size() - 1 - good.Triggers().size()) + std::string("\3\\{x");
    TMemoryStream badTriggers(d);
    EXPECT_EQ(ErrorOf([&] { a.LoadFromStream(badTriggers); }), "Bad key specifier");

    ASSERT_EQ(a.Count(), 1);
    EXPECT_EQ(a.Entries()[0].name, "keep");
    EXPECT_EQ(a.Triggers(), kDefaultTriggers);

    TCodeTemplates t;
    t.Add(std::string(256, 'n'), "", false, "");
    TMemoryStream out;
    EXPECT_THROW(t.SaveToStream(out), EStreamError);
    EXPECT_EQ(out.Size(), 0);
}
