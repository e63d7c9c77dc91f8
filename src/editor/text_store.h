#pragma once
// The text of one document: a sequence of line records, read and changed by character offset
// or by line index.
//
// Every line break is stored as one CR and counts as one position. A logical line is held in one
// record while it is shorter than 2048 characters; a longer one is cut into records of at most
// 2047 characters, of which only the last ends with CR and every later one carries the
// continuation mark 0x1000 in its marks.
//
// Records live in blocks of a few hundred, and a small index over the blocks (line and character
// counts) finds the record of an offset or a line index in logarithmic time; an edit touches
// only the records and the block it changes. A record stays where it is (its address does not
// change) until an edit replaces or frees it.

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "editor/line_pool.h"
#include "editor/undo_stack.h"

namespace tarnwick {

class TTextStore;
struct TextBlock;
class TCustomBookmarks;
class RangeMarkList;
class TSM_Breakpoints;
class TSM_CodeBreak;

// Bits of a record's flags.
inline constexpr std::uint32_t lfRepaint = 0x01;          // text created or changed: repaint needed
inline constexpr std::uint32_t lfAttributesStale = 0x02;  // text created or changed: re-highlight needed
inline constexpr std::uint32_t lfHasTab = 0x04;           // the text contains a TAB
inline constexpr std::uint32_t lfRehighlightFrom = 0x10;  // re-highlight from this line on
// Set by the highlighter: a token read at or before the line's end looked into a later line, so a
// re-highlighting pass may not restart inside this line.
inline constexpr std::uint32_t lfLooksPastEnd = 0x20;

// Bit of a record's marks: the record continues the logical line of the record before it.
inline constexpr std::uint16_t kContinuationMark = 0x1000;

// An object the editor control attaches to a line. It keeps a pointer back to its record and
// moves to the new record when the line is rebuilt; the store owns it.
class LineAttachment {
public:
    virtual ~LineAttachment() = default;
    class TLineRecord* Record = nullptr;
};

// One stored line, or one segment of a long logical line.
class TLineRecord {
public:
    // Characters in the record, the closing CR included.
    std::uint16_t Length() const { return length_; }
    // The characters, followed by a zero byte.
    const char* Text() const { return text_; }
    std::string_view View() const { return {text_, length_}; }
    bool EndsWithBreak() const { return length_ > 0 && text_[length_ - 1] == '\r'; }

    // One highlighter token value per character, or null when the line is not highlighted yet.
    const std::uint8_t* Attributes() const
    {
        return hasAttributes_ ? reinterpret_cast<const std::uint8_t*>(text_ + length_ + 1) : nullptr;
    }

    std::uint32_t Flags() const { return flags_; }
    void SetFlags(std::uint32_t flags) { flags_ = static_cast<std::uint8_t>(flags); }
    std::uint16_t Marks() const { return marks_; }
    void SetMarks(std::uint16_t marks) { marks_ = marks; }
    bool IsContinuation() const { return marks_ & kContinuationMark; }
    std::uint16_t MarkData() const { return markData_; }
    void SetMarkData(std::uint16_t data) { markData_ = data; }
    // Highlighter states at the start and the end of the line; -1 when unknown.
    std::int32_t StateIn() const { return stateIn_; }
    void SetStateIn(std::int32_t state) { stateIn_ = static_cast<std::int16_t>(state); }
    std::int32_t StateOut() const { return stateOut_; }
    void SetStateOut(std::int32_t state) { stateOut_ = static_cast<std::int16_t>(state); }

private:
    friend class TTextStore;
    TLineRecord() = default;

