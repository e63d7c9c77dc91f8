#include "editor/char_group.h"

#include <gtest/gtest.h>

#include "bytes.h"

#include <string>
#include <utility>
#include <vector>

using namespace tarnwick;

namespace {

// The group of `text`, which must hold exactly one specification.
TSM_CharGroup Group(std::string_view text)
{
    TSM_CharGroup g;
    std::size_t pos = 1;
    g.Parse(text, pos);
    EXPECT_EQ(pos, text.size() + 1) << "text left after the group in [" << text << "]";
    return g;
}

// The codes the group matches.
std::vector<int> Matched(const TSM_CharGroup& g)
{
    std::vector<int> codes;
    for (int c = 0; c < 256; ++c)
        if (g.Contains(static_cast<std::uint8_t>(c))) codes.push_back(c);
    return codes;
}

std::vector<int> Codes(std::string_view chars)
{
    std::vector<int> codes;
    for (char c : chars) codes.push_back(static_cast<std::uint8_t>(c));
    return codes;
}

// The message of the Exception that parsing `text` from position 1 raises.
std::string ParseError(std::string_view text)
{
    TSM_CharGroup g;
    std::size_t pos = 1;
    try {
        g.Parse(text, pos);
    } catch (const Exception& e) {
        return e.what();
    }
    return "(no error)";
}

using tarnwick::testing::Bytes;

std::string Saved(const TSM_CharGroup& g)
{
    TMemoryStream s;
    g.SaveToStream(s);
    return s.Data();
}

}  // namespace

TEST(CharGroupText, SetsRangesAndNegation)
{
    TSM_CharGroup ident = Group("[a-zA-Z_]");
    EXPECT_EQ(ident.Members().Count(), 53);
    EXPECT_TRUE(ident.Contains('a') && ident.Contains('z') && ident.Contains('A') && ident.Contains('Z'));
    EXPECT_TRUE(ident.Contains('_'));
    EXPECT_FALSE(ident.Contains('0') || ident.Contains('`') || ident.Contains('[') || ident.Contains('-'));
    EXPECT_FALSE(ident.Negated());

    TSM_CharGroup notDigit = Group("[^0-9]");
    EXPECT_TRUE(notDigit.Negated());
    EXPECT_EQ(notDigit.Members().Count(), 10);
    std::vector<int> expected;
    for (int c = 0; c < 256; ++c)
        if (c < '0' || c > '9') expected.push_back(c);
    EXPECT_EQ(Matched(notDigit), expected);

    EXPECT_EQ(Matched(Group("\\t")), std::vector<int>{9});
    EXPECT_EQ(Matched(Group("a-c")), Codes("abc"));
    EXPECT_EQ(Matched(Group("x")), Codes("x"));
    EXPECT_EQ(Matched(Group("[x-x]")), Codes("x"));
    EXPECT_EQ(Matched(Group("[cab]")), Codes("abc"));
    EXPECT_EQ(Matched(Group("[\x80-\xff]")).size(), 128u);  // codes above 127 as they stand
}

TEST(CharGroupText, DashAndCaretOutsideTheirPlaces)
{
    // A "-" that cannot join a range is a plain character.
    EXPECT_EQ(Matched(Group("[-a]")), Codes("-a"));
    EXPECT_EQ(Matched(Group("[a-]")), Codes("-a"));
    EXPECT_EQ(Matched(Group("[^-]")), [] {
        std::vector<int> all;
        for (int c = 0; c < 256; ++c)
            if (c != '-') all.push_back(c);
        return all;
    }());
    EXPECT_EQ(Matched(Group("[--/]")), Codes("-./"));  // a range from "-" to "/"
    EXPECT_EQ(Matched(Group("---")), Codes("-"));
    EXPECT_EQ(Matched(Group("[a^]")), Codes("^a"));  // "^" only negates right after "["
    EXPECT_EQ(Matched(Group("^")), Codes("^"));
    EXPECT_EQ(Matched(Group("]")), Codes("]"));

    // Empty sets.
    TSM_CharGroup none = Group("[]");
    EXPECT_TRUE(none.IsEmpty());
    EXPECT_TRUE(Matched(none).empty());
    TSM_CharGroup all = Group("[^]");
    EXPECT_TRUE(all.IsEmpty());  // no members, although it matches everything
    EXPECT_EQ(Matched(all).size(), 256u);
}

