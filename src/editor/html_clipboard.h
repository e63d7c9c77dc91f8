#pragma once
// The Windows clipboard format "HTML Format": a header of "Name:value" lines giving byte offsets
// into the data, then the HTML, whose copied part lies between the comments <!--StartFragment-->
// and <!--EndFragment-->:
//
//   Version:0.9
//   StartHTML:0000000105          where the HTML starts
//   EndHTML:0000000173            where it ends
//   StartFragment:0000000137      just after <!--StartFragment-->
//   EndFragment:0000000141        at <!--EndFragment-->
//   <html><body><!--StartFragment-->text<!--EndFragment--></body></html>
//
// Writing builds that payload with exact offsets; reading parses a header leniently and never
// trusts an offset it cannot check; HtmlPastePayload turns whatever HTML the clipboard or a drop
// offers (such a payload, or a bare "text/html" document as X11 and Wayland programs offer it)
// into the payload the editor control's paste and drop take: the header and both markers around
// the fragment, which FilterHtmlPaste (export_writers.h) cuts out when asked to.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace tarnwick {

inline constexpr std::string_view kHtmlStartFragment = "<!--StartFragment-->";
inline constexpr std::string_view kHtmlEndFragment = "<!--EndFragment-->";

// The payload: the header ("Version:0.9", then StartHTML, EndHTML, StartFragment and EndFragment
// as 10-digit zero-padded byte offsets, each line ended by CR LF), then `before`, the start
// marker, `fragment`, the end marker and `after`. StartHTML is where `before` starts, EndHTML the
// end of the data, StartFragment where `fragment` starts, EndFragment where it ends. The bytes are
// taken as they are (the offsets count bytes of whatever encoding they are in).
std::string WriteHtmlClipboard(std::string_view fragment, std::string_view before = "<html><body>",
                               std::string_view after = "</body></html>");

// What a header says.
struct HtmlClipboardHeader {
    // The data starts with header lines ("Name:value" each, ended by CR, LF or CR LF; the name
    // letters only, the value without "<") and one of them names a field of the format (Version,
    // StartHTML, EndHTML, StartFragment, EndFragment, StartSelection, EndSelection, SourceURL).
    bool present = false;
    // Where the header lines end (0 without a header).
    std::size_t headerEnd = 0;
    std::string version;
    std::string sourceUrl;
    // The four offsets can be used: StartFragment and EndFragment are both given as decimal
    // numbers, and 0 <= StartHTML <= StartFragment <= EndFragment <= EndHTML <= the data's size.
    // StartHTML and EndHTML may be missing or -1 ("no context"): the HTML is then the fragment.
    // When false the offsets below are 0 and the caller falls back to the data after the header.
    bool valid = false;
    std::size_t startHtml = 0;
    std::size_t endHtml = 0;
    std::size_t startFragment = 0;
    std::size_t endFragment = 0;
};

// Reads the header at the start of `data`: fields in any order, names in any letter case, the
// first of a repeated field counting, optional fields missing, blanks around values ignored.
// Never reads beyond `data`.
HtmlClipboardHeader ReadHtmlClipboardHeader(std::string_view data);

// The payload for the control's paste and drop, from clipboard HTML in UTF-8:
//  - an "HTML Format" payload with usable offsets: its HTML from StartHTML to EndHTML, with the
//    markers put (back) around the fragment [StartFragment, EndFragment);
//  - anything else (a bare "text/html" document, or a payload whose offsets cannot be used: then
//    the data after its header): the part between <!--StartFragment--> and <!--EndFragment-->
//    when the document has both markers, else the content of its <body> element (all of it, less
//    a leading <!DOCTYPE>, <html>, <head> block and <meta> tags, when it has no <body>), as the
//    fragment, with the document's own text around it as context (or <html><body> and
//    </body></html>).
// A UTF-8 byte order mark at the start and NUL bytes at the end are dropped; markers standing
// anywhere else (in the context, or unpaired in the fragment) are dropped too, so the result has
// exactly one pair, around the fragment.
// The result's header offsets are exact. HtmlPastePayload keeps UTF-8; HtmlPastePayload1252
// converts each part to Windows-1252 ("?" for what the code page lacks) and counts the offsets in
// those bytes.
std::string HtmlPastePayload(std::string_view clipboardUtf8);
std::string HtmlPastePayload1252(std::string_view clipboardUtf8);

}  // namespace tarnwick
