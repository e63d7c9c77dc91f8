#include "widgets/key_codes.h"

#include "editor/key_bindings.h"

namespace tarnwick::ui {

std::uint16_t VirtualKeyOf(int key)
{
    if (key >= Qt::Key_A && key <= Qt::Key_Z) return static_cast<std::uint16_t>('A' + (key - Qt::Key_A));
    if (key >= Qt::Key_0 && key <= Qt::Key_9) return static_cast<std::uint16_t>('0' + (key - Qt::Key_0));
    if (key >= Qt::Key_F1 && key <= Qt::Key_F24) return static_cast<std::uint16_t>(vkF1 + (key - Qt::Key_F1));
    switch (key) {
    case Qt::Key_Backspace: return vkBack;
    case Qt::Key_Tab:
    case Qt::Key_Backtab: return vkTab;
    case Qt::Key_Return:
    case Qt::Key_Enter: return vkReturn;
    case Qt::Key_Escape: return 27;
    case Qt::Key_Space: return vkSpace;
    case Qt::Key_PageUp: return vkPrior;
    case Qt::Key_PageDown: return vkNext;
    case Qt::Key_End: return vkEnd;
    case Qt::Key_Home: return vkHome;
    case Qt::Key_Left: return vkLeft;
    case Qt::Key_Up: return vkUp;
    case Qt::Key_Right: return vkRight;
    case Qt::Key_Down: return vkDown;
    case Qt::Key_Insert: return vkInsert;
    case Qt::Key_Delete: return vkDelete;
    case Qt::Key_Pause: return 19;
    case Qt::Key_Print: return 44;
    // The punctuation keys of a US keyboard, for bindings such as Ctrl+[ (VK_OEM_*).
    case Qt::Key_Semicolon: return 0xBA;
    case Qt::Key_Equal: return 0xBB;
    case Qt::Key_Comma: return 0xBC;
    case Qt::Key_Minus: return 0xBD;
    case Qt::Key_Period: return 0xBE;
    case Qt::Key_Slash: return 0xBF;
    case Qt::Key_QuoteLeft: return 0xC0;
    case Qt::Key_BracketLeft: return 0xDB;
    case Qt::Key_Backslash: return 0xDC;
    case Qt::Key_BracketRight: return 0xDD;
    case Qt::Key_Apostrophe: return 0xDE;
    default: return 0;
    }
}

std::uint16_t ShiftBitsOf(Qt::KeyboardModifiers modifiers)
{
    std::uint16_t bits = 0;
    if (modifiers & Qt::ShiftModifier) bits |= scShift;
    if (modifiers & Qt::ControlModifier) bits |= scCtrl;
    if (modifiers & Qt::AltModifier) bits |= scAlt;
    return bits;
}

std::uint16_t KeyCombinationOf(const QKeyEvent& event)
{
    const std::uint16_t key = VirtualKeyOf(event.key());
    if (key == 0) return 0;
    return static_cast<std::uint16_t>(key | ShiftBitsOf(event.modifiers()));
}

}  // namespace tarnwick::ui