TEST(CharGroupText, Escapes)
{
    EXPECT_EQ(Matched(Group("[\\b\\e\\n\\r\\s\\t]")), (std::vector<int>{8, 9, 10, 13, 27, 32}));
    EXPECT_EQ(Matched(Group("\\n")), std::vector<int>{13});  // the line break as the text keeps it
    EXPECT_EQ(Matched(Group("\\r")), std::vector<int>{10});
    EXPECT_EQ(Matched(Group("[\\B\\E\\N\\R\\S\\T]")), (std::vector<int>{8, 9, 10, 13, 27, 32}));

    EXPECT_EQ(Matched(Group("\\x41")), Codes("A"));
    EXPECT_EQ(Matched(Group("\\X7e")), Codes("~"));
    EXPECT_EQ(Matched(Group("\\u20")), Codes(" "));
    EXPECT_EQ(Matched(Group("\\xFF")), std::vector<int>{255});
    EXPECT_EQ(Matched(Group("\\x0000041")), Codes("A"));  // leading zeros do not count
    EXPECT_EQ(Matched(Group("\\101")), Codes("A"));
    EXPECT_EQ(Matched(Group("\\0")), std::vector<int>{0});
    EXPECT_EQ(Matched(Group("\\377")), std::vector<int>{255});
    EXPECT_EQ(Matched(Group("[\\x41-\\x43]")), Codes("ABC"));
    EXPECT_EQ(Matched(Group("[\\60-\\62]")), Codes("012"));

    // Any other escaped character is itself, and never syntax.
    EXPECT_EQ(Matched(Group("\\q")), Codes("q"));
    EXPECT_EQ(Matched(Group("\\\\")), Codes("\\"));
    EXPECT_EQ(Matched(Group("\\8")), Codes("8"));
    EXPECT_EQ(Matched(Group("\\[")), Codes("["));
    EXPECT_EQ(Matched(Group("[\\]]")), Codes("]"));
    EXPECT_EQ(Matched(Group("[\\[\\]]")), Codes("[]"));
    TSM_CharGroup caret = Group("[\\^a]");
    EXPECT_FALSE(caret.Negated());
    EXPECT_EQ(Matched(caret), Codes("^a"));
    EXPECT_EQ(Matched(Group("[a\\-z]")), Codes("-az"));
    EXPECT_EQ(Matched(Group("[!-\\]]")).size(), static_cast<std::size_t>(']' - '!' + 1));
}

TEST(CharGroupText, PositionAfterTheGroup)
{
    const std::string text = "ab-d[xy]\\t[^\\]]z";
    TSM_CharGroup g;
    std::size_t pos = 1;
    std::vector<std::size_t> ends;
    std::vector<std::vector<int>> groups;
    while (pos <= text.size()) {
        g.Parse(text, pos);
        ends.push_back(pos);
        groups.push_back(Matched(g));
    }
    EXPECT_EQ(ends, (std::vector<std::size_t>{2, 5, 9, 11, 16, 17}));
    EXPECT_EQ(groups[0], Codes("a"));
    EXPECT_EQ(groups[1], Codes("bcd"));
    EXPECT_EQ(groups[2], Codes("xy"));
    EXPECT_EQ(groups[3], std::vector<int>{9});
    EXPECT_EQ(groups[4].size(), 255u);
    EXPECT_EQ(groups[5], Codes("z"));

    // Starting in the middle; a parse clears what the group held before.
    pos = 6;
    g.Parse(text, pos);
    EXPECT_EQ(pos, 7u);
    EXPECT_EQ(Matched(g), Codes("x"));

    // A "-" at the end of the text is left for the next group.
    pos = 1;
    g.Parse("a-", pos);
    EXPECT_EQ(pos, 2u);
    EXPECT_EQ(Matched(g), Codes("a"));
    // Hex digits are taken as long as they follow.
    pos = 1;
    g.Parse("\\x41g", pos);
    EXPECT_EQ(pos, 5u);
    EXPECT_EQ(Matched(g), Codes("A"));
    // Octal digits too; 8 is none.
    pos = 1;
    g.Parse("\\018", pos);
    EXPECT_EQ(pos, 4u);
    EXPECT_EQ(Matched(g), std::vector<int>{1});
}

