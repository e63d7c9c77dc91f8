#include "editor/html_clipboard.h"

#include <array>
#include <cstdio>
#include <optional>

#include "base/cp1252.h"

namespace tarnwick {
namespace {

constexpr std::string_view kVersionLine = "Version:0.9\r\n";
constexpr std::array<std::string_view, 4> kOffsetNames = {"StartHTML:", "EndHTML:", "StartFragment:", "EndFragment:"};

char LowerAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c; }

bool SameAsciiText(std::string_view a, std::string_view b)
{
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (LowerAscii(a[i]) != LowerAscii(b[i])) return false;
    return true;
}

bool IsAsciiLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }
bool IsBlankChar(char c) { return c == ' ' || c == '\t'; }

// The first place at or after `from` where `word` starts, ASCII letters compared without case.
std::size_t FindNoCase(std::string_view s, std::string_view word, std::size_t from = 0)
{
    if (word.empty() || s.size() < word.size()) return std::string_view::npos;
    const char first = LowerAscii(word[0]);
    for (std::size_t i = from; i + word.size() <= s.size(); ++i)
        if (LowerAscii(s[i]) == first && SameAsciiText(s.substr(i, word.size()), word)) return i;
    return std::string_view::npos;
}

std::size_t RFindNoCase(std::string_view s, std::string_view word, std::size_t from)
{
    std::size_t found = std::string_view::npos;
    for (std::size_t at = FindNoCase(s, word, from); at != std::string_view::npos; at = FindNoCase(s, word, at + 1))
        found = at;
    return found;
}

// `s` starts with the tag name `name` ("<body", "<meta"): followed by a blank, "/", ">" or the end.
bool StartsWithTag(std::string_view s, std::string_view name)
{
    if (s.size() < name.size() || !SameAsciiText(s.substr(0, name.size()), name)) return false;
    if (s.size() == name.size()) return true;
    const char c = s[name.size()];
    return c == '>' || c == '/' || c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f';
}

std::string_view Trimmed(std::string_view s)
{
    while (!s.empty() && IsBlankChar(s.front())) s.remove_prefix(1);
    while (!s.empty() && IsBlankChar(s.back())) s.remove_suffix(1);
    return s;
}

// A header number: decimal digits, or "-1". A number too large for any data stops growing at a
// bound no data reaches (so it fails every range test).
enum class NumberKind { nkMissing, nkNotANumber, nkMinusOne, nkValue };
struct Number {
    NumberKind kind = NumberKind::nkMissing;
    std::uint64_t value = 0;
};

Number ParseNumber(std::string_view text)
{
    text = Trimmed(text);
    if (text == "-1") return {NumberKind::nkMinusOne, 0};
    if (text.empty()) return {NumberKind::nkNotANumber, 0};
    constexpr std::uint64_t kLimit = std::uint64_t{1} << 62;
    std::uint64_t v = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return {NumberKind::nkNotANumber, 0};
        v = v >= kLimit / 10 ? kLimit : v * 10 + static_cast<unsigned>(c - '0');
    }
    return {NumberKind::nkValue, v};
}

std::string Zeros(std::size_t value, int width)
{
    std::string digits = std::to_string(value);
    if (static_cast<int>(digits.size()) < width) digits.insert(0, static_cast<std::size_t>(width) - digits.size(), '0');
    return digits;
}

// The three parts of a payload before it is written.
struct Parts {
    std::string before;
    std::string fragment;
    std::string after;
};

// `s` without either marker. Removing one may join the text around it into another, so the text
// is copied a character at a time and a marker is taken out as soon as the copy ends in one.
std::string WithoutMarkers(std::string_view s)
{
    std::string out;
    out.reserve(s.size());
    for (char c : s) {
        out += c;
        if (c != '>') continue;
        for (std::string_view marker : {kHtmlStartFragment, kHtmlEndFragment})
            if (out.size() >= marker.size() && std::string_view(out).substr(out.size() - marker.size()) == marker) {
                out.resize(out.size() - marker.size());
                break;
            }
    }
    return out;
}

