#include "editor/settings.h"

#include <gtest/gtest.h>

#include "editor/char_streams.h"

namespace tarnwick {
namespace {

TStateSet States(std::initializer_list<unsigned> states)
{
    TStateSet set;
    for (unsigned s : states) set.Include(s);
    return set;
}

struct Client : SettingsClient {
    int changes = 0;
    bool fail = false;
    void SettingsChanged() override
    {
        ++changes;
        if (fail) throw std::runtime_error("broken control");
    }
};

// A record with every saved field away from its default.
void Customise(TSM_Settings& s)
{
    s.exampleText = "select 1";
    s.languageName = "SQL";
    s.wrapOverride = "#";
    s.fontCharset = 238;
    s.options = 0x12345;
    s.defaultTabWidth = 8;
    s.marginWidth = 5;
    s.rightMargin = 100;
    s.wordWrapColumn = 72;
    s.gutterWidth = 40;
    s.indentStep = 3;
    s.marginColor = 0x010203;
    s.gutterColor = 0x040506;
    s.selectedTextColor = 0x070809;
    s.selectedTextBackground = 0x0A0B0C;
    s.fontName = "Consolas";
    s.fontSize = 12;
    s.marginColorDefault = s.selectedTextColorDefault = s.selectedTextBackgroundDefault = s.gutterColorDefault = true;
    s.gutterFont = {"Tahoma", 9, 0, 0x112233, fsItalic};
    s.SetStyle(7, {fsBold | fsUnderline, 0xFF0000, 0x00FF00, true, false, true, true});
    s.SetStyleIndex(7, 3);
    s.SetEditableStyle(1, {"Keyword", 7});
    s.SetEditableStyle(3, {"A very long style name beyond the limit", 9});
    s.SetTabColumn(0, 4);
    s.SetTabColumn(31, 120);
    s.AddKeywordTable({States({1, 2}), "[^a-z]", false, {{"begin", 5}, {"end", 6}}});
    s.Keys().AddBinding(scCtrl | 'T', 0, 41);
    s.Templates().AddOrReplace("sel", "Select all", "select *\r\nfrom t");
    s.AutoReplace().Add("teh", "the");
}

void ExpectCustomised(TSM_Settings& s)
{
    EXPECT_EQ(s.exampleText, "select 1");
    EXPECT_EQ(s.languageName, "SQL");
    EXPECT_EQ(s.wrapOverride, "#");
    EXPECT_EQ(s.fontCharset, 238);
    EXPECT_EQ(s.options, 0x12345u);
    EXPECT_EQ(s.defaultTabWidth, 8);
    EXPECT_EQ(s.marginWidth, 5);
    EXPECT_EQ(s.rightMargin, 100);
    EXPECT_EQ(s.wordWrapColumn, 72);
    EXPECT_EQ(s.gutterWidth, 40);
    EXPECT_EQ(s.indentStep, 3);
    EXPECT_EQ(s.marginColor, 0x010203u);
    EXPECT_EQ(s.gutterColor, 0x040506u);
    EXPECT_EQ(s.selectedTextColor, 0x070809u);
    EXPECT_EQ(s.selectedTextBackground, 0x0A0B0Cu);
    EXPECT_EQ(s.fontName, "Consolas");
    EXPECT_EQ(s.fontSize, 12);
    EXPECT_TRUE(s.marginColorDefault && s.selectedTextColorDefault && s.selectedTextBackgroundDefault &&
                s.gutterColorDefault);
    EXPECT_EQ(s.Style(7), (StyleRecord{fsBold | fsUnderline, 0xFF0000, 0x00FF00, true, false, true, true}));
    EXPECT_TRUE(s.HasHotSpots());
    EXPECT_EQ(s.StyleIndex(7), 3);
    EXPECT_EQ(s.EditableStyle(1), (NamedStyle{"Keyword", 7}));
    EXPECT_EQ(s.EditableStyle(3).name, "A very long style name be");  // 25 characters kept
    EXPECT_EQ(s.TabColumn(0), 4);
    EXPECT_EQ(s.TabColumn(31), 120);
    EXPECT_EQ(s.TabColumn(1), -1);
    ASSERT_NE(s.UserKeywords(), nullptr);
    int tables = 0;
    for (const auto& t : s.KeywordTables()) tables += t ? 1 : 0;
    EXPECT_EQ(tables, 1);
    EXPECT_EQ(s.Keys().FirstBinding(41), (std::pair<std::uint16_t, std::uint16_t>(scCtrl | 'Z', 0)));
    EXPECT_EQ(s.Keys().NextBinding(41), (std::pair<std::uint16_t, std::uint16_t>(scCtrl | 'T', 0)));
    std::string body;
    EXPECT_TRUE(s.Templates().Find("sel", body));
    EXPECT_EQ(body, "select *\rfrom t");
    EXPECT_TRUE(s.AutoReplace().Find("teh", body));
    EXPECT_EQ(body, "the");
}

TEST(Settings, NewRecordHoldsTheDefaults)
{
    TSM_Settings s;
    EXPECT_EQ(s.fontName, "Courier New");
    EXPECT_EQ(s.fontSize, 10);
    EXPECT_EQ(s.rightMargin, 80);
    EXPECT_EQ(s.gutterWidth, 34);
    EXPECT_EQ(s.defaultTabWidth, 4);
    EXPECT_EQ(s.languageName, "<Custom language>");
    EXPECT_EQ(s.wrapOverride, ">|:");
    EXPECT_EQ(s.options, 0x3FFDBF0u);
    EXPECT_EQ(s.gutterColor, 0x8000000Fu);
    for (int i = 0; i < 32; ++i) EXPECT_EQ(s.TabColumn(i), -1);
    EXPECT_TRUE(s.Style(0).defined);
    EXPECT_FALSE(s.Style(1).defined);
    EXPECT_EQ(s.Style(1).foreground, clBlack);
    EXPECT_EQ(s.Style(1).background, clWhite);
    EXPECT_FALSE(s.HasHotSpots());
    EXPECT_EQ(s.UserKeywords(), nullptr);
    EXPECT_EQ(s.Keys().FirstBinding(17), (std::pair<std::uint16_t, std::uint16_t>(scCtrl | 'K', 'I')));

    Customise(s);
    s.Reset();
    EXPECT_EQ(s.fontName, "Courier New");
    EXPECT_EQ(s.TabColumn(0), -1);
    EXPECT_EQ(s.UserKeywords(), nullptr);
    EXPECT_EQ(s.Templates().Count(), 0);
    EXPECT_EQ(s.AutoReplace().Count(), 0);
    EXPECT_EQ(s.Keys().FirstBinding(41), (std::pair<std::uint16_t, std::uint16_t>(scCtrl | 'Z', 0)));
    EXPECT_EQ(s.Keys().NextBinding(41), (std::pair<std::uint16_t, std::uint16_t>(0, 0)));
}

TEST(Settings, AttachingBuildsFontsOnceAndNotifyReachesEveryControl)
{
    TSM_Settings s;
    int built = 0, freed = 0;
    s.OnBuildFonts = [&](TSM_Settings&) { ++built; };
    s.OnFreeFonts = [&](TSM_Settings&) { ++freed; };
    Client a, b;
    s.Attach(&a);
    s.Attach(&a);
    s.Attach(&b);
    EXPECT_EQ(s.AttachedCount(), 2);
    EXPECT_EQ(built, 1);
    a.fail = true;
    s.Notify();  // a's exception does not stop b
    EXPECT_EQ(a.changes, 1);
    EXPECT_EQ(b.changes, 1);
    s.Detach(&a);
    EXPECT_EQ(freed, 0);
    s.Detach(&b);
    EXPECT_EQ(freed, 1);
    s.Detach(&b);
    EXPECT_EQ(freed, 1);
}

TEST(Settings, KeywordTablesReplaceOrRefuseOverlappingStates)
{
    TSM_Settings s;
    s.AddKeywordTable({States({1, 2}), "", false, {{"select", 10}}});
    s.AddKeywordTable({TStateSet{}, "", true, {{"Abc", 11}}});       // empty: state 0 alone
    s.AddKeywordTable({States({1, 2}), "", false, {{"from", 12}}});  // same states: replaces
    int tables = 0;
    for (const auto& t : s.KeywordTables()) tables += t ? 1 : 0;
    EXPECT_EQ(tables, 2);

    try {
        s.AddKeywordTable({States({2, 3}), "", false, {{"where", 13}}});
        FAIL() << "no exception";
    } catch (const EKeywords& e) {
        EXPECT_STREQ(e.what(), "Ambigious key table state definition");
    }

    // The user keyword table holds the words of the tables in force.
    TTextStore store;
    store.SetText("from select");
    TEdStream stream(&store);
    TKeywords& words = const_cast<TKeywords&>(*s.UserKeywords());
    words.SetCurrentStates(States({1}));
    const KeywordMatch from = words.MatchForwards(stream);
    ASSERT_TRUE(from);
    EXPECT_EQ(from.entry->data, 12);
    stream.SetPos(5);
    EXPECT_FALSE(words.MatchForwards(stream));  // "select" was replaced

    for (int i = 10; i < 28; ++i) s.AddKeywordTable({States({static_cast<unsigned>(i)}), "", false, {}});
    EXPECT_THROW(s.AddKeywordTable({States({99}), "", false, {}}), EKeywords);  // twenty in use
}

TEST(Settings, AssignAndStreamsCopyEveryField)
{
    TSM_Settings source;
    Customise(source);
    TSM_Settings copy;
    copy.Assign(&source);
    ExpectCustomised(copy);

    TMemoryStream stream;
    source.SaveToStream(stream);
    stream.SetPosition(0);
    TSM_Settings loaded;
    loaded.LoadFromStream(stream);
    ExpectCustomised(loaded);
    EXPECT_EQ(loaded.gutterFont, (FontData{"Tahoma", 9, 0, 0x112233, fsItalic}));
    EXPECT_EQ(stream.Position(), stream.Size());
}

TEST(Settings, OlderStreamsHaveNoGutterFont)
{
    TSM_Settings source;
    Customise(source);
    TMemoryStream stream;
    source.SaveToStream(stream);
    // The older layout is the same stream without the gutter font at its end.
    const std::size_t gutterBytes = 4 + 6 + 4 + 1 + 4 + 1;
    std::string older = stream.Data().substr(0, stream.Data().size() - gutterBytes);
    TMemoryStream oldStream(older);
    TSM_Settings loaded;
    loaded.SetStreamVersion(50);
    loaded.LoadFromStream(oldStream);
    EXPECT_EQ(loaded.fontName, "Consolas");
    EXPECT_EQ(loaded.gutterFont.name, "MS Sans Serif");
    EXPECT_EQ(loaded.StreamVersion(), 50);
}

TEST(Settings, BrokenStreamsRaiseAndLeaveTheRecordReset)
{
    TSM_Settings source;
    Customise(source);
    TMemoryStream stream;
    source.SaveToStream(stream);
    const std::string bytes = stream.Data();
    for (std::size_t cut : {std::size_t{0}, std::size_t{3}, std::size_t{20}, bytes.size() / 2, bytes.size() - 1}) {
        TMemoryStream truncated(bytes.substr(0, cut));
        TSM_Settings loaded;
        Customise(loaded);
        EXPECT_THROW(loaded.LoadFromStream(truncated), Exception) << "cut at " << cut;
        EXPECT_EQ(loaded.fontName, "Courier New") << "cut at " << cut;
    }
    // A count no stream could hold.
    std::string huge = bytes;
    const std::size_t styleCount = 3 * 4 + 8 + 3 + 1 + 11 * 4;  // after the three texts and eleven integers
    huge[styleCount] = '\xFF';
    huge[styleCount + 1] = '\xFF';
    huge[styleCount + 2] = '\xFF';
    huge[styleCount + 3] = '\x7F';
    TMemoryStream bad(huge);
    TSM_Settings loaded;
    EXPECT_THROW(loaded.LoadFromStream(bad), EStreamError);
}

}  // namespace
}  // namespace tarnwick
