#include "editor/html_clipboard.h"

#include <gtest/gtest.h>

#include <string>

#include "editor/export_writers.h"

using namespace tarnwick;

namespace {

constexpr std::uint16_t kFragmentFilter = stHTML | stHTMLFragment;

// The parts a header names, checked against the data.
struct Named {
    std::string html;
    std::string fragment;
};

Named ReadBack(const std::string& payload)
{
    const HtmlClipboardHeader h = ReadHtmlClipboardHeader(payload);
    EXPECT_TRUE(h.present);
    EXPECT_TRUE(h.valid);
    if (!h.valid) return {};
    return {payload.substr(h.startHtml, h.endHtml - h.startHtml),
            payload.substr(h.startFragment, h.endFragment - h.startFragment)};
}

std::string Padded(std::size_t n)
{
    std::string s = std::to_string(n);
    return std::string(10 - s.size(), '0') + s;
}

// `html` behind a header whose offsets are given from the start of `html`.
std::string WithHeader(const std::string& html, std::size_t sh, std::size_t eh, std::size_t sf, std::size_t ef,
                       const std::string& extra = {})
{
    auto header = [&](std::size_t base) {
        return "StartHTML:" + Padded(base + sh) + "\r\nEndHTML:" + Padded(base + eh) +
               "\nStartFragment:" + Padded(base + sf) + "\nEndFragment:" + Padded(base + ef) + "\n" + extra;
    };
    return header(header(0).size()) + html;
}

std::size_t Count(const std::string& s, std::string_view what)
{
    std::size_t n = 0;
    for (std::size_t at = s.find(what); at != std::string::npos; at = s.find(what, at + 1)) ++n;
    return n;
}

}  // namespace

TEST(HtmlClipboard, WritesTheHeaderWithExactOffsets)
{
    const std::string payload = WriteHtmlClipboard("text");
    EXPECT_EQ(payload,
              "Version:0.9\r\n"
              "StartHTML:0000000105\r\n"
              "EndHTML:0000000173\r\n"
              "StartFragment:0000000137\r\n"
              "EndFragment:0000000141\r\n"
              "<html><body><!--StartFragment-->text<!--EndFragment--></body></html>");
    EXPECT_EQ(payload.size(), 173u);
    EXPECT_EQ(payload.substr(105, 12), "<html><body>");
    EXPECT_EQ(payload.substr(137, 4), "text");

    // Any bytes, line breaks and markers included, come back as written.
    for (const std::string& fragment : {std::string(), std::string("a\r\nb\rc\nd"), std::string("\0\xFF<b>x</b>", 10),
                                        std::string("<!--StartFragment-->inner<!--EndFragment-->")}) {
        const std::string written =
            WriteHtmlClipboard(fragment, "<html><head></head><body bgcolor=white>\r\n", "\r\n</body></html>");
        const Named back = ReadBack(written);
        EXPECT_EQ(back.fragment, fragment);
        EXPECT_EQ(back.html, "<html><head></head><body bgcolor=white>\r\n<!--StartFragment-->" + fragment +
                                 "<!--EndFragment-->\r\n</body></html>");
    }
}

