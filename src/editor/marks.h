#pragma once
// The position markers of a document: numbered bookmarks 0..9, named bookmarks, range marks,
// breakpoints and the execution point. All of them live in the document's TTextStore, so every
// view of the document shares them, and the store moves them on every insertion and deletion.
//
// Numbered bookmark n is bit n of the marks of the record that holds it, so it travels with its
// record and needs no update on edits. The other markers hold character offsets:
// - named bookmarks and range marks are moved once the text has changed;
// - breakpoints follow their lines: the store notes the line extents just before a deletion and
//   shifts them afterwards (NotifyLineShift).
//
// Callbacks fire only once a list is consistent again, so a callback may read or change the lists
// it is told about. A freed marker is handed to its callback while it still exists and is gone
// when the callback returns: keep no pointer to it.

#include <cstdint>
#include <functional>
#include <list>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "editor/saved_object.h"

namespace tarnwick {

class TTextStore;
class TLineRecord;

// ---- numbered bookmarks

inline constexpr int kNumberedBookmarks = 10;
// Bits 0..9 of a record's marks: the numbered bookmarks.
inline constexpr std::uint16_t kNumberedBookmarkMask = 0x03FF;

enum BookmarkSetResult : std::uint8_t {
    bsrSet,      // the bookmark was put on the line
    bsrCleared,  // it was on the line already and has been taken off
    bsrNoLine,   // the line does not exist (an empty document, or past the last record): nothing changed
};

// Sets numbered bookmark `index` (0..9) on the logical line of record `line` (0-based record
// index); `column` is the caret's 0-based column in that record. When the bookmark is on that line
// already it is cleared; otherwise it leaves its old line and goes to the first record of the
// line, replacing any other numbered bookmark there, its column is stored, and `onBookmarkSet`
// (index) fires. Raises EDoravaVizu "Bookmark index range error" for an index outside 0..9.
BookmarkSetResult SetNumberedBookmark(TTextStore& store, int index, std::int64_t line, std::int64_t column,
                                      const std::function<void(int)>& onBookmarkSet = {});
// Takes numbered bookmark `index` off its line. Raises as above.
void ClearNumberedBookmark(TTextStore& store, int index);
// The record holding numbered bookmark `index`, or null when it is not set. Raises as above.
TLineRecord* FindNumberedBookmark(const TTextStore& store, int index);

// Where "go to bookmark" puts the caret: the record index, the column inside that record and the
// character offset.
struct BookmarkTarget {
    std::int64_t line = 0;
    std::int64_t column = 0;
    std::int64_t offset = 0;
};
// The target of numbered bookmark `index`: its line at the stored column, limited to the line's
// length; nothing when the bookmark is not set. Raises as above.
std::optional<BookmarkTarget> NumberedBookmarkTarget(const TTextStore& store, int index);

// ---- named bookmarks

struct NamedBookmark {
    std::string Name;
    std::int64_t Offset = 0;
};

// Named bookmarks: a sorted name list and a list of the same bookmarks sorted by offset (equal
// offsets in the order they were added).
class TCustomBookmarks {
public:
    using FreeEvent = std::function<void(TCustomBookmarks& sender, const std::string& name)>;

    TCustomBookmarks() = default;
    TCustomBookmarks(const TCustomBookmarks&) = delete;
    TCustomBookmarks& operator=(const TCustomBookmarks&) = delete;

    // Called for every bookmark that leaves the list (removed, cleared or deleted with its text).
    FreeEvent OnFree;

    // Adds a bookmark, or moves the one of that name. A negative offset counts as 0.
    void Add(const std::string& name, std::int64_t offset);
    // Removes the bookmark of that name and passes it to OnFree; false when there is none.
    bool Remove(std::string_view name);
    // Passes every bookmark to OnFree and empties the lists.
    void Clear();

    std::optional<std::int64_t> Offset(std::string_view name) const;
    // The first bookmark at or after `offset`, or null.
    const NamedBookmark* Find(std::int64_t offset) const;
    // The bookmarks sorted by offset.
    const std::list<NamedBookmark>& Items() const { return list_; }
    // The names in sorted order.
    std::vector<std::string> Names() const;
    std::size_t Count() const { return list_.size(); }
    bool Empty() const { return list_.empty(); }

