#pragma once
// Tab stops: the TabColumns text of the settings record, the next stop after a column, the
// display column of a character in a display line and back, and the whitespace that fills the
// gap between two columns.
//
// Columns here are 0-based and count tab expansion. A display line is the text of one line
// record: a whole logical line, or one segment of a wrapped one. It ends with its line break (one
// CR) when it closes a logical line; the break occupies no column.

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace tarnwick {

class TSM_Settings;

inline constexpr int kMaxTabStops = 32;

// Messages of a TabColumns text that cannot be used.
namespace msg {
inline constexpr const char* kTabColumnExpected = "Tab stop column value expected";
inline constexpr const char* kTabColumnsOrder = "Tab columns must be in order and unique";
inline constexpr const char* kTabColumnTooSmall = "Tab column must be > 1";
inline constexpr const char* kTooManyTabStops = "Too many tab stops - maximum of ";  // followed by 32
}  // namespace msg

// The stops of a TabColumns text: numbers separated by blanks or semicolons, each the 1-based
// column of a stop, larger than 1 and larger than the one before, at most 32 of them. The result
// holds the stops 0-based, -1 in the unused entries. A number too large for 32 bits counts as the
// largest 32-bit value. Raises EDoravaVizu with one of the messages above.
std::array<std::int32_t, kMaxTabStops> ParseTabColumns(std::string_view text);
// The stops 1-based, separated by single blanks (unused entries skipped); "" without stops.
std::string FormatTabColumns(const std::array<std::int32_t, kMaxTabStops>& stops);

// The TabColumns property of a settings record. Setting parses first, so a bad text raises and
// leaves the record as it was.
void SetTabColumnsText(TSM_Settings& settings, std::string_view text);
std::string TabColumnsText(const TSM_Settings& settings);

// The stops in effect for a view: the explicit stops and the default width beyond them.
struct TabRule {
    static constexpr std::int32_t kFallbackWidth = 4;

    std::array<std::int32_t, kMaxTabStops> stops = UnsetStops();
    // Width of the default stops past the explicit ones. A width below 1 (which the settings
    // record refuses, but a damaged one might hold) counts as kFallbackWidth.
    std::int32_t tabDefault = kFallbackWidth;

    static constexpr std::array<std::int32_t, kMaxTabStops> UnsetStops()
    {
        std::array<std::int32_t, kMaxTabStops> s{};
        s.fill(-1);
        return s;
    }
    static TabRule FromSettings(const TSM_Settings& settings);

    // The first explicit stop greater than `column`; past the explicit stops, the next multiple of
    // the default width. Always greater than `column` (0 for a negative column).
    std::int64_t NextStop(std::int64_t column) const;
    // Whether any explicit stop is set.
    bool HasExplicitStops() const;
};

// Characters of a display line without its closing line break.
std::size_t TextLengthOf(std::string_view line);

// The display column of character `offset` of `line`: tabs advance to the next stop, every other
// character takes one column. An offset at or past the line break gives the column of the end of
// the text; a negative one gives 0. A line without tabs maps offsets to columns one to one.
std::int64_t ColumnOfOffset(std::string_view line, std::int64_t offset, const TabRule& tabs);

// The last offset a column can map to in a display line, its "last character":
//  - a line ending with its line break: the offset of the break (the caret stands before it);
//  - the last line of the text (no break): its length, the end of the text;
//  - an inner segment of a wrapped line (no break, more text follows): its last character,
//    length - 1, because the offset after it is the first character of the next segment.
// An empty line gives 0.
std::int64_t LastOffsetOf(std::string_view line, bool lastLine);

// The offset of the character standing at `column`: the last offset whose column is not past
// `column` (a column inside the width of a tab gives the tab), clamped to LastOffsetOf. For every
// offset k up to LastOffsetOf, OffsetOfColumn(ColumnOfOffset(k)) == k.
std::int64_t OffsetOfColumn(std::string_view line, std::int64_t column, const TabRule& tabs, bool lastLine);

// Whitespace that moves from column `from` to column `to` (nothing when `to` <= `from`):
// `to` - `from` blanks; with both `useTab` and `smartFill`, one tab for every whole stop reached
// from `from` and blanks for the rest.
std::string WhitespaceFiller(std::int64_t from, std::int64_t to, const TabRule& tabs, bool useTab, bool smartFill);

}  // namespace tarnwick