TEST(HtmlClipboard, ReadsHeadersLeniently)
{
    const std::string html = "<html><body><!--StartFragment-->abc<!--EndFragment--></body></html>";
    // Fields in another order, names in other letter case, LF or CR line ends, blanks, extras.
    auto header = [](std::size_t sf, std::size_t ef) {
        return "version: 1.0\nSourceURL: http://example.com/x\rendfragment:  " + Padded(ef) +
               "\r\nSTARTFRAGMENT:" + Padded(sf) + " \nStartSelection:1\n";
    };
    const std::size_t at = header(0, 0).size();
    std::string data = header(at + 32, at + 35) + html;
    HtmlClipboardHeader h = ReadHtmlClipboardHeader(data);
    EXPECT_TRUE(h.present);
    EXPECT_EQ(h.headerEnd, at);
    EXPECT_EQ(h.version, "1.0");
    EXPECT_EQ(h.sourceUrl, "http://example.com/x");
    ASSERT_TRUE(h.valid);
    EXPECT_EQ(data.substr(h.startFragment, h.endFragment - h.startFragment), "abc");
    // Without StartHTML and EndHTML there is no context: the HTML is the fragment.
    EXPECT_EQ(h.startHtml, h.startFragment);
    EXPECT_EQ(h.endHtml, h.endFragment);

    // -1 says the same; the first of a repeated field counts.
    data = "StartHTML:-1\nEndHTML:-1\nStartFragment:61\nEndFragment:62\nStartFragment:0\nxyz<p>";
    h = ReadHtmlClipboardHeader(data);
    ASSERT_TRUE(h.valid);
    EXPECT_EQ(h.headerEnd, 72u);
    EXPECT_EQ(data.substr(h.startFragment, 1), "F") << "the offsets are taken as given, even inside the header";

    // Not a header: HTML, or lines that name no field of the format.
    EXPECT_FALSE(ReadHtmlClipboardHeader("<html><body>x</body></html>").present);
    EXPECT_FALSE(ReadHtmlClipboardHeader("Note: nothing here\n<b>x</b>").present);
    EXPECT_FALSE(ReadHtmlClipboardHeader("").present);
    EXPECT_FALSE(ReadHtmlClipboardHeader("StartFragment<b>:3").present);
}

TEST(HtmlClipboard, OffsetsThatCannotBeTrustedAreInvalid)
{
    auto valid = [](const std::string& data) {
        const HtmlClipboardHeader h = ReadHtmlClipboardHeader(data);
        EXPECT_TRUE(h.present) << data;
        if (!h.valid) {
            EXPECT_EQ(h.startFragment + h.endFragment + h.startHtml + h.endHtml, 0u);
        }
        return h.valid;
    };
    const std::string body = "<html><body>x</body></html>";  // 27 bytes after a 40-byte header
    EXPECT_TRUE(valid("StartFragment:0000000052\nEndFragment:53\n" + body));
    EXPECT_FALSE(valid("StartFragment:0000000052\nEndFragment:68\n" + body));  // beyond the data
    EXPECT_TRUE(valid("StartFragment:0000000052\nEndFragment:67\n" + body));   // up to its very end
    EXPECT_FALSE(valid("StartFragment:0000000053\nEndFragment:52\n" + body));  // backwards
    EXPECT_FALSE(valid("StartFragment:0000000052\nEndFragment:5x\n" + body));  // not a number
    EXPECT_FALSE(valid("StartFragment:0000000052\nEndFragment:\n" + body));
    EXPECT_FALSE(valid("StartFragment:0000000052\nEndFragment:-3\n" + body));
    EXPECT_FALSE(valid("StartFragment:0000000052\nEndFragment:+53\n" + body));
    EXPECT_FALSE(valid("StartFragment:0000000052\nVersion:0.9\n" + body));  // missing
    EXPECT_FALSE(valid("StartFragment:-1\nEndFragment:53\n" + body + "123456789"));
    EXPECT_FALSE(valid("StartFragment:0000000052\nEndFragment:99999999999999999999999999999999\n" + body));
    EXPECT_FALSE(valid("StartFragment:18446744073709551617\nEndFragment:18446744073709551618\n" + body));
    // StartHTML after StartFragment, EndHTML before EndFragment or beyond the data.
    EXPECT_FALSE(valid("StartHTML:53\nStartFragment:52\nEndFragment:53\n" + body));
    EXPECT_FALSE(valid("EndHTML:00000052\nStartFragment:52\nEndFragment:53\n" + body));
    EXPECT_FALSE(valid("EndHTML:00000090\nStartFragment:52\nEndFragment:53\n" + body));
    EXPECT_FALSE(valid("EndHTML:abcdefgh\nStartFragment:52\nEndFragment:53\n" + body));
    // A header and nothing else.
    EXPECT_FALSE(valid("StartFragment:100\nEndFragment:200\n"));
}

