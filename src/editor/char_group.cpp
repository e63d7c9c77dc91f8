#include "editor/char_group.h"

#include <utility>

namespace tarnwick {

namespace {

// One character of a specification and whether it was written as an escape. Escaped characters
// never act as "[", "]", "^" or "-".
struct SpecChar {
    std::uint8_t code = 0;
    bool escaped = false;

    bool Is(char c) const { return !escaped && code == static_cast<std::uint8_t>(c); }
};

int DigitValue(char c, int base)
{
    int v = -1;
    if (c >= '0' && c <= '9') v = c - '0';
    else if (c >= 'a' && c <= 'f') v = c - 'a' + 10;
    else if (c >= 'A' && c <= 'F') v = c - 'A' + 10;
    return v < base ? v : -1;
}

// Reads the characters of one group specification from a 0-based offset.
class SpecReader {
public:
    SpecReader(std::string_view text, std::size_t offset) : text_(text), pos_(offset) {}

    bool AtEnd() const { return pos_ >= text_.size(); }
    std::size_t Offset() const { return pos_; }

    // The next character, without moving.
    SpecChar Peek() const
    {
        SpecReader copy = *this;
        return copy.Next();
    }

    // Reads one character, resolving an escape. The caller makes sure the text is not at its end.
    SpecChar Next()
    {
        const char c = text_[pos_++];
        if (c != '\\') return {static_cast<std::uint8_t>(c), false};
        if (AtEnd()) throw Exception("Incomplete escape sequence in character specification");
        const char e = text_[pos_++];
        const char letter = (e >= 'A' && e <= 'Z') ? static_cast<char>(e - 'A' + 'a') : e;
        switch (letter) {
        case 'b': return {8, true};
        case 'e': return {27, true};
        case 'n': return {13, true};
        case 'r': return {10, true};
        case 's': return {' ', true};
        case 't': return {9, true};
        case 'x':
        case 'u':
            if (AtEnd() || DigitValue(text_[pos_], 16) < 0)
                throw Exception(std::string("Hexadecimal digits expected after \\") + e);
            return {Number(16), true};
        default:
            if (DigitValue(e, 8) >= 0) {
                --pos_;
                return {Number(8), true};
            }
            return {static_cast<std::uint8_t>(e), true};
        }
    }

private:
    // Reads every digit of `base` that follows; the value must fit a character code.
    std::uint8_t Number(int base)
    {
        unsigned value = 0;
        bool tooLarge = false;
        for (int d; !AtEnd() && (d = DigitValue(text_[pos_], base)) >= 0; ++pos_) {
            value = value * static_cast<unsigned>(base) + static_cast<unsigned>(d);
            if (value > 255) {
                tooLarge = true;
                value = 0;  // keeps the arithmetic small while the remaining digits are read
            }
        }
        if (tooLarge) throw Exception("Character code out of range (0..255) in character specification");
        return static_cast<std::uint8_t>(value);
    }

