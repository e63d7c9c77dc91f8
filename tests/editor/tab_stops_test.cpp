#include "editor/tab_stops.h"

#include <gtest/gtest.h>

#include "editor/editor_errors.h"
#include "editor/settings.h"

namespace tarnwick {
namespace {

std::string ParseError(std::string_view text)
{
    try {
        ParseTabColumns(text);
    } catch (const EDoravaVizu& e) {
        return e.what();
    }
    return "(no error)";
}

TEST(TabColumns, ParsesBlanksAndSemicolonsAndReadsBackOneBased)
{
    TSM_Settings settings;
    SetTabColumnsText(settings, "5 9;13");
    EXPECT_EQ(settings.TabColumn(0), 4);
    EXPECT_EQ(settings.TabColumn(1), 8);
    EXPECT_EQ(settings.TabColumn(2), 12);
    EXPECT_EQ(settings.TabColumn(3), -1);
    EXPECT_EQ(TabColumnsText(settings), "5 9 13");

    // Runs of separators and separators at either end are allowed; an empty text clears.
    SetTabColumnsText(settings, " ;3;; 7 ");
    EXPECT_EQ(TabColumnsText(settings), "3 7");
    EXPECT_EQ(settings.TabColumn(2), -1);
    SetTabColumnsText(settings, "");
    EXPECT_EQ(TabColumnsText(settings), "");
    EXPECT_EQ(settings.TabColumn(0), -1);
}

TEST(TabColumns, EachErrorHasItsMessageAndLeavesTheRecordAlone)
{
    EXPECT_EQ(ParseError("5 x"), "Tab stop column value expected");
    EXPECT_EQ(ParseError("5,9"), "Tab stop column value expected");
    EXPECT_EQ(ParseError("-5"), "Tab stop column value expected");
    EXPECT_EQ(ParseError("5 5"), "Tab columns must be in order and unique");
    EXPECT_EQ(ParseError("9 5"), "Tab columns must be in order and unique");
    EXPECT_EQ(ParseError("1"), "Tab column must be > 1");
    EXPECT_EQ(ParseError("0 4"), "Tab column must be > 1");

    std::string stops;
    for (int i = 2; i <= 33; ++i) stops += std::to_string(i) + " ";
    EXPECT_EQ(ParseError(stops), "(no error)");  // 32 stops
    EXPECT_EQ(ParseError(stops + "34"), "Too many tab stops - maximum of 32");

    TSM_Settings settings;
    SetTabColumnsText(settings, "5 9");
    EXPECT_THROW(SetTabColumnsText(settings, "11 12 x"), EDoravaVizu);
    EXPECT_EQ(TabColumnsText(settings), "5 9");

    // A number beyond 32 bits is kept at the largest value, not wrapped round.
    const auto big = ParseTabColumns("99999999999999999999");
    EXPECT_EQ(big[0], 2147483646);
}

TEST(TabRule, NextStopUsesExplicitStopsThenTheDefaultWidth)
{
    TabRule plain;
    plain.tabDefault = 4;
    EXPECT_EQ(plain.NextStop(0), 4);
    EXPECT_EQ(plain.NextStop(3), 4);
    EXPECT_EQ(plain.NextStop(4), 8);
    EXPECT_EQ(plain.NextStop(-3), 0);

    TabRule rule;
    rule.stops = ParseTabColumns("5 9 13");  // 4 8 12
    rule.tabDefault = 8;
    EXPECT_EQ(rule.NextStop(0), 4);
    EXPECT_EQ(rule.NextStop(4), 8);
    EXPECT_EQ(rule.NextStop(11), 12);
    EXPECT_EQ(rule.NextStop(12), 16);  // past the explicit stops: multiples of 8
    EXPECT_EQ(rule.NextStop(16), 24);

    // A zero or negative default width never divides by zero and always moves on.
    for (int width : {0, -3}) {
        TabRule broken;
        broken.tabDefault = width;
        for (std::int64_t c : {0, 1, 5, 1000}) EXPECT_GT(broken.NextStop(c), c);
    }

    TSM_Settings settings;
    settings.defaultTabWidth = 3;
    SetTabColumnsText(settings, "10");
    const TabRule fromSettings = TabRule::FromSettings(settings);
    EXPECT_EQ(fromSettings.NextStop(2), 9);
    EXPECT_EQ(fromSettings.NextStop(9), 12);
}

TEST(TabColumnsOfLines, ColumnsAndOffsetsRoundTrip)
{
    TabRule rule;
    rule.tabDefault = 4;

    // Without tabs, one to one; the line break is no column.
    EXPECT_EQ(ColumnOfOffset("abc\r", 2, rule), 2);
    EXPECT_EQ(ColumnOfOffset("abc\r", 3, rule), 3);
    EXPECT_EQ(ColumnOfOffset("abc\r", 4, rule), 3);
    EXPECT_EQ(ColumnOfOffset("abc\r", 99, rule), 3);

    const std::string line = "a\tbc\t\td\r";  // columns: a0 tab1-3 b4 c5 tab6-7 tab8-11 d12
    const std::int64_t expected[] = {0, 1, 4, 5, 6, 8, 12, 13};
    for (std::int64_t k = 0; k < 8; ++k) EXPECT_EQ(ColumnOfOffset(line, k, rule), expected[k]) << k;

    for (bool last : {false, true})
        for (std::int64_t k = 0; k <= LastOffsetOf(line, last); ++k)
            EXPECT_EQ(OffsetOfColumn(line, ColumnOfOffset(line, k, rule), rule, last), k) << k;

    // A column inside a tab's width gives the tab; beyond the end, the line break.
    EXPECT_EQ(OffsetOfColumn(line, 2, rule, false), 1);
    EXPECT_EQ(OffsetOfColumn(line, 10, rule, false), 5);
    EXPECT_EQ(OffsetOfColumn(line, 500, rule, false), 7);
    EXPECT_EQ(OffsetOfColumn(line, -2, rule, false), 0);

    // Where the clamp ends: the break of a closed line, the end of the last line, the last
    // character of an inner segment of a wrapped line.
    EXPECT_EQ(OffsetOfColumn("abc\r", 50, rule, false), 3);
    EXPECT_EQ(OffsetOfColumn("abc", 50, rule, true), 3);
    EXPECT_EQ(OffsetOfColumn("abc", 50, rule, false), 2);
    EXPECT_EQ(OffsetOfColumn("a\tc", 50, rule, false), 2);
    EXPECT_EQ(OffsetOfColumn("", 5, rule, true), 0);
    EXPECT_EQ(OffsetOfColumn("\r", 5, rule, false), 0);
}

TEST(WhitespaceFiller, BlanksOrTabsForWholeStops)
{
    TabRule rule;
    rule.tabDefault = 4;
    EXPECT_EQ(WhitespaceFiller(1, 10, rule, false, false), std::string(9, ' '));
    EXPECT_EQ(WhitespaceFiller(1, 10, rule, true, false), std::string(9, ' '));
    EXPECT_EQ(WhitespaceFiller(1, 10, rule, false, true), std::string(9, ' '));
    EXPECT_EQ(WhitespaceFiller(1, 10, rule, true, true), "\t\t  ");  // 1->4->8, then 2 blanks
    EXPECT_EQ(WhitespaceFiller(0, 8, rule, true, true), "\t\t");
    EXPECT_EQ(WhitespaceFiller(5, 7, rule, true, true), "  ");  // no whole stop reached
    EXPECT_EQ(WhitespaceFiller(7, 7, rule, true, true), "");
    EXPECT_EQ(WhitespaceFiller(9, 3, rule, true, true), "");

    rule.stops = ParseTabColumns("3 11");                             // 2 10
    EXPECT_EQ(WhitespaceFiller(0, 13, rule, true, true), "\t\t\t ");  // 0->2->10->12, 1 blank

    // The filler lands exactly on the target column.
    for (std::int64_t a = 0; a < 20; ++a)
        for (std::int64_t b = a; b < 30; ++b) {
            const std::string fill = WhitespaceFiller(a, b, rule, true, true);
            std::int64_t at = a;
            for (char c : fill) at = c == '\t' ? rule.NextStop(at) : at + 1;
            ASSERT_EQ(at, b) << a << " " << b;
        }
}

}  // namespace
}  // namespace tarnwick