TEST(HtmlClipboard, AWindowsPayloadKeepsItsHtmlAndGetsExactOffsets)
{
    // As a browser on Windows writes it: context around the fragment, a source URL, CR LF.
    const std::string html =
        "<html>\r\n<body>\r\n<!--StartFragment--><b>SELECT</b> 1<!--EndFragment-->\r\n</body>\r\n</html>";
    const std::string data = WithHeader(html, 0, html.size(), html.find("<b>"), html.find("<!--EndFragment-->"),
                                        "Version:0.9\r\nSourceURL:about:blank\r\n");
    ASSERT_EQ(ReadHtmlClipboardHeader(data).headerEnd, data.size() - html.size());

    const std::string payload = HtmlPastePayload(data);
    const Named back = ReadBack(payload);
    EXPECT_EQ(back.fragment, "<b>SELECT</b> 1");
    EXPECT_EQ(back.html, html);
    EXPECT_EQ(FilterHtmlPaste(payload, kFragmentFilter), "<b>SELECT</b> 1");
    EXPECT_EQ(FilterHtmlPaste(payload, stHTML | stHTMLFromFirstTag), html);
    // Our own payloads pass unchanged.
    const std::string ours = WriteHtmlClipboard("a<i>b</i>");
    EXPECT_EQ(HtmlPastePayload(ours), ours);
    EXPECT_EQ(HtmlPastePayload1252(ours), ours);
}

TEST(HtmlClipboard, MarkersAreAddedWhereOnlyTheOffsetsTellTheFragment)
{
    // A payload whose fragment is given by offsets alone, with whitespace around it.
    const std::string html = "<html><body> <p>one</p> </body></html>";
    const std::string payload = HtmlPastePayload(WithHeader(html, 0, html.size(), 13, 23));
    const Named back = ReadBack(payload);
    EXPECT_EQ(back.fragment, "<p>one</p>");
    EXPECT_EQ(back.html, "<html><body> <!--StartFragment--><p>one</p><!--EndFragment--> </body></html>");
    EXPECT_EQ(FilterHtmlPaste(payload, kFragmentFilter), "<p>one</p>");
    // Markers standing anywhere else are dropped: one pair, around the fragment.
    const std::string odd = "<html><body><!--StartFragment--> <!--EndFragment--><p>two</p> </body></html>";
    const std::string oddPayload = HtmlPastePayload(WithHeader(odd, 0, odd.size(), 51, 61));
    EXPECT_EQ(ReadBack(oddPayload).html,
              "<html><body> <!--StartFragment--><p>two</p><!--EndFragment--> </body></html>");
    EXPECT_EQ(FilterHtmlPaste(oddPayload, kFragmentFilter), "<p>two</p>");
    EXPECT_EQ(Count(oddPayload, kHtmlStartFragment), 1u);
    EXPECT_EQ(Count(oddPayload, kHtmlEndFragment), 1u);
}

TEST(HtmlClipboard, BadOffsetsFallBackToTheDataAfterTheHeader)
{
    // Beyond the data, with markers in the HTML: the markers tell the fragment.
    const std::string withMarkers =
        "Version:0.9\r\nStartHTML:0000000105\r\nEndHTML:0000099999\r\nStartFragment:0000000137\r\n"
        "EndFragment:0000099990\r\n<html><body><!--StartFragment-->text<!--EndFragment--></body></html>";
    std::string payload = HtmlPastePayload(withMarkers);
    EXPECT_EQ(ReadBack(payload).fragment, "text");
    EXPECT_EQ(ReadBack(payload).html, "<html><body><!--StartFragment-->text<!--EndFragment--></body></html>");
    // Backwards, without markers: the body is the fragment.
    const std::string noMarkers = "StartFragment:80\nEndFragment:40\n<html><body>SELECT 1</body></html>";
    payload = HtmlPastePayload(noMarkers);
    EXPECT_EQ(ReadBack(payload).fragment, "SELECT 1");
    EXPECT_EQ(FilterHtmlPaste(payload, kFragmentFilter), "SELECT 1");
    // Not numbers, no HTML at all.
    payload = HtmlPastePayload("StartFragment:x\nEndFragment:y\nplain words");
    EXPECT_EQ(ReadBack(payload).fragment, "plain words");
    // A header alone.
    payload = HtmlPastePayload("Version:0.9\r\nStartFragment:99\r\n");
    EXPECT_EQ(ReadBack(payload).fragment, "");
}

