#pragma once
// Read-only character streams: TEdStream reads a text store in place, record by record, for the
// search engines, the highlighter, templates and auto-replace; TFastMemoryStream reads a
// zero-terminated buffer without copying it.

#include <cstdint>

#include "editor/streams.h"
#include "editor/text_store.h"

namespace tarnwick {

class TEdStream : public TStream {
public:
    // Reads `store` (may be null: an empty stream). Starts at offset 0.
    explicit TEdStream(const TTextStore* store);

    // Makes `record` current, at `offsetInRecord` inside it; `recordOffset` is the offset of its
    // first character. Size and last position are refreshed from the store.
    void Reset(TLineRecord* record, std::int64_t offsetInRecord, std::int64_t recordOffset);
    // Refreshes size and last position and goes to offset 0.
    void Reset();

    // The character at the position; 0 at the end.
    char CurrentChar() const { return record_ && inRecord_ < record_->Length() ? record_->Text()[inRecord_] : '\0'; }
    std::int64_t GetPos() const { return position_; }
    // Moves to `offset`, kept between 0 and the last character.
    void SetPos(std::int64_t offset);
    // True when the position is past the last character (always for an empty store).
    bool AtEnd() const { return size_ == 0 || position_ > lastPosition_; }
    // One character forwards (the end of the last record leaves the position one past the end)
    // or backwards (not before 0).
    void NextChar()
    {
        // Inside a record there is nothing to look up.
        if (record_ && inRecord_ + 1 < record_->Length()) {
            ++inRecord_;
            ++position_;
            return;
        }
        NextCharAcross();
    }
    void PrevChar();

    // A place in the stream, saved and restored in constant time. Valid while the store is
    // not changed.
    struct Place {
        TLineRecord* record = nullptr;
        std::int64_t inRecord = 0;
        std::int64_t position = 0;
    };
    Place Save() const { return {record_, inRecord_, position_}; }
    void Restore(const Place& place)
    {
        record_ = place.record;
        inRecord_ = place.inRecord;
        position_ = place.position;
    }
    const TTextStore* Store() const { return store_; }

    // How far the stream has looked ahead, since it was made or Reset: Reach() is the farthest
    // position at which it entered a record (stepping over a record's last character, or by
    // SetPos or Seek into another record; Restore only goes back to places already visited), and
    // CameBackFrom() the farthest Reach() it had when it entered a record again (-1 while it
    // never did). A reader that steps from record to record and never goes back leaves it at -1;
    // one that read into a later record and went back to read on from an earlier place had
    // looked as far as the end of the record holding CameBackFrom(). The highlighter learns from
    // it how far its tokens looked ahead.
    std::int64_t Reach() const { return reach_; }
    std::int64_t CameBackFrom() const { return cameBackFrom_; }

    std::size_t Read(void* buffer, std::size_t count) override;
    std::size_t Write(const void* buffer, std::size_t count) override;  // raises EStreamError
    // From the start (0), from the position (1) or back from the end (2: position = size - offset).
    std::int64_t Seek(std::int64_t offset, SeekOrigin origin) override;
    std::int64_t Size() override { return size_; }

private:
    void Locate(std::int64_t offset);
    void NextCharAcross();
    void Entered()
    {
        if (position_ > reach_) reach_ = position_;
        else cameBackFrom_ = reach_;
    }

    const TTextStore* store_;
    std::int64_t size_ = 0;
    std::int64_t lastPosition_ = 0;
    TLineRecord* record_ = nullptr;
    std::int64_t position_ = 0;
    std::int64_t inRecord_ = 0;
    std::int64_t reach_ = 0;
    std::int64_t cameBackFrom_ = -1;
};

// A read-only stream over a zero-terminated buffer that it does not copy; its size is the length
// up to the zero byte.
class TFastMemoryStream : public ReadOnlyMemoryStream {
public:
    explicit TFastMemoryStream(const char* text);
    void Repoint(const char* text);
};

}  // namespace tarnwick
