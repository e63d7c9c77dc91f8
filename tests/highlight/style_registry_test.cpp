#include <gtest/gtest.h>

#include "highlight/parser.h"
#include "highlight/style_string.h"

namespace tarnwick {
namespace {

using KeyPair = std::pair<std::uint16_t, std::uint16_t>;
constexpr const char* kKey = "Software\\Corvanti\\Tarnwick\\EditorOptions";

std::string Message(const std::function<void()>& f)
{
    try {
        f();
    } catch (const Exception& e) {
        return e.what();
    }
    return "(no exception)";
}

void Customise(TSM_Settings& s)
{
    s.options = 0x12345;
    s.gutterWidth = 40;
    s.gutterColor = clBtnFace;  // a system colour
    s.wordWrapColumn = 72;
    s.indentStep = 3;
    s.wrapOverride = "#-";
    s.fontName = "Lucida Console";
    s.fontSize = 12;
    s.selectedTextColor = 0x00FF00;
    s.selectedTextBackground = clHighlight;
    s.SetTabColumn(0, 4);
    s.SetTabColumn(1, 8);
    s.defaultTabWidth = 3;
    s.gutterColorDefault = true;
    s.selectedTextBackgroundDefault = true;
    s.fontCharset = 238;
    s.rightMargin = 100;
    s.gutterFont = FontData{"Arial", 8, 0, clWindowText, fsBold | fsItalic};
    StyleRecord kw;
    kw.defined = true;
    kw.fontStyle = fsBold | fsUnderline;
    kw.foreground = 0xFF0000;
    kw.background = clWhite;
    kw.backgroundDefault = true;
    s.SetStyle(1, kw);
    StyleRecord str;
    str.defined = true;
    str.foreground = clWindowText;
    str.foregroundDefault = true;
    s.SetStyle(200, str);
}

void ExpectSameOverrides(const TSM_Settings& a, const TSM_Settings& b)
{
    EXPECT_EQ(a.options, b.options);
    EXPECT_EQ(a.gutterWidth, b.gutterWidth);
    EXPECT_EQ(a.gutterColor, b.gutterColor);
    EXPECT_EQ(a.wordWrapColumn, b.wordWrapColumn);
    EXPECT_EQ(a.indentStep, b.indentStep);
    EXPECT_EQ(a.wrapOverride, b.wrapOverride);
    EXPECT_EQ(a.fontName, b.fontName);
    EXPECT_EQ(a.fontSize, b.fontSize);
    EXPECT_EQ(a.selectedTextColor, b.selectedTextColor);
    EXPECT_EQ(a.selectedTextBackground, b.selectedTextBackground);
    for (int i = 0; i < TSM_Settings::kTabColumns; ++i) EXPECT_EQ(a.TabColumn(i), b.TabColumn(i)) << i;
    EXPECT_EQ(a.defaultTabWidth, b.defaultTabWidth);
    EXPECT_EQ(a.gutterColorDefault, b.gutterColorDefault);
    EXPECT_EQ(a.marginColorDefault, b.marginColorDefault);
    EXPECT_EQ(a.selectedTextColorDefault, b.selectedTextColorDefault);
    EXPECT_EQ(a.selectedTextBackgroundDefault, b.selectedTextBackgroundDefault);
    EXPECT_EQ(a.fontCharset, b.fontCharset);
    EXPECT_EQ(a.rightMargin, b.rightMargin);
    EXPECT_EQ(a.gutterFont, b.gutterFont);
    for (int t = 0; t < 256; ++t) EXPECT_EQ(a.Style(t), b.Style(t)) << "token " << t;
}

TEST(StyleString, WrittenForm)
{
    TSM_Settings s;
    Customise(s);
    const std::string text = FormatStyleString(s);
    EXPECT_EQ(text.substr(0, 8), "Vexmar6:");
    EXPECT_NE(text.find("#OPT#5#74565#GWD#2#40#GCL#11#-2147483633#"), std::string::npos) << text;
    EXPECT_NE(text.find("#TBC#3#5 9#TBD#1#3#"), std::string::npos);
    // Style 0 is defined in every record; system colours are written as signed numbers.
    EXPECT_NE(text.find("#EFF#67#3,0,0,16777215,;1,16711680,16777215,XBU;200,-2147483640,16777215,Y;#"),
              std::string::npos)
        << text;
    EXPECT_NE(text.find("#LNE#2#IB#END#"), std::string::npos);
    EXPECT_EQ(text.substr(text.size() - 5), "#END#");
}

TEST(StyleString, RoundTripIncludingSystemColours)
{
    TSM_Settings a;
    Customise(a);
    TSM_Settings b;
    ApplyStyleOverrides(ParseStyleString(FormatStyleString(a)), b);
    ExpectSameOverrides(a, b);
}

TEST(StyleString, AllStylesDefinedRoundTrip)
{
    TSM_Settings a;
    for (int t = 0; t < 256; ++t) {
        StyleRecord r;
        r.defined = true;
        r.foreground = static_cast<TColor>(t);
        r.fontStyle = static_cast<std::uint8_t>(t % 8);
        a.SetStyle(t, r);
    }
    const std::string effects = FormatEffects(a);
    EXPECT_EQ(effects.substr(0, 4), "255,");  // the count of a full list
    TSM_Settings b;
    ApplyStyleOverrides(ParseStyleString(FormatStyleString(a)), b);
    for (int t = 0; t < 256; ++t) EXPECT_EQ(a.Style(t), b.Style(t)) << t;
}

TEST(StyleString, EffectsKeepHotSpotsAndClearOtherBits)
{
    TSM_Settings s;
    StyleRecord r;
    r.hotSpot = true;
    r.fontStyle = fsItalic | fsStrikeOut;
    r.foregroundDefault = true;
    s.SetStyle(5, r);
    ApplyStyleOverrides(ParseStyleString("Vexmar6:#EFF#12#1,5,255,0,b;#END#"), s);
    const StyleRecord& got = s.Style(5);
    EXPECT_TRUE(got.hotSpot);
    EXPECT_TRUE(got.defined);
    EXPECT_EQ(got.fontStyle, fsBold);
    EXPECT_FALSE(got.foregroundDefault);
    EXPECT_EQ(got.foreground, 255u);
    EXPECT_EQ(got.background, 0u);
    // Empty fields give their defaults: token 255, black on white.
    ApplyStyleOverrides(ParseStyleString("Vexmar6:#EFF#5#1,,,;#END#"), s);
    EXPECT_TRUE(s.Style(255).defined);
    EXPECT_EQ(s.Style(255).background, clWhite);
}

TEST(StyleString, PositionalLayouts)
{
    TSM_Settings s;
    ApplyStyleOverrides(ParseStyleString("Vexmar1:100,20,60,2,2,#-;1,1,255,0,I;"), s);
    EXPECT_EQ(s.options, 100u);
    EXPECT_EQ(s.gutterWidth, 20);
    EXPECT_EQ(s.wordWrapColumn, 60);
    EXPECT_EQ(s.indentStep, 2);
    EXPECT_EQ(s.wrapOverride, "#-");
    EXPECT_EQ(s.fontName, "Courier New");
    EXPECT_EQ(s.selectedTextColor, clHighlightText);
    EXPECT_EQ(s.Style(1).foreground, 255u);
    EXPECT_EQ(s.Style(1).fontStyle, fsItalic);

    TSM_Settings f;
    ApplyStyleOverrides(ParseStyleString("Vexmar4:,,,,0,;5,Arial11,255,65280,3,5 9;8,0"), f);
    EXPECT_EQ(f.options, TSM_Settings::kDefaultOptions);
    EXPECT_EQ(f.gutterWidth, 34);
    EXPECT_EQ(f.fontName, "Arial");
    EXPECT_EQ(f.fontSize, 11);
    EXPECT_EQ(f.selectedTextColor, 255u);
    EXPECT_EQ(f.selectedTextBackground, 65280u);
    EXPECT_EQ(f.TabColumn(0), 4);
    EXPECT_EQ(f.TabColumn(1), 8);
    EXPECT_EQ(f.TabColumn(2), -1);
    EXPECT_EQ(f.defaultTabWidth, 8);
}

TEST(StyleString, MalformedStringsAreRejected)
{
    for (const char* bad : {"Vexmar0:", "Vexmar:", "vexmar6:", "Vexma", "", "Vexmar6:#OPT#9#12",
                            "Vexmar6:#OPT#2#1x#END#", "Vexmar6:#EFF#5#1,256;#END#", "Vexmar6:#TBC#3#5 5#END#",
                            "Vexmar6:#LNE#1#Q#END#", "Vexmar2:1,1,1,1,99,ab", "Vexmar6:#FOC#3#300#END#"})
        EXPECT_EQ(Message([&] { ParseStyleString(bad); }), "Invalid data in style string") << bad;
    // Reading stops at an unknown tag; what came before it counts.
    const StyleOverrides o = ParseStyleString("Vexmar6:#GWD#2#50#ZZZ#1#1#FOS#2#99#END#");
    EXPECT_EQ(o.gutterWidth, 50);
    EXPECT_FALSE(o.fontSize.has_value());
}

class RegistryTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        parser.Name = "SQLParser";
        parser.Settings().languageName = "SQL";
        parser.SetKeyValueStore(&store);
        parser.UseRegistry = true;
        parser.RegistryKey = kKey;
    }
    MemoryKeyValueStore store;
    VOzuvavIdavParser parser;
};

