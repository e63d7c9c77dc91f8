#include "editor/undo_stack.h"

#include <utility>

#include "base/errors.h"
#include "editor/editor_errors.h"

namespace tarnwick {

// ---------------------------------------------------------------------------------------- TStack

TStack::~TStack() { DiscardAll(); }

void TStack::Release(void* item)
{
    if (item && FreeItem) FreeItem(item);
}

void TStack::Unlink(Entry* entry)
{
    if (entry->previous) entry->previous->next = entry->next;
    else bottom_ = entry->next;
    if (entry->next) entry->next->previous = entry->previous;
    else top_ = entry->previous;
    totalSize_ -= kEntryOverhead + entry->size;
    --count_;
}

void TStack::Push(void* item, std::int64_t payloadSize)
{
    // Everything above the cursor is redo history that the new item makes unreachable.
    while (top_ && top_ != cursor_) {
        Entry* entry = top_;
        Unlink(entry);
        void* discarded = entry->item;
        delete entry;
        Release(discarded);
    }
    auto* entry = new Entry{item, payloadSize, top_, nullptr, nextSerial_++};
    if (top_) top_->next = entry;
    else bottom_ = entry;
    top_ = entry;
    cursor_ = entry;
    totalSize_ += kEntryOverhead + payloadSize;
    ++count_;
    ++doneCount_;
}

void* TStack::Detach(Entry* entry)
{
    Unlink(entry);
    void* item = entry->item;
    delete entry;
    if (!top_) {
        bottom_ = cursor_ = nullptr;
        doneCount_ = 0;
        totalSize_ = 0;
    }
    return item;
}

void* TStack::Pop()
{
    if (!top_) throw Exception(kMsgStackUnderflow);
    Entry* entry = top_;
    // Only an entry that is done counts in the done count; one above the cursor does not.
    if (cursor_ == entry) {
        cursor_ = entry->previous;
        if (doneCount_ > 0) --doneCount_;
    }
    return Detach(entry);
}

void* TStack::StepBack()
{
    if (!cursor_) throw Exception(kMsgStackUnderflow);
    void* item = cursor_->item;
    cursor_ = cursor_->previous;
    if (doneCount_ > 0) --doneCount_;
    return item;
}

void* TStack::StepForward()
{
    if (!top_ || cursor_ == top_) throw Exception(kMsgStackUnderflow);
    cursor_ = cursor_ ? cursor_->next : bottom_;
    ++doneCount_;
    return cursor_->item;
}

void TStack::DiscardAll()
{
    while (top_) Release(Pop());
}

void* TStack::RemoveBottom(bool& wasDone)
{
    if (!bottom_) throw Exception(kMsgStackUnderflow);
    Entry* entry = bottom_;
    // The bottom entry is done exactly when there is a cursor (the cursor is at or above it).
    wasDone = cursor_ != nullptr;
    if (wasDone) {
        if (cursor_ == entry) cursor_ = nullptr;
        if (doneCount_ > 0) --doneCount_;
    }
    return Detach(entry);
}

// ------------------------------------------------------------------------------------ LogRecord

std::int64_t LogRecord::PayloadSize() const
{
    std::int64_t size = 16;
    if (kind == LogKind::Text && text) size += static_cast<std::int64_t>(text->size());
    if (kind == LogKind::Stream && stream) size += stream->Size() + static_cast<std::int64_t>(sizeof(TMemoryStream));
    return size;
}

// ------------------------------------------------------------------------------------ TUndoStack

TUndoStack::TUndoStack()
{
    FreeItem = [](void* item) { delete static_cast<LogRecord*>(item); };
}

TUndoStack::~TUndoStack() { DiscardAll(); }

void TUndoStack::Fail(const char* message)
{
    Clear();
    if (Beep) Beep();
    throw EDoravaVizu(message);
}

void TUndoStack::MarkSaved()
{
    savedCount_ = DoneCount();
    savedSerial_ = Cursor() ? Cursor()->serial : 0;
    savePointLost_ = false;
}

bool TUndoStack::Modified() const
{
    if (savePointLost_) return true;
    if (savedCount_ < 0) return DoneCount() > 0;
    if (DoneCount() != savedCount_) return true;
    // Same depth, but possibly another history: the entry at the cursor tells. Entries carry
    // serials that are never reused, so a freed and reallocated record cannot pass for the old one.
    const std::uint64_t serial = Cursor() ? Cursor()->serial : 0;
    return DoneCount() != 0 && serial != savedSerial_;
}

void TUndoStack::SetSizeLimit(std::int64_t limit)
{
    sizeLimit_ = limit < 0 ? -1 : limit;
    Trim();
}

void TUndoStack::RemoveBottomRecord(LogRecord*& removed)
{
    bool wasDone = false;
    removed = static_cast<LogRecord*>(RemoveBottom(wasDone));
    // States are numbered by done count; dropping the oldest record renumbers every later one and
    // makes the state before it unreachable.
    if (savedCount_ > 0) --savedCount_;
    else if (savedCount_ == 0) savePointLost_ = true;
}

void TUndoStack::Trim()
{
    // An open group is trimmed when it closes: its records must not go while it is still written.
    if (sizeLimit_ < 0 || groupOpen_) return;
    // Only done history is dropped, whole transactions at a time; a caret group goes with all the
    // transactions it encloses, so that no closing triple is left without its opening.
    while (!Empty() && TotalSize() > sizeLimit_ && DoneCount() > 0) {
        std::int32_t groupCode = 0;  // group whose closing marker ends the removal
        bool first = true;
        bool seenMarker = false;
        for (;;) {
            if (Empty()) break;
            LogRecord* record = nullptr;
            RemoveBottomRecord(record);
            std::unique_ptr<LogRecord> owned(record);
            if (!owned) continue;
            const bool marker = owned->kind == LogKind::Marker;
            if (first) {
                first = false;
                if (marker && owned->tag == kMarkerGroupOpen) groupCode = owned->code;
                continue;  // the opening marker of the oldest transaction
            }
            if (!marker) continue;
            if (groupCode == 0) break;  // closing marker of a plain transaction
            if (owned->tag == kMarkerGroupClose && owned->code == groupCode) {
                // The closing marker of the closing triple is the second one.
                if (seenMarker) break;
                seenMarker = true;
            }
        }
    }
}

void TUndoStack::Clear()
{
    DiscardAll();
    savedCount_ = -1;
    savedSerial_ = 0;
    savePointLost_ = false;
    groupOpen_ = false;
    groupCode_ = 0;
    groupOpening_.reset();
    pending_.reset();
}

void TUndoStack::PushRecord(std::unique_ptr<LogRecord> record)
{
    const std::int64_t size = record->PayloadSize();
    Push(record.get(), size);
    record.release();
}

void TUndoStack::PushMarker(std::int32_t code, std::int32_t tag)
{
    auto record = std::make_unique<LogRecord>();
    record->kind = LogKind::Marker;
    record->code = code;
    record->tag = tag;
    PushRecord(std::move(record));
}

void TUndoStack::PushSelection(LogSelection selection)
{
    auto record = std::make_unique<LogRecord>();
    record->kind = LogKind::Selection;
    record->selection = selection;
    PushRecord(std::move(record));
}

void TUndoStack::PushText(std::optional<std::string> text)
{
    auto record = std::make_unique<LogRecord>();
    record->kind = LogKind::Text;
    record->text = std::move(text);
    PushRecord(std::move(record));
}

namespace {

std::optional<std::string> TextOrNone(std::string_view text)
{
    if (text.empty()) return std::nullopt;
    return std::string(text);
}

}  // namespace

void TUndoStack::BeginTextTransaction(LogSelection before, std::string_view selectedText, std::string_view newText)
{
    if (pending_) Fail(kMsgBadTransaction);
    pending_ = Pending{kTransText, before, TextOrNone(selectedText), TextOrNone(newText), nullptr};
}

void TUndoStack::BeginStreamTransaction(LogSelection before, std::string_view selectedText, TStream& stream)
{
    if (pending_) Fail(kMsgBadTransaction);
    const std::int64_t position = stream.Position();
    auto copy = std::make_unique<TMemoryStream>();
    const std::int64_t remaining = stream.Remaining();
    if (remaining > 0) copy->CopyFrom(stream, remaining);
    stream.SetPosition(position);
    copy->SetPosition(0);
    pending_ = Pending{kTransStream, before, TextOrNone(selectedText), std::nullopt, std::move(copy)};
}

void TUndoStack::EndTransaction(std::int32_t code, LogSelection after)
{
    if (!pending_ || pending_->code != code) Fail(kMsgBadTransaction);
    Pending p = std::move(*pending_);
    pending_.reset();
    if (!Recording()) return;

    if (groupOpening_) {
        // The first transaction of a caret group: the group's opening goes first.
        PushMarker(groupCode_, kMarkerGroupOpen);
        PushSelection(*groupOpening_);
        PushMarker(groupCode_, kMarkerGroupOpen);
        groupOpening_.reset();
    }
    PushMarker(code, kMarkerTransaction);
    PushSelection(p.before);
    PushText(std::move(p.textBefore));
    if (code == kTransStream) {
        auto record = std::make_unique<LogRecord>();
        record->kind = LogKind::Stream;
        record->stream = std::move(p.stream);
        PushRecord(std::move(record));
    } else {
        PushText(std::move(p.textAfter));
    }
    PushSelection(after);
    PushMarker(code, kMarkerTransaction);
    Trim();
}

void TUndoStack::OpenCaretGroup(std::int32_t code, LogSelection selection)
{
    if (groupOpen_ || !Recording()) return;
    groupOpen_ = true;
    groupCode_ = code;
    // The opening is written with the group's first transaction: a group that changes nothing
    // leaves no trace (no undo step, no modification, the redo part kept).
    groupOpening_ = selection;
}

void TUndoStack::CloseCaretGroup(std::int32_t code, LogSelection selection)
{
    if (!groupOpen_ || groupCode_ != code || !Recording()) return;
    if (groupOpening_) {
        groupOpening_.reset();
        groupOpen_ = false;
        groupCode_ = 0;
        return;
    }
    PushMarker(code, kMarkerGroupClose);
    PushSelection(selection);
    PushMarker(code, kMarkerGroupClose);
    groupOpen_ = false;
    groupCode_ = 0;
    Trim();
}

// ---------------------------------------------------------------------------------------- replay

namespace {

const LogRecord& Expect(void* item, LogKind expected)
{
    const auto* record = static_cast<const LogRecord*>(item);
    if (!record) throw EDoravaVizu(kMsgBadStackState);
    // A text slot may hold a stream record (stream insertion), never anything else.
    const bool ok = record->kind == expected || (expected == LogKind::Text && record->kind == LogKind::Stream);
    if (!ok) throw EDoravaVizu(kMsgBadStackState);
    return *record;
}

void ExpectPartner(const LogRecord& first, const LogRecord& second)
{
    if (second.code != first.code || second.tag != first.tag) throw EDoravaVizu(kMsgBadStackState);
}

std::string_view Content(const LogRecord& record)
{
    if (record.kind == LogKind::Stream) return record.stream ? std::string_view(record.stream->Data()) : "";
    return record.text ? std::string_view(*record.text) : std::string_view();
}

std::int64_t Low(LogSelection s) { return s.anchor < s.caret ? s.anchor : s.caret; }
std::int64_t High(LogSelection s) { return s.anchor < s.caret ? s.caret : s.anchor; }

}  // namespace

const LogRecord& TUndoStack::Back(LogKind expected) { return Expect(StepBack(), expected); }

const LogRecord& TUndoStack::Forward(LogKind expected) { return Expect(StepForward(), expected); }

// A caret-group marker met while replaying: entering the group (its close when undoing, its open
// when redoing) continues the step; leaving it restores the group's selection and ends the step.
bool TUndoStack::ReplayGroupMarker(UndoTarget& target, const LogRecord& marker, bool forward, bool& inGroup)
{
    auto step = [&](LogKind kind) -> const LogRecord& { return forward ? Forward(kind) : Back(kind); };
    const LogSelection selection = step(LogKind::Selection).selection;
    ExpectPartner(marker, step(LogKind::Marker));
    const std::int32_t enter = forward ? kMarkerGroupOpen : kMarkerGroupClose;
    const std::int32_t leave = forward ? kMarkerGroupClose : kMarkerGroupOpen;
    if (marker.tag == enter) return inGroup = true;
    if (marker.tag != leave) throw EDoravaVizu(kMsgBadStackState);
    target.SetSelection(selection);
    return inGroup = false;
}

void TUndoStack::CheckTransactionMarker(const LogRecord& marker)
{
    if ((marker.code != kTransText && marker.code != kTransStream) || marker.tag != kMarkerTransaction)
        throw EDoravaVizu(kMsgBadStackState);
}

// Undoes one transaction; true when the step goes on with the next older one (inside a group).
bool TUndoStack::UndoTransaction(UndoTarget& target, bool& inGroup)
{
    const LogRecord& marker = Back(LogKind::Marker);
    const std::int32_t code = marker.code;
    if (code >= kFirstCaretGroup) return ReplayGroupMarker(target, marker, false, inGroup);
    CheckTransactionMarker(marker);
    const LogSelection after = Back(LogKind::Selection).selection;
    const LogRecord& inserted = Back(LogKind::Text);
    if ((inserted.kind == LogKind::Stream) != (code == kTransStream)) throw EDoravaVizu(kMsgBadStackState);
    const LogRecord& removed = Back(LogKind::Text);
    if (removed.kind != LogKind::Text) throw EDoravaVizu(kMsgBadStackState);
    const LogSelection before = Back(LogKind::Selection).selection;
    ExpectPartner(marker, Back(LogKind::Marker));

    const std::int64_t start = Low(before);
    std::int64_t end = code == kTransText ? High(after) : after.caret;
    if (end < start) end = start;
    // The text must hold what the transaction inserted: a log written on another text is refused.
    if (!target.Holds(start, end, Content(inserted))) throw EDoravaVizu(kMsgBadTransaction);
    target.ReplaceRange(start, end, Content(removed));
    target.SetSelection(before);
    return inGroup;
}

// Redoes one transaction; true when the step goes on with the next newer one (inside a group).
bool TUndoStack::RedoTransaction(UndoTarget& target, bool& inGroup)
{
    const LogRecord& marker = Forward(LogKind::Marker);
    const std::int32_t code = marker.code;
    if (code >= kFirstCaretGroup) return ReplayGroupMarker(target, marker, true, inGroup);
    CheckTransactionMarker(marker);
    const LogSelection before = Forward(LogKind::Selection).selection;
    const LogRecord& removed = Forward(LogKind::Text);
    if (removed.kind != LogKind::Text) throw EDoravaVizu(kMsgBadStackState);
    const LogRecord& inserted = Forward(LogKind::Text);
    if ((inserted.kind == LogKind::Stream) != (code == kTransStream)) throw EDoravaVizu(kMsgBadStackState);
    const LogSelection after = Forward(LogKind::Selection).selection;
    ExpectPartner(marker, Forward(LogKind::Marker));

    if (!target.Holds(Low(before), High(before), Content(removed))) throw EDoravaVizu(kMsgBadTransaction);
    target.SetSelection(before);
    target.ReplaceRange(Low(before), High(before), Content(inserted));
    if (code == kTransText) target.SetSelection(after);
    else target.SetSelection({after.caret, after.caret});
    return inGroup;
}

template <class Step>
bool TUndoStack::Replay(Step&& step)
{
    SuspendRecording();
    bool ok = true;
    try {
        while (step()) {}
    } catch (...) {
        // The document keeps the state reached so far; the log can no longer be trusted.
        ok = false;
        Clear();
        if (Beep) Beep();
    }
    ResumeRecording();
    return ok;
}

bool TUndoStack::Undo(UndoTarget& target)
{
    if (DoneCount() == 0) return false;
    bool inGroup = false;
    return Replay([&] { return UndoTransaction(target, inGroup); });
}

bool TUndoStack::Redo(UndoTarget& target)
{
    if (!CanRedo()) return false;
    bool inGroup = false;
    return Replay([&] { return RedoTransaction(target, inGroup); });
}

}  // namespace tarnwick
