#include "highlight/style_string.h"

#include <cctype>
#include <cstdio>
#include <limits>

#include "editor/editor_errors.h"

namespace tarnwick {

namespace {

[[noreturn]] void Invalid() { throw EDoravaVizu(kInvalidStyleString); }

// Colours and other 32-bit values are written as signed decimals (system colours come out
// negative) and read back in either sign.
std::string Signed(std::uint32_t v) { return std::to_string(static_cast<std::int32_t>(v)); }

const char* const kTags[24] = {"OPT", "GWD", "GCL", "WRC", "IDS", "WRO", "FON", "FOS", "STC", "STB", "TBC", "TBD",
                               "EFF", "GDF", "MDF", "SDF", "BDF", "FOC", "RMG", "LNN", "LNS", "LNC", "LNT", "LNE"};

std::string FontStyleLetters(std::uint8_t style)
{
    std::string s;
    if (style & fsItalic) s += 'I';
    if (style & fsBold) s += 'B';
    if (style & fsUnderline) s += 'U';
    if (style & fsStrikeOut) s += 'S';
    return s;
}

// Reads fields from a text: numbers (an optional minus, digits, an optional comma), counted
// character runs and single characters.
class Reader {
public:
    explicit Reader(std::string_view text, std::size_t pos = 0) : text_(text), pos_(pos) {}

    bool AtEnd() const { return pos_ >= text_.size(); }
    char Cur() const { return AtEnd() ? '\0' : text_[pos_]; }
    void Skip()
    {
        if (!AtEnd()) ++pos_;
    }

