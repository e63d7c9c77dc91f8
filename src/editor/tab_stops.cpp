#include "editor/tab_stops.h"

#include <algorithm>
#include <cstring>
#include <limits>

#include "editor/editor_errors.h"
#include "editor/settings.h"

namespace tarnwick {

// ---- the TabColumns text

std::array<std::int32_t, kMaxTabStops> ParseTabColumns(std::string_view text)
{
    std::array<std::int32_t, kMaxTabStops> stops = TabRule::UnsetStops();
    int count = 0;
    std::int64_t previous = 0;  // 1-based; no stop is at or below 1
    std::size_t i = 0;
    while (i < text.size()) {
        const char c = text[i];
        if (c == ' ' || c == ';') {
            ++i;
            continue;
        }
        if (c < '0' || c > '9') throw EDoravaVizu(msg::kTabColumnExpected);
        std::int64_t value = 0;
        for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i)
            value = std::min<std::int64_t>(value * 10 + (text[i] - '0'), std::numeric_limits<std::int32_t>::max());
        if (count == kMaxTabStops) throw EDoravaVizu(std::string(msg::kTooManyTabStops) + std::to_string(kMaxTabStops));
        if (value <= 1) throw EDoravaVizu(msg::kTabColumnTooSmall);
        if (value <= previous) throw EDoravaVizu(msg::kTabColumnsOrder);
        stops[static_cast<std::size_t>(count++)] = static_cast<std::int32_t>(value - 1);
        previous = value;
    }
    return stops;
}

std::string FormatTabColumns(const std::array<std::int32_t, kMaxTabStops>& stops)
{
    std::string out;
    for (std::int32_t stop : stops) {
        if (stop < 0) continue;
        if (!out.empty()) out += ' ';
        out += std::to_string(static_cast<std::int64_t>(stop) + 1);
    }
    return out;
}

void SetTabColumnsText(TSM_Settings& settings, std::string_view text)
{
    const auto stops = ParseTabColumns(text);
    for (int i = 0; i < kMaxTabStops; ++i) settings.SetTabColumn(i, stops[static_cast<std::size_t>(i)]);
}

std::string TabColumnsText(const TSM_Settings& settings)
{
    std::array<std::int32_t, kMaxTabStops> stops{};
    for (int i = 0; i < kMaxTabStops; ++i) stops[static_cast<std::size_t>(i)] = settings.TabColumn(i);
    return FormatTabColumns(stops);
}

// ---- the rule

TabRule TabRule::FromSettings(const TSM_Settings& settings)
{
    TabRule rule;
    for (int i = 0; i < kMaxTabStops; ++i) rule.stops[static_cast<std::size_t>(i)] = settings.TabColumn(i);
    rule.tabDefault = settings.defaultTabWidth;
    return rule;
}

std::int64_t TabRule::NextStop(std::int64_t column) const
{
    if (column < 0) return 0;
    // The smallest explicit stop past the column; the entries need not be sorted.
    std::int64_t best = -1;
    for (std::int32_t stop : stops)
        if (stop > column && (best < 0 || stop < best)) best = stop;
    if (best >= 0) return best;
    const std::int64_t width = tabDefault >= 1 ? tabDefault : kFallbackWidth;
    return column + width - column % width;
}

bool TabRule::HasExplicitStops() const
{
    return std::any_of(stops.begin(), stops.end(), [](std::int32_t s) { return s >= 0; });
}

// ---- columns and offsets

std::size_t TextLengthOf(std::string_view line)
{
    return !line.empty() && line.back() == '\r' ? line.size() - 1 : line.size();
}

std::int64_t ColumnOfOffset(std::string_view line, std::int64_t offset, const TabRule& tabs)
{
    const std::int64_t n = static_cast<std::int64_t>(TextLengthOf(line));
    offset = std::clamp<std::int64_t>(offset, 0, n);
    const char* p = line.data();
    if (!std::memchr(p, '\t', static_cast<std::size_t>(offset))) return offset;
    std::int64_t column = 0;
    for (std::int64_t i = 0; i < offset; ++i) column = p[i] == '\t' ? tabs.NextStop(column) : column + 1;
    return column;
}

std::int64_t LastOffsetOf(std::string_view line, bool lastLine)
{
    if (line.empty()) return 0;
    if (line.back() == '\r' || lastLine) return static_cast<std::int64_t>(TextLengthOf(line));
    return static_cast<std::int64_t>(line.size()) - 1;
}

std::int64_t OffsetOfColumn(std::string_view line, std::int64_t column, const TabRule& tabs, bool lastLine)
{
    const std::int64_t last = LastOffsetOf(line, lastLine);
    if (column <= 0) return 0;
    const char* p = line.data();
    if (!std::memchr(p, '\t', static_cast<std::size_t>(last))) return std::min(column, last);
    std::int64_t k = 0;
    std::int64_t at = 0;  // column of offset k
    while (k < last) {
        const std::int64_t next = p[k] == '\t' ? tabs.NextStop(at) : at + 1;
        if (next > column) break;
        at = next;
        ++k;
    }
    return k;
}

// ---- whitespace

std::string WhitespaceFiller(std::int64_t from, std::int64_t to, const TabRule& tabs, bool useTab, bool smartFill)
{
    std::string out;
    if (to <= from) return out;
    std::int64_t at = from;
    if (useTab && smartFill) {
        for (std::int64_t next = tabs.NextStop(at); next <= to; next = tabs.NextStop(at)) {
            out += '\t';
            at = next;
        }
    }
    out.append(static_cast<std::size_t>(to - at), ' ');
    return out;
}

}  // namespace tarnwick
