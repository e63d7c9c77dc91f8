// The editor control with a highlighter: colouring the screen first and the rest later, recolouring
// after edits and scrolls, and word wrap as the highlighter's settings or the window's width ask.

#include <cstdint>
#include <string>
#include <vector>

#include "doravavizu_fixture.h"
#include "highlight/builtin_sql.h"

namespace tarnwick {
namespace {

using test::Control;

class HighlightedControl : public Control {
protected:
    VOzuvavIdavParser sql;
    void SetUp() override
    {
        LoadBuiltInSqlHighlighter(sql);
        c.SetParser(1, &sql);
    }
    void TearDown() override { c.SetParser(1, nullptr); }
    std::vector<std::uint8_t> Values(std::int64_t line)
    {
        const TLineRecord* r = c.Store().FromLine(line).record;
        if (!r || !r->Attributes()) return {};
        return {r->Attributes(), r->Attributes() + r->Length()};
    }
};

TEST_F(HighlightedControl, LoadingColoursTheFirstScreenAndEditsRecolour)
{
    std::string text;
    for (int i = 0; i < 200; ++i) text += "select x from t; -- line " + std::to_string(i) + "\r";
    std::vector<int> seen;
    c.OnTokenSeen = [&](TCustomDoravaVizu&, int& v, std::int64_t, std::int64_t) {
        if (v < 0) seen.push_back(v);
    };
    Load(text);
    EXPECT_FALSE(Values(0).empty());
    EXPECT_FALSE(Values(c.VisibleLines()).empty());
    EXPECT_TRUE(Values(150).empty());  // far below the screen: not yet
    ASSERT_GE(seen.size(), 2u);
    EXPECT_EQ(seen.front(), -1);
    EXPECT_EQ(seen.back(), -2);
    const std::uint8_t keyword = Values(0)[0];
    const std::uint8_t comment = Values(0)[17];
    EXPECT_NE(keyword, comment);

    // Opening a block comment recolours the following lines up to the screen's end.
    c.Select(0, 0);
    c.SetSelText("/*");
    EXPECT_EQ(Values(0)[2], Values(0)[0]);
    EXPECT_EQ(Values(5)[0], Values(0)[0]);
    EXPECT_NE(Values(5)[0], keyword);
    c.Undo();
    EXPECT_EQ(Values(5)[0], keyword);

    // Scrolling far down colours the newly visible lines.
    c.ScrollTo(0, 150);
    c.FlushChange();
    EXPECT_FALSE(Values(150).empty());
}

TEST_F(HighlightedControl, SwitchingToAWrappingHighlighterRewraps)
{
    Load(std::string(300, 'w') + " tail");
    EXPECT_EQ(c.Store().LineCount(), 1);
    VOzuvavIdavParser wrapping;
    LoadBuiltInSqlHighlighter(wrapping);
    wrapping.Settings().options |= kOptionWordBits[smoWordWrap];
    wrapping.Settings().wordWrapColumn = 80;
    c.SetParser(2, &wrapping);
    c.SetActiveParser(2);
    EXPECT_GT(c.Store().LineCount(), 1);
    EXPECT_EQ(c.Text(), std::string(300, 'w') + " tail");
    c.SetActiveParser(1);
    EXPECT_EQ(c.Store().LineCount(), 1);
    c.SetParser(2, nullptr);
}

TEST_F(Control, EditsKeepWrappedLinesWrapped)
{
    Load("");
    c.SetWrapAtColumn(20);
    c.SetWordWrap(true);
    Type("one two three four five six seven eight");
    EXPECT_GT(c.Store().LineCount(), 1);
    for (const TLineRecord* r = c.Store().FirstLine(); r; r = c.Store().Next(r)) EXPECT_LE(r->Length(), 20);
    EXPECT_EQ(c.Text(), "one two three four five six seven eight");
    c.SetWordWrap(false);
    EXPECT_EQ(c.Store().LineCount(), 1);
    // Wrapping at the window's edge follows the window's width.
    c.SetWrapAtColumn(0);
    c.SetWordWrap(true);
    const std::int64_t wide = c.Store().LineCount();
    host.width = c.TextLeftEdge() + 12 * 8;
    c.Resized();
    EXPECT_GT(c.Store().LineCount(), wide);
    EXPECT_EQ(c.Text(), "one two three four five six seven eight");
}

}  // namespace
}  // namespace tarnwick
