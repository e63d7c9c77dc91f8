#include "editor/export_writers.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <vector>

namespace tarnwick {

namespace {

// ---- output in chunks

class ChunkWriter {
public:
    explicit ChunkWriter(TStream& out) : out_(out) { buffer_.reserve(kChunk + 4096); }

    void Put(std::string_view s)
    {
        buffer_.append(s);
        if (buffer_.size() >= kChunk) Flush();
    }
    void Put(char c)
    {
        buffer_.push_back(c);
        if (buffer_.size() >= kChunk) Flush();
    }
    void Flush()
    {
        if (buffer_.empty()) return;
        out_.WriteBuffer(buffer_.data(), buffer_.size());
        written_ += static_cast<std::int64_t>(buffer_.size());
        buffer_.clear();
    }
    std::int64_t Written() const { return written_; }

private:
    static constexpr std::size_t kChunk = 1 << 20;
    TStream& out_;
    std::string buffer_;
    std::int64_t written_ = 0;
};

// ---- walking the records of a range

// Calls fn(record, from, to) for the selected columns [from, to) of every record that has some.
template <class Fn>
void ForEachSegment(const TTextStore& store, std::int64_t start, std::int64_t end, Fn&& fn)
{
    if (start >= end) return;
    const LinePosition pos = store.FromOffset(start);
    std::int64_t recordOffset = pos.offset;
    for (const TLineRecord* r = pos.record; r && recordOffset < end; r = store.Next(r)) {
        const std::int64_t length = r->Length();
        const std::int64_t from = std::max<std::int64_t>(start - recordOffset, 0);
        const std::int64_t to = std::min<std::int64_t>(end - recordOffset, length);
        if (to > from) fn(*r, static_cast<std::size_t>(from), static_cast<std::size_t>(to));
        recordOffset += length;
    }
}

void OrderAndClamp(const TTextStore& store, std::int64_t& start, std::int64_t& end)
{
    if (start > end) std::swap(start, end);
    start = std::clamp<std::int64_t>(start, 0, store.CharCount());
    end = std::clamp<std::int64_t>(end, 0, store.CharCount());
}

[[noreturn]] void UnknownFormat(int format) { throw EDoravaVizu("Unknown write format: " + std::to_string(format)); }

// ---- plain text

// Copies `text`, each CR followed by LF (format 1) or replaced by LF (format 8).
void PutText(ChunkWriter& w, std::string_view text, int format)
{
    if (format == wfText) {
        w.Put(text);
        return;
    }
    for (;;) {
        const std::size_t cr = text.find('\r');
        if (cr == std::string_view::npos) {
            w.Put(text);
            return;
        }
        if (format == wfTextCRLF) {
            w.Put(text.substr(0, cr + 1));
        } else {
            w.Put(text.substr(0, cr));
        }
        w.Put('\n');
        text.remove_prefix(cr + 1);
    }
}

// ---- escapes

struct Escapes {
    std::array<std::string, 256> text;
    std::array<bool, 256> special{};  // written as text[c] rather than as itself

    void Set(int c, std::string s)
    {
        text[static_cast<std::size_t>(c)] = std::move(s);
        special[static_cast<std::size_t>(c)] = true;
    }