    // A number field; an empty field (a comma alone, another character or the end) gives `def`
    // and consumes only the comma.
    std::int64_t Number(std::int64_t def)
    {
        std::size_t p = pos_;
        bool negative = false;
        if (p < text_.size() && text_[p] == '-' && p + 1 < text_.size() &&
            std::isdigit(static_cast<unsigned char>(text_[p + 1]))) {
            negative = true;
            ++p;
        }
        if (p >= text_.size() || !std::isdigit(static_cast<unsigned char>(text_[p]))) {
            if (Cur() == ',') ++pos_;
            return def;
        }
        std::int64_t v = 0;
        while (p < text_.size() && std::isdigit(static_cast<unsigned char>(text_[p]))) {
            v = v * 10 + (text_[p] - '0');
            if (v > 0xFFFFFFFFll) Invalid();
            ++p;
        }
        pos_ = p;
        if (Cur() == ',') ++pos_;
        return negative ? -v : v;
    }
    std::uint32_t Value32(std::uint32_t def)
    {
        const std::int64_t v = Number(static_cast<std::int32_t>(def));
        if (v < std::numeric_limits<std::int32_t>::min()) Invalid();
        return static_cast<std::uint32_t>(v);
    }
    std::int32_t Int(std::int32_t def)
    {
        const std::int64_t v = Number(def);
        if (v < std::numeric_limits<std::int32_t>::min() || v > std::numeric_limits<std::int32_t>::max()) Invalid();
        return static_cast<std::int32_t>(v);
    }
    // `count` characters; more than the text holds is an error.
    std::string_view Chars(std::int64_t count)
    {
        if (count < 0 || static_cast<std::uint64_t>(count) > text_.size() - pos_) Invalid();
        const std::string_view s = text_.substr(pos_, static_cast<std::size_t>(count));
        pos_ += static_cast<std::size_t>(count);
        return s;
    }
    // A count field and that many characters.
    std::string_view Counted() { return Chars(Number(0)); }

private:
    std::string_view text_;
    std::size_t pos_;
};

// The effects list: a count, then the entries.
std::vector<StyleEffect> ReadEffects(Reader& r)
{
    std::vector<StyleEffect> effects;
    const std::int64_t count = r.Number(0);
    if (count < 0) Invalid();
    // A full list (256 styles) is written with the count 255; the entries that follow it are read too.
    for (std::int64_t i = 0;
         !r.AtEnd() && (i < count || (count == 255 && std::isdigit(static_cast<unsigned char>(r.Cur())))); ++i) {
        if (i >= 256) Invalid();
        StyleEffect e;
        const std::int64_t token = r.Number(255);
        if (token < 0 || token >= 256) Invalid();
        e.token = static_cast<std::uint8_t>(token);
        e.foreground = r.Value32(clBlack);
        e.background = r.Value32(clWhite);
        for (;;) {
            const char c = static_cast<char>(std::toupper(static_cast<unsigned char>(r.Cur())));
            if (c == 'B') e.fontStyle |= fsBold;
            else if (c == 'I') e.fontStyle |= fsItalic;
            else if (c == 'U') e.fontStyle |= fsUnderline;
            else if (c == 'X') e.backgroundDefault = true;
            else if (c == 'Y') e.foregroundDefault = true;
            else {
                if (c == ';') r.Skip();
                break;
            }
            r.Skip();
        }
        effects.push_back(e);
    }
    return effects;
}

std::vector<std::int32_t> ReadTabColumns(std::string_view text)
{
    std::vector<std::int32_t> stops;
    std::size_t p = 0;
    while (p < text.size()) {
        const char c = text[p];
        if (c == ' ' || c == ';') {
            ++p;
            continue;
        }
        if (!std::isdigit(static_cast<unsigned char>(c))) Invalid();
        std::int64_t v = 0;
        while (p < text.size() && std::isdigit(static_cast<unsigned char>(text[p]))) {
            v = v * 10 + (text[p] - '0');
            if (v > 1000000) Invalid();
            ++p;
        }
        if (v <= 1 || (!stops.empty() && v - 1 <= stops.back()) || stops.size() >= TSM_Settings::kTabColumns) Invalid();
        stops.push_back(static_cast<std::int32_t>(v - 1));
    }
    return stops;
}

// A whole tag value that must be a number.
std::int64_t WholeNumber(std::string_view value)
{
    Reader r(value);
    if (value.empty()) Invalid();
    const std::int64_t v = r.Number(0);
    if (!r.AtEnd()) Invalid();
    return v;
}
std::int32_t WholeInt(std::string_view value)
{
    const std::int64_t v = WholeNumber(value);
    if (v < std::numeric_limits<std::int32_t>::min() || v > std::numeric_limits<std::int32_t>::max()) Invalid();
    return static_cast<std::int32_t>(v);
}
std::uint32_t WholeU32(std::string_view value)
{
    const std::int64_t v = WholeNumber(value);
    if (v < std::numeric_limits<std::int32_t>::min()) Invalid();
    return static_cast<std::uint32_t>(v);
}
std::uint8_t WholeByte(std::string_view value)
{
    const std::int64_t v = WholeNumber(value);
    if (v < 0 || v > 255) Invalid();
    return static_cast<std::uint8_t>(v);
}
bool WholeBool(std::string_view value) { return WholeNumber(value) != 0; }

void ReadTagged(std::string_view text, StyleOverrides& o)
{
    std::size_t p = 8;
    for (;;) {
        if (p >= text.size() || text[p] != '#') return;
        ++p;
        std::string tag;
        while (p < text.size() && tag.size() < 4 && std::isalnum(static_cast<unsigned char>(text[p]))) tag += text[p++];
        if (tag == "END") return;
        int index = -1;
        for (int i = 0; i < 24; ++i)
            if (tag == kTags[i]) index = i;
        if (index < 0) return;
        if (p >= text.size() || text[p] != '#') Invalid();
        ++p;
        std::int64_t length = 0;
        bool digits = false;
        while (p < text.size() && std::isdigit(static_cast<unsigned char>(text[p]))) {
            length = length * 10 + (text[p++] - '0');
            digits = true;
            if (length > static_cast<std::int64_t>(text.size())) Invalid();
        }
        if (!digits || p >= text.size() || text[p] != '#') Invalid();
        ++p;
        if (static_cast<std::uint64_t>(length) > text.size() - p) Invalid();
        const std::string_view v = text.substr(p, static_cast<std::size_t>(length));
        p += static_cast<std::size_t>(length);
        switch (index) {
        case 0: o.options = WholeU32(v); break;
        case 1: o.gutterWidth = WholeInt(v); break;
        case 2: o.gutterColor = WholeU32(v); break;
        case 3: o.wordWrapColumn = WholeInt(v); break;
        case 4: o.indentStep = WholeInt(v); break;
        case 5: o.wrapOverride = std::string(v); break;
        case 6: o.fontName = std::string(v); break;
        case 7: o.fontSize = WholeInt(v); break;
        case 8: o.selectedTextColor = WholeU32(v); break;
        case 9: o.selectedTextBackground = WholeU32(v); break;
        case 10: o.tabColumns = ReadTabColumns(v); break;
        case 11: o.defaultTabWidth = WholeInt(v); break;
        case 12: {
            Reader r(v);
            o.effects = ReadEffects(r);
            break;
        }
        case 13: o.gutterColorDefault = WholeBool(v); break;
        case 14: o.marginColorDefault = WholeBool(v); break;
        case 15: o.selectedTextColorDefault = WholeBool(v); break;
        case 16: o.selectedTextBackgroundDefault = WholeBool(v); break;
        case 17: o.fontCharset = WholeByte(v); break;
        case 18: o.rightMargin = WholeInt(v); break;
        case 19: o.gutterFontName = std::string(v); break;
        case 20: o.gutterFontSize = WholeInt(v); break;
        case 21: o.gutterFontColor = WholeU32(v); break;
        case 22: o.gutterFontCharset = WholeByte(v); break;
        case 23: {
            std::uint8_t style = 0;
            for (char c : v) {
                switch (std::toupper(static_cast<unsigned char>(c))) {
                case 'I': style |= fsItalic; break;
                case 'B': style |= fsBold; break;
                case 'U': style |= fsUnderline; break;
                case 'S': style |= fsStrikeOut; break;
                default: Invalid();
                }
            }
            o.gutterFontStyle = style;
            break;
        }
        }
    }
}

void ReadPositional(std::string_view text, int layout, StyleOverrides& o)
{
    Reader r(text, 8);
    o.options = r.Value32(TSM_Settings::kDefaultOptions);
    o.gutterWidth = r.Int(34);
    o.wordWrapColumn = r.Int(0);
    o.indentStep = r.Int(1);
    std::string wrap(r.Counted());
    if (wrap.size() > 20) wrap.resize(20);
    o.wrapOverride = wrap;
    r.Skip();  // separator
    o.selectedTextColor = clHighlightText;
    o.selectedTextBackground = clHighlight;
    if (layout == 1) {
        o.fontName = "Courier New";
        o.fontSize = 10;
        o.fontCharset = DEFAULT_CHARSET;
    } else {
        o.fontName = std::string(r.Counted());
        o.fontSize = r.Int(10);
        if (layout >= 3) {
            o.selectedTextColor = r.Value32(clHighlightText);
            o.selectedTextBackground = r.Value32(clHighlight);
        }
        if (layout == 4) {
            o.tabColumns = ReadTabColumns(r.Counted());
            r.Skip();  // separator
            o.defaultTabWidth = r.Int(4);
        }
    }
    o.effects = ReadEffects(r);
}

}  // namespace

std::string FormatTabColumns(const TSM_Settings& settings)
{
    std::string s;
    for (int i = 0; i < TSM_Settings::kTabColumns; ++i) {
        const std::int32_t c = settings.TabColumn(i);
        if (c < 0) continue;
        if (!s.empty()) s += ' ';
        s += std::to_string(c + 1);
    }
    return s;
}

std::string FormatEffects(const TSM_Settings& settings)
{
    int defined = 0;
    for (int t = 0; t < 256; ++t)
        if (settings.Style(t).defined) ++defined;
    std::string s = std::to_string(defined == 256 ? 255 : defined);
    if (defined) s += ',';
    for (int t = 0; t < 256; ++t) {
        const StyleRecord& st = settings.Style(t);
        if (!st.defined) continue;
        s += std::to_string(t) + ',' + Signed(st.foreground) + ',' + Signed(st.background) + ',';
        if (st.backgroundDefault) s += 'X';
        if (st.foregroundDefault) s += 'Y';
        if (st.fontStyle & fsBold) s += 'B';
        if (st.fontStyle & fsItalic) s += 'I';
        if (st.fontStyle & fsUnderline) s += 'U';
        s += ';';
    }
    return s;
}

std::string FormatStyleString(const TSM_Settings& s)
{
    const std::string values[24] = {
        Signed(s.options),
        std::to_string(s.gutterWidth),
        Signed(s.gutterColor),
        std::to_string(s.wordWrapColumn),
        std::to_string(s.indentStep),
        s.wrapOverride,
        s.fontName,
        std::to_string(s.fontSize),
        Signed(s.selectedTextColor),
        Signed(s.selectedTextBackground),
        FormatTabColumns(s),
        std::to_string(s.defaultTabWidth),
        FormatEffects(s),
        s.gutterColorDefault ? "1" : "0",
        s.marginColorDefault ? "1" : "0",
        s.selectedTextColorDefault ? "1" : "0",
        s.selectedTextBackgroundDefault ? "1" : "0",
        std::to_string(s.fontCharset),
        std::to_string(s.rightMargin),
        s.gutterFont.name,
        std::to_string(s.gutterFont.size),
        Signed(s.gutterFont.color),
        std::to_string(s.gutterFont.charset),
        FontStyleLetters(s.gutterFont.style),
    };
    std::string out = "Vexmar6:";
    for (int i = 0; i < 24; ++i)
        out += std::string("#") + kTags[i] + '#' + std::to_string(values[i].size()) + '#' + values[i];
    out += "#END#";
    return out;
}

StyleOverrides ParseStyleString(std::string_view text)
{
    if (text.size() < 7 || text.substr(0, 6) != "Vexmar" || text[6] < '1' || text[6] > '9') Invalid();
    StyleOverrides o;
    const int layout = text[6] - '0';
    if (layout >= 5) ReadTagged(text, o);
    else ReadPositional(text, layout, o);
    return o;
}

void ApplyStyleOverrides(const StyleOverrides& o, TSM_Settings& s)
{
    if (o.options) s.options = *o.options;
    if (o.gutterWidth) s.gutterWidth = *o.gutterWidth;
    if (o.gutterColor) s.gutterColor = *o.gutterColor;
    if (o.wordWrapColumn) s.wordWrapColumn = *o.wordWrapColumn;
    if (o.indentStep) s.indentStep = *o.indentStep;
    if (o.wrapOverride) s.wrapOverride = *o.wrapOverride;
    if (o.fontName) s.fontName = *o.fontName;
    if (o.fontSize) s.fontSize = *o.fontSize;
    if (o.selectedTextColor) s.selectedTextColor = *o.selectedTextColor;
    if (o.selectedTextBackground) s.selectedTextBackground = *o.selectedTextBackground;
    if (o.tabColumns) {
        for (int i = 0; i < TSM_Settings::kTabColumns; ++i)
            s.SetTabColumn(
                i, i < static_cast<int>(o.tabColumns->size()) ? (*o.tabColumns)[static_cast<std::size_t>(i)] : -1);
    }
    if (o.defaultTabWidth) s.defaultTabWidth = *o.defaultTabWidth;
    if (o.gutterColorDefault) s.gutterColorDefault = *o.gutterColorDefault;
    if (o.marginColorDefault) s.marginColorDefault = *o.marginColorDefault;
    if (o.selectedTextColorDefault) s.selectedTextColorDefault = *o.selectedTextColorDefault;
    if (o.selectedTextBackgroundDefault) s.selectedTextBackgroundDefault = *o.selectedTextBackgroundDefault;
    if (o.fontCharset) s.fontCharset = *o.fontCharset;
    if (o.rightMargin) s.rightMargin = *o.rightMargin;
    if (o.gutterFontName) s.gutterFont.name = *o.gutterFontName;
    if (o.gutterFontSize) s.gutterFont.size = *o.gutterFontSize;
    if (o.gutterFontColor) s.gutterFont.color = *o.gutterFontColor;
    if (o.gutterFontCharset) s.gutterFont.charset = *o.gutterFontCharset;
    if (o.gutterFontStyle) s.gutterFont.style = *o.gutterFontStyle;
    if (o.effects) {
        for (const StyleEffect& e : *o.effects) {
            StyleRecord st = s.Style(e.token);
            st.fontStyle = e.fontStyle;
            st.foreground = e.foreground;
            st.background = e.background;
            st.foregroundDefault = e.foregroundDefault;
            st.backgroundDefault = e.backgroundDefault;
            st.defined = true;
            s.SetStyle(e.token, st);
        }
    }
    s.stylesChanged = true;
}

}  // namespace tarnwick