TEST(CharGroupText, ErrorsLeaveGroupAndPositionAlone)
{
    // Ranges out of order: a plain Exception with the exact message, inside a set or not.
    for (std::string_view text : {"z-a", "[z-a]", "[a-cz-y]", "\\x42-\\x41", "[a-\\]]"}) {
        TSM_CharGroup g;
        std::size_t pos = 1;
        try {
            g.Parse(text, pos);
            ADD_FAILURE() << "no error for " << text;
        } catch (const EDoravaVizu&) {
            ADD_FAILURE() << "editor-family exception for " << text;
        } catch (const Exception& e) {
            EXPECT_STREQ(e.what(), "Characters not in correct order for range specifier") << text;
        }
    }

    EXPECT_EQ(ParseError(""), "Character specification expected");
    EXPECT_EQ(ParseError("["), "Missing ']' in character specification");
    EXPECT_EQ(ParseError("[^"), "Missing ']' in character specification");
    EXPECT_EQ(ParseError("[abc"), "Missing ']' in character specification");
    EXPECT_EQ(ParseError("[a-"), "Missing ']' in character specification");
    EXPECT_EQ(ParseError("[\\]"), "Missing ']' in character specification");
    EXPECT_EQ(ParseError("\\"), "Incomplete escape sequence in character specification");
    EXPECT_EQ(ParseError("[a\\"), "Incomplete escape sequence in character specification");
    EXPECT_EQ(ParseError("a-\\"), "Incomplete escape sequence in character specification");
    EXPECT_EQ(ParseError("\\x"), "Hexadecimal digits expected after \\x");
    EXPECT_EQ(ParseError("\\Ug"), "Hexadecimal digits expected after \\U");
    EXPECT_EQ(ParseError("\\x100"), "Character code out of range (0..255) in character specification");
    EXPECT_EQ(ParseError("\\400"), "Character code out of range (0..255) in character specification");
    EXPECT_EQ(ParseError("\\x41B"), "Character code out of range (0..255) in character specification");
    EXPECT_EQ(ParseError("\\x" + std::string(100, 'f')),
              "Character code out of range (0..255) in character specification");
    EXPECT_EQ(ParseError("[\\777777777777777777777]"),
              "Character code out of range (0..255) in character specification");

    TSM_CharGroup g = Group("[^q]");
    for (std::size_t start : {0u, 4u, 5u, 1000u}) {
        std::size_t pos = start;
        EXPECT_THROW(g.Parse("abc", pos), Exception) << start;
        EXPECT_EQ(pos, start);
    }
    std::size_t pos = 2;
    EXPECT_THROW(g.Parse("x[ab", pos), Exception);
    EXPECT_EQ(pos, 2u);
    EXPECT_EQ(g, Group("[^q]"));
}

TEST(CharGroup, BuildingByHand)
{
    TSM_CharGroup g;
    EXPECT_TRUE(g.IsEmpty());
    g.AddRange('z', 'a');  // reversed: nothing, not even the bounds
    EXPECT_TRUE(g.IsEmpty());
    EXPECT_EQ(g.Lowest(), 255);
    EXPECT_EQ(g.Highest(), 0);

    g.AddRange('d', 'f');
    g.AddChar('b');
    EXPECT_EQ(Matched(g), Codes("bdef"));
    EXPECT_EQ(g.Lowest(), 'b');
    EXPECT_EQ(g.Highest(), 'f');
    g.AddRange('z', 'a');  // reversed: nothing
    EXPECT_EQ(Matched(g), Codes("bdef"));
    EXPECT_EQ(g.Lowest(), 'b');
    g.AddChar(0);
    g.AddChar(255);
    EXPECT_EQ(g.Lowest(), 0);
    EXPECT_EQ(g.Highest(), 255);

    g.SetNegated(true);
    EXPECT_FALSE(g.Contains('b'));
    EXPECT_TRUE(g.Contains('c'));

    g.Clear();
    EXPECT_TRUE(g.IsEmpty());
    EXPECT_FALSE(g.Negated());
    EXPECT_EQ(g.Lowest(), 255);
    EXPECT_EQ(g.Highest(), 0);

    ByteSet set;
    set.Include('m');
    g.AddChar('n');
    g.AddSet(set);
    EXPECT_EQ(Matched(g), Codes("mn"));
    EXPECT_EQ(g.Lowest(), 0);
    EXPECT_EQ(g.Highest(), 255);

    // Equality: members and negation, not how the group was built.
    TSM_CharGroup a = Group("[mn]");
    EXPECT_EQ(a, g);
    EXPECT_TRUE(a.Equals(g));
    a.SetNegated(true);
    EXPECT_FALSE(a == g);
    EXPECT_FALSE(Group("[ab]") == Group("[abc]"));
}