TEST_F(RegistryTest, StylesAndKeyAssignmentsRoundTrip)
{
    Customise(parser.Settings());
    parser.Settings().Keys().Clear();
    parser.Settings().Keys().AddBinding(0x4000 | 'K', 'B', 20);
    parser.Settings().Keys().SetCommandName(20, "Set bookmark 0");
    parser.SaveStylesToRegistry();

    const auto* styles = store.Find(kKey, "Highlighting - SQL");
    ASSERT_NE(styles, nullptr);
    EXPECT_EQ(styles->kind, KeyValueStore::ValueKind::vkText);
    const auto* keys = store.Find(kKey, "Key Assignments - SQL");
    ASSERT_NE(keys, nullptr);
    EXPECT_EQ(keys->kind, KeyValueStore::ValueKind::vkBinary);
    EXPECT_EQ(keys->bytes.substr(0, 9), std::string("\x08Vexmar6:"));

    VOzuvavIdavParser other;
    other.Settings().languageName = "SQL";
    other.SetKeyValueStore(&store);
    other.LoadStylesFromRegistry(false, kKey);
    ExpectSameOverrides(parser.Settings(), other.Settings());
    EXPECT_EQ(other.Settings().Keys().CommandName(20), "Set bookmark 0");
    EXPECT_EQ(other.Settings().Keys().FirstBinding(20), KeyPair(0x4000 | 'K', 'B'));
    EXPECT_EQ(other.Settings().Keys().FirstBinding(0), KeyPair(0, 0));
}