    // `count` characters were inserted at `offset`: every bookmark at or after it moves.
    void ShiftOnInsert(std::int64_t count, std::int64_t offset);
    // [start, start + count) was deleted: the bookmarks inside go (OnFree), those after move back.
    void RemoveOrShiftOnDelete(std::int64_t count, std::int64_t start);

private:
    using Node = std::list<NamedBookmark>::iterator;
    void Place(Node node);  // moves `node` to its place by offset
    void FireFree(std::list<NamedBookmark>& gone);

    std::list<NamedBookmark> list_;
    std::map<std::string, Node, std::less<>> names_;
};

// ---- range marks

// Identifies a range mark for as long as it lives; 0 is no mark.
using RangeMarkId = std::uint64_t;

struct RangeMark {
    RangeMarkId Id = 0;
    std::int64_t Start = 0;
    std::int64_t End = 0;  // Start <= End
    std::uint8_t Flags = 0;
    std::uint32_t Tag = 0;
};

// Character ranges with a tag, sorted by start offset. Marks are addressed by id, so a mark that
// was freed is simply not found any more.
class RangeMarkList {
public:
    using MarkEvent = std::function<void(const RangeMark& mark)>;

    RangeMarkList() = default;
    RangeMarkList(const RangeMarkList&) = delete;
    RangeMarkList& operator=(const RangeMarkList&) = delete;

    // A mark moved or changed its length because the text changed.
    MarkEvent OnChange;
    // A mark leaves the list; it still exists during the call.
    MarkEvent OnFree;

    // A new mark over [start, start + length). A negative start or length counts as 0.
    const RangeMark& Add(std::int64_t start, std::int64_t length, std::uint32_t tag);
    // The mark of that id, or null when it has been freed.
    const RangeMark* Get(RangeMarkId id) const;
    // The first mark (by start) that overlaps or touches [start, start + length), or null.
    const RangeMark* Find(std::int64_t start, std::int64_t length) const;
    // Move one end of a mark; the other end follows when needed so that Start <= End, and the
    // mark is re-sorted. False when the id is unknown.
    bool SetStart(RangeMarkId id, std::int64_t start);
    bool SetEnd(RangeMarkId id, std::int64_t end);
    bool SetFlags(RangeMarkId id, std::uint8_t flags);
    bool SetTag(RangeMarkId id, std::uint32_t tag);
    // Removes a mark and passes it to OnFree; false when the id is unknown.
    bool Remove(RangeMarkId id);
    // Removes every mark, each passed to OnFree.
    void Clear();

    const std::list<RangeMark>& Items() const { return list_; }
    std::size_t Count() const { return list_.size(); }
    bool Empty() const { return list_.empty(); }

    // `delta` characters were inserted at `offset`.
    void Inserted(std::int64_t offset, std::int64_t delta);
    // [start, end) was deleted.
    void Deleted(std::int64_t start, std::int64_t end);

private:
    using Node = std::list<RangeMark>::iterator;
    void Place(Node node);
    void Fire(std::list<RangeMark>& freed, const std::vector<RangeMarkId>& changed);

    std::list<RangeMark> list_;
    std::unordered_map<RangeMarkId, Node> byId_;
    RangeMarkId nextId_ = 1;
};

// ---- breakpoints

// How the control draws a line that holds a breakpoint: a gutter glyph and a colour pair
// (0x00BBGGRR values).
struct BreakpointStyle {
    int Glyph = 0;
    std::uint32_t Foreground = 0;
    std::uint32_t Background = 0;
    bool operator==(const BreakpointStyle&) const = default;
};

inline constexpr BreakpointStyle kBreakpointEnabledStyle{11, 0xFFFFFF, 0x0000FF};
inline constexpr BreakpointStyle kBreakpointDisabledStyle{12, 0x00FFFF, 0x008000};
inline constexpr BreakpointStyle kCodeBreakStyle{12, 0xFFFFFF, 0x800000};

class TSM_Breakpoints;

// One breakpoint. Its offset is the first character of its line.
class TSM_BreakpointData {
public:
    using BreakpointEvent = std::function<void(TSM_BreakpointData&)>;

