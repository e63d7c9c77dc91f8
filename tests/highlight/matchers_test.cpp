#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "editor/char_streams.h"
#include "editor/text_store.h"
#include "highlight/matchers.h"
#include "highlight/parser_tables.h"

namespace tarnwick {
namespace {

// Runs matcher `id` on `text` from `start`; returns the length read, or -1 when it failed (and
// then checks that the stream went back to where it was).
int Match(std::int32_t id, std::string_view text, std::int64_t start = 0)
{
    TTextStore store;
    store.SetText(text);
    TEdStream s(&store);
    s.SetPos(start);
    int length = 0;
    if (!RunBuiltInMatcher(id, s, start, length)) {
        EXPECT_EQ(s.GetPos(), start) << "failed matcher moved the stream: " << text;
        EXPECT_EQ(length, 0);
        return -1;
    }
    EXPECT_EQ(s.GetPos(), start + length) << text;
    return length;
}

TEST(BuiltInMatchers, NamesAndNumbers)
{
    EXPECT_EQ(BuiltInMatcherNumber("__STD_IDENTIFIER"), 10);
    EXPECT_EQ(BuiltInMatcherNumber("__STD_C_STRING_SQ"), 20);
    EXPECT_EQ(BuiltInMatcherNumber("_ORIGINAL_CHAR"), 2);
    EXPECT_EQ(BuiltInMatcherNumber("__std_identifier"), -1);
    EXPECT_EQ(Match(99, "abc"), -1);
}

TEST(BuiltInMatchers, IdentifiersAndNumbers)
{
    EXPECT_EQ(Match(kMatchStdIdentifier, "_a1 b"), 3);
    EXPECT_EQ(Match(kMatchStdIdentifier, "1a"), -1);
    // Read in the record or, at its end, through the stream: the same names either way.
    EXPECT_EQ(Match(kMatchStdIdentifier, "name"), 4);
    EXPECT_EQ(Match(kMatchStdIdentifier, "ab\rcd"), 2);
    EXPECT_EQ(Match(kMatchStdIdentifier, "x y", 2), 1);
    const auto end = [](std::string_view text, std::int64_t at) {
        return IdentifierEndInRecord(reinterpret_cast<const unsigned char*>(text.data()), at,
                                     static_cast<std::int64_t>(text.size()));
    };
    EXPECT_EQ(end("a_9+", 0), 3);
    EXPECT_EQ(end("+a", 0), 0);  // no name starts here
    EXPECT_EQ(end("9a ", 0), 0);
    EXPECT_EQ(end("x ab", 2), -1);  // runs to the record's end: the stream decides
    EXPECT_EQ(end("\xC4"
                  "b ",
                  0),
              0);

    EXPECT_EQ(Match(kMatchStdNumberOrFp, "12.5e+3x"), 7);
    EXPECT_EQ(Match(kMatchStdNumberOrFp, "12."), 2);  // a point without a digit is left out
    EXPECT_EQ(Match(kMatchStdNumberOrFp, "12.x"), 2);
    EXPECT_EQ(Match(kMatchStdNumberOrFp, ".5"), 2);
    EXPECT_EQ(Match(kMatchStdNumberOrFp, "."), -1);
    EXPECT_EQ(Match(kMatchStdNumberOrFp, "3else"), 1);  // an exponent needs digits
    EXPECT_EQ(Match(kMatchStdNumberOrFp, "3E7"), 3);

    EXPECT_EQ(Match(kMatchStdCNumberOrFpSigned, "-1.5"), 4);
    EXPECT_EQ(Match(kMatchStdCNumberOrFpSigned, "+7;"), 2);
    EXPECT_EQ(Match(kMatchStdCNumberOrFpSigned, "42"), 2);
    EXPECT_EQ(Match(kMatchStdCNumberOrFpSigned, "-x"), -1);

    EXPECT_EQ(Match(kMatchStdNumber, "123.4"), 3);
    EXPECT_EQ(Match(kMatchStdNumber, "x1"), -1);
}

// The matchers the scanner reads straight from a line record must agree with the general ones
// wherever the record can decide: every text of up to five characters from an alphabet that
// exercises digits, fractions, exponents, quotes and line ends.
TEST(BuiltInMatchers, RecordReadingsAgreeWithTheStream)
{
    const std::string_view alphabet = "1.e+'a\r_";
    int decided = 0;
    for (const std::int32_t id : {kMatchStdIdentifier, kMatchStdNumberOrFp, kMatchStdPascalString}) {
        for (int length = 1; length <= 5; ++length) {
            std::vector<std::size_t> digit(static_cast<std::size_t>(length), 0);
            for (;;) {
                std::string text;
                for (std::size_t d : digit) text += alphabet[d];
                TTextStore store;
                store.SetText(text);
                const TLineRecord* first = store.FirstLine();
                const std::int64_t end = WholeTokenEndInRecord(
                    id, reinterpret_cast<const unsigned char*>(first->Text()), 0, first->Length());
                if (end >= 0) {
                    ++decided;
                    EXPECT_EQ(end == 0 ? -1 : end, Match(id, text)) << "matcher " << id << " on " << text;
                }
                std::size_t k = 0;
                while (k < digit.size() && ++digit[k] == alphabet.size()) digit[k++] = 0;
                if (k == digit.size()) break;
            }
        }
    }
    EXPECT_GT(decided, 10000);  // most texts are decided in the record
}

TEST(BuiltInMatchers, Strings)
{
    EXPECT_EQ(Match(kMatchStdPascalString, "'it''s' x"), 7);
    EXPECT_EQ(Match(kMatchStdPascalString, "'open\rnext"), 5);  // ends before the line end
    EXPECT_EQ(Match(kMatchStdPascalString, "''"), 2);
    EXPECT_EQ(Match(kMatchStdPascalString, "x"), -1);

    EXPECT_EQ(Match(kMatchStdCString, "\"a\\\"b\" c"), 6);
    EXPECT_EQ(Match(kMatchStdCString, "\"abc\\\rdef"), 5);  // an escape does not swallow the line end
    EXPECT_EQ(Match(kMatchStdCString, "\"abc"), 4);         // unterminated at the end of the text
    EXPECT_EQ(Match(kMatchStdCChar, "'\\''x"), 4);
    EXPECT_EQ(Match(kMatchStdCStringSq, "'ab'"), 4);
    EXPECT_EQ(Match(kMatchStdCChar, "\"a\""), -1);

    EXPECT_EQ(Match(kMatchStdHtmlString, "\"a b\" c"), 5);
    EXPECT_EQ(Match(kMatchStdHtmlString, "\"ab\rc"), 4);  // the line end is included
}

TEST(BuiltInMatchers, MailUrlAndWebChars)
{
    EXPECT_EQ(Match(kMatchStdMailUrl, "joe@ex.com. more"), 10);  // the final point is not part of it
    EXPECT_EQ(Match(kMatchStdMailUrl, "no.mail here"), -1);
    EXPECT_EQ(Match(kMatchWebChar, "http://a.b/c?d=1. x"), 16);
    EXPECT_EQ(Match(kMatchWebChar, ". "), -1);
    EXPECT_EQ(Match(kMatchWebChar, " "), -1);
}

TEST(BuiltInMatchers, LineCommentStopsBeforeHtmlCommentEnd)
{
    EXPECT_EQ(Match(kMatchStdJsLineComment, "// a\rb"), 4);
    EXPECT_EQ(Match(kMatchStdJsLineComment, "// a --> b"), 5);
    EXPECT_EQ(Match(kMatchStdJsLineComment, "// a---> b"), 4);
    EXPECT_EQ(Match(kMatchStdJsLineComment, "// a - > -- b"), 13);
    EXPECT_EQ(Match(kMatchStdJsLineComment, "\r"), -1);
}

TEST(BuiltInMatchers, StepMatchers)
{
    EXPECT_EQ(Match(kMatchPascalChar, "ab"), 1);
    EXPECT_EQ(Match(kMatchPascalChar, "''x"), 2);
    EXPECT_EQ(Match(kMatchPascalChar, "'x"), -1);
    EXPECT_EQ(Match(kMatchPascalChar, "\rx"), -1);

    // The rest of the line, only for a token that starts a line.
    EXPECT_EQ(Match(kMatchOriginalChar, "abc\rdef"), 3);
    EXPECT_EQ(Match(kMatchOriginalChar, "x\rdef", 2), 3);
    EXPECT_EQ(Match(kMatchOriginalChar, "xabc", 1), -1);
}

}  // namespace
}  // namespace tarnwick
