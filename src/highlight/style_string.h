#pragma once
// The style string: the user's overrides of a settings record's options, colours, fonts, tab
// columns and token styles as one text, kept in the registry ("Highlighting - " + language).
//
// Written form (layout 6): "Vexmar6:" then, per tag, "#TAG#<length>#<value>", and "#END#".
// Readers also take the tagged layouts 5..9 and the older positional layouts 1..4.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "editor/settings.h"

namespace tarnwick {

inline constexpr const char* kInvalidStyleString = "Invalid data in style string";

// One entry of the effects list: how the tokens of one value are drawn.
struct StyleEffect {
    std::uint8_t token = 255;
    TColor foreground = clBlack;
    TColor background = clWhite;
    std::uint8_t fontStyle = 0;  // fsBold, fsItalic, fsUnderline
    bool foregroundDefault = false;
    bool backgroundDefault = false;
    bool operator==(const StyleEffect&) const = default;
};

// What a style string sets; fields it does not name stay unset and leave the record as it is.
struct StyleOverrides {
    std::optional<std::uint32_t> options;
    std::optional<std::int32_t> gutterWidth, wordWrapColumn, indentStep, fontSize, defaultTabWidth, rightMargin;
    std::optional<TColor> gutterColor, selectedTextColor, selectedTextBackground;
    std::optional<std::string> wrapOverride, fontName;
    // Tab stops, 0-based, ascending; applied over all 32 columns.
    std::optional<std::vector<std::int32_t>> tabColumns;
    std::optional<std::vector<StyleEffect>> effects;
    std::optional<bool> gutterColorDefault, marginColorDefault, selectedTextColorDefault, selectedTextBackgroundDefault;
    std::optional<std::uint8_t> fontCharset;
    std::optional<std::string> gutterFontName;
    std::optional<std::int32_t> gutterFontSize;
    std::optional<TColor> gutterFontColor;
    std::optional<std::uint8_t> gutterFontCharset, gutterFontStyle;
};

// The style string of `settings` (layout 6).
std::string FormatStyleString(const TSM_Settings& settings);
// The effects list of `settings` (the value of the "EFF" tag).
std::string FormatEffects(const TSM_Settings& settings);
// The tab columns of `settings` in their text form: 1-based columns separated by single blanks.
std::string FormatTabColumns(const TSM_Settings& settings);

// Reads a style string of any layout. Raises EDoravaVizu "Invalid data in style string" when it
// cannot be read; nothing is changed by reading.
StyleOverrides ParseStyleString(std::string_view text);

// Writes the overrides into `settings`. Effects change only the style bits and the default flags
// of each named token value (its hot-spot flag is kept) and mark the style as defined.
void ApplyStyleOverrides(const StyleOverrides& overrides, TSM_Settings& settings);

}  // namespace tarnwick
