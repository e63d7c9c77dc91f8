#pragma once
// Colours of the editor's settings (0x00BBGGRR, or 0x80000000 + n for system colour n) as Qt
// colours. The system colours are the desktop's: each index is read from a role of the palette.

#include <QColor>
#include <QPalette>

#include "editor/settings.h"

namespace tarnwick::ui {

// The palette role of system colour n, and its colour group, as listed in colors.cpp.
struct SystemColorRole {
    QPalette::ColorGroup group;
    QPalette::ColorRole role;
};
SystemColorRole RoleOfSystemColor(int index);

QColor ToQColor(TColor color, const QPalette& palette);

// The other way round, for colours picked in dialogs.
TColor FromQColor(const QColor& color);

}  // namespace tarnwick::ui