    TextBlock* block_ = nullptr;
    char* text_ = nullptr;  // `capacity_` bytes: the text, a zero byte, then the attributes if any
    std::uint16_t length_ = 0;
    std::uint16_t capacity_ = 0;
    std::uint16_t marks_ = 0;
    std::uint16_t markData_ = 0;
    std::int16_t stateIn_ = -1;
    std::int16_t stateOut_ = -1;
    std::uint16_t slot_ = 0;  // position in its block
    std::uint8_t flags_ = 0;
    std::uint8_t hasAttributes_ = 0;
};

enum TSelLineStyle : std::uint8_t { lsCRLF = 0, lsLF = 1 };

// Told of the changes of a store: the views showing it and the mark sets kept beside it.
class TextStoreListener {
public:
    virtual ~TextStoreListener() = default;
    // Before the character count changes: `length` characters are inserted at `offset`. (A text
    // appended after the last line is built first, so its length is known.)
    virtual void TextInserting(std::int64_t /*offset*/, std::int64_t /*length*/) {}
    // Before the text changes: the range [start, end) is about to be deleted.
    virtual void TextDeleting(std::int64_t /*start*/, std::int64_t /*end*/) {}
    // After the change: `delta` characters were inserted (> 0) or deleted (< 0) at `offset`.
    virtual void TextChanged(std::int64_t /*offset*/, std::int64_t /*delta*/) {}
    // After the change, for the line-based marks (breakpoints and the like).
    virtual void LineShift(std::int64_t /*start*/, std::int64_t /*delta*/) {}
    // The store's undo log was found broken and has been cleared. A view that sounds the beep for
    // it returns true; the store asks its views in order until one does.
    virtual bool UndoLogBroken() { return false; }
    // After the records of lines [firstLine, firstLine + oldCount) were cut anew into `newCount`
    // records holding the same text (word wrap on or off). No character moved, so there is no
    // TextChanged and no LineShift; only the line indexes from `firstLine` on changed, by
    // newCount - oldCount. A whole-document re-wrap reports (0, old line count, new line count).
    virtual void LinesRewrapped(std::int64_t /*firstLine*/, std::int64_t /*oldCount*/, std::int64_t /*newCount*/) {}
};

// Where an offset or a line index was found: the record, its line index and its first offset.
// `record` is null for a position past the last record.
struct LinePosition {
    TLineRecord* record = nullptr;
    std::int64_t line = 0;
    std::int64_t offset = 0;
};

// What re-cutting logical lines did: the first line index of the (first) logical line, and its
// record counts before and after. Equal counts with nothing rebuilt when the cut was the same.
struct RewrapResult {
    std::int64_t firstLine = 0;
    std::int64_t oldCount = 0;
    std::int64_t newCount = 0;
    bool changed = false;
};

// Chooses the record lengths of one logical line: gets the line's text (its closing CR included
// when it has one) and appends the lengths to `segments`, which arrives empty. The lengths must be
// 1..2047 each and add up to the text's length.
using SegmentCutter = std::function<void(std::string_view line, std::vector<std::uint16_t>& segments)>;

// Puts text in the form the store holds: CR LF, LF CR, a lone CR and a lone LF each become one
// CR; TAB and the characters from 32 up are kept; every other control character becomes ".".
std::string NormalizeText(std::string_view text);

class TTextStore {
public:
    static constexpr std::size_t kMaxRecordLength = 2047;

    TTextStore();
    ~TTextStore();
    TTextStore(const TTextStore&) = delete;
    TTextStore& operator=(const TTextStore&) = delete;

    // ---- counts

    std::int64_t LineCount() const { return lineCount_; }
    std::int64_t CharCount() const { return charCount_; }
    std::int32_t LongestLine() const { return longestLine_; }

    // ---- records

    TLineRecord* FirstLine() const;
    TLineRecord* LastLine() const;
    TLineRecord* Next(const TLineRecord* record) const;
    TLineRecord* Prev(const TLineRecord* record) const;

    // The record holding `offset` (0 <= offset < CharCount()); past the end, a position with a
    // null record, line LineCount() and offset CharCount().
    LinePosition FromOffset(std::int64_t offset) const;
    // The record of line `index` (0-based); past the end, as above.
    LinePosition FromLine(std::int64_t index) const;
    std::int64_t IndexOf(const TLineRecord* record) const;
    // The 0-based logical line (text between two line breaks) that record `line` belongs to: the
    // number of records before it that end with a line break.
    std::int64_t LogicalLineOf(std::int64_t line) const;
    // The reverse: the index of the first record of the 0-based logical line `logical` (the
    // record after the `logical`-th record that ends with a line break). 0 for a logical line
    // below 1; LineCount() when the text has no such line, which is also the empty line after a
    // closing line break.
    std::int64_t FirstLineOfLogical(std::int64_t logical) const;
    std::int64_t OffsetOf(const TLineRecord* record) const;
    // First offset of the record plus the column, the column limited to the record's length.
    std::int64_t RecordColumnToOffset(const TLineRecord* record, std::int64_t column) const;

    // Gives the record room for highlighter attributes (one byte per character) and returns it.
    std::uint8_t* AllocateAttributes(TLineRecord* record);
    void DropAttributes(TLineRecord* record);

    // The object attached to a line, owned by the store.
    LineAttachment* LineObject(const TLineRecord* record) const;
    void SetLineObject(TLineRecord* record, std::unique_ptr<LineAttachment> object);