TEST_F(RegistryTest, TemplateKeyAndAutoReplaceTriggersRoundTrip)
{
    parser.Settings().Templates().SetHotKey(0x4000 | vkSpace);
    parser.Settings().AutoReplace().SetTriggers(";\\{Return}");
    parser.SaveStylesToRegistry();
    EXPECT_EQ(store.Find(kKey, "Template Hot Key - SQL")->bytes, "Ctrl+Space");
    EXPECT_EQ(store.Find(kKey, "Auto Replace Keys - SQL")->bytes, ";\\{Return}");

    VOzuvavIdavParser other;
    other.Settings().languageName = "SQL";
    other.SetKeyValueStore(&store);
    other.LoadStylesFromRegistry(false, kKey);
    EXPECT_EQ(other.Settings().Templates().HotKey(), 0x4000 | vkSpace);
    EXPECT_EQ(other.Settings().AutoReplace().Triggers(), ";\\{Return}");
    EXPECT_EQ(other.Settings().AutoReplace().TriggerKeys(), parser.Settings().AutoReplace().TriggerKeys());

    // Unreadable ones are named and change nothing, the other values included.
    other.Settings().gutterWidth = 77;
    store.WriteText(kKey, "Auto Replace Keys - SQL", "\\{Return");
    EXPECT_EQ(
        Message([&] { other.LoadStylesFromRegistry(false, kKey); }),
        "Invalid data in registry entry \"Software\\Corvanti\\Tarnwick\\EditorOptions\\Auto Replace Keys - SQL\"");
    store.WriteText(kKey, "Auto Replace Keys - SQL", ";");
    store.WriteText(kKey, "Template Hot Key - SQL", "Ctrl+Nothing");
    EXPECT_EQ(Message([&] { other.LoadStylesFromRegistry(false, kKey); }),
              "Invalid data in registry entry \"Software\\Corvanti\\Tarnwick\\EditorOptions\\Template Hot Key - SQL\"");
    EXPECT_EQ(other.Settings().gutterWidth, 77);
    EXPECT_EQ(other.Settings().AutoReplace().Triggers(), ";\\{Return}");
}

