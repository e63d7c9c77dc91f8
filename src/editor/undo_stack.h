#pragma once
// The transaction log of a document: a list of small records with a movable cursor. Records at or
// below the cursor can be undone, records above it can be redone, and writing a new transaction
// discards everything above the cursor. The same log tells whether the document changed since it
// was last saved.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "editor/streams.h"

namespace tarnwick {

// A doubly linked list of entries with a cursor (the newest entry that is done). Items are owned
// by the stack while they are in it; every item it discards goes through `FreeItem`.
class TStack {
public:
    struct Entry {
        void* item = nullptr;
        std::int64_t size = 0;  // payload size counted for the item
        Entry* previous = nullptr;
        Entry* next = nullptr;
        std::uint64_t serial = 0;  // unique for the life of the stack; never reused
    };

    // Bookkeeping counted per entry on top of its payload.
    static constexpr std::int64_t kEntryOverhead = 16;

    TStack() = default;
    TStack(const TStack&) = delete;
    TStack& operator=(const TStack&) = delete;
    virtual ~TStack();

    // Adds an item above the cursor; whatever was above the cursor is discarded first.
    void Push(void* item, std::int64_t payloadSize);
    // Removes the top entry and returns its item (the caller owns it). "Stack underflow" when empty.
    void* Pop();
    // Undoes one record: returns the item at the cursor and moves the cursor down.
    void* StepBack();
    // Redoes one record: moves the cursor up and returns the item there.
    void* StepForward();

    bool CanRedo() const { return top_ != nullptr && cursor_ != top_; }
    void* TopItem() const { return top_ ? top_->item : nullptr; }
    void* CursorItem() const { return cursor_ ? cursor_->item : nullptr; }
    bool Empty() const { return top_ == nullptr; }

    Entry* Bottom() const { return bottom_; }
    Entry* Cursor() const { return cursor_; }
    Entry* Top() const { return top_; }
    std::int64_t TotalSize() const { return totalSize_; }
    std::int64_t DoneCount() const { return doneCount_; }
    std::int64_t Count() const { return count_; }

    std::function<void(void*)> FreeItem;

protected:
    // Discards every entry through `FreeItem`.
    void DiscardAll();
    // Removes the bottom entry and returns its item (the caller owns it); sets `wasDone` when the
    // entry was at or below the cursor.
    void* RemoveBottom(bool& wasDone);

private:
    void Release(void* item);
    void Unlink(Entry* entry);
    // Unlinks and frees the entry, and returns its item (the caller owns it).
    void* Detach(Entry* entry);

    Entry* bottom_ = nullptr;
    Entry* cursor_ = nullptr;
    Entry* top_ = nullptr;
    std::int64_t totalSize_ = 0;
    std::int64_t doneCount_ = 0;
    std::int64_t count_ = 0;
    std::uint64_t nextSerial_ = 1;
};

// Kinds of log records.
enum class LogKind : std::int32_t { Selection = 0, Text = 1, Stream = 4, Marker = 5 };

// Tags of marker records.
inline constexpr std::int32_t kMarkerTransaction = 0;
inline constexpr std::int32_t kMarkerGroupOpen = 2;
inline constexpr std::int32_t kMarkerGroupClose = 3;

// Transaction codes. Codes from kFirstCaretGroup on are caret groups; the command that opens one
// chooses the code, and only equality matters to replay.
inline constexpr std::int32_t kTransText = 1;
inline constexpr std::int32_t kTransStream = 4;
inline constexpr std::int32_t kFirstCaretGroup = 13;

struct LogSelection {
    std::int64_t anchor = 0;
    std::int64_t caret = 0;
    bool operator==(const LogSelection&) const = default;
};

// One record of the log.
struct LogRecord {
    LogKind kind = LogKind::Marker;
    std::int32_t tag = 0;                   // markers only
    std::int32_t code = 0;                  // markers: transaction or group code
    LogSelection selection;                 // selection records
    std::optional<std::string> text;        // text records; nullopt is "no text"
    std::unique_ptr<TMemoryStream> stream;  // stream records

    // Payload size counted for the record in the log.
    std::int64_t PayloadSize() const;
};

inline constexpr const char* kMsgStackUnderflow = "Stack underflow";
inline constexpr const char* kMsgBadTransaction = "Bad transaction log entry";
inline constexpr const char* kMsgBadStackState = "Bad do/undo stack state";

// What replay acts on: the document text and its selection. Offsets are character positions.
class UndoTarget {
public:
    virtual ~UndoTarget() = default;
    // Replaces [start, end) with `text`.
    virtual void ReplaceRange(std::int64_t start, std::int64_t end, std::string_view text) = 0;
    virtual void SetSelection(LogSelection selection) = 0;
    // True when the characters [start, end) are `text`: replay checks that a record fits the
    // text before it acts on it, so that a log is never replayed onto a text it was not written on.
    virtual bool Holds(std::int64_t start, std::int64_t end, std::string_view text) const = 0;
};

// The undo log of one document: the record layout, the transaction shapes, caret groups, the
// save point and the size limit.
class TUndoStack : public TStack {
public:
    TUndoStack();
    ~TUndoStack() override;