// A document without usable offsets: its marked fragment, else its body, else all of it.
Parts SplitDocument(std::string_view doc)
{
    const std::size_t start = doc.find(kHtmlStartFragment);
    if (start != std::string_view::npos) {
        const std::size_t from = start + kHtmlStartFragment.size();
        const std::size_t end = doc.find(kHtmlEndFragment, from);
        if (end != std::string_view::npos)
            return {std::string(doc.substr(0, start)), std::string(doc.substr(from, end - from)),
                    std::string(doc.substr(end + kHtmlEndFragment.size()))};
    }
    for (std::size_t open = FindNoCase(doc, "<body"); open != std::string_view::npos;
         open = FindNoCase(doc, "<body", open + 1)) {
        if (!StartsWithTag(doc.substr(open), "<body")) continue;
        const std::size_t gt = doc.find('>', open);
        if (gt == std::string_view::npos) break;
        const std::size_t contentStart = gt + 1;
        std::size_t close = RFindNoCase(doc, "</body", contentStart);
        if (close == std::string_view::npos) close = RFindNoCase(doc, "</html", contentStart);
        if (close == std::string_view::npos) close = doc.size();
        return {std::string(doc.substr(0, contentStart)), std::string(doc.substr(contentStart, close - contentStart)),
                std::string(doc.substr(close))};
    }
    // No body: the leading document furniture is no part of what was copied.
    std::size_t p = 0;
    for (;;) {
        while (p < doc.size() && (IsBlankChar(doc[p]) || doc[p] == '\r' || doc[p] == '\n')) ++p;
        const std::string_view rest = doc.substr(p);
        std::size_t skip = std::string_view::npos;
        if (StartsWithTag(rest, "<!doctype") || StartsWithTag(rest, "<html") || StartsWithTag(rest, "<meta")) {
            const std::size_t gt = rest.find('>');
            if (gt != std::string_view::npos) skip = gt + 1;
        } else if (StartsWithTag(rest, "<head")) {
            const std::size_t close = FindNoCase(rest, "</head>");
            if (close != std::string_view::npos) skip = close + 7;
        }
        if (skip == std::string_view::npos) break;
        p += skip;
    }
    std::string_view content = doc.substr(p);
    std::string_view tail = content;
    while (!tail.empty() && (IsBlankChar(tail.back()) || tail.back() == '\r' || tail.back() == '\n'))
        tail.remove_suffix(1);
    if (tail.size() >= 7 && SameAsciiText(tail.substr(tail.size() - 7), "</html>"))
        content = tail.substr(0, tail.size() - 7);
    return {"<html><body>", std::string(content), "</body></html>"};
}

Parts SplitClipboardHtml(std::string_view data)
{
    if (data.size() >= 3 && data.substr(0, 3) == "\xEF\xBB\xBF") data.remove_prefix(3);
    const HtmlClipboardHeader header = ReadHtmlClipboardHeader(data);
    Parts parts;
    if (header.present && header.valid) {
        parts.before = std::string(data.substr(header.startHtml, header.startFragment - header.startHtml));
        parts.fragment = std::string(data.substr(header.startFragment, header.endFragment - header.startFragment));
        parts.after = std::string(data.substr(header.endFragment, header.endHtml - header.endFragment));
        if (parts.before.empty() && parts.after.empty()) {
            parts.before = "<html><body>";
            parts.after = "</body></html>";
        }
    } else {
        std::string_view doc = data.substr(header.present ? header.headerEnd : 0);
        while (!doc.empty() && doc.back() == '\0') doc.remove_suffix(1);
        parts = SplitDocument(doc);
    }
    for (std::string* s : {&parts.before, &parts.fragment, &parts.after})
        if (s->find("<!--") != std::string::npos) *s = WithoutMarkers(*s);
    return parts;
}

}  // namespace

std::string WriteHtmlClipboard(std::string_view fragment, std::string_view before, std::string_view after)
{
    std::size_t fixed = kVersionLine.size();
    for (std::string_view name : kOffsetNames) fixed += name.size() + 2;
    const std::size_t html =
        before.size() + kHtmlStartFragment.size() + fragment.size() + kHtmlEndFragment.size() + after.size();
    // Ten digits each, or more for data beyond 10 GB.
    int width = 10;
    while (Zeros(fixed + 4 * static_cast<std::size_t>(width) + html, 0).size() > static_cast<std::size_t>(width))
        ++width;
    const std::size_t startHtml = fixed + 4 * static_cast<std::size_t>(width);
    const std::size_t startFragment = startHtml + before.size() + kHtmlStartFragment.size();
    const std::size_t endFragment = startFragment + fragment.size();
    const std::size_t endHtml = startHtml + html;

    std::string out;
    out.reserve(endHtml);
    out += kVersionLine;
    const std::array<std::size_t, 4> values = {startHtml, endHtml, startFragment, endFragment};
    for (std::size_t i = 0; i < values.size(); ++i) {
        out += kOffsetNames[i];
        out += Zeros(values[i], width);
        out += "\r\n";
    }
    out += before;
    out += kHtmlStartFragment;
    out += fragment;
    out += kHtmlEndFragment;
    out += after;
    return out;
}

