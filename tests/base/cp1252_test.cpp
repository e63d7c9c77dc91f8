#include "base/cp1252.h"

#include <gtest/gtest.h>

#include <string>

using namespace tarnwick;

namespace {

std::string AllBytes()
{
    std::string s;
    for (int b = 0; b < 256; ++b) s += static_cast<char>(b);
    return s;
}

}  // namespace

TEST(Cp1252, TheCodePageTable)
{
    EXPECT_EQ(Cp1252ToUnicode('A'), u'A');
    EXPECT_EQ(Cp1252ToUnicode(0x00), 0x0000);
    EXPECT_EQ(Cp1252ToUnicode(0x80), 0x20AC);  // euro sign
    EXPECT_EQ(Cp1252ToUnicode(0x8A), 0x0160);  // S caron
    EXPECT_EQ(Cp1252ToUnicode(0x93), 0x201C);  // left double quotation mark
    EXPECT_EQ(Cp1252ToUnicode(0x99), 0x2122);  // trade mark sign
    EXPECT_EQ(Cp1252ToUnicode(0x9F), 0x0178);  // Y diaeresis
    EXPECT_EQ(Cp1252ToUnicode(0xA0), 0x00A0);
    EXPECT_EQ(Cp1252ToUnicode(0xE9), 0x00E9);
    EXPECT_EQ(Cp1252ToUnicode(0xFF), 0x00FF);
    // The five undefined bytes are the C1 controls of the same number, both ways.
    for (int b : {0x81, 0x8D, 0x8F, 0x90, 0x9D}) {
        EXPECT_EQ(Cp1252ToUnicode(static_cast<unsigned char>(b)), b);
        EXPECT_EQ(UnicodeToCp1252(static_cast<char32_t>(b)), b);
    }
    // The other C1 controls have no byte: their numbers hold letters and signs.
    EXPECT_EQ(UnicodeToCp1252(0x80), -1);
    EXPECT_EQ(UnicodeToCp1252(0x8A), -1);
    EXPECT_EQ(UnicodeToCp1252(0x9F), -1);
    EXPECT_EQ(UnicodeToCp1252(0x20AC), 0x80);
    EXPECT_EQ(UnicodeToCp1252(0x0192), 0x83);
    EXPECT_EQ(UnicodeToCp1252(0x02DC), 0x98);
    EXPECT_EQ(UnicodeToCp1252(0x0100), -1);  // A macron
    EXPECT_EQ(UnicodeToCp1252(0x20AD), -1);
    EXPECT_EQ(UnicodeToCp1252(0x1F600), -1);
    EXPECT_EQ(UnicodeToCp1252(0x110000), -1);
    // Every byte's code point leads back to it.
    for (int b = 0; b < 256; ++b) EXPECT_EQ(UnicodeToCp1252(Cp1252ToUnicode(static_cast<unsigned char>(b))), b) << b;
    // And no other code point of the first plane has a byte.
    int mapped = 0;
    for (char32_t c = 0; c < 0x10000; ++c) mapped += UnicodeToCp1252(c) >= 0;
    EXPECT_EQ(mapped, 256);
}

TEST(Cp1252, EveryByteSurvivesTheRoundTrips)
{
    const std::string bytes = AllBytes();
    const std::u16string wide = Cp1252ToUtf16(bytes);
    ASSERT_EQ(wide.size(), 256u);
    EXPECT_EQ(wide[0x80], u'\u20AC');
    EXPECT_EQ(Utf16ToCp1252(wide), bytes);

    const std::string utf8 = Cp1252ToUtf8(bytes);
    EXPECT_EQ(Utf8ToCp1252(utf8), bytes);
    EXPECT_EQ(Cp1252ToUtf8("caf\xE9 \x80"), "caf\xC3\xA9 \xE2\x82\xAC");
    EXPECT_EQ(Cp1252ToUtf8(std::string("a\0b", 3)), std::string("a\0b", 3));

    // Long texts take the fast path for ASCII runs; mixed texts the slow one at every alignment.
    std::string mixed;
    for (int i = 0; i < 1000; ++i)
        mixed += (i % 13 == 0) ? static_cast<char>(0x80 + i % 128) : static_cast<char>('a' + i % 26);
    for (std::size_t cut = 0; cut < 9; ++cut) {
        const std::string part = mixed.substr(cut);
        EXPECT_EQ(Utf16ToCp1252(Cp1252ToUtf16(part)), part);
        EXPECT_EQ(Utf8ToCp1252(Cp1252ToUtf8(part)), part);
    }
}

TEST(Cp1252, CharactersTheCodePageLacksBecomeQuestionMarks)
{
    EXPECT_EQ(Utf16ToCp1252(u"Stra\u00DFe \u20AC5"),
              "Stra\xDF"
              "e \x80"
              "5");
    EXPECT_EQ(Utf16ToCp1252(u"\u0100\u4E2D x"), "?? x");
    // A pair is one character, one "?"; a lone half is one "?" too.
    EXPECT_EQ(Utf16ToCp1252(u"a\U0001F600b"), "a?b");
    EXPECT_EQ(Utf16ToCp1252(std::u16string{u'a', 0xD83D, u'b'}), "a?b");
    EXPECT_EQ(Utf16ToCp1252(std::u16string{u'a', 0xDE00, u'b'}), "a?b");
    EXPECT_EQ(Utf16ToCp1252(std::u16string{0xDE00, 0xD83D}), "??");
    EXPECT_EQ(Utf16ToCp1252(std::u16string{u'x', 0xD83D}), "x?");
    EXPECT_EQ(Utf16ToCp1252(std::u16string(u"abcdefgh") + char16_t(0xD83D) + char16_t(0xDE00) + u"ijklmnop"),
              "abcdefgh?ijklmnop");
    EXPECT_EQ(Utf16ToCp1252(u""), "");
}

TEST(Cp1252, IllFormedUtf8GivesOneQuestionMarkPerMaximalPart)
{
    EXPECT_EQ(Utf8ToCp1252("\xE2\x82\xAC"), "\x80");
    EXPECT_EQ(Utf8ToCp1252("\xF0\x9F\x98\x80!"), "?!");   // beyond the first plane
    EXPECT_EQ(Utf8ToCp1252("\xE2\x82"), "?");             // cut short at the end
    EXPECT_EQ(Utf8ToCp1252("\xE2\x82x"), "?x");           // cut short before a letter
    EXPECT_EQ(Utf8ToCp1252("\xFF\xFE"), "??");            // never a lead byte
    EXPECT_EQ(Utf8ToCp1252("\x80\xBF"), "??");            // lone continuation bytes
    EXPECT_EQ(Utf8ToCp1252("\xC0\xAF"), "??");            // overlong
    EXPECT_EQ(Utf8ToCp1252("\xE0\x80\xAF"), "???");       // overlong, three bytes
    EXPECT_EQ(Utf8ToCp1252("\xED\xA0\x80"), "???");       // an encoded surrogate
    EXPECT_EQ(Utf8ToCp1252("\xF4\x90\x80\x80"), "????");  // above U+10FFFF
    EXPECT_EQ(Utf8ToCp1252("\xF0\x9F\x98"), "?");
    EXPECT_EQ(Utf8ToCp1252("\xC3\xA9t\xC3\xA9"), "\xE9t\xE9");
    EXPECT_EQ(Utf8ToCp1252("\xC2\x81"), "\x81");  // a C1 control the code page keeps
    EXPECT_EQ(Utf8ToCp1252("\xC2\x80"), "?");     // one it lacks
    EXPECT_EQ(Utf8ToCp1252(std::string("a\0b", 3)), std::string("a\0b", 3));
}