    // ---- the view cache: the record at which the view last positioned itself

    TLineRecord* CachedLine() const { return cached_.record; }
    // The cached record with its line index and first offset as they are now.
    const LinePosition& CachedPosition() const;
    void SetCachedLine(TLineRecord* record);
    void InvalidateCache() { cached_ = {}; }

    // ---- text

    // Inserts `text` (normalised first) at `offset` (0 <= offset <= CharCount()).
    void Insert(std::int64_t offset, std::string_view text);
    // Deletes the characters [start, end).
    void Delete(std::int64_t start, std::int64_t end);
    // Replaces the whole text.
    void SetText(std::string_view text);
    void Clear();
    // The stored text (line breaks as CR) of [start, end), or all of it.
    std::string Text() const;
    std::string TextRange(std::int64_t start, std::int64_t end) const;
    // Copies up to `count` characters from `offset` into `out`, walking the blocks directly (the
    // fast path of searches that read the text window by window). Returns the count copied.
    std::size_t CopyText(std::int64_t offset, char* out, std::size_t count) const;

    // ---- re-cutting logical lines into records (word wrap)
    //
    // The text stays as it is; only the records of a logical line are cut anew. The new records
    // carry the characters and the attribute bytes of the old ones, split at the new cuts, and are
    // flagged for repaint (and as stale where the old ones were, or where attribute bytes were
    // missing for part of a record). The first record keeps the line's marks, mark data, state in
    // and line object, and takes the numbered bookmark bits of all old records of the line; every
    // later one carries the continuation mark. Other mark bits, mark data and line objects of a
    // later old record go to the new record that holds that old record's first character (a line
    // object only when that record has none yet; otherwise it is dropped). The view cache moves
    // the same way. Character offsets do not change, so named bookmarks, range marks and
    // bookmark columns stay valid; a breakpoint or the execution point that no longer stands at
    // the start of a record moves to the start of its logical line. Listeners hear
    // LinesRewrapped. A line whose new cut equals its current one is left untouched.

    // Cuts the logical line holding record `line` (any of its records) into records of the given
    // lengths. Raises std::invalid_argument, changing nothing, when the lengths do not fit the line.
    // A line index outside the text changes nothing.
    RewrapResult RebuildLine(std::int64_t line, std::span<const std::uint16_t> segments);
    // The same with the lengths chosen by `cut`.
    RewrapResult RewrapLine(std::int64_t line, const SegmentCutter& cut);
    // Every logical line, in one pass over the records; the index is rebuilt once at the end. When
    // `cut` raises or gives lengths that do not fit a line, that line (and, after an exception,
    // every later one) keeps its records; the store is left consistent and the error is raised
    // afterwards (std::invalid_argument for bad lengths).
    RewrapResult RewrapAll(const SegmentCutter& cut);

    // ---- what belongs to the document rather than to a view

    // The transaction log of the document, created with the store: every view of the store
    // records into it and replays from it.
    TUndoStack& UndoStack() { return *undo_; }
    const TUndoStack& UndoStack() const { return *undo_; }
    // Puts `log` in place of the store's log (a new empty one when null) and hands back the old
    // one. Putting the log in place again changes nothing and hands back null.
    std::unique_ptr<TUndoStack> ExchangeUndoStack(std::unique_ptr<TUndoStack> log);

    TSelLineStyle LineStyle() const { return lineStyle_; }
    void SetLineStyle(TSelLineStyle style) { lineStyle_ = style; }
    // Column (1-based) of numbered bookmark 0..9; 0 when not set.
    std::uint16_t BookmarkColumn(int index) const;
    void SetBookmarkColumn(int index, std::uint16_t column);
    std::vector<std::string>& Names() { return names_; }

    // The position markers of the document (numbered bookmarks are bits of the records' marks).
    // The store moves them on every insertion and deletion.
    TCustomBookmarks& Bookmarks() { return *bookmarks_; }
    const TCustomBookmarks& Bookmarks() const { return *bookmarks_; }
    TSM_Breakpoints& Breakpoints() { return *breakpoints_; }
    TSM_CodeBreak& CodeBreaks() { return *codeBreaks_; }
    // The range marks, created on first use; RangeMarksIfAny is null until then.
    RangeMarkList& RangeMarks();
    RangeMarkList* RangeMarksIfAny() const { return rangeMarks_.get(); }