TEST(CharGroupStream, BinaryForm)
{
    TSM_CharGroup g = Group("[^a\\x00\\xff]");
    std::string expected(32, '\0');
    expected[0] = 0x01;                      // code 0
    expected[12] = 0x02;                     // 'a' = 97 = 12 * 8 + 1
    expected[31] = static_cast<char>(0x80);  // code 255
    expected += Bytes({0, 0, 0, 0, 1});
    EXPECT_EQ(Saved(g), expected);

    for (std::string_view text : {"[a-zA-Z_]", "[^0-9]", "\\t", "[]", "[^]", "[\\x00-\\xff]"}) {
        TSM_CharGroup original = Group(text);
        TMemoryStream s;
        original.SaveToStream(s);
        s.SetPosition(0);
        TSM_CharGroup back = Group("q");
        back.LoadFromStream(s);
        EXPECT_EQ(back, original) << text;
        EXPECT_EQ(Matched(back), Matched(original)) << text;
        EXPECT_EQ(s.Remaining(), 0) << text;
    }

    // Lowest and highest are not stored; loading takes them from the members.
    TSM_CharGroup back;
    const std::string data = Saved(Group("[d-k]"));
    ReadOnlyMemoryStream in(data);
    back.LoadFromStream(in);
    EXPECT_EQ(back.Lowest(), 'd');
    EXPECT_EQ(back.Highest(), 'k');
    for (auto [low, high] : {std::pair{0, 255}, std::pair{7, 8}, std::pair{8, 15}, std::pair{200, 200}}) {
        TSM_CharGroup ends;
        ends.AddChar(static_cast<std::uint8_t>(low));
        ends.AddChar(static_cast<std::uint8_t>(high));
        const std::string saved = Saved(ends);
        ReadOnlyMemoryStream s(saved);
        back.LoadFromStream(s);
        EXPECT_EQ(back.Lowest(), low);
        EXPECT_EQ(back.Highest(), high);
    }
    const std::string empty = Saved(TSM_CharGroup());
    ReadOnlyMemoryStream e(empty);
    back.LoadFromStream(e);
    EXPECT_EQ(back.Lowest(), 255);
    EXPECT_EQ(back.Highest(), 0);
}

TEST(CharGroupStream, CloneAndAssign)
{
    const TSM_CharGroup g = Group("[^x-z]");
    std::unique_ptr<TSM_Base> copy = g.Clone();
    ASSERT_EQ(copy->ClassName(), "TSM_CharGroup");
    auto* group = dynamic_cast<TSM_CharGroup*>(copy.get());
    ASSERT_NE(group, nullptr);
    EXPECT_EQ(*group, g);

    TSM_CharGroup target = Group("a");
    target.Assign(&g);
    EXPECT_EQ(target, g);

    TSM_Base other;
    try {
        target.Assign(&other);
        ADD_FAILURE() << "assigning another class succeeded";
    } catch (const EDoravaVizu& e) {
        EXPECT_STREQ(e.what(), "Cannot assign a TSM_Base to TSM_CharGroup");
    }
    EXPECT_EQ(target, g);
}

TEST(CharGroupStream, RangesAndDamagedData)
{
    const std::string members(32, '\0');
    // Ranges in the stream are added to the members; the list stays empty.
    TSM_CharGroup g;
    std::string data = members + Bytes({2, 0, 0, 0, 0, '0', '2', 'x', 'x'});
    ReadOnlyMemoryStream in(data);
    g.LoadFromStream(in);
    EXPECT_EQ(Matched(g), Codes("012x"));
    EXPECT_TRUE(g.Ranges().empty());
    EXPECT_EQ(in.Remaining(), 0);
    EXPECT_EQ(Saved(g), Saved(Group("[0-2x]")));

    const TSM_CharGroup before = Group("[^k]");
    auto loadFails = [&](const std::string& bytes) {
        TSM_CharGroup target = before;
        ReadOnlyMemoryStream s(bytes);
        EXPECT_THROW(target.LoadFromStream(s), EStreamError);
        EXPECT_EQ(target, before);
    };
    loadFails("");
    loadFails(members);                                                 // no count
    loadFails(members + Bytes({0, 0, 0, 0}));                           // no negated flag
    loadFails(members + Bytes({1, 0, 0, 0, 0, 'a'}));                   // range cut short
    loadFails(members + Bytes({1, 0, 0, 0, 0, 'b', 'a'}));              // range out of order
    loadFails(members + Bytes({0xFF, 0xFF, 0xFF, 0xFF, 0}));            // negative count
    loadFails(members + Bytes({0xFF, 0xFF, 0xFF, 0x7F, 0, 'a', 'b'}));  // count far beyond the data
}