    void Put(ChunkWriter& w, std::string_view s) const
    {
        std::size_t plain = 0;
        for (std::size_t i = 0; i < s.size(); ++i) {
            const auto c = static_cast<unsigned char>(s[i]);
            if (!special[c]) continue;
            if (i > plain) w.Put(s.substr(plain, i - plain));
            w.Put(text[c]);
            plain = i + 1;
        }
        if (plain < s.size()) w.Put(s.substr(plain));
    }
};

const Escapes& RtfEscapes()
{
    static const Escapes table = [] {
        Escapes e;
        char hex[8];
        for (int c = 1; c < 32; ++c) {
            std::snprintf(hex, sizeof hex, "\\'%.2x", c);
            e.Set(c, hex);
        }
        for (int c = 128; c < 256; ++c) {
            std::snprintf(hex, sizeof hex, "\\'%.2x", c);
            e.Set(c, hex);
        }
        e.Set(0, "");
        e.Set(9, "\\tab ");
        e.Set(12, "\\page ");
        e.Set(13, "\\line ");
        e.Set('\'', "\\'27");
        e.Set('\\', "\\\\");
        e.Set('{', "\\{");
        e.Set('}', "\\}");
        return e;
    }();
    return table;
}

// The ampersand is written as "&amp;": left bare it would start an entity and change the text.
const Escapes& HtmlEscapes()
{
    static const Escapes table = [] {
        Escapes e;
        for (int c = 0; c < 32; ++c) e.Set(c, "");
        for (int c = 128; c < 256; ++c) e.Set(c, "&#" + std::to_string(c) + ";");
        e.Set(9, "&nbsp;");
        e.Set(160, "&nbsp;");
        e.Set('"', "&quot;");
        e.Set('&', "&amp;");
        e.Set('<', "&lt;");
        e.Set('>', "&gt;");
        return e;
    }();
    return table;
}

// ---- styles of the token values

const TSM_Settings& FreshSettings()
{
    static const TSM_Settings settings;
    return settings;
}

constexpr TColor clWindow = clSystem + 5;

struct TokenLook {
    bool bold = false, italic = false, underline = false;
    TColor fg = 0, bg = 0;           // RGB (0x00BBGGRR)
    int fgIndex = -1, bgIndex = -1;  // colour-table entries; -1 when not in the table
};

struct Looks {
    TColor defaultFg = 0, defaultBg = 0;
    std::vector<TColor> table;  // RTF colour table
    std::array<TokenLook, 256> token;
};

// Colours as the control paints them: a style's use-default flags take the default style's
// colours, and the default style's flags take the system window-text and window colours.
Looks BuildLooks(const ExportContext& context)
{
    const TSM_Settings& s = context.settings ? *context.settings : FreshSettings();
    Looks looks;
    const StyleRecord& def = s.Style(0);
    looks.defaultFg = ResolveColor(def.foregroundDefault ? clWindowText : def.foreground, context);
    looks.defaultBg = ResolveColor(def.backgroundDefault ? clWindow : def.background, context);
    const auto fgOf = [&](const StyleRecord& r) {
        return r.foregroundDefault ? looks.defaultFg : ResolveColor(r.foreground, context);
    };
    const auto bgOf = [&](const StyleRecord& r) {
        return r.backgroundDefault ? looks.defaultBg : ResolveColor(r.background, context);
    };
    std::array<TColor, 256> styleFg{}, styleBg{};
    for (int i = 0; i < 256; ++i) {
        const StyleRecord& r = i == 0 ? def : s.Style(i);
        styleFg[static_cast<std::size_t>(i)] = i == 0 ? looks.defaultFg : fgOf(r);
        styleBg[static_cast<std::size_t>(i)] = i == 0 ? looks.defaultBg : bgOf(r);
    }

    looks.table = {looks.defaultFg, looks.defaultBg};
    const auto add = [&](TColor c) {
        if (looks.table.size() < 256 && std::find(looks.table.begin(), looks.table.end(), c) == looks.table.end())
            looks.table.push_back(c);
    };
    for (int i = 0; i < 256 && looks.table.size() < 256; ++i) {
        if (!s.Style(i).defined) continue;
        add(styleFg[static_cast<std::size_t>(i)]);
        add(styleBg[static_cast<std::size_t>(i)]);
    }
    const auto indexOf = [&](TColor c) {
        const auto it = std::find(looks.table.begin(), looks.table.end(), c);
        return it == looks.table.end() ? -1 : static_cast<int>(it - looks.table.begin());
    };
    std::array<int, 256> styleFgIndex{}, styleBgIndex{};
    for (std::size_t i = 0; i < 256; ++i) {
        styleFgIndex[i] = indexOf(styleFg[i]);
        styleBgIndex[i] = indexOf(styleBg[i]);
    }
    for (int t = 0; t < 256; ++t) {
        const std::uint8_t style = s.StyleIndex(t);
        const StyleRecord& r = s.Style(style);
        TokenLook& look = looks.token[static_cast<std::size_t>(t)];
        look.bold = r.fontStyle & fsBold;
        look.italic = r.fontStyle & fsItalic;
        look.underline = r.fontStyle & fsUnderline;
        look.fg = styleFg[style];
        look.bg = styleBg[style];
        look.fgIndex = styleFgIndex[style];
        look.bgIndex = styleBgIndex[style];
    }
    return looks;
}

TColor ToRgb(TColor c) { return (c & 0xFF) << 16 | (c & 0xFF00) | (c >> 16 & 0xFF); }

std::string Escaped(const Escapes& escapes, std::string_view s)
{
    TMemoryStream buffer;
    ChunkWriter w(buffer);
    escapes.Put(w, s);
    w.Flush();
    return buffer.Data();
}

// Calls fn(token, text) for every run of equal token value in a selected segment; a record
// without attribute bytes is one run with no token (-1).
template <class Fn>
void ForEachRun(const TLineRecord& r, std::size_t from, std::size_t to, Fn&& fn)
{
    const std::string_view text = r.View();
    const std::uint8_t* attributes = r.Attributes();
    if (!attributes) {
        fn(-1, text.substr(from, to - from));
        return;
    }
    for (std::size_t i = from; i < to;) {
        std::size_t j = i + 1;
        while (j < to && attributes[j] == attributes[i]) ++j;
        fn(static_cast<int>(attributes[i]), text.substr(i, j - i));
        i = j;
    }
}

// "\r\n" is written after each logical line of the range (after the segment holding its line
// break, or after the last selected segment); wrapped segments run on without one.
template <class LineFn>
void ForEachLine(const TTextStore& store, std::int64_t start, std::int64_t end, ChunkWriter& w, LineFn&& fn)
{
    bool open = false;
    ForEachSegment(store, start, end, [&](const TLineRecord& r, std::size_t from, std::size_t to) {
        fn(r, from, to);
        open = true;
        if (to == r.Length() && r.EndsWithBreak()) {
            w.Put("\r\n");
            open = false;
        }
    });
    if (open) w.Put("\r\n");
}

void WriteRtf(const TTextStore& store, std::int64_t start, std::int64_t end, const ExportContext& context,
              ChunkWriter& w)
{
    const Escapes& esc = RtfEscapes();
    const Looks looks = BuildLooks(context);
    char buf[96];

    w.Put("{\\rtf1 \\deff1");
    w.Put("{\\fonttbl ");
    std::snprintf(buf, sizeof buf, "{\\f1 \\fnil\\fcharset%d ", context.fontCharset);
    w.Put(buf);
    esc.Put(w, context.fontName);
    w.Put(";}");
    w.Put("}\r\n");
    w.Put("{\\colortbl");
    for (const TColor c : looks.table) {
        std::snprintf(buf, sizeof buf, "\\red%u\\green%u\\blue%u;", c & 0xFF, c >> 8 & 0xFF, c >> 16 & 0xFF);
        w.Put(buf);
    }
    w.Put("}\r\n");
    std::snprintf(buf, sizeof buf, "{\\f1\\fs%d\\cf0\\cb1 ", context.fontSizePoints * 2);
    w.Put(buf);

    bool bold = false, italic = false, underline = false;
    TColor fg = looks.table[0], bg = looks.table[1];
    ForEachLine(store, start, end, w, [&](const TLineRecord& r, std::size_t from, std::size_t to) {
        ForEachRun(r, from, to, [&](int token, std::string_view text) {
            if (token >= 0) {
                const TokenLook& look = looks.token[static_cast<std::size_t>(token)];
                if (look.bold != bold) w.Put((bold = look.bold) ? "\\b1 " : "\\b0 ");
                if (look.italic != italic) w.Put((italic = look.italic) ? "\\i1 " : "\\i0 ");
                if (look.underline != underline) w.Put((underline = look.underline) ? "\\ul1 " : "\\ul0 ");
                if (look.fg != fg) {
                    std::snprintf(buf, sizeof buf, "\\cf%d ", look.fgIndex < 0 ? 0 : look.fgIndex);
                    w.Put(buf);
                    fg = look.fgIndex < 0 ? looks.table[0] : look.fg;
                }
                if (look.bg != bg) {
                    std::snprintf(buf, sizeof buf, "\\cb%d ", look.bgIndex < 0 ? 1 : look.bgIndex);
                    w.Put(buf);
                    bg = look.bgIndex < 0 ? looks.table[1] : look.bg;
                }
            }
            esc.Put(w, text);
        });
    });
    w.Put("}}");
}

void WriteHtml(const TTextStore& store, std::int64_t start, std::int64_t end, const ExportContext& context,
               ChunkWriter& w)
{
    const Escapes& esc = HtmlEscapes();
    const Looks looks = BuildLooks(context);
    char buf[96];

    w.Put("<HTML><HEAD>\r\n");
    w.Put("<META NAME=\"Generator\" CONTENT=\"Tarnwick TCustomDoravaVizu\">\r\n");
    w.Put("<TITLE>" + Escaped(esc, context.title) + "</TITLE>\r\n");
    w.Put("<META NAME=\"Date\" CONTENT=\"" + Escaped(esc, context.date) + "\">\r\n");
    w.Put("</HEAD>\r\n");
    std::snprintf(buf, sizeof buf, "<BODY TEXT=\"#%.6x\" BGCOLOR=\"#%.6x\">\r\n", ToRgb(looks.defaultFg),
                  ToRgb(looks.defaultBg));
    w.Put(buf);
    w.Put("<PRE>");
    w.Put("<FONT FACE=\"" + Escaped(esc, context.fontName) + "\">\r\n");

    bool bold = false, italic = false, underline = false;
    TColor fg = looks.defaultFg;
    ForEachLine(store, start, end, w, [&](const TLineRecord& r, std::size_t from, std::size_t to) {
        ForEachRun(r, from, to, [&](int token, std::string_view text) {
            if (token >= 0) {
                const TokenLook& look = looks.token[static_cast<std::size_t>(token)];
                if (look.fg != fg) {
                    fg = look.fg;
                    std::snprintf(buf, sizeof buf, "</FONT><FONT COLOR=\"#%.6x\">", ToRgb(fg));
                    w.Put(buf);
                }
                if (look.bold != bold) w.Put((bold = look.bold) ? "<B>" : "</B>");
                if (look.italic != italic) w.Put((italic = look.italic) ? "<I>" : "</I>");
                if (look.underline != underline) w.Put((underline = look.underline) ? "<U>" : "</U>");
            }
            esc.Put(w, text);
        });
    });
    w.Put("</PRE></FONT></BODY></HTML>\r\n");
}

}  // namespace

std::string TodayShortDate()
{
    const std::time_t now = std::time(nullptr);
    std::tm local{};
#ifdef _WIN32
    localtime_s(&local, &now);
#else
    localtime_r(&now, &local);
#endif
    char buffer[128];
    const std::size_t n = std::strftime(buffer, sizeof buffer, "%x", &local);
    return std::string(buffer, n);
}

ExportContext ExportContextFor(const TSM_Settings& settings, std::string title, std::string date)
{
    ExportContext c;
    c.settings = &settings;
    c.fontName = settings.fontName;
    c.fontSizePoints = settings.fontSize;
    c.fontCharset = settings.fontCharset;
    c.title = std::move(title);
    c.date = std::move(date);
    return c;
}

std::string RtfEscaped(std::string_view text) { return Escaped(RtfEscapes(), text); }

std::string HtmlEscaped(std::string_view text) { return Escaped(HtmlEscapes(), text); }

TColor DefaultSystemColor(TColor systemColor)
{
    // Index: the low byte of clSystem + n, n = 0..30.
    static constexpr std::array<TColor, 31> kPalette = {
        0xC8C8C8,  //  0 scroll bar
        0x808000,  //  1 desktop
        0x800000,  //  2 active caption
        0x808080,  //  3 inactive caption
        0xC0C0C0,  //  4 menu
        0xFFFFFF,  //  5 window
        0x000000,  //  6 window frame
        0x000000,  //  7 menu text
        0x000000,  //  8 window text
        0xFFFFFF,  //  9 caption text
        0xC0C0C0,  // 10 active border
        0xC0C0C0,  // 11 inactive border
        0x808080,  // 12 application workspace
        0x800000,  // 13 highlight (navy)
        0xFFFFFF,  // 14 highlight text
        0xC0C0C0,  // 15 button face
        0x808080,  // 16 button shadow
        0x808080,  // 17 grey text
        0x000000,  // 18 button text
        0xC0C0C0,  // 19 inactive caption text
        0xFFFFFF,  // 20 button highlight
        0x000000,  // 21 3D dark shadow
        0xE0E0E0,  // 22 3D light
        0x000000,  // 23 info text
        0xE1FFFF,  // 24 info background
        0x000000,  // 25 (unused)
        0xFF0000,  // 26 hot-tracked item (blue)
        0xD08410,  // 27 active caption gradient
        0xB5B5B5,  // 28 inactive caption gradient
        0xC56A31,  // 29 menu highlight
        0xC0C0C0,  // 30 menu bar
    };
    const TColor index = systemColor & ~clSystem;
    return index < kPalette.size() ? kPalette[index] : clBlack;
}

TColor ResolveColor(TColor color, const ExportContext& context)
{
    if (!(color & clSystem)) return color & 0xFFFFFF;
    if (context.resolveColor) {
        const TColor resolved = context.resolveColor(color);
        if (!(resolved & clSystem)) return resolved & 0xFFFFFF;
    }
    return DefaultSystemColor(color);
}

std::int64_t TextLength(const TTextStore& store, std::int64_t start, std::int64_t end, int format)
{
    if (format != wfText && format != wfTextCRLF && format != wfTextLF) UnknownFormat(format);
    OrderAndClamp(store, start, end);
    std::int64_t length = end - start;
    if (format == wfTextCRLF)
        ForEachSegment(store, start, end, [&](const TLineRecord& r, std::size_t from, std::size_t to) {
            const std::string_view text = r.View().substr(from, to - from);
            length += std::count(text.begin(), text.end(), '\r');
        });
    return length;
}

std::int64_t WriteRange(const TTextStore& store, std::int64_t start, std::int64_t end, int format,
                        const ExportContext& context, TStream& out)
{
    if (format != wfText && format != wfTextCRLF && format != wfTextLF && format != wfRTF && format != wfHTML)
        UnknownFormat(format);
    OrderAndClamp(store, start, end);
    ChunkWriter w(out);
    switch (format) {
    case wfRTF: WriteRtf(store, start, end, context, w); break;
    case wfHTML: WriteHtml(store, start, end, context, w); break;
    default:
        ForEachSegment(store, start, end, [&](const TLineRecord& r, std::size_t from, std::size_t to) {
            PutText(w, r.View().substr(from, to - from), format);
        });
        break;
    }
    w.Flush();
    return w.Written();
}

std::string_view FilterHtmlPaste(std::string_view data, std::uint16_t sourceTypes)
{
    if (!(sourceTypes & stHTML) || (sourceTypes & stNoHTMLFilter)) return data;
    if (!(sourceTypes & (stHTMLFromFirstTag | stHTMLFragment))) return data;
    const std::size_t tag = data.find('<');
    if (tag != std::string_view::npos) data.remove_prefix(tag);
    if (sourceTypes & stHTMLFromFirstTag) return data;

    static constexpr std::string_view kStart = "<!--StartFragment-->";
    static constexpr std::string_view kEnd = "<!--EndFragment-->";
    const std::size_t first = data.find(kStart);
    if (first == std::string_view::npos) return data;
    const std::size_t from = first + kStart.size();
    const std::size_t last = data.find(kEnd, from);
    if (last == std::string_view::npos) return data;
    return data.substr(from, last - from);
}

}  // namespace tarnwick