    TSM_BreakpointData(std::int32_t kind, std::int32_t tag, std::string text, bool enabled);
    TSM_BreakpointData(const TSM_BreakpointData&) = delete;
    TSM_BreakpointData& operator=(const TSM_BreakpointData&) = delete;

    // Fired when the breakpoint is freed (Alive() is false by then) and when its state changes.
    BreakpointEvent OnFree;
    BreakpointEvent OnStateChange;

    std::int64_t Offset() const { return offset_; }
    bool Alive() const { return alive_; }
    bool Enabled() const { return enabled_; }
    std::int32_t Kind() const { return kind_; }
    std::int32_t Tag() const { return tag_; }
    const std::string& Text() const { return text_; }
    TSM_Breakpoints* Owner() const { return owner_; }

    // Changes the state: the owner repaints the line and the state-changed callbacks fire.
    // Setting the state it already has does nothing.
    void SetEnabled(bool enabled);

private:
    friend class TSM_Breakpoints;
    friend class TSM_CodeBreak;
    void Destroy();  // clears the alive flag and fires the freed callbacks

    std::int64_t offset_ = 0;
    bool alive_ = true;
    bool enabled_ = true;
    bool doomed_ = false;  // noted before a deletion: its whole line goes
    int notifying_ = 0;    // callbacks of its own are running
    std::int32_t kind_ = 0;
    std::int32_t tag_ = 0;
    std::string text_;
    TSM_Breakpoints* owner_ = nullptr;
};

// The breakpoints of a document, sorted by offset (sorted again lazily before a lookup after
// anything put them out of order).
class TSM_Breakpoints : public TSM_Base {
public:
    // `store` gives the line extents that shifts need; it may be null (then a deletion frees the
    // breakpoints that lie inside it past its start, and keeps the others on their offsets' rules).
    explicit TSM_Breakpoints(const TTextStore* store = nullptr);
    // Frees every breakpoint without callbacks: the set goes with its document, when those who
    // listened may be gone already. Clear() first to be told.
    ~TSM_Breakpoints() override;

    // Wired by the control to OnBreakpointFree and OnBreakpointStateChange.
    TSM_BreakpointData::BreakpointEvent OnBreakpointFree;
    TSM_BreakpointData::BreakpointEvent OnBreakpointStateChange;
    // Asks the control to repaint the line at an offset.
    std::function<void(std::int64_t offset)> OnRepaintLine;

    TSM_BreakpointData& Add(std::int64_t offset, std::int32_t kind, std::int32_t tag, std::string text,
                            bool enabled = true);
    // The breakpoint whose offset equals `offset`, or null.
    virtual TSM_BreakpointData* Find(std::int64_t offset);
    // Moves a breakpoint of this set to another line start; false when it is not one of ours.
    bool SetOffset(TSM_BreakpointData* breakpoint, std::int64_t offset);
    // Frees one breakpoint of this set (freed callbacks, then it is gone); false when it is not one
    // of ours.
    bool Free(TSM_BreakpointData* breakpoint);
    // Frees every breakpoint.
    void Clear();

    std::size_t Count() const { return items_.size(); }
    // The breakpoint at `index` in offset order.
    TSM_BreakpointData* At(std::size_t index);

    // The glyph and colours of a breakpoint at `offset`; nothing when there is none.
    virtual std::optional<BreakpointStyle> LineStyle(std::int64_t offset);

    // Before [start, end) is deleted: notes which breakpoints lose their whole line, while the
    // text still shows the lines.
    virtual void NoteDeletion(std::int64_t start, std::int64_t end);
    // After an insertion (delta > 0) or deletion (delta < 0) at `start`. On insertion, breakpoints
    // after `start` move by delta, and one at `start` stays with the text of its line. On
    // deletion, a breakpoint whose whole line was inside the range is freed, one at or before
    // `start` stays, one whose line start was deleted but not its whole line moves to the start of
    // the line it joined, and those after the range move by delta.
    virtual void Shift(std::int64_t start, std::int64_t delta);

    // Streams: a count, then per breakpoint offset, enabled, kind, tag and text.
    void SaveToStream(TStream& stream) const override;
    void LoadFromStream(TStream& stream) override;
    std::string ClassName() const override { return "TSM_Breakpoints"; }

protected:
    std::unique_ptr<TSM_Base> CreateEmpty() const override { return std::make_unique<TSM_Breakpoints>(); }

