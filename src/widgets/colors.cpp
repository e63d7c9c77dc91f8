#include "widgets/colors.h"

#include <array>

namespace tarnwick::ui {

namespace {

using G = QPalette::ColorGroup;
using R = QPalette::ColorRole;

// The Windows system colour indexes and the palette roles that stand for them here.
//
//   n  Windows name               palette role
//   0  scroll bar                 Button
//   1  desktop                    Dark
//   2  active caption             Highlight
//   3  inactive caption           Mid
//   4  menu                       Window
//   5  window                     Base
//   6  window frame               Shadow
//   7  menu text                  WindowText
//   8  window text                Text
//   9  caption text               HighlightedText
//  10  active border              Window
//  11  inactive border            Window
//  12  application workspace      Dark
//  13  highlight                  Highlight
//  14  highlight text             HighlightedText
//  15  button face                Button
//  16  button shadow              Dark
//  17  grey text                  Text (disabled group)
//  18  button text                ButtonText
//  19  inactive caption text      WindowText (disabled group)
//  20  button highlight           Light
//  21  3D dark shadow             Shadow
//  22  3D light                   Midlight
//  23  tool tip text              ToolTipText
//  24  tool tip background        ToolTipBase
//  25  (unused)                   Window
//  26  hot-tracked item           Link
//  27  gradient active caption    Highlight
//  28  gradient inactive caption  Mid
//  29  menu highlight             Highlight
//  30  menu bar                   Window
constexpr std::array<SystemColorRole, 31> kSystemColors = {{
    {G::Active, R::Button},
    {G::Active, R::Dark},
    {G::Active, R::Highlight},
    {G::Active, R::Mid},
    {G::Active, R::Window},
    {G::Active, R::Base},
    {G::Active, R::Shadow},
    {G::Active, R::WindowText},
    {G::Active, R::Text},
    {G::Active, R::HighlightedText},
    {G::Active, R::Window},
    {G::Active, R::Window},
    {G::Active, R::Dark},
    {G::Active, R::Highlight},
    {G::Active, R::HighlightedText},
    {G::Active, R::Button},
    {G::Active, R::Dark},
    {G::Disabled, R::Text},
    {G::Active, R::ButtonText},
    {G::Disabled, R::WindowText},
    {G::Active, R::Light},
    {G::Active, R::Shadow},
    {G::Active, R::Midlight},
    {G::Active, R::ToolTipText},
    {G::Active, R::ToolTipBase},
    {G::Active, R::Window},
    {G::Active, R::Link},
    {G::Active, R::Highlight},
    {G::Active, R::Mid},
    {G::Active, R::Highlight},
    {G::Active, R::Window},
}};

}  // namespace

SystemColorRole RoleOfSystemColor(int index)
{
    if (index < 0 || index >= static_cast<int>(kSystemColors.size())) return {G::Active, R::Window};
    return kSystemColors[static_cast<std::size_t>(index)];
}

QColor ToQColor(TColor color, const QPalette& palette)
{
    if (color & clSystem) {
        const SystemColorRole r = RoleOfSystemColor(static_cast<int>(color & 0xFF));
        return palette.color(r.group, r.role);
    }
    return QColor(static_cast<int>(color & 0xFF), static_cast<int>((color >> 8) & 0xFF),
                  static_cast<int>((color >> 16) & 0xFF));
}

TColor FromQColor(const QColor& color)
{
    return static_cast<TColor>(color.red()) | static_cast<TColor>(color.green()) << 8 |
           static_cast<TColor>(color.blue()) << 16;
}

}  // namespace tarnwick::ui
