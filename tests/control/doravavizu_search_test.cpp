// Find and replace through the editor control: stepping from match to match, failures, replacing
// all (plain, confirmed, with a regular expression and its back references) as one undo step.

#include <string>

#include "doravavizu_fixture.h"

namespace tarnwick {
namespace {

using test::Control;

TEST_F(Control, FindStepsOnAndReportsFailures)
{
    Load("abc x abc y ABC");
    std::int64_t at = -1;
    c.Select(0, 0);
    ASSERT_TRUE(c.FindText("abc", at, sfMatchCase));
    EXPECT_EQ(at, 0);
    ASSERT_TRUE(c.FindText("abc", at, sfMatchCase));
    EXPECT_EQ(at, 6);  // not the same match again
    EXPECT_FALSE(c.FindText("abc", at, sfMatchCase));
    ASSERT_EQ(host.messages.size(), 0u);
    EXPECT_EQ(c.Find(sfFindNow, "abc"), 12);  // case ignored
    c.Select(0, 0);
    EXPECT_EQ(c.Find(sfFindNow | sfBackwards, "abc"), -1);  // at offset 0 nothing is found
    c.Select(15, 15);
    EXPECT_EQ(c.Find(sfFindNow | sfBackwards | sfMatchCase, "abc"), 6);

    c.SearchFail("zz");
    ASSERT_EQ(host.messages.size(), 1u);
    EXPECT_EQ(host.messages[0], "Search string \"zz\" not found.");
    std::string reported;
    c.OnSearchFail = [&](TCustomDoravaVizu&, const std::string& t) { reported = t; };
    c.SearchFail("yy");
    EXPECT_EQ(reported, "yy");

    c.Select(0, 0);
    EXPECT_EQ(c.Find(sfFindNow | sfRegExp, "x +a"), 4);
    EXPECT_EQ(c.SelEnd(), 7);
    EXPECT_EQ(c.Find(sfFindNow | sfRegExp, "a(b"), -1);
    ASSERT_EQ(host.messages.size(), 2u);
    const std::string& box = host.messages[1];
    EXPECT_NE(box.find("\na(b\n"), std::string::npos) << box;
    EXPECT_EQ(box.back(), '^');
}

TEST_F(Control, RegularExpressionReplaceAllIsOneUndoStep)
{
    Load("id_1 = a;\rid_22 = b;\rname = c;");
    EXPECT_EQ(c.ReplaceAllRegExp("id_[0-9]+", "<\\0>", 0), 2);
    EXPECT_EQ(c.Text(), "<id_1> = a;\r<id_22> = b;\rname = c;");
    EXPECT_EQ(c.Caret(), 19);  // after the last replacement
    c.Undo();
    EXPECT_EQ(c.Text(), "id_1 = a;\rid_22 = b;\rname = c;");
    EXPECT_EQ(c.ReplaceAllRegExp("zz+", "q", 0), 0);
    EXPECT_EQ(host.messages.back(), "Search string \"zz+\" not found.");
    EXPECT_EQ(c.ReplaceAll("=", ":=", 0), 3);
    EXPECT_EQ(c.Text(), "id_1 := a;\rid_22 := b;\rname := c;");
}

TEST_F(Control, ReplaceAllWithBackReferences)
{
    Load("f(a, b);\rf(cc, d);");
    EXPECT_EQ(c.ReplaceAllRegExp("f\\(([a-z]+), ([a-z]+)", "g(\\2, \\1", 0), 2);
    EXPECT_EQ(c.Text(), "g(b, a);\rg(d, cc);");
}

TEST_F(Control, ConfirmedReplaceAsksForEachMatch)
{
    Load("a.b.c");
    int asked = 0;
    struct NoToSecond : test::FakeHost {
        int* asked;
        bool MessageBox(std::string_view text, MessageKind kind) override
        {
            EXPECT_EQ(kind, MessageKind::Question);
            EXPECT_EQ(std::string(text), "Replace this occurence of '.' with '::' ?");
            return ++*asked != 2;
        }
    } box;
    box.asked = &asked;
    c.SetHost(&box);
    EXPECT_EQ(c.ReplaceAll(".", "::", 0, true), 1);
    EXPECT_EQ(c.Text(), "a::b.c");
    EXPECT_EQ(asked, 2);
    c.Undo();
    EXPECT_EQ(c.Text(), "a.b.c");
    c.SetHost(&host);
}

}  // namespace
}  // namespace tarnwick
