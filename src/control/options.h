#pragma once
// The editor control's options: the members of its Options set, and where each is kept in the
// settings record's 32-bit option word (whose bit order differs from the set's).

#include <array>
#include <cstdint>

namespace tarnwick {

// ---- options: the members of the Options set, and their bits in the settings record's word

enum VOzuvavIdavOption : int {
    smoSyntaxHighlight,
    smoPrintWrap,
    smoPrintLineNos,
    smoPrintFilename,
    smoPrintDate,
    smoPrintPageNos,
    smoWordWrap,
    smoAutoIndent,
    smoTabToColumn,
    smoWrapOverride,
    smoWordSelect,
    smoShowRMargin,
    smoShowGutter,
    smoShowWrapColumn,
    smoTitleAsFilename,
    smoProcessDroppedFiles,
    smoBlockOverwriteCursor,
    smoShowWrapGlyph,
    smoColumnTrack,
    smoUseTAB,
    smoSmartFill,
    smoOLEDragSource,
    smoCaretAfterEOL,
    smoLineNumbers,
    smoShowAllChars,
};
inline constexpr int kOptionCount = 25;

// A set of VOzuvavIdavOption: bit n stands for member n.
using VOzuvavIdavOptions = std::uint32_t;
constexpr VOzuvavIdavOptions OptionBit(VOzuvavIdavOption o) { return VOzuvavIdavOptions(1) << o; }

// Bits of the option word, by member.
inline constexpr std::array<std::uint32_t, kOptionCount> kOptionWordBits = {
    0x00000010, 0x00000020, 0x00000040, 0x00000080, 0x00000100, 0x00000200, 0x00000400, 0x00000800, 0x00001000,
    0x00002000, 0x00004000, 0x00008000, 0x00010000, 0x00020000, 0x00040000, 0x00080000, 0x00100000, 0x00200000,
    0x00400000, 0x00800000, 0x01000000, 0x02000000, 0x08000000, 0x00000001, 0x04000000,
};
std::uint32_t OptionsToWord(VOzuvavIdavOptions options);
VOzuvavIdavOptions OptionsFromWord(std::uint32_t word);

}  // namespace tarnwick