    // The views (and mark sets) told of every change; each is added once.
    void AddView(TextStoreListener* view);
    void RemoveView(TextStoreListener* view);
    const std::vector<TextStoreListener*>& Views() const { return views_; }
    // Forwards a line shift to the breakpoints, the execution point and every listener; called
    // after every insertion and deletion.
    void NotifyLineShift(std::int64_t start, std::int64_t delta);

    // Bytes the store keeps beside the characters themselves, for measurements.
    std::size_t OverheadBytes() const;

private:
    TLineRecord* NewRecord(std::string_view text, std::uint32_t flags, bool withBreak = false);
    void FreeRecord(TLineRecord* record);
    void SetRecordText(TLineRecord* record, std::string_view text);
    void MoveLineObject(const TLineRecord* from, TLineRecord* to);
    void HandOver(TLineRecord* from, TLineRecord* head);
    void EditDone(std::int64_t offset, std::int64_t delta, bool emptied = false);
    // AppendToBlocks, SlotOf, At and UpdateIndex are defined in text_blocks.h, for the store's files to inline.
    static inline void AppendToBlocks(std::vector<std::unique_ptr<TextBlock>>& blocks, TLineRecord* record);
    template <class Emit>
    void MakeRecords(std::string_view text, bool firstIsContinuation, Emit&& emit);
    std::vector<TLineRecord*> MakeRecords(std::string_view text, bool firstIsContinuation);
    std::int64_t AppendRecords(std::string_view text);
    void ReplaceRecords(std::int64_t firstLine, std::int64_t removeCount, std::vector<TLineRecord*>& added);
    void MergeSmallBlocks();
    void ReindexFrom(TextBlock* block, std::size_t slot);
    inline std::size_t SlotOf(const TLineRecord* record) const;
    static inline TLineRecord* At(const TextBlock* block, std::size_t slot);
    void RebuildIndex();
    inline void UpdateIndex(const TextBlock* block, std::int64_t lineDelta, std::int64_t charDelta);
    std::size_t BlockOfLine(std::int64_t& line) const;
    std::size_t BlockOfOffset(std::int64_t& offset) const;
    std::int64_t LinesBefore(std::size_t block) const;
    std::int64_t CharsBefore(std::size_t block) const;
    void NoteLength(std::size_t length);
    void ForgetLength(std::size_t length);
    void UpdateLongestLine();
    void MarksInserted(std::int64_t offset, std::int64_t count);
    void MarksDeleting(std::int64_t start, std::int64_t end);
    void MarksDeleted(std::int64_t start, std::int64_t end, bool emptied);
    struct JoinedLine;
    void JoinLine(const std::vector<TLineRecord*>& records, JoinedLine& joined) const;
    void RecutRecords(const std::vector<TLineRecord*>& old, const JoinedLine& joined,
                      std::span<const std::uint16_t> segments, std::vector<TLineRecord*>& added,
                      TLineRecord*& cacheTarget);
    RewrapResult RebuildCollected(std::int64_t firstLine, const std::vector<TLineRecord*>& old,
                                  const JoinedLine& joined, std::span<const std::uint16_t> segments);
    std::int64_t CollectLogicalLine(std::int64_t line, std::vector<TLineRecord*>& records) const;
    void SnapBreakpoints(std::int64_t start, std::int64_t end);

    LinePool pool_;
    std::vector<std::unique_ptr<TextBlock>> blocks_;
    // Fenwick trees over the blocks: line and character counts.
    std::vector<std::int64_t> fenLines_;
    std::vector<std::int64_t> fenChars_;

    std::int64_t lineCount_ = 0;
    std::int64_t charCount_ = 0;
    std::int32_t longestLine_ = 1;
    std::vector<std::uint32_t> lengthCounts_;  // records per length
    std::int64_t maxLength_ = 0;
    mutable LinePosition cached_;
    std::vector<TextStoreListener*> views_;
    std::array<std::uint16_t, 10> bookmarkColumns_{};
    std::vector<std::string> names_;
    TSelLineStyle lineStyle_ = lsCRLF;
    std::unordered_map<const TLineRecord*, std::unique_ptr<LineAttachment>> lineObjects_;
    std::unique_ptr<TUndoStack> undo_;
    // Last, so that they go first: their callbacks may still read the text.
    std::unique_ptr<TCustomBookmarks> bookmarks_;
    std::unique_ptr<RangeMarkList> rangeMarks_;
    std::unique_ptr<TSM_Breakpoints> breakpoints_;
    std::unique_ptr<TSM_CodeBreak> codeBreaks_;
};

}  // namespace tarnwick
