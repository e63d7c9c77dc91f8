// The clipboard formats and the code-page conversions on arbitrary data:
//  - the "HTML Format" header reader never reads beyond the data, and the offsets it calls valid
//    lie in order inside the data;
//  - the paste payload (in UTF-8 and in Windows-1252) always has a header that reads back valid,
//    exactly one pair of markers, around the fragment the header names, so the control's HTML
//    filter cuts out that very fragment;
//  - the header writer's output reads back to the fragment and context it was given;
//  - bytes -> UTF-16 -> bytes and bytes -> UTF-8 -> bytes give the bytes back; UTF-16 -> bytes
//    agrees with a character-by-character conversion; UTF-8 -> bytes never grows the text and
//    keeps its ASCII.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "base/cp1252.h"
#include "editor/export_writers.h"
#include "editor/html_clipboard.h"

using namespace tarnwick;

namespace {

void Check(bool ok)
{
    if (!ok) std::abort();
}

std::size_t Count(std::string_view s, std::string_view what)
{
    std::size_t n = 0;
    for (std::size_t at = s.find(what); at != std::string_view::npos; at = s.find(what, at + 1)) ++n;
    return n;
}

void CheckHeader(std::string_view data)
{
    const HtmlClipboardHeader h = ReadHtmlClipboardHeader(data);
    Check(h.headerEnd <= data.size());
    if (!h.present) Check(h.headerEnd == 0 && !h.valid);
    if (h.valid) {
        Check(h.startHtml <= h.startFragment && h.startFragment <= h.endFragment && h.endFragment <= h.endHtml &&
              h.endHtml <= data.size());
    } else {
        Check(h.startHtml == 0 && h.endHtml == 0 && h.startFragment == 0 && h.endFragment == 0);
    }
}

// A payload the control takes: a valid header, one pair of markers, around the named fragment.
void CheckPayload(const std::string& payload)
{
    const HtmlClipboardHeader h = ReadHtmlClipboardHeader(payload);
    Check(h.present && h.valid);
    Check(h.endHtml == payload.size());
    Check(Count(payload, kHtmlStartFragment) == 1 && Count(payload, kHtmlEndFragment) == 1);
    const std::string_view fragment =
        std::string_view(payload).substr(h.startFragment, h.endFragment - h.startFragment);
    Check(std::string_view(payload).substr(0, h.startFragment).ends_with(kHtmlStartFragment));
    Check(std::string_view(payload).substr(h.endFragment).starts_with(kHtmlEndFragment));
    const std::string_view filtered = FilterHtmlPaste(payload, stHTML | stHTMLFragment);
    Check(filtered == fragment);
    // Normalising a payload again changes nothing.
    Check(HtmlPastePayload(payload) == payload);
}

void CheckWriter(std::string_view data)
{
    // Three parts cut from the data.
    const std::size_t a = data.size() / 3, b = 2 * data.size() / 3;
    const std::string_view before = data.substr(0, a), fragment = data.substr(a, b - a), after = data.substr(b);
    const std::string out = WriteHtmlClipboard(fragment, before, after);
    const HtmlClipboardHeader h = ReadHtmlClipboardHeader(out);
    Check(h.present && h.valid);
    Check(std::string_view(out).substr(h.startFragment, h.endFragment - h.startFragment) == fragment);
    Check(std::string_view(out).substr(h.startHtml, h.endHtml - h.startHtml) ==
          std::string(before) + std::string(kHtmlStartFragment) + std::string(fragment) +
              std::string(kHtmlEndFragment) + std::string(after));
}

void CheckConversions(std::string_view data)
{
    Check(Utf16ToCp1252(Cp1252ToUtf16(data)) == data);
    Check(Utf8ToCp1252(Cp1252ToUtf8(data)) == data);

    // The data as UTF-16 units, against one character at a time.
    std::u16string units(data.size() / 2, u'\0');
    for (std::size_t i = 0; i < units.size(); ++i)
        units[i] = static_cast<char16_t>(static_cast<unsigned char>(data[2 * i]) |
                                         static_cast<unsigned char>(data[2 * i + 1]) << 8);
    std::string expected;
    for (std::size_t i = 0; i < units.size(); ++i) {
        const char16_t c = units[i];
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < units.size() && units[i + 1] >= 0xDC00 && units[i + 1] <= 0xDFFF) {
            expected += '?';
            ++i;
        } else {
            const int b = UnicodeToCp1252(c);
            expected += b < 0 ? '?' : static_cast<char>(b);
        }
    }
    const std::string narrow = Utf16ToCp1252(units);
    Check(narrow == expected);
    Check(Utf16ToCp1252(Cp1252ToUtf16(narrow)) == narrow);

    // The data as UTF-8.
    const std::string fromUtf8 = Utf8ToCp1252(data);
    Check(fromUtf8.size() <= data.size());
    std::string asciiIn, asciiOut;
    for (char c : data)
        if (static_cast<unsigned char>(c) < 0x80) asciiIn += c;
    for (char c : fromUtf8)
        if (static_cast<unsigned char>(c) < 0x80 && c != '?') asciiOut += c;
    std::string asciiInNoQ;
    for (char c : asciiIn)
        if (c != '?') asciiInNoQ += c;
    Check(asciiInNoQ == asciiOut);
    Check(Utf8ToCp1252(Cp1252ToUtf8(fromUtf8)) == fromUtf8);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size)
{
    const std::string_view data(reinterpret_cast<const char*>(bytes), size);
    CheckHeader(data);
    CheckPayload(HtmlPastePayload(data));
    CheckPayload(HtmlPastePayload1252(data));
    CheckWriter(data);
    CheckConversions(data);
    return 0;
}