    // --- save point
    void MarkSaved();
    bool Modified() const;
    // -1 when never saved (or after Clear).
    std::int64_t SavedCount() const { return savedCount_; }
    // True when trimming removed the saved state from the log: no undo or redo can return to it.
    bool SavePointLost() const { return savePointLost_; }

    // --- size limit (-1 = unlimited)
    std::int64_t SizeLimit() const { return sizeLimit_; }
    void SetSizeLimit(std::int64_t limit);
    // Drops whole transactions from the bottom while the total size is over the limit.
    void Trim();

    // Discards every record and forgets the save point.
    void Clear();

    // --- writing transactions
    // Begins a text replacement: the selection before, the text it held (empty = none) and the
    // text that replaces it (empty = none).
    void BeginTextTransaction(LogSelection before, std::string_view selectedText, std::string_view newText);
    // Begins a stream insertion: the stream content from its current position is copied and the
    // position restored.
    void BeginStreamTransaction(LogSelection before, std::string_view selectedText, TStream& stream);
    // Writes the six records of the open transaction and trims the log.
    void EndTransaction(std::int32_t code, LogSelection after);
    bool TransactionOpen() const { return pending_.has_value(); }

    // Caret groups: everything between opening and closing is undone and redone in one step. A
    // group in which no transaction was written leaves nothing in the log.
    void OpenCaretGroup(std::int32_t code, LogSelection selection);
    void CloseCaretGroup(std::int32_t code, LogSelection selection);
    bool GroupOpen() const { return groupOpen_; }
    std::int32_t GroupCode() const { return groupCode_; }

    // While suspended nothing is written. Calls nest.
    void SuspendRecording() { ++suspended_; }
    void ResumeRecording()
    {
        if (suspended_ > 0) --suspended_;
    }
    bool Recording() const { return suspended_ == 0; }

    // Edit-message answers.
    bool CanUndo() const { return DoneCount() > 0; }

    // Replays one user step (a transaction, or a whole caret group) backwards or forwards, with
    // recording suspended. Any failure clears the log and beeps; nothing reaches the caller.
    // Return false when there was nothing to do or the step failed.
    bool Undo(UndoTarget& target);
    bool Redo(UndoTarget& target);

    // Sounds the default beep; the platform layer sets it.
    std::function<void()> Beep;

private:
    struct Pending {
        std::int32_t code;
        LogSelection before;
        std::optional<std::string> textBefore;
        std::optional<std::string> textAfter;
        std::unique_ptr<TMemoryStream> stream;
    };

    [[noreturn]] void Fail(const char* message);
    void PushRecord(std::unique_ptr<LogRecord> record);
    void PushMarker(std::int32_t code, std::int32_t tag);
    void PushSelection(LogSelection selection);
    void PushText(std::optional<std::string> text);
    void RemoveBottomRecord(LogRecord*& removed);
    const LogRecord& Back(LogKind expected);
    const LogRecord& Forward(LogKind expected);
    bool ReplayGroupMarker(UndoTarget& target, const LogRecord& marker, bool forward, bool& inGroup);
    static void CheckTransactionMarker(const LogRecord& marker);
    bool UndoTransaction(UndoTarget& target, bool& inGroup);
    bool RedoTransaction(UndoTarget& target, bool& inGroup);
    template <class Step>
    bool Replay(Step&& step);

    std::int64_t savedCount_ = -1;
    std::uint64_t savedSerial_ = 0;  // entry at the cursor when saved; 0 = none
    bool savePointLost_ = false;
    std::int32_t groupCode_ = 0;
    std::int64_t sizeLimit_ = -1;
    bool groupOpen_ = false;
    std::optional<LogSelection> groupOpening_;  // the open group's selection, not yet written
    int suspended_ = 0;
    std::optional<Pending> pending_;
};

// Suspends recording into a log for the life of the guard.
class RecordingPause {
public:
    explicit RecordingPause(TUndoStack& log) : log_(log) { log_.SuspendRecording(); }
    ~RecordingPause() { log_.ResumeRecording(); }
    RecordingPause(const RecordingPause&) = delete;
    RecordingPause& operator=(const RecordingPause&) = delete;

private:
    TUndoStack& log_;
};

}  // namespace tarnwick
