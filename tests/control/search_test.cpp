// Find and replace of the editor control with regular expressions: the errors a search raises,
// and replacements that refer to the expression's groups.

#include <gtest/gtest.h>

#include <string>

#include "control/doravavizu.h"
#include "support/fake_host.h"

namespace tarnwick {
namespace {

using test::FakeHost;

class Search : public ::testing::Test {
protected:
    FakeHost host;
    VOzuvavIdav c{&host};
};

TEST_F(Search, AnErrorRaisedWhileSearchingIsShownWithItsOwnMessage)
{
    c.SetText(std::string(40, 'a'));
    std::int64_t at = -1;
    c.Select(0, 0);
    EXPECT_FALSE(c.FindText("(a|aa)+b", at, sfRegExp));
    ASSERT_EQ(host.messages.size(), 1u);
    // The search's error belongs to no place in the expression: no "^" under it.
    EXPECT_EQ(host.messages[0], "Expression too complex\n(a|aa)+b");

    const std::string literal(255, 'a');
    c.SetText(std::string(300, 'a'));
    c.Select(0, 0);
    EXPECT_FALSE(c.FindText(literal, at, sfRegExp));
    ASSERT_EQ(host.messages.size(), 2u);
    EXPECT_EQ(host.messages[1], "Index range error\n" + literal);

    // A pattern that does not compile still points at its place, after a failed search too.
    EXPECT_EQ(c.Find(sfFindNow | sfRegExp, "ab(c"), -1);
    ASSERT_EQ(host.messages.size(), 3u);
    EXPECT_EQ(host.messages[2], "Unmatched parenthesis\nab(c\n    ^");
    // And the same expression searched again after a failure is compiled and searched afresh.
    EXPECT_EQ(c.Find(sfFindNow | sfRegExp, "a{3}"), 0);
    EXPECT_EQ(c.SelEnd(), 3);
    EXPECT_EQ(host.messages.size(), 3u);

    // Replace all reports the error with a beep and changes nothing.
    c.SetText(std::string(300, 'a'));
    EXPECT_EQ(c.ReplaceAllRegExp(literal, "x", 0), 0);
    EXPECT_EQ(host.beeps, 1);
    EXPECT_EQ(c.Text(), std::string(300, 'a'));
}

TEST_F(Search, BackReferencesAreTheGroupsAsWritten)
{
    // Alternatives at the top level of the expression.
    c.SetText("k=1");
    EXPECT_EQ(c.ReplaceAllRegExp("(\\w+)=(\\w+)|zz", "\\2=\\1", 0), 1);
    EXPECT_EQ(c.Text(), "1=k");
    // A counted repetition between the groups.
    c.SetText("k=xx1");
    EXPECT_EQ(c.ReplaceAllRegExp("(\\w+)=x{2}(\\w+)", "\\2:\\1", 0), 1);
    EXPECT_EQ(c.Text(), "1:k");
    // Groups of the alternative that did not match give nothing; \0 is the whole match.
    c.SetText("a=b zz c=d");
    EXPECT_EQ(c.ReplaceAllRegExp("(\\w+)=(\\w+)|zz", "[\\2\\1\\0]", 0), 3);
    EXPECT_EQ(c.Text(), "[baa=b] [zz] [dcc=d]");
    // A repeated group gives its last repetition; a group number beyond the expression's
    // groups gives nothing; \\ is one backslash.
    c.SetText("ab-ac-ad;");
    EXPECT_EQ(c.ReplaceAllRegExp("(a[a-z]-?){2,3}(;)", "\\1\\3\\\\", 0), 1);
    EXPECT_EQ(c.Text(), "ad\\");
    c.Undo();
    EXPECT_EQ(c.Text(), "ab-ac-ad;");
}

}  // namespace
}  // namespace tarnwick