TEST_F(RegistryTest, MissingValuesChangeNothing)
{
    parser.Settings().gutterWidth = 77;
    parser.LoadStylesFromRegistry(true, "");
    parser.LoadStylesFromRegistry(false, "Software\\Nowhere");
    EXPECT_EQ(parser.Settings().gutterWidth, 77);
}

TEST_F(RegistryTest, InvalidDataIsReportedAndChangesNothing)
{
    parser.Settings().gutterWidth = 77;
    store.WriteText(kKey, "Highlighting - SQL", "Vexmar6:#GWD#2#10#TBD#1#x#END#");
    EXPECT_EQ(Message([&] { parser.LoadStylesFromRegistry(true, ""); }),
              "Invalid data in registry entry \"Software\\Corvanti\\Tarnwick\\EditorOptions\\Highlighting - SQL\"");
    EXPECT_EQ(parser.Settings().gutterWidth, 77);  // the good tag before the bad one was not applied

    // A broken key-assignment value: the styles are not applied either.
    store.WriteText(kKey, "Highlighting - SQL", "Vexmar6:#GWD#2#10#END#");
    store.WriteBinary(kKey, "Key Assignments - SQL", std::string("\x08Vexmar6:\xFF\xFF\xFF\x7F", 13));
    const auto before = parser.Settings().Keys().CommandNames();
    EXPECT_EQ(Message([&] { parser.LoadStylesFromRegistry(true, ""); }),
              "Invalid data in registry entry \"Software\\Corvanti\\Tarnwick\\EditorOptions\\Key Assignments - SQL\"");
    EXPECT_EQ(parser.Settings().gutterWidth, 77);
    EXPECT_EQ(parser.Settings().Keys().CommandNames(), before);
}

TEST_F(RegistryTest, DisabledRegistry)
{
    parser.UseRegistry = false;
    EXPECT_EQ(Message([&] { parser.SaveStylesToRegistry(); }), "Registry interface disabled in: SQLParser");
    EXPECT_EQ(Message([&] { parser.LoadStylesFromRegistry(true, ""); }), "Registry interface disabled in: SQLParser");
    parser.UseRegistry = true;
    parser.RegistryKey.clear();
    EXPECT_EQ(Message([&] { parser.SaveStylesToRegistry(); }), "Registry interface disabled in: SQLParser");
}

TEST_F(RegistryTest, ConfirmedOptionsDialogSavesToTheRegistry)
{
    parser.OnShowOptionsDialog = [](VOzuvavIdavParser& p, TSM_PropEdPages) {
        p.Settings().fontSize = 14;
        return true;
    };
    EXPECT_TRUE(parser.EditProperties());
    const auto* styles = store.Find(kKey, "Highlighting - SQL");
    ASSERT_NE(styles, nullptr);
    EXPECT_NE(styles->bytes.find("#FOS#2#14#"), std::string::npos);
}

}  // namespace
}  // namespace tarnwick