TEST(CharGroupManager, RegisterSharesEqualGroups)
{
    TSM_CharGroupManager m;
    EXPECT_EQ(m.Count(), 0);
    TSM_CharGroup a = Group("[a-c]");
    EXPECT_EQ(m.Register(a), 0);
    EXPECT_EQ(m.Register(Group("a-c")), 0);  // same members, written differently
    EXPECT_EQ(m.Register(Group("[abc]")), 0);
    EXPECT_EQ(m.Register(Group("[^a-c]")), 1);  // negation makes it another group
    EXPECT_EQ(m.Register(Group("[]")), 2);
    EXPECT_EQ(m.Register(Group("[^]")), 3);
    EXPECT_EQ(m.Count(), 4);

    // The manager keeps a copy; its references survive further registrations.
    const TSM_CharGroup& first = m.Get(0);
    a.AddChar('z');
    EXPECT_FALSE(first.Contains('z'));
    for (int round = 0; round < 2; ++round) {
        for (int c = 0; c < 200; ++c) {
            TSM_CharGroup single;
            single.AddChar(static_cast<std::uint8_t>(c));
            EXPECT_EQ(m.Register(single), 4 + c);
        }
    }
    EXPECT_EQ(m.Count(), 204);
    EXPECT_EQ(Matched(first), Codes("abc"));
    EXPECT_EQ(m.Get(1), Group("[^abc]"));

    for (int bad : {-1, m.Count(), 1 << 30}) {
        try {
            m.Get(bad);
            ADD_FAILURE() << "no error for " << bad;
        } catch (const EDoravaVizu& e) {
            EXPECT_EQ(std::string(e.what()), "Invalid Set ID (" + std::to_string(bad) + ")");
        }
    }

    m.Clear();
    EXPECT_EQ(m.Count(), 0);
    EXPECT_THROW(m.Get(0), EDoravaVizu);
    EXPECT_EQ(m.Register(Group("[^a-c]")), 0);
}

TEST(CharGroupManager, SaveAndLoad)
{
    TSM_CharGroupManager m;
    m.Register(Group("[a-z]"));
    m.Register(Group("\\t"));
    m.Register(Group("[^0-9]"));
    TMemoryStream s;
    m.SaveToStream(s);
    EXPECT_EQ(s.Data().substr(0, 4), Bytes({3, 0, 0, 0}));
    EXPECT_EQ(s.Size(), 4 + 3 * 37);

    TSM_CharGroupManager back;
    back.Register(Group("q"));  // loading replaces this
    s.SetPosition(0);
    back.LoadFromStream(s);
    ASSERT_EQ(back.Count(), 3);
    for (int i = 0; i < 3; ++i) EXPECT_EQ(back.Get(i), m.Get(i)) << i;

    // Equal groups in the stream are stored once.
    TMemoryStream dup;
    WriteI32(dup, 4);
    for (std::string_view text : {"[a-z]", "\\t", "[a-z]", "\\t"}) Group(text).SaveToStream(dup);
    dup.SetPosition(0);
    back.LoadFromStream(dup);
    ASSERT_EQ(back.Count(), 2);
    EXPECT_EQ(back.Get(0), Group("[a-z]"));
    EXPECT_EQ(back.Get(1), Group("\\t"));
    EXPECT_EQ(back.Register(Group("\\t")), 1);  // a loaded group is found again
    EXPECT_EQ(back.Count(), 2);

    // A damaged list leaves the manager as it was.
    auto loadFails = [&](const std::string& bytes) {
        ReadOnlyMemoryStream in(bytes);
        EXPECT_THROW(back.LoadFromStream(in), EStreamError);
        EXPECT_EQ(back.Count(), 2);
        EXPECT_EQ(back.Get(1), Group("\\t"));
    };
    loadFails("");
    loadFails(Bytes({0xFF, 0xFF, 0xFF, 0xFF}));
    loadFails(Bytes({0xFF, 0xFF, 0xFF, 0x7F}) + std::string(37, '\0'));
    loadFails(s.Data().substr(0, s.Data().size() - 1));
    std::string rangeAtEnd = Bytes({2, 0, 0, 0}) + std::string(32, '\0') + Bytes({1, 0, 0, 0, 0});
    loadFails(rangeAtEnd + std::string(37, '\0'));  // the first group's range eats into the second

    TMemoryStream empty(Bytes({0, 0, 0, 0}));
    back.LoadFromStream(empty);
    EXPECT_EQ(back.Count(), 0);
}