TEST(HtmlClipboard, BareHtmlGetsAHeaderAndMarkers)
{
    // Firefox on X11: a meta element, then the copied HTML, no body.
    std::string payload =
        HtmlPastePayload("<meta http-equiv=\"content-type\" content=\"text/html; charset=utf-8\"><b>bold</b> text");
    EXPECT_EQ(ReadBack(payload).fragment, "<b>bold</b> text");
    EXPECT_EQ(ReadBack(payload).html,
              "<html><body><!--StartFragment--><b>bold</b> text<!--EndFragment--></body></html>");
    EXPECT_EQ(FilterHtmlPaste(payload, kFragmentFilter), "<b>bold</b> text");
    // Chromium: markers in the document.
    payload = HtmlPastePayload("<html>\n<body>\n<!--StartFragment--><i>x</i><!--EndFragment-->\n</body>\n</html>");
    EXPECT_EQ(ReadBack(payload).fragment, "<i>x</i>");
    EXPECT_EQ(ReadBack(payload).html,
              "<html>\n<body>\n<!--StartFragment--><i>x</i><!--EndFragment-->\n</body>\n</html>");
    // A whole page: the body's content, the letter case of tags aside; the page around it kept.
    payload = HtmlPastePayload(
        "<!DOCTYPE html><HTML><HEAD><TITLE>t</TITLE></HEAD><BODY BGCOLOR=\"#ffffff\"><PRE>a &lt; "
        "b</PRE></Body></HTML>");
    EXPECT_EQ(ReadBack(payload).fragment, "<PRE>a &lt; b</PRE>");
    EXPECT_EQ(FilterHtmlPaste(payload, kFragmentFilter), "<PRE>a &lt; b</PRE>");
    // "<bodyguard>" is no body; a head block and the closing html tag are no part of the content.
    payload = HtmlPastePayload("<html><head><style>p{}</style></head><bodyguard>x</bodyguard></html>\n");
    EXPECT_EQ(ReadBack(payload).fragment, "<bodyguard>x</bodyguard>");
    // An unclosed body runs to the end; only a start marker is no pair.
    payload = HtmlPastePayload("<body><!--StartFragment-->y");
    EXPECT_EQ(ReadBack(payload).fragment, "y");
    EXPECT_EQ(Count(payload, kHtmlStartFragment), 1u);
    // Plain text and nothing.
    EXPECT_EQ(ReadBack(HtmlPastePayload("just text")).fragment, "just text");
    EXPECT_EQ(ReadBack(HtmlPastePayload("")).fragment, "");
    // A byte order mark and trailing NULs (a Windows clipboard block) are dropped.
    payload = HtmlPastePayload(std::string("\xEF\xBB\xBF<body>z</body>\0\0", 19));
    EXPECT_EQ(ReadBack(payload).html, "<body><!--StartFragment-->z<!--EndFragment--></body>");
}

TEST(HtmlClipboard, TheSingleBytePayloadCountsItsOwnBytes)
{
    // UTF-8 in: e acute (2 bytes), the euro sign (3), a CJK character (3, not in the code page).
    const std::string utf8 = WriteHtmlClipboard("caf\xC3\xA9 \xE2\x82\xAC \xE4\xB8\xAD",
                                                "<html><body title=\"\xC3\xA9\">", "</body></html>");
    const std::string payload = HtmlPastePayload1252(utf8);
    const Named back = ReadBack(payload);
    EXPECT_EQ(back.fragment, "caf\xE9 \x80 ?");
    EXPECT_EQ(back.html,
              "<html><body title=\"\xE9\"><!--StartFragment-->caf\xE9 \x80 ?<!--EndFragment--></body></html>");
    EXPECT_EQ(FilterHtmlPaste(payload, kFragmentFilter), "caf\xE9 \x80 ?");
    EXPECT_EQ(HtmlPastePayload1252("<b>\xC3\xA9</b>"), WriteHtmlClipboard("<b>\xE9</b>"));
}
