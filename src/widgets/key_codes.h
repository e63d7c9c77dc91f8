#pragma once
// Qt's keys as the editor's key combinations: the Windows virtual-key code in the low byte,
// scShift, scCtrl and scAlt above it.

#include <QKeyEvent>
#include <cstdint>

namespace tarnwick::ui {

// The virtual-key code of a Qt key; 0 for a key that has none (modifier keys, most symbols,
// which arrive as typed characters instead).
std::uint16_t VirtualKeyOf(int qtKey);
std::uint16_t ShiftBitsOf(Qt::KeyboardModifiers modifiers);
// The key combination of a key event; 0 when the key has no virtual-key code.
std::uint16_t KeyCombinationOf(const QKeyEvent& event);

}  // namespace tarnwick::ui