    std::string_view text_;
    std::size_t pos_;
};

// Reads a character or a range "a-b" whose first character has been read already. A "-" joins a
// range only when a character follows it that is not the plain `closing` character (a "]" inside
// a set; outside a set every character may end a range).
void AddItem(TSM_CharGroup& group, SpecReader& reader, SpecChar first, bool inSet)
{
    if (!reader.AtEnd() && reader.Peek().Is('-')) {
        SpecReader after = reader;
        after.Next();  // the "-"
        if (!after.AtEnd() && !(inSet && after.Peek().Is(']'))) {
            const SpecChar last = after.Next();
            if (last.code < first.code) throw Exception("Characters not in correct order for range specifier");
            group.AddRange(first.code, last.code);
            reader = after;
            return;
        }
    }
    group.AddChar(first.code);
}

std::string GroupKey(const TSM_CharGroup& group)
{
    std::string key(group.Members().bytes.begin(), group.Members().bytes.end());
    key += group.Negated() ? '\1' : '\0';
    for (const CharRange& r : group.Ranges()) {
        key += static_cast<char>(r.low);
        key += static_cast<char>(r.high);
    }
    return key;
}

}  // namespace

// ---- TSM_CharGroup

void TSM_CharGroup::Clear()
{
    members_.Clear();
    negated_ = false;
    lowest_ = 255;
    highest_ = 0;
    ranges_.clear();
}

void TSM_CharGroup::AddRange(std::uint8_t low, std::uint8_t high)
{
    if (high < low) return;
    members_.IncludeRange(low, high);
    if (low < lowest_) lowest_ = low;
    if (high > highest_) highest_ = high;
}

void TSM_CharGroup::AddSet(const ByteSet& set)
{
    members_ |= set;
    lowest_ = 0;
    highest_ = 255;
}

bool TSM_CharGroup::Equals(const TSM_CharGroup& other) const
{
    return members_ == other.members_ && negated_ == other.negated_ && ranges_ == other.ranges_;
}

void TSM_CharGroup::Parse(std::string_view text, std::size_t& position)
{
    if (position < 1 || position > text.size()) throw Exception("Character specification expected");
    TSM_CharGroup group;
    SpecReader reader(text, position - 1);
    const SpecChar first = reader.Next();
    if (!first.Is('[')) {
        AddItem(group, reader, first, false);
    } else {
        if (!reader.AtEnd() && reader.Peek().Is('^')) {
            reader.Next();
            group.negated_ = true;
        }
        for (;;) {
            if (reader.AtEnd()) throw Exception("Missing ']' in character specification");
            const SpecChar c = reader.Next();
            if (c.Is(']')) break;
            AddItem(group, reader, c, true);
        }
    }
    *this = std::move(group);
    position = reader.Offset() + 1;
}

void TSM_CharGroup::SaveToStream(TStream& stream) const
{
    WriteSet32(stream, members_);
    WriteI32(stream, static_cast<std::int32_t>(ranges_.size()));
    WriteU8(stream, negated_ ? 1 : 0);
    for (const CharRange& r : ranges_) {
        WriteU8(stream, r.low);
        WriteU8(stream, r.high);
    }
}

void TSM_CharGroup::LoadFromStream(TStream& stream)
{
    TSM_CharGroup group;
    group.members_ = ReadSet32(stream);
    const std::int32_t rangeCount = ReadI32(stream);
    group.negated_ = ReadU8(stream) != 0;
    if (rangeCount < 0 || static_cast<std::int64_t>(rangeCount) * 2 > stream.Remaining())
        throw EStreamError("Invalid count " + std::to_string(rangeCount) + " in stream");
    for (std::int32_t i = 0; i < rangeCount; ++i) {
        const std::uint8_t low = ReadU8(stream);
        const std::uint8_t high = ReadU8(stream);
        if (high < low) throw EStreamError("Invalid character range in stream");
        group.members_.IncludeRange(low, high);
    }
    const auto& bytes = group.members_.bytes;
    for (unsigned i = 0; i < bytes.size(); ++i) {
        if (bytes[i]) {
            group.lowest_ = static_cast<std::uint8_t>(i * 8 + static_cast<unsigned>(__builtin_ctz(bytes[i])));
            break;
        }
    }
    for (unsigned i = bytes.size(); i-- > 0;) {
        if (bytes[i]) {
            group.highest_ = static_cast<std::uint8_t>(i * 8 + 31 - static_cast<unsigned>(__builtin_clz(bytes[i])));
            break;
        }
    }
    *this = std::move(group);
}

// ---- TSM_CharGroupManager

int TSM_CharGroupManager::Register(const TSM_CharGroup& group)
{
    std::string key = GroupKey(group);
    if (auto found = byKey_.find(key); found != byKey_.end()) return found->second;
    auto copy = std::make_unique<TSM_CharGroup>(group);
    const int index = Count();
    groups_.push_back(std::move(copy));
    byKey_.emplace(std::move(key), index);
    return index;
}

const TSM_CharGroup& TSM_CharGroupManager::Get(int index) const
{
    if (index < 0 || index >= Count()) throw EDoravaVizu("Invalid Set ID (" + std::to_string(index) + ")");
    return *groups_[static_cast<std::size_t>(index)];
}

void TSM_CharGroupManager::Clear()
{
    groups_.clear();
    byKey_.clear();
}

void TSM_CharGroupManager::SaveToStream(TStream& stream) const
{
    WriteI32(stream, Count());
    for (const auto& group : groups_) group->SaveToStream(stream);
}

void TSM_CharGroupManager::LoadFromStream(TStream& stream)
{
    TSM_CharGroupManager loaded;
    const std::int32_t count = ReadCount(stream, TSM_CharGroup::kMinStreamSize);
    TSM_CharGroup group;
    for (std::int32_t i = 0; i < count; ++i) {
        group.LoadFromStream(stream);
        loaded.Register(group);
    }
    *this = std::move(loaded);
}

}  // namespace tarnwick
