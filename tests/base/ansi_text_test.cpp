#include "base/ansi_text.h"

#include <gtest/gtest.h>
#include <algorithm>

using namespace tarnwick;

TEST(AnsiText, CaseRulesCoverTheWesternLetters)
{
    EXPECT_TRUE(AnsiSameText("Oracle", "ORACLE"));
    EXPECT_TRUE(AnsiSameText("\xC9t\xC9", "\xE9t\xE9"));                // ÉTÉ / été
    EXPECT_TRUE(AnsiSameText("\x8A\x8C\x8E\x9F", "\x9A\x9C\x9E\xFF"));  // Š Œ Ž Ÿ
    EXPECT_FALSE(AnsiSameText("\xD7", "\xF7"));                         // × and ÷ are not a case pair
    EXPECT_FALSE(AnsiSameText("ab", "abc"));
    EXPECT_FALSE(AnsiSameText("e", "\xE9"));  // an accent makes another letter

    EXPECT_TRUE(AsciiSameText("#IfDef", "#ifdef"));
    EXPECT_FALSE(AsciiSameText("\xC9", "\xE9"));  // only A-Z fold here
    EXPECT_TRUE(AsciiStartsWithText("#DEFINEx", "#define"));
    EXPECT_FALSE(AsciiStartsWithText("#def", "#define"));
}

TEST(AnsiText, UpperAndLowerCaseAreInverseOverTheCodePage)
{
    EXPECT_EQ(AnsiUpper("select \xE9t\xE9 from \x9A\x9C\x9E\xFF;"), "SELECT \xC9T\xC9 FROM \x8A\x8C\x8E\x9F;");
    EXPECT_EQ(AnsiLower("SELECT \xC9T\xC9 FROM \x8A\x8C\x8E\x9F;"), "select \xe9t\xe9 from \x9a\x9c\x9e\xff;");
    // Without a capital in the code page: sharp s, micro sign, f hook; the signs stay too.
    EXPECT_EQ(AnsiUpper("\xDF\xB5\x83\xF7\xD7"), "\xDF\xB5\x83\xF7\xD7");
    for (int c = 0; c < 256; ++c) {
        const char ch = static_cast<char>(c);
        // Every character is a fixed point of one fold after the other.
        EXPECT_EQ(AnsiUpperChar(AnsiLowerChar(AnsiUpperChar(ch))), AnsiUpperChar(ch)) << c;
        EXPECT_EQ(AnsiLowerChar(AnsiUpperChar(AnsiLowerChar(ch))), AnsiLowerChar(ch)) << c;
        EXPECT_TRUE(AnsiSameText(std::string(1, ch), std::string(1, AnsiUpperChar(ch)))) << c;
    }
}

TEST(AnsiText, OrderIgnoresCaseAndKeepsAccentsNearTheirLetter)
{
    EXPECT_EQ(AnsiCompareText("oracle", "ORACLE"), 0);
    EXPECT_LT(AnsiCompareText("apple", "Banana"), 0);
    EXPECT_GT(AnsiCompareText("b", "A"), 0);
    EXPECT_LT(AnsiCompareText("Oracle", "Oracle 8"), 0);  // a prefix first
    EXPECT_LT(AnsiCompareText("a\tz", "a z"), 0);         // tab before blank: shorter names first
    EXPECT_LT(AnsiCompareText("_x", "ax"), 0);            // punctuation before letters
    EXPECT_LT(AnsiCompareText("9", "a"), 0);              // digits before letters
    EXPECT_LT(AnsiCompareText("\xE9t\xE9", "f"), 0);      // été sorts among the e's
    EXPECT_LT(AnsiCompareText("ete", "\xE9t\xE9"), 0);    // and after the unaccented spelling
    EXPECT_NE(AnsiCompareText("ete", "\xC9T\xC9"), 0);

    std::vector<std::string> names{"sybase", "DB2", "Oracle 9", "oracle 10", "MSSQL", "\xC9tude"};
    std::sort(names.begin(), names.end(), [](auto& a, auto& b) { return AnsiCompareText(a, b) < 0; });
    EXPECT_EQ(names, (std::vector<std::string>{"DB2", "\xC9tude", "MSSQL", "oracle 10", "Oracle 9", "sybase"}));
}

TEST(AnsiText, TrimRemovesEveryCharacterUpToBlank)
{
    EXPECT_EQ(Trim(" \t\x01 a b \r\x1F"), "a b");
    EXPECT_EQ(Trim(std::string_view("\0x\0", 3)), "x");
    EXPECT_EQ(Trim("   "), "");
    EXPECT_EQ(Trim("\xA0x\xA0"), "\xA0x\xA0");  // the no-break space is a character like any other
}

TEST(AnsiText, SplitLinesAcceptsEveryBreakStyle)
{
    using V = std::vector<std::string>;
    EXPECT_EQ(SplitLines(""), V{});
    EXPECT_EQ(SplitLines("a\r\nb\r\n"), (V{"a", "b"}));
    EXPECT_EQ(SplitLines("a\nb\rc"), (V{"a", "b", "c"}));
    EXPECT_EQ(SplitLines("a\r\n\r\nb"), (V{"a", "", "b"}));
    EXPECT_EQ(SplitLines("a\n\rb"), (V{"a", "", "b"}));  // LF CR is two breaks
    EXPECT_EQ(SplitLines("\n"), (V{""}));
    EXPECT_EQ(SplitLines(std::string_view("x\0y\n", 4)), (V{std::string("x\0y", 3)}));
}
