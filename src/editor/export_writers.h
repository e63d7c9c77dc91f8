#pragma once
// The writers of a range of a text store: plain text with CR, CR LF or LF line breaks, RTF and
// HTML with the highlighting colours and font styles, and the filter applied to pasted or
// dropped "HTML Format" data.
//
// The editor control calls these for copy, cut and SaveToStream, after selecting the range and
// (for RTF and HTML) re-highlighting the whole document; tarnwick-hl's `export` calls the very
// same functions. The writers read the records' attribute bytes as they are: a record without
// attributes is written without any style change.
//
// Output is built in large chunks and handed to the stream a chunk at a time.

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "editor/settings.h"
#include "editor/streams.h"
#include "editor/text_store.h"

namespace tarnwick {

// The formats of SM_WRITESTREAM.
enum WriteFormat : int {
    wfText = 0,      // line breaks as the single stored CR
    wfTextCRLF = 1,  // CR LF
    wfRTF = 2,
    wfHTML = 4,
    wfTextLF = 8,  // LF
};

// What the RTF and HTML writers need besides the text.
struct ExportContext {
    // Styles, token-to-style map and default colours; null writes as a fresh settings record.
    const TSM_Settings* settings = nullptr;
    std::string fontName = "Courier New";
    int fontSizePoints = 10;
    int fontCharset = 0;
    // HTML: the document title (the file name; empty when none) and the date of the Date META line.
    // Both, like the font name, are escaped as the text is, so a name holding "<" or "&" cannot
    // break the page.
    std::string title;
    std::string date;
    // Turns a system colour (clSystem + n) into 0x00BBGGRR; unset (or answering another system
    // colour) falls back to DefaultSystemColor. The ui gives the real system palette here.
    std::function<TColor(TColor)> resolveColor;
};

// Today's date in the short date format of the current locale (the HTML Date line).
std::string TodayShortDate();

// A context with the font (name, size, character set) of a settings record.
ExportContext ExportContextFor(const TSM_Settings& settings, std::string title = {}, std::string date = {});

// A fixed stand-in for the system palette, after the classic Windows scheme: window text black,
// window white, highlight navy, highlight text white, button face 0xC0C0C0, and so on; an
// unknown index gives black.
TColor DefaultSystemColor(TColor systemColor);

// An RGB value 0x00BBGGRR for any colour: system colours through the context's resolver (or the
// default palette), other colours with their top byte cleared.
TColor ResolveColor(TColor color, const ExportContext& context);

// Writes the characters [start, end) of `store` (the two are ordered and clamped to the text) in
// `format` and returns the number of bytes written. An unknown format raises EDoravaVizu
// "Unknown write format: N" before anything is written; a stream that refuses bytes raises
// EStreamError.
std::int64_t WriteRange(const TTextStore& store, std::int64_t start, std::int64_t end, int format,
                        const ExportContext& context, TStream& out);

// The exact number of bytes WriteRange writes for [start, end) in a plain-text format (0, 1 or
// 8), to size a buffer before writing. Raises EDoravaVizu for any other format.
std::int64_t TextLength(const TTextStore& store, std::int64_t start, std::int64_t end, int format);

// Text escaped as the RTF and HTML writers escape characters (RTF: \'27 for an apostrophe,
// "\tab " for a tab, \'e9 for code 233, ...; HTML: "&amp;", "&lt;", "&nbsp;" for a tab and
// code 160, "&#233;", control characters dropped, ...).
std::string RtfEscaped(std::string_view text);
std::string HtmlEscaped(std::string_view text);

// Bits of a source-type set (the set given to OnDataDrop).
inline constexpr std::uint16_t stFiles = 0x0001;
inline constexpr std::uint16_t stWideText = 0x0002;
inline constexpr std::uint16_t stText = 0x0004;
inline constexpr std::uint16_t stHTML = 0x0100;
inline constexpr std::uint16_t stFromClipboard = 0x0200;
inline constexpr std::uint16_t stNoHTMLFilter = 0x0400;
inline constexpr std::uint16_t stHTMLFragment = 0x2000;
inline constexpr std::uint16_t stHTMLFromFirstTag = 0x4000;

// The filter pasted or dropped HTML goes through; the result is a part of `data` (a view into it).
//  - Without stHTML, or with stNoHTMLFilter: `data` unchanged.
//  - With stHTMLFromFirstTag: everything before the first "<" dropped.
//  - Otherwise with stHTMLFragment: everything before the first "<" dropped; then, when
//    "<!--StartFragment-->" is followed somewhere after it by "<!--EndFragment-->", only the text
//    between the two markers is kept.
//  - Otherwise: `data` unchanged.
// Data without any "<" is kept whole rather than dropped.
std::string_view FilterHtmlPaste(std::string_view data, std::uint16_t sourceTypes);

}  // namespace tarnwick
