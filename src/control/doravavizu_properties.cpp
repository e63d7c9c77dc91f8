// The control's properties: the option word and the settings it shows (gutter, margin, tabs,
// wrapping, colours, font) with what each change brings about.

#include "control/doravavizu.h"
#include "editor/editor_errors.h"
#include "editor/tab_stops.h"

namespace tarnwick {

namespace m = control_msg;

// ---------------------------------------------------------------- the option word

std::uint32_t OptionsToWord(VOzuvavIdavOptions options)
{
    std::uint32_t word = 0;
    for (int i = 0; i < kOptionCount; ++i)
        if (options & (VOzuvavIdavOptions(1) << i)) word |= kOptionWordBits[static_cast<std::size_t>(i)];
    return word;
}

VOzuvavIdavOptions OptionsFromWord(std::uint32_t word)
{
    VOzuvavIdavOptions options = 0;
    for (int i = 0; i < kOptionCount; ++i)
        if (word & kOptionWordBits[static_cast<std::size_t>(i)]) options |= VOzuvavIdavOptions(1) << i;
    return options;
}

// ---------------------------------------------------------------- properties

void TCustomDoravaVizu::SetOptions(VOzuvavIdavOptions options)
{
    SetOptionWord((Settings().options & ~OptionsToWord(~VOzuvavIdavOptions(0))) | OptionsToWord(options));
}

void TCustomDoravaVizu::SetOptionWord(std::uint32_t word, bool quiet)
{
    TSM_Settings& s = Settings();
    const std::uint32_t old = s.options;
    if (old == word) return;
    s.options = word;
    const auto changed = [&](VOzuvavIdavOption o) {
        return ((old ^ word) & kOptionWordBits[static_cast<std::size_t>(o)]) != 0;
    };
    if (changed(smoShowGutter)) Resized();
    if (changed(smoWordWrap) || (WordWrap() && changed(smoWrapOverride))) RewrapAll();
    if (changed(smoSyntaxHighlight)) DropAllAttributes();
    if (!HasOption(smoCaretAfterEOL)) beyondEol_ = false;
    Notify(cfOptions);
    if (!quiet) {
        Invalidate();
        FlushChange();
    }
}

void TCustomDoravaVizu::SetGutter(int width)
{
    if (width != 0) {
        const int client = host_ ? host_->ClientWidth() : 0;
        if (client <= 0 || width < 34) return;
        // At most 20 percent of the client width, the percentage rounded to the nearest integer.
        const long long percent = (static_cast<long long>(width) * 100 + client / 2) / client;
        if (percent > 20) return;
    }
    if (Settings().gutterWidth == width) return;
    Settings().gutterWidth = width;
    Resized();
    Invalidate();
}

void TCustomDoravaVizu::SetMargin(int width)
{
    if (width < 0 || width > metrics_.charWidth) return;
    Settings().marginWidth = width;
    Resized();
    Invalidate();
}

void TCustomDoravaVizu::SetIndentStep(int step)
{
    if (step <= 0 || step >= 20) return;
    Settings().indentStep = step;
}

void TCustomDoravaVizu::SetTabDefault(int width)
{
    if (width <= 0) throw EDoravaVizu(m::kTabDefault);
    Settings().defaultTabWidth = width;
    Invalidate();
}

std::string TCustomDoravaVizu::TabColumns() const { return TabColumnsText(Settings()); }

void TCustomDoravaVizu::SetTabColumns(std::string_view text)
{
    SetTabColumnsText(Settings(), text);
    Invalidate();
}

void TCustomDoravaVizu::SetRightMargin(int column)
{
    Settings().rightMargin = column;
    Invalidate();
}

void TCustomDoravaVizu::SetWrapAtColumn(int column)
{
    if (column < 0 || column > 0xFFFF) return;
    if (Settings().wordWrapColumn == column) return;
    Settings().wordWrapColumn = column;
    if (WordWrap()) {
        RewrapAll();
        ScrollCaretIntoView();
        Invalidate();
    }
}

void TCustomDoravaVizu::SetWrapOverride(std::string_view chars)
{
    if (Settings().wrapOverride == chars) return;
    Settings().wrapOverride = std::string(chars);
    if (WordWrap()) RewrapAll();
}

void TCustomDoravaVizu::SetWordWrap(bool on)
{
    const std::uint32_t bit = kOptionWordBits[smoWordWrap];
    SetOptionWord(on ? (OptionWord() | bit) : (OptionWord() & ~bit));
}

void TCustomDoravaVizu::SetGutterColor(TColor c)
{
    Settings().gutterColor = c;
    Invalidate();
}

void TCustomDoravaVizu::SetMarginColor(TColor c)
{
    Settings().marginColor = c;
    Invalidate();
}

void TCustomDoravaVizu::SetSelTextColor(TColor c)
{
    Settings().selectedTextColor = c;
    Invalidate();
}

void TCustomDoravaVizu::SetSelTextBack(TColor c)
{
    Settings().selectedTextBackground = c;
    Invalidate();
}

void TCustomDoravaVizu::SetDefTextColor(TColor c)
{
    StyleRecord style = Settings().Style(0);
    style.foreground = c;
    style.defined = true;
    Settings().SetStyle(0, style);
    Invalidate();
}

void TCustomDoravaVizu::SetDefBackColor(TColor c)
{
    StyleRecord style = Settings().Style(0);
    style.background = c;
    style.defined = true;
    Settings().SetStyle(0, style);
    Invalidate();
}

void TCustomDoravaVizu::SetDefFontStyle(std::uint8_t fontStyle)
{
    StyleRecord style = Settings().Style(0);
    style.fontStyle = fontStyle & (fsBold | fsItalic | fsUnderline | fsStrikeOut);
    style.defined = true;
    Settings().SetStyle(0, style);
    Invalidate();
}

void TCustomDoravaVizu::SetGutterFont(const FontData& font)
{
    Settings().gutterFont = font;
    Invalidate();
}

void TCustomDoravaVizu::SetFont(const std::string& name, int size, int charset)
{
    TSM_Settings& s = Settings();
    s.fontName = name;
    s.fontSize = size;
    s.fontCharset = static_cast<std::uint8_t>(charset);
    MeasureFont();
    Resized();
    DropAllAttributes();
    if (WordWrap()) RewrapAll();
    Notify(cfColours);
    Invalidate();
}

void TCustomDoravaVizu::SetHideSelection(bool hide)
{
    if (hideSelection_ == hide) return;
    hideSelection_ = hide;
    if (anchor_ != caret_) InvalidateRange(anchor_, caret_);
}

void TCustomDoravaVizu::SetModified(bool modified)
{
    if (!modified) UndoStack().Clear();
}
}  // namespace tarnwick
