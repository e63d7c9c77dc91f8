#include "editor/export_writers.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace tarnwick {
namespace {

// Gives every record of `store` attribute bytes: `tokens[i]` for character i of the text.
void Highlight(TTextStore& store, const std::vector<std::uint8_t>& tokens)
{
    ASSERT_EQ(tokens.size(), static_cast<std::size_t>(store.CharCount()));
    std::size_t at = 0;
    for (TLineRecord* r = store.FirstLine(); r; r = store.Next(r)) {
        std::uint8_t* a = store.AllocateAttributes(r);
        for (std::size_t i = 0; i < r->Length(); ++i) a[i] = tokens[at++];
    }
}

std::string Write(const TTextStore& store, std::int64_t start, std::int64_t end, int format,
                  const ExportContext& context = {})
{
    TMemoryStream out;
    const std::int64_t written = WriteRange(store, start, end, format, context, out);
    EXPECT_EQ(written, out.Size());
    return out.Data();
}

std::string WriteAll(const TTextStore& store, int format, const ExportContext& context = {})
{
    return Write(store, 0, store.CharCount(), format, context);
}

StyleRecord Style(std::uint8_t fontStyle, TColor fg, TColor bg)
{
    StyleRecord r;
    r.fontStyle = fontStyle;
    r.foreground = fg;
    r.background = bg;
    r.defined = true;
    return r;
}

// Style 1: bold red on white (token 5); style 2: italic underlined blue on yellow (token 6).
void TwoStyles(TSM_Settings& s)
{
    s.SetStyle(1, Style(fsBold, 0x0000FF, clWhite));
    s.SetStyle(2, Style(fsItalic | fsUnderline, 0xFF0000, 0x00FFFF));
    s.SetStyleIndex(5, 1);
    s.SetStyleIndex(6, 2);
}

const char* const kRtfHead = "{\\rtf1 \\deff1{\\fonttbl {\\f1 \\fnil\\fcharset0 Courier New;}}\r\n";
const char* const kTwoStylesColours =
    "{\\colortbl\\red0\\green0\\blue0;\\red255\\green255\\blue255;\\red255\\green0\\blue0;"
    "\\red0\\green0\\blue255;\\red255\\green255\\blue0;}\r\n";
const char* const kBlackWhite = "{\\colortbl\\red0\\green0\\blue0;\\red255\\green255\\blue255;}\r\n";

std::string HtmlHead(const std::string& title, const std::string& date)
{
    return "<HTML><HEAD>\r\n<META NAME=\"Generator\" CONTENT=\"Tarnwick TCustomDoravaVizu\">\r\n<TITLE>" + title +
           "</TITLE>\r\n<META NAME=\"Date\" CONTENT=\"" + date + "\">\r\n</HEAD>\r\n";
}
const char* const kHtmlTail = "</PRE></FONT></BODY></HTML>\r\n";

// ---- plain text

TEST(ExportText, LineBreaksPerFormatAndPartialLines)
{
    TTextStore store;
    store.SetText("one\r\ntwo\r\nthree");
    EXPECT_EQ(WriteAll(store, wfText), "one\rtwo\rthree");
    EXPECT_EQ(WriteAll(store, wfTextCRLF), "one\r\ntwo\r\nthree");
    EXPECT_EQ(WriteAll(store, wfTextLF), "one\ntwo\nthree");

    // A selection ending inside a line puts no break after it; one ending after a CR does.
    EXPECT_EQ(Write(store, 1, 6, wfTextCRLF), "ne\r\ntw");
    EXPECT_EQ(Write(store, 0, 4, wfTextCRLF), "one\r\n");
    EXPECT_EQ(Write(store, 0, 4, wfTextLF), "one\n");
    EXPECT_EQ(Write(store, 4, 7, wfTextCRLF), "two");
    // Ends given in either order; out-of-range ends clamped; an empty range writes nothing.
    EXPECT_EQ(Write(store, 6, 1, wfTextLF), "ne\ntw");
    EXPECT_EQ(Write(store, -5, 1000, wfTextCRLF), "one\r\ntwo\r\nthree");
    EXPECT_EQ(Write(store, 3, 3, wfTextCRLF), "");

    for (int format : {wfText, wfTextCRLF, wfTextLF})
        for (auto [a, b] : std::vector<std::pair<int, int>>{{0, 13}, {1, 6}, {3, 4}, {2, 2}, {9, 0}})
            EXPECT_EQ(TextLength(store, a, b, format), static_cast<std::int64_t>(Write(store, a, b, format).size()))
                << format << " " << a << " " << b;
}

TEST(ExportText, WrappedSegmentsRunOnWithoutBreaks)
{
    TTextStore store;
    const std::string longLine(3000, 'x');
    store.SetText(longLine + "\ry");
    ASSERT_TRUE(store.Next(store.FirstLine())->IsContinuation());
    EXPECT_EQ(WriteAll(store, wfTextCRLF), longLine + "\r\ny");
    EXPECT_EQ(WriteAll(store, wfTextLF), longLine + "\ny");
    // RTF and HTML: one "\r\n" per logical line, none between the segments of a long line.
    EXPECT_EQ(WriteAll(store, wfRTF),
              kRtfHead + std::string(kBlackWhite) + "{\\f1\\fs20\\cf0\\cb1 " + longLine + "\\line \r\ny\r\n}}");
    const std::string html = WriteAll(store, wfHTML);
    EXPECT_NE(html.find("\">\r\n" + longLine + "\r\ny\r\n" + kHtmlTail), std::string::npos);
    // A selection starting and ending inside the wrapped line.
    EXPECT_EQ(Write(store, 2000, 2100, wfTextCRLF), std::string(100, 'x'));
}

TEST(ExportText, UnknownFormatIsAnErrorAndWritesNothing)
{
    TTextStore store;
    store.SetText("abc");
    for (int format : {3, 5, 16, -1}) {
        TMemoryStream out;
        try {
            WriteRange(store, 0, 3, format, {}, out);
            ADD_FAILURE() << "format " << format << " accepted";
        } catch (const EDoravaVizu& e) {
            EXPECT_EQ(std::string(e.what()), "Unknown write format: " + std::to_string(format));
        }
        EXPECT_EQ(out.Size(), 0);
    }
    EXPECT_THROW(TextLength(store, 0, 3, wfRTF), EDoravaVizu);
    // A stream that refuses bytes is reported, not ignored.
    ReadOnlyMemoryStream readOnly("");
    EXPECT_THROW(WriteRange(store, 0, 3, wfTextCRLF, {}, readOnly), EStreamError);
}

// ---- escapes

TEST(ExportEscapes, RtfCharacters)
{
    EXPECT_EQ(RtfEscaped("it's"), "it\\'27s");
    EXPECT_EQ(RtfEscaped("a\\b{c}"), "a\\\\b\\{c\\}");
    EXPECT_EQ(RtfEscaped("\t\f\r"), "\\tab \\page \\line ");
    EXPECT_EQ(RtfEscaped(std::string("\xE9\xA0\x01\x1F\x7F", 5)), "\\'e9\\'a0\\'01\\'1f\x7F");
    EXPECT_EQ(RtfEscaped(std::string("a\0b", 3)), "ab");
    EXPECT_EQ(RtfEscaped("\xFF\x80 Az;\"<&"), "\\'ff\\'80 Az;\"<&");
}

TEST(ExportEscapes, HtmlCharacters)
{
    EXPECT_EQ(HtmlEscaped("\t\xA0"), "&nbsp;&nbsp;");
    EXPECT_EQ(HtmlEscaped("a<b>\"c\"&d"), "a&lt;b&gt;&quot;c&quot;&amp;d");
    EXPECT_EQ(HtmlEscaped("\xE9\x80\xFF"), "&#233;&#128;&#255;");
    EXPECT_EQ(HtmlEscaped(std::string("x\0\x01\x08\n\r\x1Fy", 8)), "xy");
    EXPECT_EQ(HtmlEscaped("'\\{}\x7F ~"), "'\\{}\x7F ~");
}

TEST(ExportEscapes, EscapesInsideWrittenDocuments)
{
    TTextStore store;
    store.SetText("it's a\\b{c}\t\xE9\xA0\r\"<&>");
    EXPECT_EQ(WriteAll(store, wfRTF), kRtfHead + std::string(kBlackWhite) +
                                          "{\\f1\\fs20\\cf0\\cb1 it\\'27s a\\\\b\\{c\\}\\tab \\'e9\\'a0\\line \r\n"
                                          "\"<&>\r\n}}");
    const std::string html = WriteAll(store, wfHTML);
    EXPECT_NE(html.find("\">\r\nit's a\\b{c}&nbsp;&#233;&nbsp;\r\n&quot;&lt;&amp;&gt;\r\n</PRE>"), std::string::npos)
        << html;
}

// ---- RTF and HTML with highlighting

TEST(ExportRtf, StyledRunsAndColourTable)
{
    TTextStore store;
    store.SetText("ab\rcd");
    Highlight(store, {5, 0, 0, 6, 6});
    TSM_Settings settings;
    TwoStyles(settings);
    const ExportContext context = ExportContextFor(settings);
    EXPECT_EQ(context.fontName, "Courier New");
    EXPECT_EQ(context.fontSizePoints, 10);

    ExportContext c = context;
    c.fontCharset = 0;
    EXPECT_EQ(WriteAll(store, wfRTF, c), kRtfHead + std::string(kTwoStylesColours) +
                                             "{\\f1\\fs20\\cf0\\cb1 "
                                             "\\b1 \\cf2 a\\b0 \\cf0 b\\line \r\n"
                                             "\\i1 \\ul1 \\cf3 \\cb4 cd\r\n}}");

    // Font fields come from the context; names are escaped.
    c.fontName = "Odd{Font}";
    c.fontSizePoints = 12;
    c.fontCharset = 238;
    const std::string rtf = WriteAll(store, wfRTF, c);
    EXPECT_EQ(rtf.rfind("{\\rtf1 \\deff1{\\fonttbl {\\f1 \\fnil\\fcharset238 Odd\\{Font\\};}}\r\n", 0), 0u) << rtf;
    EXPECT_NE(rtf.find("{\\f1\\fs24\\cf0\\cb1 "), std::string::npos);
}

TEST(ExportRtf, StatesCarryAcrossLinesAndRunsStopAtTheSelection)
{
    TTextStore store;
    store.SetText("xab\rcdy");
    Highlight(store, {0, 5, 5, 5, 5, 5, 0});
    TSM_Settings settings;
    TwoStyles(settings);
    ExportContext c = ExportContextFor(settings);
    c.fontCharset = 0;
    const std::string body = "{\\f1\\fs20\\cf0\\cb1 ";
    // Bold red starts on the first line and is not repeated at the second.
    EXPECT_EQ(WriteAll(store, wfRTF, c),
              kRtfHead + std::string(kTwoStylesColours) + body + "x\\b1 \\cf2 ab\\line \r\ncd\\b0 \\cf0 y\r\n}}");
    // Only the selected part of a run is written; the selection ends inside the second line.
    EXPECT_EQ(Write(store, 2, 5, wfRTF, c),
              kRtfHead + std::string(kTwoStylesColours) + body + "\\b1 \\cf2 b\\line \r\nc\r\n}}");
    // Records without attribute bytes are written without style changes.
    TTextStore plain;
    plain.SetText("ab");
    EXPECT_EQ(WriteAll(plain, wfRTF, c), kRtfHead + std::string(kTwoStylesColours) + body + "ab\r\n}}");
}

TEST(ExportRtf, ColourTableStopsAt256Entries)
{
    TSM_Settings settings;
    // 150 styles with a text and a background colour each: 300 distinct colours beside black and white.
    for (int i = 1; i <= 150; ++i) {
        settings.SetStyle(i, Style(0, 0x000100u * i + 0x10, 0x010000u * i + 0x20));
        settings.SetStyleIndex(i, static_cast<std::uint8_t>(i));
    }
    TTextStore store;
    store.SetText("xywz");
    Highlight(store, {127, 128, 0, 1});
    const std::string rtf = WriteAll(store, wfRTF, ExportContextFor(settings));
    const std::size_t from = rtf.find("{\\colortbl"), to = rtf.find("}\r\n", from);
    ASSERT_NE(to, std::string::npos);
    std::size_t entries = 0;
    for (std::size_t at = rtf.find("\\red", from); at < to; at = rtf.find("\\red", at + 1)) ++entries;
    EXPECT_EQ(entries, 256u);
    // Style 127 fills the last two entries; style 128's colours are not in the table and give
    // entry 0 and entry 1, which then count as current (so the default-coloured 'w' needs nothing).
    EXPECT_NE(rtf.find("{\\f1\\fs20\\cf0\\cb1 \\cf254 \\cb255 x\\cf0 \\cb1 yw\\cf2 \\cb3 z\r\n}}"), std::string::npos)
        << rtf.substr(to);
    // Entry 255 is style 127's background 0x7F0020: red 0x20, green 0, blue 0x7F.
    const std::string last = "\\red32\\green0\\blue127;";
    EXPECT_EQ(rtf.substr(to - last.size(), last.size()), last);
}

TEST(ExportHtml, StyledRunsHeadAndBody)
{
    TTextStore store;
    store.SetText("ab\rcd");
    Highlight(store, {5, 0, 0, 6, 6});
    TSM_Settings settings;
    TwoStyles(settings);
    settings.fontName = "Lucida \"Mono\"";
    const ExportContext c = ExportContextFor(settings, "T&<x>", "02/01/2024");
    EXPECT_EQ(WriteAll(store, wfHTML, c),
              HtmlHead("T&amp;&lt;x&gt;", "02/01/2024") +
                  "<BODY TEXT=\"#000000\" BGCOLOR=\"#ffffff\">\r\n<PRE><FONT FACE=\"Lucida &quot;Mono&quot;\">\r\n"
                  "</FONT><FONT COLOR=\"#ff0000\"><B>a</FONT><FONT COLOR=\"#000000\"></B>b\r\n"
                  "</FONT><FONT COLOR=\"#0000ff\"><I><U>cd\r\n" +
                  kHtmlTail);

    // Carried across lines: bold red from the first line on, one change only; background
    // colours are not written.
    TTextStore carried;
    carried.SetText("ab\rc\rd");
    Highlight(carried, {5, 5, 5, 5, 5, 0});
    EXPECT_NE(WriteAll(carried, wfHTML, c)
                  .find("\">\r\n</FONT><FONT COLOR=\"#ff0000\"><B>ab\r\nc\r\n</FONT><FONT "
                        "COLOR=\"#000000\"></B>d\r\n</PRE>"),
              std::string::npos);
    // Partial selection of a styled line.
    EXPECT_NE(Write(carried, 1, 4, wfHTML, c).find("\">\r\n</FONT><FONT COLOR=\"#ff0000\"><B>b\r\nc\r\n</PRE>"),
              std::string::npos);
}

TEST(ExportColours, SystemColoursAreResolvedBeforeWriting)
{
    TSM_Settings settings;
    StyleRecord def = Style(0, clBlack, clWhite);
    def.foregroundDefault = true;  // window text
    def.backgroundDefault = true;  // window
    settings.SetStyle(0, def);
    settings.SetStyle(1, Style(0, clHighlightText, clHighlight));
    StyleRecord followsDefault = Style(fsBold, 0x00FF00, 0x00FF00);
    followsDefault.foregroundDefault = true;
    settings.SetStyle(2, followsDefault);
    settings.SetStyleIndex(5, 1);
    settings.SetStyleIndex(6, 2);
    TTextStore store;
    store.SetText("abc");
    Highlight(store, {5, 6, 0});

    ExportContext c = ExportContextFor(settings);
    c.fontCharset = 0;
    // Default palette: window text black, window white, highlight navy, highlight text white;
    // style 2 takes the default text colour but keeps its own background.
    EXPECT_EQ(WriteAll(store, wfRTF, c),
              kRtfHead +
                  std::string("{\\colortbl\\red0\\green0\\blue0;\\red255\\green255\\blue255;\\red0\\green0\\blue128;"
                              "\\red0\\green255\\blue0;}\r\n") +
                  "{\\f1\\fs20\\cf0\\cb1 \\cf1 \\cb2 a\\b1 \\cf0 \\cb3 b\\b0 \\cb1 c\r\n}}");
    EXPECT_NE(WriteAll(store, wfHTML, c).find("<BODY TEXT=\"#000000\" BGCOLOR=\"#ffffff\">"), std::string::npos);

    // A caller's palette wins; one answering with another system colour falls back to the default.
    c.resolveColor = [](TColor color) { return color == clWindowText ? TColor{0x123456} : color; };
    EXPECT_NE(WriteAll(store, wfHTML, c).find("<BODY TEXT=\"#563412\" BGCOLOR=\"#ffffff\">"), std::string::npos);
    EXPECT_EQ(ResolveColor(clHighlight, c), 0x800000u);
    EXPECT_EQ(ResolveColor(clBtnFace, {}), 0xC0C0C0u);
    EXPECT_EQ(ResolveColor(clSystem + 200, {}), clBlack);
    EXPECT_EQ(ResolveColor(0x02123456, {}), 0x123456u);
}

// ---- the HTML paste filter

TEST(HtmlPasteFilter, BitsChooseTheCut)
{
    const std::string clip =
        "Version:0.9\r\nStartHTML:71\r\n<html><body>\r\n<!--StartFragment-->SELECT 1<!--EndFragment-->\r\n"
        "</body></html>";
    const std::string fromTag = clip.substr(clip.find('<'));
    EXPECT_EQ(FilterHtmlPaste(clip, stText), clip);
    EXPECT_EQ(FilterHtmlPaste(clip, stHTML), clip);
    EXPECT_EQ(FilterHtmlPaste(clip, stHTML | stNoHTMLFilter | stHTMLFragment), clip);
    EXPECT_EQ(FilterHtmlPaste(clip, stHTMLFragment | stHTMLFromFirstTag), clip);
    EXPECT_EQ(FilterHtmlPaste(clip, stHTML | stHTMLFromFirstTag), fromTag);
    EXPECT_EQ(FilterHtmlPaste(clip, stHTML | stHTMLFromFirstTag | stHTMLFragment), fromTag);
    EXPECT_EQ(FilterHtmlPaste(clip, stHTML | stFromClipboard | stHTMLFragment), "SELECT 1");

    // The result is a part of the input, not a copy.
    const std::string_view cut = FilterHtmlPaste(clip, stHTML | stHTMLFragment);
    EXPECT_EQ(cut.data(), clip.data() + clip.find("SELECT"));
}

TEST(HtmlPasteFilter, BrokenMarkersKeepTheTextFromTheFirstTag)
{
    const std::uint16_t frag = stHTML | stHTMLFragment;
    EXPECT_EQ(FilterHtmlPaste("hdr<b><!--StartFragment-->abc", frag), "<b><!--StartFragment-->abc");
    EXPECT_EQ(FilterHtmlPaste("hdr<b>abc<!--EndFragment-->", frag), "<b>abc<!--EndFragment-->");
    EXPECT_EQ(FilterHtmlPaste("x<!--EndFragment-->mid<!--StartFragment-->tail", frag),
              "<!--EndFragment-->mid<!--StartFragment-->tail");
    // An end marker before the start marker is skipped in favour of one after it.
    EXPECT_EQ(FilterHtmlPaste("<!--EndFragment-->a<!--StartFragment-->b<!--EndFragment-->", frag), "b");
    // Markers next to each other give an empty fragment.
    EXPECT_EQ(FilterHtmlPaste("<!--StartFragment--><!--EndFragment-->", frag), "");
    EXPECT_EQ(FilterHtmlPaste("<!--StartFragment-->", frag), "<!--StartFragment-->");
    // No tag at all: nothing is dropped.
    EXPECT_EQ(FilterHtmlPaste("plain text", frag), "plain text");
    EXPECT_EQ(FilterHtmlPaste("plain text", stHTML | stHTMLFromFirstTag), "plain text");
    EXPECT_EQ(FilterHtmlPaste("", frag), "");
    EXPECT_EQ(FilterHtmlPaste("<", frag), "<");
}

}  // namespace
}  // namespace tarnwick
