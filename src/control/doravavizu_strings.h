#pragma once
// VOzuvavIdavStrings: the control's text as a list of lines, addressed from 0, for code that wants
// an ordinary string list. It works only through the control's requests.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "control/doravavizu.h"

namespace tarnwick {

class VOzuvavIdavStrings {
public:
    static constexpr std::size_t kMaxLineText = 4096;

    explicit VOzuvavIdavStrings(TCustomDoravaVizu& control) : c_(control) {}

    // With word wrap, count and address logical lines instead of display lines.
    bool LogicalLines = false;

    // Lines of the text; a document whose only line is empty has none.
    std::int64_t Count() const;
    // Line n without its line break, at most 4096 characters.
    std::string Get(std::int64_t n) const;
    // Replaces the text of line n (its line break stays).
    void Put(std::int64_t n, std::string_view s);
    // Inserts s as a new line n.
    void Insert(std::int64_t n, std::string_view s);
    void Add(std::string_view s) { Insert(Count(), s); }
    // Removes line n with its line break.
    void Delete(std::int64_t n);
    void Clear() { c_.Clear(); }
    // Replaces the whole text (nothing happens when it is the same text).
    void SetText(std::string_view text);
    std::string GetText() const;
    void AddStrings(const std::vector<std::string>& lines);
    void LoadFromStream(TStream& stream) { c_.LoadFromStream(stream); }
    void SaveToStream(TStream& stream) { c_.SaveToStream(&stream); }
    void LoadFromFile(const std::string& name) { c_.LoadFromFile(name); }
    void SaveToFile(const std::string& name) { c_.SaveToFile(name); }
    // Redraw off while the list is changed, back on (and a refresh) at the end.
    void BeginUpdate();
    void EndUpdate();

private:
    // First offset of line n and the offset of its end (before its line break); false when it
    // does not exist.
    bool Bounds(std::int64_t n, std::int64_t& start, std::int64_t& end) const;

    TCustomDoravaVizu& c_;
    int updates_ = 0;
};

}  // namespace tarnwick