    void RepaintLine(std::int64_t offset);
    void NotifyStateChange(TSM_BreakpointData& breakpoint);
    void NotifyFree(TSM_BreakpointData& breakpoint);
    friend class TSM_BreakpointData;

    // The start of the line that a marker whose line start was deleted joins: the line holding
    // `start` (it depends only on the text before `start`, which a deletion leaves alone).
    std::int64_t JoinStart(std::int64_t start) const;
    // Whether the whole line of a marker at `offset` lies inside [start, end): the doom noted
    // before the deletion when `noted`, else worked out from the text as it stands.
    bool LosesLine(const TSM_BreakpointData& breakpoint, std::int64_t start, std::int64_t end, bool noted) const;
    bool WholeLineInside(std::int64_t offset, std::int64_t start, std::int64_t end) const;
    // The new offset of a marker at `offset` (>= start) after `delta` characters were inserted at
    // `start`.
    std::int64_t InsertedOffset(std::int64_t offset, std::int64_t start, std::int64_t delta) const;
    // Whether NoteDeletion saw [start, end); forgets the note.
    bool TakeNote(std::int64_t start, std::int64_t end);

    const TTextStore* store_ = nullptr;
    std::optional<std::pair<std::int64_t, std::int64_t>> noted_;  // the range NoteDeletion saw

    struct SavedBreakpoint {
        std::int64_t offset;
        bool enabled;
        std::int32_t kind;
        std::int32_t tag;
        std::string text;
    };
    static void WriteItem(TStream& stream, std::int64_t offset, bool enabled, std::int32_t kind, std::int32_t tag,
                          std::string_view text);
    static SavedBreakpoint ReadItem(TStream& stream);
    std::vector<SavedBreakpoint> ReadItems(TStream& stream) const;
    void ApplyItems(std::vector<SavedBreakpoint> items);

private:
    friend class TSM_CodeBreak;
    void Sort();
    std::vector<std::unique_ptr<TSM_BreakpointData>>::iterator FirstAtOrAfter(std::int64_t offset);
    // Drops a breakpoint that was freed while one of its own callbacks ran, once they are done.
    void Reap(TSM_BreakpointData* breakpoint);

    std::vector<std::unique_ptr<TSM_BreakpointData>> items_;
    std::vector<std::unique_ptr<TSM_BreakpointData>> freedWhileBusy_;
    bool sorted_ = true;
};

// The execution point: one breakpoint record marking the current execution line. A deletion that
// takes its whole line disables it instead of freeing it.
class TSM_CodeBreak : public TSM_Breakpoints {
public:
    explicit TSM_CodeBreak(const TTextStore* store = nullptr);

    TSM_BreakpointData& Record() { return record_; }
    const TSM_BreakpointData& Record() const { return record_; }
    // Puts the execution point on the line starting at `offset` and enables it.
    void SetExecutionPoint(std::int64_t offset);
    // Disables it.
    void ClearExecutionPoint() { record_.SetEnabled(false); }

    // kCodeBreakStyle when the record is enabled and at `offset`.
    std::optional<BreakpointStyle> LineStyle(std::int64_t offset) override;
    void NoteDeletion(std::int64_t start, std::int64_t end) override;
    void Shift(std::int64_t start, std::int64_t delta) override;

    void SaveToStream(TStream& stream) const override;
    void LoadFromStream(TStream& stream) override;
    std::string ClassName() const override { return "TSM_CodeBreak"; }

protected:
    std::unique_ptr<TSM_Base> CreateEmpty() const override { return std::make_unique<TSM_CodeBreak>(); }

private:
    TSM_BreakpointData record_;
};

// ---- line extents, by the store's records

// First offset of the logical line that holds `offset` (continuation records belong to the line of
// the record before them). At or past the end: the start of the last line, or the character
// count when the text ends with a line break.
std::int64_t LogicalLineStart(const TTextStore& store, std::int64_t offset);
// One past the last character (its CR included) of the logical line that holds `offset`.
std::int64_t LogicalLineEnd(const TTextStore& store, std::int64_t offset);

}  // namespace tarnwick
