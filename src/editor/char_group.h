#pragma once
// Character groups: sets of the 256 character codes, possibly negated, as used for keyword
// terminators and the parts of token rules; and the manager that stores each distinct group once
// and hands out its index.
//
// Text form of a group (read by TSM_CharGroup::Parse):
//   x         one character
//   a-z       one range (a plain "-" between two characters)
//   [...]     a set of characters and ranges, closed by a plain "]"
//   [^...]    a negated set
// Every character may be written as an escape; letters after the backslash are case-insensitive:
//   \b 8   \e 27   \n 13 (CR, the line break as the text store keeps it)   \r 10   \s space   \t TAB
//   \xHH.. or \uHH..  a code in hexadecimal, as many digits as follow
//   \ooo..            a code in octal, as many digits as follow
//   \c                any other character c stands for itself
// An escaped character is always a plain character: \[ \] \^ \- never open, close, negate or join.
// Inside a set a "-" that cannot join a range (first or last in the set) is a plain "-".
//
// Binary form of a group (little-endian): 32 bytes of members (code c is bit c mod 8 of byte
// c div 8), i32 range count, u8 negated flag, then count ranges of two bytes each (u8 low, u8 high).
// No operation fills the range list, so the count written is always 0.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "editor/byte_set.h"
#include "editor/editor_errors.h"
#include "editor/saved_object.h"

namespace tarnwick {

// One (low, high) entry of a group's range list.
struct CharRange {
    std::uint8_t low = 0;
    std::uint8_t high = 0;
    bool operator==(const CharRange&) const = default;
};

class TSM_CharGroup : public TSM_Base {
public:
    TSM_CharGroup() = default;

    // Empty members, not negated, lowest 255, highest 0.
    void Clear();
    // Adds the codes low..high and widens lowest/highest; a range with high < low adds nothing.
    void AddRange(std::uint8_t low, std::uint8_t high);
    void AddChar(std::uint8_t code) { AddRange(code, code); }
    // Adds every member of `set`; lowest becomes 0 and highest 255.
    void AddSet(const ByteSet& set);

    // Whether the group matches `code`: its member bit, inverted when the group is negated.
    bool Contains(std::uint8_t code) const { return members_.Contains(code) != negated_; }
    // No members and no ranges. A negated empty group is empty too, although it matches every code.
    bool IsEmpty() const { return members_.Empty() && ranges_.empty(); }
    // Same members, same negation, same ranges (lowest and highest are not compared).
    bool Equals(const TSM_CharGroup& other) const;
    bool operator==(const TSM_CharGroup& other) const { return Equals(other); }

    // Reads one group specification from `text` starting at the 1-based `position` and sets
    // `position` to the character after it (text.size() + 1 when the group ends the text).
    // Raises Exception on a malformed specification; then neither the group nor `position`
    // changes. The messages:
    //   "Characters not in correct order for range specifier"   a range such as z-a
    //   "Character specification expected"                      nothing at `position`
    //   "Missing ']' in character specification"                 a set that is not closed
    //   "Incomplete escape sequence in character specification"  a backslash ending the text
    //   "Hexadecimal digits expected after \x"                   (or \u, as written)
    //   "Character code out of range (0..255) in character specification"
    void Parse(std::string_view text, std::size_t& position);

    // The binary form above. Loading replaces the group only when the whole group was read; any
    // ranges in the stream are added to the members, so the range list stays empty. Lowest and
    // highest are not stored: after loading they are the lowest and highest member.
    void SaveToStream(TStream& stream) const override;
    void LoadFromStream(TStream& stream) override;
    std::string ClassName() const override { return "TSM_CharGroup"; }

    const ByteSet& Members() const { return members_; }
    bool Negated() const { return negated_; }
    void SetNegated(bool negated) { negated_ = negated; }
    std::uint8_t Lowest() const { return lowest_; }
    std::uint8_t Highest() const { return highest_; }
    const std::vector<CharRange>& Ranges() const { return ranges_; }

    // Smallest size of a group in a stream: members, range count and negated flag.
    static constexpr std::size_t kMinStreamSize = 32 + 4 + 1;

protected:
    std::unique_ptr<TSM_Base> CreateEmpty() const override { return std::make_unique<TSM_CharGroup>(); }

private:
    ByteSet members_;
    bool negated_ = false;
    std::uint8_t lowest_ = 255;
    std::uint8_t highest_ = 0;
    std::vector<CharRange> ranges_;
};

// Stores each distinct group once; indexes start at 0 and stay valid until Clear or a load.
// Groups are held by pointer, so a reference from Get stays valid while more groups are registered.
class TSM_CharGroupManager {
public:
    // The index of an equal group registered before, or else of a copy of `group` appended now.
    int Register(const TSM_CharGroup& group);
    // Raises EDoravaVizu "Invalid Set ID (%d)" when `index` is outside 0 .. Count() - 1.
    const TSM_CharGroup& Get(int index) const;
    int Count() const { return static_cast<int>(groups_.size()); }
    void Clear();

    // i32 count, then each group in its binary form.
    void SaveToStream(TStream& stream) const;
    // Reads a count and that many groups, registering each (equal groups are stored once). The
    // manager's contents are replaced only when the whole list was read.
    void LoadFromStream(TStream& stream);

private:
    std::vector<std::unique_ptr<TSM_CharGroup>> groups_;
    // Members, negated flag and ranges of each group as bytes, to find an equal group at once.
    std::unordered_map<std::string, int> byKey_;
};

}  // namespace tarnwick