HtmlClipboardHeader ReadHtmlClipboardHeader(std::string_view data)
{
    HtmlClipboardHeader h;
    std::optional<Number> startHtml, endHtml, startFragment, endFragment;
    bool known = false;
    std::size_t p = 0;
    while (p < data.size()) {
        std::size_t eol = p;
        while (eol < data.size() && data[eol] != '\r' && data[eol] != '\n') ++eol;
        const std::string_view line = data.substr(p, eol - p);
        std::size_t colon = 0;
        while (colon < line.size() && IsAsciiLetter(line[colon])) ++colon;
        if (colon == 0 || colon == line.size() || line[colon] != ':' || line.find('<') != std::string_view::npos) break;
        const std::string_view name = line.substr(0, colon);
        const std::string_view value = line.substr(colon + 1);
        auto number = [&](std::optional<Number>& slot) {
            if (!slot) slot = ParseNumber(value);
            known = true;
        };
        if (SameAsciiText(name, "StartHTML")) number(startHtml);
        else if (SameAsciiText(name, "EndHTML")) number(endHtml);
        else if (SameAsciiText(name, "StartFragment")) number(startFragment);
        else if (SameAsciiText(name, "EndFragment")) number(endFragment);
        else if (SameAsciiText(name, "Version")) {
            if (h.version.empty()) h.version = std::string(Trimmed(value));
            known = true;
        } else if (SameAsciiText(name, "SourceURL")) {
            if (h.sourceUrl.empty()) h.sourceUrl = std::string(Trimmed(value));
            known = true;
        } else if (SameAsciiText(name, "StartSelection") || SameAsciiText(name, "EndSelection")) {
            known = true;
        }
        // The line break: CR LF, CR or LF.
        p = eol;
        if (p < data.size() && data[p] == '\r') ++p;
        if (p < data.size() && data[p] == '\n') ++p;
        h.headerEnd = p;
    }
    h.present = known;
    if (!known) {
        h.headerEnd = 0;
        return h;
    }

    const std::uint64_t size = data.size();
    const bool fragmentGiven = startFragment && endFragment && startFragment->kind == NumberKind::nkValue &&
                               endFragment->kind == NumberKind::nkValue;
    if (!fragmentGiven) return h;
    const std::uint64_t sf = startFragment->value, ef = endFragment->value;
    if (!(sf <= ef && ef <= size)) return h;
    // StartHTML and EndHTML: missing or -1 means no context.
    auto contextOffset = [](const std::optional<Number>& n, std::uint64_t fallback) -> std::optional<std::uint64_t> {
        if (!n || n->kind == NumberKind::nkMinusOne) return fallback;
        if (n->kind != NumberKind::nkValue) return std::nullopt;
        return n->value;
    };
    const auto sh = contextOffset(startHtml, sf);
    const auto eh = contextOffset(endHtml, ef);
    if (!sh || !eh || !(*sh <= sf && ef <= *eh && *eh <= size)) return h;
    h.valid = true;
    h.startHtml = static_cast<std::size_t>(*sh);
    h.endHtml = static_cast<std::size_t>(*eh);
    h.startFragment = static_cast<std::size_t>(sf);
    h.endFragment = static_cast<std::size_t>(ef);
    return h;
}

std::string HtmlPastePayload(std::string_view clipboardUtf8)
{
    const Parts parts = SplitClipboardHtml(clipboardUtf8);
    return WriteHtmlClipboard(parts.fragment, parts.before, parts.after);
}

std::string HtmlPastePayload1252(std::string_view clipboardUtf8)
{
    const Parts parts = SplitClipboardHtml(clipboardUtf8);
    return WriteHtmlClipboard(Utf8ToCp1252(parts.fragment), Utf8ToCp1252(parts.before), Utf8ToCp1252(parts.after));
}

}  // namespace tarnwick
